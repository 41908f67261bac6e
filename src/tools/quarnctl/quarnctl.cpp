#include "tools/quarnctl/quarnctl.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/catalogue_pass.h"
#include "catalogue/row_kinds.h"
#include "system/file_io.h"
#include "system/registry_vocabulary.h"
#include "system/release.h"
#include "system/text_case.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

// Names compared as the registry and the catalogue compare them.
std::string UpperAZ(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return upper;
}

constexpr int kClean = 0;
constexpr int kFindings = 1;
constexpr int kFailure = 2;

constexpr char kUsage[] =
    "Usage:\n"
    "  quarnctl export lock|unlock FILE [--force]\n"
    "      Writes a built-in catalogue as the configurator saves it (quarn.xml).\n"
    "      An existing FILE is only replaced with --force.\n"
    "  quarnctl show FILE\n"
    "      Lists the rows of a catalogue file in the order they are applied.\n"
    "  quarnctl check FILE [--all]\n"
    "      Lists the rows that cannot be applied as meant: the switched-on rows and\n"
    "      those whose STATUS differs from aktiviert or deaktiviert only in letter\n"
    "      case or blanks (with --all every row). Exit status 0 when clean, 1 with\n"
    "      findings, 2 when FILE cannot be read.\n"
    "  quarnctl diff A B\n"
    "      Lists the rows added, removed and changed from A to B, by INDEX.\n"
    "      Exit status 0 when equal, 1 with differences, 2 on errors.\n";
constexpr char kUsageEnd[] =
    "  quarnctl --help | --version\n"
    "\n"
    "Input files are only read.\n";

std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// A catalogue file, read for one command. Raises Error with the load error's
// text and the byte where reading stopped.
PolicyTable Load(const std::string& name) {
    PolicyTable table;
    try {
        table.LoadFromFile(PathFromUtf8(name));
    } catch (const LoadError& error) {
        throw Error(name + ": " + error.what() + " (at byte " + std::to_string(error.Offset()) +
                    ")");
    } catch (const Error& error) {
        throw Error(error.what());
    }
    return table;
}

// One visible row, column by column, in code page 1252.
using Row = std::vector<std::string>;

std::vector<Row> VisibleRows(PolicyTable& table) {
    std::vector<Row> rows;
    table.First();
    for (int i = 0; i < table.RecordCount(); ++i) {
        Row row;
        for (std::size_t column = 0; column < table.Fields().size(); ++column) {
            row.push_back(table.GetFieldText(column));
        }
        rows.push_back(std::move(row));
        table.Next();
    }
    return rows;
}

std::string Cell(const Row& row, std::size_t column) {
    return column < row.size() ? row[column] : std::string();
}

std::string Quoted(const std::string& cp1252) {
    return "\"" + Cp1252ToUtf8(cp1252) + "\"";
}

std::size_t DisplayWidth(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// --- export -----------------------------------------------------------------

int Export(const std::vector<std::string>& args, std::ostream& out) {
    bool force = false;
    std::vector<std::string> operands;
    for (const std::string& arg : args) {
        if (arg == "--force") {
            force = true;
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() != 2 || (operands[0] != "lock" && operands[0] != "unlock")) {
        throw UsageError("export needs lock or unlock and a file name");
    }
    const std::filesystem::path file = PathFromUtf8(operands[1]);
    if (FileExists(file) && !force) {
        throw Error(operands[1] + " exists; add --force to replace it");
    }
    PolicyTable table = operands[0] == "lock" ? BuiltInLockCatalogue() : BuiltInUnlockCatalogue();
    table.SaveToFile(file);
    out << "Wrote the built-in " << operands[0] << " catalogue (" << table.RecordCount()
        << " rows) to " << operands[1] << "\n";
    return kClean;
}

// --- show -------------------------------------------------------------------

int Show(const std::vector<std::string>& args, std::ostream& out) {
    if (args.size() != 1) {
        throw UsageError("show needs one file name");
    }
    PolicyTable table = Load(args[0]);
    // The positions the applier reads, the most telling first; each is
    // labelled with the file's own name for it, since the applier goes by
    // position whatever a column is called. A file with fewer columns shows
    // those it has.
    std::vector<std::size_t> columns;
    for (const std::size_t column : {kColumnIndex, kColumnStatus, kColumnDataType, kColumnSubtree,
                                     kColumnSubkey, kColumnKeyValue, kColumnWinVer}) {
        if (column < table.Fields().size()) {
            columns.push_back(column);
        }
    }
    std::vector<std::string> header;
    for (const std::size_t column : columns) {
        header.push_back(Cp1252ToUtf8(table.Fields()[column].name));
    }
    std::vector<std::vector<std::string>> lines;
    for (const Row& row : VisibleRows(table)) {
        std::vector<std::string> line;
        for (const std::size_t column : columns) {
            line.push_back(Cp1252ToUtf8(Cell(row, column)));
        }
        lines.push_back(std::move(line));
    }
    std::vector<std::size_t> widths;
    for (const std::string& name : header) {
        widths.push_back(DisplayWidth(name));
    }
    for (const auto& line : lines) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            widths[i] = std::max(widths[i], DisplayWidth(line[i]));
        }
    }
    const auto print = [&](const std::vector<std::string>& line) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            text += line[i];
            if (i + 1 < line.size()) {
                text.append(widths[i] - DisplayWidth(line[i]) + 2, ' ');
            }
        }
        out << text << "\n";
    };
    print(header);
    for (const auto& line : lines) {
        print(line);
    }
    out << lines.size() << " rows\n";
    return kClean;
}

// --- check ------------------------------------------------------------------

// "HARDWARE, SAM, SECURITY, SOFTWARE and SYSTEM".
std::string MachineKeyList() {
    std::string list;
    for (std::size_t i = 0; i < kMachineKeys.size(); ++i) {
        list += i == 0 ? "" : i + 1 == kMachineKeys.size() ? " and " : ", ";
        list += kMachineKeys[i];
    }
    return list;
}

std::vector<std::string> KeyPathProblems(RowHive hive, std::string_view path) {
    std::vector<std::string> problems;
    while (!path.empty() && path.back() == '\\') {
        path.remove_suffix(1);  // a trailing backslash names the same key
    }
    if (path.empty()) {
        problems.push_back("the key path is empty, which names the hive itself");
        return problems;
    }
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('\\', start);
        parts.push_back(path.substr(start, slash - start));
        if (slash == std::string_view::npos) {
            break;
        }
        start = slash + 1;
    }
    if (std::any_of(parts.begin(), parts.end(), [](auto part) { return part.empty(); })) {
        problems.push_back("the key path has an empty part (two backslashes)");
    }
    if (std::any_of(parts.begin(), parts.end(), [](auto part) { return part.size() > 255; })) {
        problems.push_back("a key name in the path is longer than 255 characters");
    }
    if (hive == RowHive::Machine && !IsMachineKey(parts.front())) {
        problems.push_back("the key path cannot exist: HKEY_LOCAL_MACHINE holds only " +
                           MachineKeyList() + ", not " + Quoted(std::string(parts.front())));
    }
    return problems;
}

// A STATUS that differs from one of the two words only in letter case or
// blanks ("Aktiviert", "aktiviert "): a slip of the pen, which the applier
// does not forgive.
bool IsNearStatusWord(std::string_view status) {
    if (status == kStatusOn || status == kStatusOff) {
        return false;
    }
    std::string folded;
    for (const char c : status) {
        if (c != ' ' && c != '\t') {
            folded += c;
        }
    }
    folded = UpperAZ(folded);
    return folded == UpperAZ(kStatusOn) || folded == UpperAZ(kStatusOff);
}

std::vector<std::string> RowProblems(const Row& row) {
    std::vector<std::string> problems;
    const std::string subtree = Cell(row, kColumnSubtree);
    const std::string keyValue = Cell(row, kColumnKeyValue);
    const std::string dataType = Cell(row, kColumnDataType);
    const std::string status = Cell(row, kColumnStatus);

    if (IsNearStatusWord(status)) {
        problems.push_back("never applied: STATUS is not exactly aktiviert (it is " +
                           Quoted(status) + ")");
    } else if (status != kStatusOn && status != kStatusOff) {
        problems.push_back("STATUS " + Quoted(status) +
                           " is neither \"aktiviert\" nor "
                           "\"deaktiviert\": the row is never applied");
    }
    const ParsedSubtree parsed = ParseSubtree(subtree);
    if (!parsed.tag) {
        problems.push_back("SUBTREE " + Quoted(subtree) + " has no hive tag (HKCU\\ or HKLM\\)");
    } else if (parsed.hive == RowHive::Unknown) {
        problems.push_back("unknown hive tag " + Quoted(std::string(*parsed.tag)) +
                           " (HKCU or HKLM, in capitals)");
    } else {
        for (std::string& problem : KeyPathProblems(parsed.hive, parsed.keyPath.substr(1))) {
            problems.push_back(std::move(problem));
        }
    }
    if (IsTooBroadDeletion(dataType, subtree)) {
        problems.push_back("DEL_SUBTREE of a key fewer than " +
                           std::to_string(kMinDeletedKeyDepth) +
                           " levels below the hive would delete a whole branch of it: the row is "
                           "refused and nothing is deleted");
    }

    const RowKind* kind = FindRowKind(dataType);
    if (kind == nullptr) {
        problems.push_back("unknown DATATYPE " + Quoted(dataType) +
                           ": the key is created and nothing else is written");
    } else if (kind->valueProblems != nullptr) {
        for (std::string& problem : kind->valueProblems(keyValue)) {
            problems.push_back(std::move(problem));
        }
    }
    return problems;
}

// The key and value a row names, as the registry compares names.
std::string Target(const Row& row) {
    std::string subtree = Cell(row, kColumnSubtree);
    while (!subtree.empty() && subtree.back() == '\\') {
        subtree.pop_back();
    }
    const RowKind* kind = FindRowKind(Cell(row, kColumnDataType));
    const bool wholeKey = kind != nullptr && kind->wholeKey;
    return UpperAZ(subtree) +
           (wholeKey ? std::string("\n(key)") : "\n" + UpperAZ(Cell(row, kColumnSubkey)));
}

int Check(const std::vector<std::string>& args, std::ostream& out) {
    bool all = false;
    std::vector<std::string> operands;
    for (const std::string& arg : args) {
        if (arg == "--all") {
            all = true;
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() != 1) {
        throw UsageError("check needs one file name");
    }
    PolicyTable table = Load(operands[0]);
    if (!HasCatalogueLayout(table.Fields())) {
        std::string names;
        for (const FieldDef& field : table.Fields()) {
            names += (names.empty() ? "" : ", ") + Cp1252ToUtf8(field.name);
        }
        out << "layout: the columns are " << (names.empty() ? "none" : names)
            << "; a catalogue has INDEX, SUBTREE, SUBKEY, KEYVALUE, DATATYPE, WINVER, STATUS, "
               "TEXT in this order, and rows are applied by position\n";
        return kFindings;
    }
    int findings = 0;
    std::map<std::string, std::string> firstRowOf;
    for (const Row& row : VisibleRows(table)) {
        const std::string status = Cell(row, kColumnStatus);
        // A STATUS that only nearly reads as one of the words is looked at
        // without --all too: the administrator meant a word and may not know
        // that the row is never applied.
        if (status != kStatusOn && !IsNearStatusWord(status) && !all) {
            continue;
        }
        const std::string index = Cell(row, kColumnIndex);
        const std::string suffix = status == kStatusOff ? " (switched off)" : "";
        std::vector<std::string> problems = RowProblems(row);
        const auto [first, isNew] = firstRowOf.emplace(Target(row), index);
        if (!isNew) {
            problems.push_back("names the same key and value as row " + first->second);
        }
        for (const std::string& problem : problems) {
            out << index << ": " << problem << suffix << "\n";
            ++findings;
        }
    }
    if (findings == 0) {
        out << "No findings in " << table.RecordCount() << " rows.\n";
        return kClean;
    }
    out << findings << (findings == 1 ? " finding\n" : " findings\n");
    return kFindings;
}

// --- diff -------------------------------------------------------------------

int Diff(const std::vector<std::string>& args, std::ostream& out) {
    if (args.size() != 2) {
        throw UsageError("diff needs two file names");
    }
    PolicyTable a = Load(args[0]);
    PolicyTable b = Load(args[1]);
    int differences = 0;
    const auto report = [&](const std::string& line) {
        out << line << "\n";
        ++differences;
    };

    // Columns are matched by name.
    std::vector<std::pair<std::string, std::pair<std::size_t, std::size_t>>> shared;
    for (std::size_t i = 0; i < a.Fields().size(); ++i) {
        const auto it = std::find_if(b.Fields().begin(), b.Fields().end(), [&](const FieldDef& f) {
            return UpperAZ(f.name) == UpperAZ(a.Fields()[i].name);
        });
        if (it == b.Fields().end()) {
            report("column " + Quoted(a.Fields()[i].name) + " only in " + args[0]);
        } else {
            shared.push_back(
                {a.Fields()[i].name, {i, static_cast<std::size_t>(it - b.Fields().begin())}});
            if (static_cast<std::size_t>(it - b.Fields().begin()) != i) {
                report("column " + Quoted(a.Fields()[i].name) + " stands at another position");
            }
        }
    }
    for (const FieldDef& field : b.Fields()) {
        if (std::none_of(a.Fields().begin(), a.Fields().end(), [&](const FieldDef& f) {
                return UpperAZ(f.name) == UpperAZ(field.name);
            })) {
            report("column " + Quoted(field.name) + " only in " + args[1]);
        }
    }
    const auto indexColumn = [](const PolicyTable& table) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < table.Fields().size(); ++i) {
            if (UpperAZ(table.Fields()[i].name) == "INDEX") {
                return i;
            }
        }
        return std::nullopt;
    };
    const auto indexA = indexColumn(a);
    const auto indexB = indexColumn(b);
    if (!indexA || !indexB) {
        throw Error("both files need an INDEX column to compare rows");
    }
    const auto keyed = [](const std::vector<Row>& rows, std::size_t column,
                          std::vector<std::string>& order) {
        std::map<std::string, Row> byIndex;
        for (const Row& row : rows) {
            if (byIndex.emplace(Cell(row, column), row).second) {
                order.push_back(Cell(row, column));
            }
        }
        return byIndex;
    };
    std::vector<std::string> orderA;
    std::vector<std::string> orderB;
    const auto rowsA = keyed(VisibleRows(a), *indexA, orderA);
    const auto rowsB = keyed(VisibleRows(b), *indexB, orderB);

    for (const std::string& index : orderA) {
        const auto other = rowsB.find(index);
        if (other == rowsB.end()) {
            report("- " + Cp1252ToUtf8(index) + " only in " + args[0]);
            continue;
        }
        for (const auto& [name, positions] : shared) {
            const std::string before = Cell(rowsA.at(index), positions.first);
            const std::string after = Cell(other->second, positions.second);
            if (before != after) {
                const bool longText = before.size() + after.size() > 120;
                report("~ " + Cp1252ToUtf8(index) + " " + Cp1252ToUtf8(name) +
                       (longText ? " differs" : ": " + Quoted(before) + " -> " + Quoted(after)));
            }
        }
    }
    for (const std::string& index : orderB) {
        if (rowsA.count(index) == 0) {
            report("+ " + Cp1252ToUtf8(index) + " only in " + args[1]);
        }
    }
    std::vector<std::string> commonA;
    std::vector<std::string> commonB;
    std::copy_if(orderA.begin(), orderA.end(), std::back_inserter(commonA),
                 [&](const std::string& index) { return rowsB.count(index) != 0; });
    std::copy_if(orderB.begin(), orderB.end(), std::back_inserter(commonB),
                 [&](const std::string& index) { return rowsA.count(index) != 0; });
    if (commonA != commonB) {
        report("the rows they share are applied in another order");
    }
    if (differences == 0) {
        out << "No differences.\n";
        return kClean;
    }
    return kFindings;
}

}  // namespace

int RunQuarnctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const std::vector<PlatformCommand>& platformCommands) {
    std::string usage = kUsage;
    for (const PlatformCommand& platform : platformCommands) {
        usage += platform.usage;
    }
    usage += kUsageEnd;
    if (args.empty()) {
        err << usage;
        return kFailure;
    }
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    try {
        if (command == "--help" || command == "-h" || command == "help") {
            out << usage;
            return kClean;
        }
        if (command == "--version") {
            out << "quarnctl " << BuiltInRelease << "\n";
            return kClean;
        }
        if (command == "export") {
            return Export(rest, out);
        }
        if (command == "show") {
            return Show(rest, out);
        }
        if (command == "check") {
            return Check(rest, out);
        }
        if (command == "diff") {
            return Diff(rest, out);
        }
        for (const PlatformCommand& platform : platformCommands) {
            if (command == platform.name) {
                return platform.run(rest, out);
            }
        }
        throw UsageError("unknown command " + command);
    } catch (const UsageError& error) {
        err << "quarnctl: " << error.what() << "\n\n" << usage;
    } catch (const std::exception& error) {
        err << "quarnctl: " << error.what() << "\n";
    }
    return kFailure;
}

}  // namespace quarn
