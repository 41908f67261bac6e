// quarnctl check: the rows of a catalogue file that cannot be applied as meant.

#include <algorithm>
#include <map>

#include "catalogue/catalogue_pass.h"
#include "catalogue/row_kinds.h"
#include "system/registry_vocabulary.h"
#include "system/text_case.h"
#include "system/text_encoding.h"
#include "tools/quarnctl/commands.h"

namespace quarn::quarnctl {
namespace {

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
    std::string withoutBlanks;
    for (const char c : status) {
        if (c != ' ' && c != '\t') {
            withoutBlanks += c;
        }
    }
    return EqualsIgnoringCaseAZ(withoutBlanks, kStatusOn) ||
           EqualsIgnoringCaseAZ(withoutBlanks, kStatusOff);
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

// The key and value a row names, letter case ignored in A to Z (catalogue
// text is code page 1252; the registry itself also ignores the case of the
// Latin-1 letters, which this leaves apart).
std::string Target(const Row& row) {
    std::string subtree = Cell(row, kColumnSubtree);
    while (!subtree.empty() && subtree.back() == '\\') {
        subtree.pop_back();
    }
    const RowKind* kind = FindRowKind(Cell(row, kColumnDataType));
    const bool wholeKey = kind != nullptr && kind->wholeKey;
    return LowerAZ(subtree) +
           (wholeKey ? std::string("\n(key)") : "\n" + LowerAZ(Cell(row, kColumnSubkey)));
}

int Check(const std::vector<std::string>& args, std::ostream& out, std::ostream& /*err*/) {
    const Arguments arguments = ParseArguments(args, {"--all"}, 1, "check needs one file name");
    const bool all = arguments.Has("--all");
    PolicyTable table = Load(arguments.operands[0]);
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

}  // namespace

const Command kCheckCommand = {
    "check",
    "  quarnctl check FILE [--all]\n"
    "      Lists the rows that cannot be applied as meant: the switched-on rows and\n"
    "      those whose STATUS differs from aktiviert or deaktiviert only in letter\n"
    "      case or blanks (with --all every row). Exit status 0 when clean, 1 with\n"
    "      findings, 2 when FILE cannot be read.\n",
    Check,
};

}  // namespace quarn::quarnctl
