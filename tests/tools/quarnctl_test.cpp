// quarnctl run in-process: what each command prints, its exit status, and
// that input files are only ever read.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/windows_tables.h"
#include "support/temp_folder.h"
#include "system/file_io.h"
#include "system/reg_file.h"
#include "system/registry_pol.h"
#include "system/restore_point.h"
#include "system/value_data.h"
#include "tools/quarnctl/quarnctl.h"

namespace quarn {
namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

class Quarnctl : public ::testing::Test {
  protected:
    Result Run(std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunQuarnctl(args, out, err);
        return {status, out.str(), err.str()};
    }

    std::string File(const char* name) const { return (folder_ / name).string(); }

    std::string Write(const char* name, const std::string& bytes) {
        ReplaceFileContents(folder_ / name, bytes);
        return File(name);
    }

    // A catalogue file of the given rows (INDEX, SUBTREE, SUBKEY, KEYVALUE,
    // DATATYPE, STATUS).
    std::string Catalogue(const char* name, const std::vector<PolicyRecord>& records) {
        PolicyTable table;
        table.CreateDataSet();
        for (const PolicyRecord& record : records) {
            table.AppendRow(record);
        }
        return Write(name, table.SaveToBytes());
    }

    static PolicyRecord Row(int index, std::string subtree, std::string subkey,
                            std::string keyValue, std::string dataType,
                            std::string status = "aktiviert") {
        return {index, subtree, subkey, keyValue, dataType, "XP", status, "Text"};
    }

    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream stream(text);
        for (std::string line; std::getline(stream, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    test::TempFolder folder_;
};

TEST_F(Quarnctl, VersionHelpAndUsageErrors) {
    EXPECT_EQ(Run({"--version"}).out, "quarnctl 2539162\n");
    const Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("quarnctl check FILE"), std::string::npos);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"export", "both", "x.xml"}, {"show"}, {"diff", "a.xml"}}) {
        const Result result = Run(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_TRUE(result.out.empty());
        EXPECT_NE(result.err.find("Usage:"), std::string::npos);
    }
}

TEST_F(Quarnctl, ExportWritesTheBuiltInCataloguesAndReplacesOnlyWhenAsked) {
    for (const char* which : {"lock", "unlock"}) {
        SCOPED_TRACE(which);
        const std::string file = File("export.xml");
        std::filesystem::remove(file);
        EXPECT_EQ(Run({"export", which, file}).status, 0);
        const std::string expected = std::string(which) == "lock"
                                         ? BuiltInLockCatalogue().SaveToBytes()
                                         : BuiltInUnlockCatalogue().SaveToBytes();
        EXPECT_EQ(ReadWholeFile(file), expected);
    }
    const std::string existing = Write("quarn.xml", "the administrator's catalogue");
    const Result refused = Run({"export", "lock", existing});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--force"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(existing), "the administrator's catalogue");
    EXPECT_EQ(Run({"export", "lock", existing, "--force"}).status, 0);
    EXPECT_EQ(ReadWholeFile(existing), BuiltInLockCatalogue().SaveToBytes());
}

TEST_F(Quarnctl, ShowListsTheRowsInWalkOrderAsUtf8) {
    const std::string file = Catalogue(
        "show.xml", {Row(20, "HKCU\\Software\\B", "Name",
                         "Gr\xFC\xDF"
                         "e",
                         "REG_SZ"),
                     Row(10, "HKLM\\Software\\A", "Value", "1", "REG_DWORD", "deaktiviert")});
    const Result result = Run({"show", file});
    EXPECT_EQ(result.status, 0);
    const auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("INDEX  STATUS", 0), 0u);
    EXPECT_EQ(lines[1].rfind("20     aktiviert", 0), 0u);  // walk order, not INDEX order
    EXPECT_NE(lines[1].find("Gr\xC3\xBC\xC3\x9F"
                            "e"),
              std::string::npos);
    EXPECT_EQ(lines[2].rfind("10     deaktiviert", 0), 0u);
    EXPECT_EQ(lines[3], "2 rows");
}

TEST_F(Quarnctl, CheckFindsRowsThatCannotBeAppliedAsMeant) {
    const std::string file = Catalogue(
        "broken.xml",
        {
            Row(10, "HKCU\\Software\\Fine", "A", "1", "REG_DWORD"),
            Row(20, "HKEY_CURRENT_USER\\Software\\X", "A", "1", "REG_DWORD"),
            Row(30, "HKCU\\Software\\X", "A", "1", "REG_EXPAND_SZ"),
            Row(40, "HKCU\\Software\\X", "B", "abc", "REG_DWORD"),
            Row(50, "HKCU\\Software\\X", "C", "0x10", "REG_DWHEX"),
            Row(60, "HKCU\\Software\\X", "D", "12G4", "REG_BINARY"),
            Row(70, "HKLM\\CurrentControlSet\\Services", "E", "0", "REG_DWORD"),
            Row(80, "HKCU\\Software\\fine\\", "a", "0", "REG_DWORD"),
            Row(90, "HKCU\\Software\\\\Y", "F", "0", "REG_DWORD"),
            Row(100, "HKCU\\Software\\Off", "G", "", "REG_DWORD", "deaktiviert"),
            Row(110, "HKCU\\Software\\X", "H", "1", "REG_DWORD", "Aktiviert"),
            Row(120, "HKCU\\Software\\X", "I", "1", "REG_DWORD", "aktiviert "),
            Row(130, "HKCU\\Software\\X", "J", "1", "REG_DWORD", " Deaktiviert"),
            Row(140, "HKCU\\Software\\X", "K", "1", "REG_DWORD", "an"),
            Row(150, "HKLM\\Software\\", "", "", "DEL_SUBTREE"),
            Row(160, "HKCU\\Software\\Microsoft", "", "", "DEL_SUBTREE"),
            Row(170, "HKCU\\Software\\Microsoft\\Internet Explorer", "", "", "DEL_SUBTREE"),
            Row(180, "HKCU\\Software\\X", "L", "0FFFFFFFF", "REG_DWHEX"),
            Row(190, "HKCU\\Software\\X", "M", "123456789", "REG_DWHEX"),
        });
    const std::string before = ReadWholeFile(file);
    const Result result = Run({"check", file});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(
        Lines(result.out),
        (std::vector<std::string>{
            "20: unknown hive tag \"HKEY_CURRENT_USER\" (HKCU or HKLM, in capitals)",
            "30: unknown DATATYPE \"REG_EXPAND_SZ\": the key is created and nothing else is "
            "written",
            "40: KEYVALUE \"abc\" is not a 32-bit integer (decimal, or hexadecimal after $ or "
            "0x)",
            "50: KEYVALUE \"0x10\" is not hexadecimal digits (no prefix, sign or blanks) of a "
            "value of at most 32 bits",
            "60: KEYVALUE has the pair \"G4\" at character 3, which is not hexadecimal: it and "
            "all bytes after it are written as 0",
            "70: the key path cannot exist: HKEY_LOCAL_MACHINE holds only HARDWARE, SAM, "
            "SECURITY, SOFTWARE and SYSTEM, not \"CurrentControlSet\"",
            "80: names the same key and value as row 10",
            "90: the key path has an empty part (two backslashes)",
            // Rows that look switched on, or off, but are never applied.
            "110: never applied: STATUS is not exactly aktiviert (it is \"Aktiviert\")",
            "120: never applied: STATUS is not exactly aktiviert (it is \"aktiviert \")",
            "130: never applied: STATUS is not exactly aktiviert (it is \" Deaktiviert\")",
            "150: DEL_SUBTREE of a key fewer than 3 levels below the hive would delete a whole "
            "branch of it: the row is refused and nothing is deleted",
            "160: DEL_SUBTREE of a key fewer than 3 levels below the hive would delete a whole "
            "branch of it: the row is refused and nothing is deleted",
            "190: KEYVALUE \"123456789\" is not hexadecimal digits (no prefix, sign or blanks) of "
            "a value of at most 32 bits",
            "14 findings",
        }));
    EXPECT_EQ(ReadWholeFile(file), before);

    // With --all the switched-off rows and an unknown STATUS are looked at
    // too; only a STATUS of exactly "deaktiviert" is called switched off.
    const auto all = Lines(Run({"check", file, "--all"}).out);
    for (const char* expected : {
             "100: KEYVALUE \"\" is not a 32-bit integer (decimal, or hexadecimal after $ or 0x) "
             "(switched off)",
             "110: never applied: STATUS is not exactly aktiviert (it is \"Aktiviert\")",
             "130: never applied: STATUS is not exactly aktiviert (it is \" Deaktiviert\")",
             "140: STATUS \"an\" is neither \"aktiviert\" nor \"deaktiviert\": the row is never "
             "applied",
             "16 findings",
         }) {
        EXPECT_NE(std::find(all.begin(), all.end(), expected), all.end()) << expected;
    }
}

TEST_F(Quarnctl, CheckOnTheBuiltInCatalogues) {
    const std::string lock = File("lock.xml");
    Run({"export", "lock", lock});
    EXPECT_EQ(Run({"check", lock}).out, "No findings in 371 rows.\n");
    // The rows switched off in the catalogue include some that could not work.
    const Result all = Run({"check", lock, "--all"});
    EXPECT_EQ(all.status, 1);
    for (const char* expected : {"5050: KEYVALUE \"\"", "5130: the key path cannot exist",
                                 "5150: the key path cannot exist"}) {
        EXPECT_NE(all.out.find(expected), std::string::npos) << expected;
    }
}

TEST_F(Quarnctl, ShowLabelsTheColumnsWithTheFilesOwnNames) {
    const std::string file =
        Write("swapped.xml",
              R"(<DATAPACKET><METADATA><FIELDS><FIELD attrname="Nr" fieldtype="i4"/>)"
              R"(<FIELD attrname="SUBKEY" fieldtype="string"/>)"
              R"(<FIELD attrname="SUBTREE" fieldtype="string"/></FIELDS></METADATA><ROWDATA>)"
              R"(<ROW Nr="10" SUBKEY="Name" SUBTREE="HKLM&#092;Software&#092;A"/>)"
              R"(</ROWDATA></DATAPACKET>)");
    const Result result = Run({"show", file});
    EXPECT_EQ(result.status, 0);
    // The file's columns at the positions the applier reads, under their own names.
    EXPECT_EQ(Lines(result.out), (std::vector<std::string>{
                                     "Nr  SUBKEY  SUBTREE",
                                     "10  Name    HKLM\\Software\\A",
                                     "1 rows",
                                 }));
}

TEST_F(Quarnctl, CheckReportsADifferentLayoutAndUnreadableFiles) {
    const std::string other =
        Write("other.xml",
              R"(<DATAPACKET><METADATA><FIELDS><FIELD attrname="SUBKEY" fieldtype="string"/>)"
              R"(<FIELD attrname="SUBTREE" fieldtype="string"/></FIELDS></METADATA><ROWDATA>)"
              R"(</ROWDATA></DATAPACKET>)");
    const Result layout = Run({"check", other});
    EXPECT_EQ(layout.status, 1);
    EXPECT_EQ(layout.out.rfind("layout: the columns are SUBKEY, SUBTREE;", 0), 0u);

    const std::string broken = Write("broken.xml", "<DATAPACKET><METADATA><FIELDS/></PARAMS>");
    const Result unreadable = Run({"check", broken});
    EXPECT_EQ(unreadable.status, 2);
    EXPECT_EQ(unreadable.err, "quarnctl: " + broken + ": Mismatch in datapacket. (at byte 31)\n");
    EXPECT_EQ(Run({"show", File("absent.xml")}).status, 2);
}

TEST_F(Quarnctl, DiffByIndexColumnByColumn) {
    const std::string a = Catalogue("a.xml", {Row(10, "HKCU\\Software\\X", "A", "1", "REG_DWORD"),
                                              Row(20, "HKCU\\Software\\X", "B", "1", "REG_DWORD"),
                                              Row(30, "HKCU\\Software\\X", "C", "1", "REG_DWORD")});
    const std::string b =
        Catalogue("b.xml", {Row(10, "HKCU\\Software\\X", "A", "0", "REG_DWORD", "deaktiviert"),
                            Row(30, "HKCU\\Software\\X", "C", "1", "REG_DWORD"),
                            Row(40, "HKCU\\Software\\X", "D", "1", "REG_DWORD")});
    const Result result = Run({"diff", a, b});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(Lines(result.out), (std::vector<std::string>{
                                     "~ 10 KEYVALUE: \"1\" -> \"0\"",
                                     "~ 10 STATUS: \"aktiviert\" -> \"deaktiviert\"",
                                     "- 20 only in " + a,
                                     "+ 40 only in " + b,
                                 }));
    EXPECT_EQ(Run({"diff", a, a}).out, "No differences.\n");

    const std::string lock = File("lock.xml");
    const std::string unlock = File("unlock.xml");
    Run({"export", "lock", lock});
    Run({"export", "unlock", unlock});
    const auto lines = Lines(Run({"diff", lock, unlock}).out);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.rfind("~ ", 0) == 0; }),
              153);
    EXPECT_EQ(lines.back(), "the rows they share are applied in another order");
}

}  // namespace
}  // namespace quarn

namespace quarn {
namespace {

class QuarnctlRestore : public Quarnctl {};

// What a restore point recorded, one target a line with its state then;
// the restore itself is a Windows command.
TEST_F(QuarnctlRestore, ShowListsTheRecordedTargets) {
    RestorePoint point({
        {RecordedKind::CreatedKey, RegistryRoot::Users, L"S-1-5-21-1\\Software\\New", {}, {}},
        {RecordedKind::Value, RegistryRoot::Users, L"S-1-5-21-1\\Software\\New", L"NoRun", {}},
        {RecordedKind::Value, RegistryRoot::LocalMachine, L"SOFTWARE\\P", L"Größe",
         RegistryValue{kRegSz, StringValueData(L"ex")}},
        {RecordedKind::Value, RegistryRoot::LocalMachine, L"SOFTWARE\\P", L"",
         RegistryValue{kRegDword, {10, 0, 0, 0}}},
        {RecordedKind::Value, RegistryRoot::LocalMachine, L"SYSTEM\\K", L"Scancode Map",
         RegistryValue{kRegBinary, {0, 1, 0xFE}}},
    });
    point.RecordAdministrators({L"PC-1\\kiosk", false});
    const std::string file = File(kRestorePointFileName);
    SaveRestorePoint(folder_ / kRestorePointFileName, point);
    const Result shown = Run({"restore", "--show", file});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(Lines(shown.out),
              (std::vector<std::string>{
                  "HIVE                   KEY           VALUE         RECORDED STATE",
                  "HKEY_USERS\\S-1-5-21-1  Software\\New                key did not exist",
                  "HKEY_USERS\\S-1-5-21-1  Software\\New  NoRun         absent",
                  "HKEY_LOCAL_MACHINE     SOFTWARE\\P                  key existed",
                  "HKEY_LOCAL_MACHINE     SOFTWARE\\P    Größe         REG_SZ \"ex\"",
                  "HKEY_LOCAL_MACHINE     SOFTWARE\\P    (Default)     REG_DWORD 10",
                  "HKEY_LOCAL_MACHINE     SYSTEM\\K                    key existed",
                  "HKEY_LOCAL_MACHINE     SYSTEM\\K      Scancode Map  REG_BINARY 00 01 fe",
                  "7 targets recorded",
                  "PC-1\\kiosk was not a member of the Administrators group",
              }));
    EXPECT_EQ(Run({"restore", file}).status, 2);  // here only --show
    const std::string damaged = Write("damaged.reg", ReadWholeFile(file).substr(0, 70));
    const Result refused = Run({"restore", "--show", damaged});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("at byte"), std::string::npos) << refused.err;
    EXPECT_EQ(Run({"restore", "--show", File("missing.reg")}).status, 2);
}

}  // namespace
}  // namespace quarn

namespace quarn {
namespace {

class QuarnctlAudit : public Quarnctl {};

// The audit of a file: grouped lines, the counts, exit 1 while a route is
// not closed; the page holds every route with its mark and nothing from
// outside. The recommended catalogue passes check.
TEST_F(QuarnctlAudit, ReportsEachRouteAndWritesOneSelfContainedPage) {
    const std::string lock = File("lock.xml");
    ASSERT_EQ(Run({"export", "lock", lock}).status, 0);
    const std::string page = File("audit.html");
    const Result audited = Run({"audit", lock, "--html", page});
    EXPECT_EQ(audited.status, 1) << audited.err;
    EXPECT_NE(audited.out.find("Accessibility\n"), std::string::npos);
    EXPECT_NE(audited.out.find("closed         75  Run dialog"), std::string::npos) << audited.out;
    EXPECT_NE(audited.out.find("partly closed  58  cmd.exe and batch files"), std::string::npos);
    EXPECT_NE(audited.out.find("6280 writes REG_DWORD 0"), std::string::npos);
    EXPECT_NE(audited.out.find("no registry policy: "), std::string::npos);
    EXPECT_NE(audited.out.find("18 closed, 12 partly closed, 53 open, 2 without a registry policy"),
              std::string::npos)
        << audited.out;

    const std::string html = ReadWholeFile(folder_ / "audit.html");
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>"));
    for (const EscapeRoute& route : EscapeRoutes()) {
        EXPECT_NE(html.find("<td class=\"n\">" + std::to_string(route.number) + "</td>"),
                  std::string::npos)
            << route.number;
    }
    for (const char* mark : {"<tr class=\"closed\">", "<tr class=\"partly\">",
                             "<tr class=\"open\">", "<tr class=\"nopolicy\">"}) {
        EXPECT_NE(html.find(mark), std::string::npos) << mark;
    }
    for (const char* outside : {"http:", "https:", "src=", "<script", "@import", "url("}) {
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    }

    const std::string recommended = File("recommended.xml");
    ASSERT_EQ(Run({"export", "windows10-11", recommended}).status, 0);
    const Result checked = Run({"check", recommended});
    EXPECT_EQ(checked.status, 0) << checked.out;
    EXPECT_NE(Run({"audit", recommended}).out.find(" 0 open, 2 without a registry policy"),
              std::string::npos);
    EXPECT_EQ(Run({"audit"}).status, 2);
    EXPECT_EQ(Run({"audit", lock, "--html"}).status, 2);
    EXPECT_EQ(Run({"audit", "--station"}).status, 2);  // here only files
}

}  // namespace
}  // namespace quarn

namespace quarn {
namespace {

class QuarnctlGroupPolicy : public Quarnctl {
  protected:
    std::string Catalogue() {
        return Quarnctl::Catalogue(
            "rows.xml",
            {Row(10, "HKCU\\Software\\Policies\\Microsoft\\Windows\\System", "DisableCMD", "1",
                 "REG_DWORD"),
             Row(20, "HKLM\\Software\\Policies\\Microsoft\\Edge", "InPrivateModeAvailability", "1",
                 "REG_DWORD"),
             Row(30, "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced",
                 "Start_ShowRun", "0", "REG_DWORD"),
             Row(40, "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout", "Scancode Map",
                 "00", "REG_BINARY"),
             Row(50, "HKCU\\Software\\Policies\\Off", "V", "1", "REG_DWORD", "deaktiviert"),
             Row(60, "HKCU\\Software\\Policies\\Bad", "V", "x", "REG_DWORD")});
    }
};

// The folder holds each part's files; the rows left out are named on
// standard error by INDEX; a folder that holds files is only written with
// --force.
TEST_F(QuarnctlGroupPolicy, ExportGpoWritesTheFolderAndNamesTheRowsLeftOut) {
    const std::string catalogue = Catalogue();
    const std::string gpo = File("gpo");
    const Result exported = Run({"export-gpo", catalogue, gpo});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(Lines(exported.err),
              (std::vector<std::string>{"left out: INDEX 50: STATUS is \"deaktiviert\", not "
                                        "\"aktiviert\"",
                                        "left out: INDEX 60: the applier writes nothing for it: "
                                        "KEYVALUE does not convert to its DATATYPE"}));
    for (const char* part : {"Machine", "User"}) {
        const auto pol = ReadRegistryPol(ReadWholeFile(folder_ / "gpo" / part / "Registry.pol"));
        ASSERT_TRUE(pol) << pol.message;
        EXPECT_EQ(pol.records.size(), 1u) << part;
        const std::string xml =
            ReadWholeFile(folder_ / "gpo" / part / "Preferences" / "Registry" / "Registry.xml");
        EXPECT_NE(xml.find(std::string(part) == "User" ? "Start_ShowRun" : "Scancode Map"),
                  std::string::npos);
    }
    const std::string readme = ReadWholeFile(folder_ / "gpo" / "README.txt");
    for (const char* part :
         {"LGPO.exe /m Machine\\Registry.pol\r\n", "loopback", "gpupdate /force", "gpresult /h"}) {
        EXPECT_NE(readme.find(part), std::string::npos) << part;
    }
    EXPECT_NE(exported.out.find("2 rows left out"), std::string::npos) << exported.out;

    EXPECT_EQ(Run({"export-gpo", catalogue, gpo}).status, 2);
    EXPECT_EQ(Run({"export-gpo", catalogue, gpo, "--force"}).status, 0);
}

TEST_F(QuarnctlGroupPolicy, ExportRegNeedsTheAccountsSid) {
    const std::string catalogue = Catalogue();
    const std::string reg = File("station.reg");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"export-reg", catalogue, reg},
                                               {"export-reg", catalogue, reg, "--sid"},
                                               {"export-reg", catalogue, reg, "--sid", "kiosk"}}) {
        EXPECT_EQ(Run(args).status, 2);
    }
    const Result exported = Run({"export-reg", catalogue, reg, "--sid", "S-1-5-21-7-1001"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const RegFileReadResult file = ReadRegFile(ReadWholeFile(reg));
    ASSERT_TRUE(file) << file.message;
    ASSERT_EQ(file.file.keys.size(), 4u);
    EXPECT_EQ(file.file.keys[0].path,
              L"HKEY_USERS\\S-1-5-21-7-1001\\Software\\Policies\\Microsoft\\Windows\\System");
    EXPECT_EQ(file.file.keys[1].path, L"HKEY_LOCAL_MACHINE\\Software\\Policies\\Microsoft\\Edge");
    EXPECT_EQ(Run({"export-reg", catalogue, reg, "--sid", "S-1-5-21-7-1001"}).status, 2);
}

// The hive comes from the GPO's folder or --hive; a damaged file is named
// with the byte where reading stopped; a record with no row makes exit 1.
TEST_F(QuarnctlGroupPolicy, ImportPolTakesTheHiveAndReportsWhereAFileIsWrong) {
    std::filesystem::create_directories(folder_ / "User");
    const std::string pol = (folder_ / "User" / "Registry.pol").string();
    ReplaceFileContents(
        pol, WriteRegistryPol({{L"Software\\Policies\\P", L"V", 4, {1, 0, 0, 0}},
                               {L"Software\\Policies\\P", L"Q", 11, {1, 0, 0, 0, 0, 0, 0, 0}}}));
    const std::string catalogue = File("imported.xml");
    const Result imported = Run({"import-pol", pol, "-o", catalogue});
    EXPECT_EQ(imported.status, 1);
    EXPECT_EQ(imported.err,
              "refused: the record at byte 76: the type REG_QWORD (11) is not one a catalogue "
              "row writes\n");
    PolicyTable table;
    table.LoadFromFile(catalogue);
    ASSERT_EQ(table.RecordCount(), 1);
    EXPECT_EQ(table.GetFieldText(kColumnSubtree), "HKCU\\Software\\Policies\\P");

    const std::string loose = Write("loose.pol", ReadWholeFile(pol));
    EXPECT_EQ(Run({"import-pol", loose, "-o", File("a.xml")}).status, 2);
    EXPECT_EQ(Run({"import-pol", loose, "--hive", "HKLM", "-o", File("a.xml")}).status, 1);
    EXPECT_EQ(Run({"import-pol", loose, "--hive", "HKLM", "-o", File("a.xml")}).status, 2);

    const std::string truncated = Write("truncated.pol", ReadWholeFile(pol).substr(0, 40));
    const Result damaged = Run({"import-pol", truncated, "--hive", "HKCU", "-o", File("b.xml")});
    EXPECT_EQ(damaged.status, 2);
    EXPECT_NE(damaged.err.find("ends inside the record that begins at byte 8 (at byte 40)"),
              std::string::npos)
        << damaged.err;
    EXPECT_FALSE(FileExists(folder_ / "b.xml"));
}

}  // namespace
}  // namespace quarn
