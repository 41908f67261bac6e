#pragma once

// quarnctl: the administrator's command-line tool for catalogue files.
//
//   quarnctl export lock|unlock|windows10-11 FILE [--force]
//                                    a catalogue as quarn.xml has it
//   quarnctl show FILE               the rows in walk order as a table
//   quarnctl check FILE [--all]      rows that cannot be applied as meant
//   quarnctl diff A B                rows added, removed and changed
//   quarnctl restore --show FILE     what a restore point recorded
//   quarnctl audit FILE [--html P]   the escape routes the catalogue closes
//   quarnctl export-gpo FILE DIR     the rows as a Group Policy folder
//   quarnctl export-reg FILE F --sid S   the rows as one .reg file
//   quarnctl import-pol POL -o FILE  a Registry.pol as a catalogue
//
// and the commands one platform adds (Windows: release-shell, point-shell,
// status, restore, which also puts the station back, and audit --station).
// Arguments and output are UTF-8; the platform's main converts them.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "system/error.h"

namespace quarn {

// A command's arguments that do not fit: reported with the usage text.
class UsageError : public Error {
  public:
    using Error::Error;
};

// A command only one platform has. Its usage lines (each beginning with two
// blanks) join the usage text; run gets the arguments after the command's
// name and returns the exit status; it raises UsageError or another error,
// which RunQuarnctl reports with exit status 2.
struct PlatformCommand {
    std::string name;
    std::string usage;
    std::function<int(const std::vector<std::string>& args, std::ostream& out)> run;
};

// Exit statuses: 0 done (clean, no differences), 1 findings or differences,
// 2 a usage error, a file that cannot be read or a command that failed.
int RunQuarnctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const std::vector<PlatformCommand>& platformCommands = {});

}  // namespace quarn
