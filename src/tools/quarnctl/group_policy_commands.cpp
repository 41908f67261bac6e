// quarnctl export-gpo, export-reg and import-pol: a catalogue carried to many
// stations by Group Policy or by a registry file, and a Group Policy registry
// file brought back as a catalogue.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/group_policy.h"
#include "system/file_io.h"
#include "system/reg_file.h"
#include "system/registry_pol.h"
#include "system/text_case.h"
#include "system/text_encoding.h"
#include "tools/quarnctl/commands.h"
#include "tools/quarnctl/quarnctl.h"

namespace quarn::quarnctl {
namespace {

namespace fs = std::filesystem;

void ReportLeftOut(const std::vector<LeftOutRow>& leftOut, std::ostream& err) {
    for (const LeftOutRow& row : leftOut) {
        err << "left out: INDEX " << row.index << ": " << row.reason << "\n";
    }
}

// Now, as Group Policy Preferences stamp their items.
std::string UtcNowText() {
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const auto day = std::chrono::floor<std::chrono::days>(now);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss time(now - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

void CreateFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        throw Error("cannot create the folder " + PathText(folder) + ": " + error.message());
    }
}

bool HoldsAnything(const fs::path& folder) {
    std::error_code error;
    return fs::is_directory(folder, error) && !fs::is_empty(folder, error);
}

// What an administrator reads first in the exported folder.
std::string ReadmeText(const std::string& catalogue, const GroupPolicyExport& gpo) {
    const auto count = [](std::size_t n, const char* what) {
        return std::to_string(n) + " " + what;
    };
    std::string text =
        "QUARN lock catalogue for Group Policy\n"
        "=====================================\n"
        "\n"
        "Exported from " +
        catalogue +
        " by quarnctl export-gpo.\n"
        "\n"
        "What goes where\n"
        "---------------\n"
        "Machine\\Registry.pol                        " +
        count(gpo.machinePolicy.size(), "records") +
        "\n"
        "    Computer Configuration, Administrative Templates: the rows of HKLM\n"
        "    below Software\\Policies or Software\\Microsoft\\Windows\\CurrentVersion\\Policies.\n"
        "User\\Registry.pol                           " +
        count(gpo.userPolicy.size(), "records") +
        "\n"
        "    User Configuration, Administrative Templates: the same for the rows of HKCU.\n"
        "Machine\\Preferences\\Registry\\Registry.xml  " +
        count(gpo.machinePreferences.size(), "items") +
        "\n"
        "User\\Preferences\\Registry\\Registry.xml     " +
        count(gpo.userPreferences.size(), "items") +
        "\n"
        "    Preferences, Windows Settings, Registry: every row outside the Policies keys\n"
        "    (Explorer\\Advanced, Control Panel, Winlogon and the like). Group Policy takes\n"
        "    back what a Registry.pol set only below the Policies keys; anywhere else the\n"
        "    value would stay on every station after the policy went. These items are\n"
        "    marked \"Remove this item when it is no longer applied\" instead, so they go\n"
        "    with the policy too (a deletion has nothing to take back). Preferences apply\n"
        "    through a domain GPO only; LGPO.exe does not read them.\n"
        "\n"
        "Rows switched off in the catalogue, and rows the configurator would refuse, are\n"
        "not exported; quarnctl listed them with their INDEX.\n"
        "\n"
        "Into a domain GPO\n"
        "-----------------\n"
        "1. Create the GPO in the Group Policy Management Console and open it in the\n"
        "   editor once: set any Administrative Templates setting and create any\n"
        "   Preferences > Registry item in Computer and User Configuration, then remove\n"
        "   them again. That registers the Group Policy extensions the files need.\n"
        "2. Copy Machine and User over the folders of the same name in\n"
        "   \\\\<domain>\\SYSVOL\\<domain>\\Policies\\{<GPO id>}\\.\n"
        "3. Change any setting of the GPO in the editor (or raise Version in its GPT.INI),\n"
        "   so that the stations see that it changed.\n"
        "4. Link the GPO, then on a station: gpupdate /force, and gpresult /h report.html\n"
        "   shows every setting with the GPO it came from.\n"
        "\n"
        "WARNING: the user part of a GPO applies to every account it reaches. Link it to\n"
        "the organisational unit of the stations' computer accounts and switch on\n"
        "loopback processing (Computer Configuration > Administrative Templates > System >\n"
        "Group Policy > Configure user Group Policy loopback processing mode, Merge or\n"
        "Replace), or filter the GPO's security to the group of the kiosk accounts.\n"
        "Otherwise staff and administrators are locked down as well.\n"
        "\n"
        "Into one station's local policy (no domain)\n"
        "--------------------------------------------\n"
        "With Microsoft's LGPO.exe, from an elevated prompt in this folder:\n"
        "    LGPO.exe /m Machine\\Registry.pol\n"
        "    LGPO.exe /u User\\Registry.pol\n"
        "/u locks every account of the station, administrators too; LGPO.exe /un\n"
        "User\\Registry.pol (non-administrators only) leaves the administrators theirs.\n"
        "The Preferences rows are not in local policy: for a station without a domain,\n"
        "quarnctl export-reg writes the whole catalogue as one .reg file instead.\n";
    // The text is read on Windows.
    std::string crlf;
    for (const char c : text) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    return crlf;
}

int ExportGpo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Arguments arguments =
        ParseArguments(args, {"--force"}, 2, "export-gpo needs a catalogue file and a folder");
    PolicyTable table = Load(arguments.operands[0]);
    const fs::path folder = PathFromUtf8(arguments.operands[1]);
    if (HoldsAnything(folder) && !arguments.Has("--force")) {
        throw Error(arguments.operands[1] + " is not empty; add --force to write into it");
    }
    const GroupPolicyExport gpo = ExportForGroupPolicy(table);
    const std::string changed = UtcNowText();

    struct Written {
        fs::path name;
        std::string bytes;
        std::string what;
    };
    std::vector<Written> files;
    const auto policy = [&](const char* part, const std::vector<PolRecord>& records) {
        if (!records.empty()) {
            files.push_back({fs::path(part) / "Registry.pol", WriteRegistryPol(records),
                             std::to_string(records.size()) + " records"});
        }
    };
    const auto preferences = [&](const char* part, const std::vector<ApplicableRow>& items) {
        if (!items.empty()) {
            files.push_back({fs::path(part) / "Preferences" / "Registry" / "Registry.xml",
                             WritePreferencesXml(items, changed),
                             std::to_string(items.size()) + " items"});
        }
    };
    policy("Machine", gpo.machinePolicy);
    policy("User", gpo.userPolicy);
    preferences("Machine", gpo.machinePreferences);
    preferences("User", gpo.userPreferences);
    files.push_back({"README.txt", ReadmeText(arguments.operands[0], gpo), "what goes where"});

    for (const Written& file : files) {
        const fs::path path = folder / file.name;
        CreateFolder(path.parent_path());
        ReplaceFileContents(path, file.bytes);
    }
    ReportLeftOut(gpo.leftOut, err);
    out << "Wrote " << arguments.operands[1] << ":\n";
    std::vector<std::vector<std::string>> lines;
    for (const Written& file : files) {
        lines.push_back({"  " + PathText(fs::path(file.name).make_preferred()), file.what});
    }
    PrintTable(out, {"  FILE", "HOLDS"}, lines);
    if (!gpo.leftOut.empty()) {
        out << gpo.leftOut.size() << " rows left out, listed on standard error\n";
    }
    return kClean;
}

int ExportReg(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string problem = "export-reg needs a catalogue file, a file name and --sid SID";
    std::vector<std::string> rest;
    std::string sid;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--sid") {
            if (i + 1 == args.size()) {
                throw UsageError(problem);
            }
            sid = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    const Arguments arguments = ParseArguments(rest, {"--force"}, 2, problem);
    if (sid.size() < 4 || sid.compare(0, 4, "S-1-") != 0 ||
        sid.find_first_not_of("S-0123456789") != std::string::npos) {
        throw UsageError("--sid needs the account's SID (S-1-5-21-...), not \"" + sid + "\"");
    }
    const fs::path file = PathFromUtf8(arguments.operands[1]);
    if (FileExists(file) && !arguments.Has("--force")) {
        throw Error(arguments.operands[1] + " exists; add --force to replace it");
    }
    PolicyTable table = Load(arguments.operands[0]);
    const ApplicableRows applicable = FindApplicableRows(table);
    RegFile regFile = CatalogueAsRegFile(applicable.rows, Cp1252ToUtf16(sid));
    regFile.headerComments.push_back(L"QUARN lock catalogue " +
                                     Cp1252ToUtf16(*Utf8ToCp1252(arguments.operands[0])) +
                                     L" for the account " + Cp1252ToUtf16(sid));
    ReplaceFileContents(file, WriteRegFile(regFile));
    ReportLeftOut(applicable.leftOut, err);
    out << "Wrote " << applicable.rows.size() << " rows to " << arguments.operands[1] << "\n";
    if (!applicable.leftOut.empty()) {
        out << applicable.leftOut.size() << " rows left out, listed on standard error\n";
    }
    return kClean;
}

int ImportPol(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string problem =
        "import-pol needs a Registry.pol, -o CATALOGUE and, unless the "
        "file is in a folder Machine or User, --hive HKCU or HKLM";
    std::vector<std::string> rest;
    std::string output;
    std::string hive;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "-o" || args[i] == "--hive") && i + 1 < args.size()) {
            (args[i] == "-o" ? output : hive) = args[i + 1];
            ++i;
        } else {
            rest.push_back(args[i]);
        }
    }
    const Arguments arguments = ParseArguments(rest, {"--force"}, 1, problem);
    if (output.empty()) {
        throw UsageError(problem);
    }
    const fs::path source = PathFromUtf8(arguments.operands[0]);
    if (hive.empty()) {
        // A GPO's folder says which part the file belongs to.
        const std::string part = PathText(source.parent_path().filename());
        hive = EqualsIgnoringCaseAZ(part, "User")      ? "HKCU"
               : EqualsIgnoringCaseAZ(part, "Machine") ? "HKLM"
                                                       : "";
    }
    if (hive != "HKCU" && hive != "HKLM") {
        throw UsageError(problem);
    }
    const fs::path target = PathFromUtf8(output);
    if (FileExists(target) && !arguments.Has("--force")) {
        throw Error(output + " exists; add --force to replace it");
    }
    const PolReadResult file = ReadRegistryPol(ReadWholeFile(source));
    if (!file) {
        throw Error(arguments.operands[0] + ": " + file.message);
    }
    const PolImport imported =
        ImportRegistryPol(file, hive == "HKCU" ? RowHive::PerUser : RowHive::Machine);
    for (const RefusedPolRecord& record : imported.refused) {
        err << "refused: the record at byte " << record.offset << ": " << record.reason << "\n";
    }
    PolicyTable table = TableOf(imported.rows);
    table.SaveToFile(target);
    out << "Wrote " << imported.rows.size() << " rows of " << file.records.size() << " records to "
        << output << "\n";
    if (!imported.refused.empty()) {
        out << imported.refused.size() << " records refused, listed on standard error\n";
        return kFindings;
    }
    return kClean;
}

}  // namespace

const Command kExportGpoCommand = {
    "export-gpo",
    "  quarnctl export-gpo CATALOGUE FOLDER [--force]\n"
    "      Writes the rows a pass applies as a Group Policy folder: Machine and\n"
    "      User Registry.pol for the rows below the Policies keys, Preferences\n"
    "      Registry.xml for the others, and README.txt. Rows left out are listed\n"
    "      on standard error. A FOLDER that holds files needs --force.\n",
    ExportGpo,
};

const Command kExportRegCommand = {
    "export-reg",
    "  quarnctl export-reg CATALOGUE FILE --sid SID [--force]\n"
    "      Writes the rows a pass applies as one .reg file for reg import, the\n"
    "      per-user rows below HKEY_USERS\\SID. An existing FILE needs --force.\n",
    ExportReg,
};

const Command kImportPolCommand = {
    "import-pol",
    "  quarnctl import-pol REGISTRY.POL [--hive HKCU|HKLM] -o CATALOGUE [--force]\n"
    "      Writes a Group Policy registry file as a catalogue, one row per record\n"
    "      (HKCU for a file in a folder User, HKLM in Machine, else --hive).\n"
    "      Exit 1 when records were refused (listed on standard error).\n",
    ImportPol,
};

}  // namespace quarn::quarnctl
