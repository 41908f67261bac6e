#pragma once

// What quarnctl's commands share: their entry in the command table, the exit
// statuses, the parsing of their arguments, reading a catalogue file and its
// rows, and quoting in the output. Each command is in a file of its own
// (export_command.cpp, show_command.cpp, check_command.cpp, diff_command.cpp,
// restore_command.cpp, audit_command.cpp, group_policy_commands.cpp); RunQuarnctl (quarnctl.cpp)
// picks one by its name.

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/policy_table.h"

namespace quarn::quarnctl {

inline constexpr int kClean = 0;
inline constexpr int kFindings = 1;
inline constexpr int kFailure = 2;

// One command: its name, its lines of the usage text (each beginning with two
// blanks), and what runs it with the arguments after its name. run returns
// the exit status and raises UsageError or another Error; err takes what the
// command reports beside its output (rows it left out).
struct Command {
    std::string_view name;
    std::string_view usage;
    int (*run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};

extern const Command kExportCommand;
extern const Command kShowCommand;
extern const Command kCheckCommand;
extern const Command kDiffCommand;
extern const Command kRestoreCommand;
extern const Command kAuditCommand;
extern const Command kExportGpoCommand;
extern const Command kExportRegCommand;
extern const Command kImportPolCommand;

// `restore --show FILE`: the recorded targets of a restore point as a table.
int ShowRestorePoint(const std::vector<std::string>& args, std::ostream& out);

// A command's arguments: the flags it takes, wherever they stand, and the
// others as operands in their order.
struct Arguments {
    std::vector<std::string> operands;
    std::vector<std::string> flags;
    bool Has(std::string_view flag) const;
};

// Raises UsageError with problem unless there are exactly operandCount
// operands. An argument that is not one of the flags is an operand.
Arguments ParseArguments(const std::vector<std::string>& args,
                         std::initializer_list<std::string_view> flags, std::size_t operandCount,
                         const std::string& problem);

std::filesystem::path PathFromUtf8(const std::string& text);

// A catalogue file, read for one command. Raises Error with the load error's
// text and the byte where reading stopped.
PolicyTable Load(const std::string& name);

// One visible row, column by column, in code page 1252.
using Row = std::vector<std::string>;

// The visible rows in walk order.
std::vector<Row> VisibleRows(PolicyTable& table);

// The row's text in a column; empty for a column the row does not reach.
std::string Cell(const Row& row, std::size_t column);

// The audit's arguments: catalogue files, --station, --html PAGE.
struct AuditArguments {
    std::vector<std::string> operands;
    bool station = false;
    std::optional<std::string> html;
};
AuditArguments ParseAuditArguments(const std::vector<std::string>& args);
// `audit FILE [--html PAGE]`.
int AuditFile(const std::vector<std::string>& args, std::ostream& out);

// A table of UTF-8 text: the header line, then the lines, each column as
// wide as its widest cell and two blanks apart.
void PrintTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& lines);

// Code page 1252 text in double quotes, as UTF-8.
std::string Quoted(const std::string& cp1252);

}  // namespace quarn::quarnctl
