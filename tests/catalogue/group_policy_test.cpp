// A catalogue carried to Group Policy and back: which rows go into
// Registry.pol and which into Preferences, the records and items they become,
// a Registry.pol imported as rows, and the same rows as one .reg file.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <variant>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/group_policy.h"
#include "catalogue/recommended_catalogue.h"
#include "system/error.h"
#include "system/text_encoding.h"
#include "system/value_data.h"

namespace quarn {
namespace {

PolicyRecord Row(int index, std::string subtree, std::string subkey, std::string keyValue,
                 std::string dataType, std::string status = "aktiviert") {
    return {index,
            *Utf8ToCp1252(subtree),
            *Utf8ToCp1252(subkey),
            *Utf8ToCp1252(keyValue),
            dataType,
            "W10/W11",
            status,
            "Text"};
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> bytes) {
    std::vector<std::uint8_t> out;
    for (const int byte : bytes) {
        out.push_back(static_cast<std::uint8_t>(byte));
    }
    return out;
}

std::vector<std::uint8_t> Text(std::wstring_view text) {
    return StringValueData(text);
}

enum class Place { MachinePolicy, UserPolicy, MachinePreferences, UserPreferences, LeftOut };

struct ExportCase {
    const char* name;
    PolicyRecord row;
    Place place;
    std::optional<PolRecord> record = std::nullopt;  // for the two policy places
    const char* reason = "";                         // part of the reason a row is left out
};

// Where the export put the one row of its table, and its record there.
std::pair<std::optional<Place>, std::optional<PolRecord>> Find(const GroupPolicyExport& gpo) {
    if (!gpo.machinePolicy.empty()) {
        return {Place::MachinePolicy, gpo.machinePolicy.front()};
    }
    if (!gpo.userPolicy.empty()) {
        return {Place::UserPolicy, gpo.userPolicy.front()};
    }
    if (!gpo.machinePreferences.empty()) {
        return {Place::MachinePreferences, std::nullopt};
    }
    if (!gpo.userPreferences.empty()) {
        return {Place::UserPreferences, std::nullopt};
    }
    if (!gpo.leftOut.empty()) {
        return {Place::LeftOut, std::nullopt};
    }
    return {std::nullopt, std::nullopt};
}

void PrintTo(const ExportCase& c, std::ostream* out) {
    *out << c.name;
}

class ExportForGroupPolicyTest : public ::testing::TestWithParam<ExportCase> {};

TEST_P(ExportForGroupPolicyTest, SendsTheRowWhereGroupPolicyTakesItBack) {
    const ExportCase& c = GetParam();
    PolicyTable table = TableOf({c.row});
    const GroupPolicyExport gpo = ExportForGroupPolicy(table);
    const std::size_t placed = gpo.machinePolicy.size() + gpo.userPolicy.size() +
                               gpo.machinePreferences.size() + gpo.userPreferences.size() +
                               gpo.leftOut.size();
    ASSERT_EQ(placed, 1u);
    const auto [place, record] = Find(gpo);
    EXPECT_EQ(place, c.place);
    if (c.record) {
        EXPECT_EQ(record, c.record);
    }
    if (c.place == Place::LeftOut) {
        EXPECT_EQ(gpo.leftOut.front().index, std::to_string(c.row.index));
        EXPECT_NE(gpo.leftOut.front().reason.find(c.reason), std::string::npos)
            << gpo.leftOut.front().reason;
    }
}

const std::wstring kSystem = L"Software\\Policies\\Microsoft\\Windows\\System";

INSTANTIATE_TEST_SUITE_P(
    Rows, ExportForGroupPolicyTest,
    ::testing::Values(
        ExportCase{"DwordBelowPolicies",
                   Row(10, "HKCU\\Software\\Policies\\Microsoft\\Windows\\System", "DisableCMD",
                       "1", "REG_DWORD"),
                   Place::UserPolicy, PolRecord{kSystem, L"DisableCMD", 4, Bytes({1, 0, 0, 0})}},
        ExportCase{"DwhexIsADwordAndLetterCaseOfTheKeyDoesNotMatter",
                   Row(20, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                       "EnableLUA", "FFFFFFFE", "REG_DWHEX"),
                   Place::MachinePolicy,
                   PolRecord{L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                             L"EnableLUA", 4, Bytes({0xFE, 0xFF, 0xFF, 0xFF})}},
        ExportCase{
            "StringWithTheFormsDelimitersAndAnUmlaut",
            Row(30, "HKCU\\Software\\Policies\\Grüße;]", "Na\"me\\x;]", "C:\\a;\"b\"]ä", "REG_SZ"),
            Place::UserPolicy,
            PolRecord{L"Software\\Policies\\Grüße;]", L"Na\"me\\x;]", 1, Text(L"C:\\a;\"b\"]ä")}},
        ExportCase{"Binary", Row(40, "HKCU\\Software\\Policies\\B", "Blob", "0A5b", "REG_BINARY"),
                   Place::UserPolicy,
                   PolRecord{L"Software\\Policies\\B", L"Blob", 3, Bytes({0x0A, 0x5B})}},
        ExportCase{"DeletedValue",
                   Row(50, "HKCU\\Software\\Policies\\Microsoft\\Windows\\System", "Old", "",
                       "DEL_SUBKEY"),
                   Place::UserPolicy, PolRecord{kSystem, L"**del.Old", 1, Text(L" ")}},
        ExportCase{
            "DeletedKeyIsNamedOnItsParent",
            Row(60, "HKCU\\Software\\Policies\\Microsoft\\Edge\\Extra", "ignored", "",
                "DEL_SUBTREE"),
            Place::UserPolicy,
            PolRecord{L"Software\\Policies\\Microsoft\\Edge", L"**DeleteKeys", 1, Text(L"Extra")}},
        ExportCase{"CreatedKeyIsAKeyOnlyRecord",
                   Row(70, "HKLM\\Software\\Policies\\QUARN\\", "ignored", "x", "ADD_SUBTREE"),
                   Place::MachinePolicy, PolRecord{L"Software\\Policies\\QUARN", L"", 0, {}}},
        ExportCase{"ThePoliciesKeyItself",
                   Row(80, "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies", "V", "1",
                       "REG_DWORD"),
                   Place::UserPolicy,
                   PolRecord{L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies", L"V", 4,
                             Bytes({1, 0, 0, 0})}},
        // Outside the Policies keys a value would stay when the policy goes.
        ExportCase{"UserRowOutsidePolicies",
                   Row(90, "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced",
                       "Start_ShowRun", "0", "REG_DWORD"),
                   Place::UserPreferences},
        ExportCase{"MachineRowOutsidePolicies",
                   Row(100, "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout",
                       "Scancode Map", "00", "REG_BINARY"),
                   Place::MachinePreferences},
        ExportCase{"AKeyThatOnlyBeginsLikePolicies",
                   Row(110, "HKCU\\Software\\PoliciesX\\Y", "V", "1", "REG_DWORD"),
                   Place::UserPreferences},
        // What a Registry.pol record cannot say.
        ExportCase{"TheKeysDefaultValue",
                   Row(120, "HKCU\\Software\\Policies\\D", "", "text", "REG_SZ"),
                   Place::UserPreferences},
        ExportCase{
            "AValueOfNoBytes",
            Row(130, "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                "NoStartBanner", "", "REG_BINARY"),
            Place::UserPreferences},
        ExportCase{"AValueNamedLikeADirective",
                   Row(140, "HKCU\\Software\\Policies\\D", "**del.X", "1", "REG_DWORD"),
                   Place::UserPreferences},
        ExportCase{"ADeletedKeyWhoseNameHoldsTheListSeparator",
                   Row(150, "HKCU\\Software\\Policies\\P\\a;b", "", "", "DEL_SUBTREE"),
                   Place::UserPreferences},
        // Rows a pass does not apply.
        ExportCase{"SwitchedOff",
                   Row(160, "HKCU\\Software\\Policies\\P", "V", "1", "REG_DWORD", "deaktiviert"),
                   Place::LeftOut, std::nullopt, "STATUS is \"deaktiviert\""},
        ExportCase{"UnknownHive", Row(170, "HKU\\Software\\Policies\\P", "V", "1", "REG_DWORD"),
                   Place::LeftOut, std::nullopt, "hive tag"},
        ExportCase{"DeletionTooCloseToTheHive",
                   Row(180, "HKCU\\Software\\Policies", "", "", "DEL_SUBTREE"), Place::LeftOut,
                   std::nullopt, "DEL_SUBTREE"},
        ExportCase{"UnknownKind", Row(190, "HKCU\\Software\\Policies\\P", "V", "1", "REG_QWORD"),
                   Place::LeftOut, std::nullopt, "DATATYPE"},
        ExportCase{"KeyValueThatDoesNotConvert",
                   Row(200, "HKCU\\Software\\Policies\\P", "V", "1x", "REG_DWORD"), Place::LeftOut,
                   std::nullopt, "KEYVALUE"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(IsBelowPoliciesKey, TheFourKeysAndWhatIsBelowThem) {
    for (const wchar_t* path :
         {L"Software\\Policies", L"\\software\\policies\\x", L"SOFTWARE\\POLICIES\\",
          L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"}) {
        EXPECT_TRUE(IsBelowPoliciesKey(path)) << Utf16ToUtf8(path);
    }
    for (const wchar_t* path :
         {L"Software", L"Software\\PoliciesX", L"Software\\Microsoft\\Windows\\CurrentVersion",
          L"Software\\Microsoft\\Windows\\CurrentVersion\\PoliciesOld", L"System\\Policies"}) {
        EXPECT_FALSE(IsBelowPoliciesKey(path)) << Utf16ToUtf8(path);
    }
}

// --- Preferences ------------------------------------------------------------

std::vector<ApplicableRow> PreferenceRows(const std::vector<PolicyRecord>& records) {
    PolicyTable table = TableOf(records);
    GroupPolicyExport gpo = ExportForGroupPolicy(table);
    EXPECT_TRUE(gpo.leftOut.empty());
    std::vector<ApplicableRow> rows = gpo.userPreferences;
    rows.insert(rows.end(), gpo.machinePreferences.begin(), gpo.machinePreferences.end());
    return rows;
}

// The Registry element of the item of the given INDEX, opening tag to end.
std::string ItemOf(const std::string& xml, const std::string& index) {
    const std::size_t desc = xml.find("desc=\"QUARN INDEX " + index + "\"");
    if (desc == std::string::npos) {
        return {};
    }
    const std::size_t begin = xml.rfind("<Registry ", desc);
    const std::size_t end = xml.find("</Registry>", desc);
    return xml.substr(begin, end - begin);
}

TEST(WritePreferencesXml, EachRowAsTheEditorWritesAnItem) {
    const auto rows = PreferenceRows({
        Row(10, "HKCU\\Software\\X\\Advanced", "Hidden", "255", "REG_DWORD"),
        Row(20, "HKCU\\Software\\X", "Text", "a&b<c>\"d\"", "REG_SZ"),
        Row(30, "HKLM\\SYSTEM\\X", "Map", "00ff", "REG_BINARY"),
        Row(40, "HKCU\\Software\\X", "", "standard", "REG_SZ"),
        Row(50, "HKCU\\Software\\X", "Gone", "", "DEL_SUBKEY"),
        Row(60, "HKCU\\Software\\X\\Old\\Key", "", "", "DEL_SUBTREE"),
        Row(70, "HKLM\\SYSTEM\\X\\New", "", "", "ADD_SUBTREE"),
    });
    const std::string xml = WritePreferencesXml(rows, "2026-12-11 10:00:00");
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RegistrySettings "
                        "clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\">\r\n",
                        0),
              0u);
    EXPECT_TRUE(xml.ends_with("</RegistrySettings>\r\n"));

    struct Expected {
        const char* index;
        std::vector<const char*> parts;
        bool removedWithThePolicy;
    };
    for (const Expected& expected : std::vector<Expected>{
             {"10",
              {"action=\"U\" displayDecimal=\"1\" default=\"0\" hive=\"HKEY_CURRENT_USER\" "
               "key=\"Software\\X\\Advanced\" name=\"Hidden\" type=\"REG_DWORD\" "
               "value=\"000000FF\"",
               "changed=\"2026-12-11 10:00:00\""},
              true},
             {"20",
              {"name=\"Text\" type=\"REG_SZ\" value=\"a&amp;b&lt;c&gt;&quot;d&quot;\""},
              true},
             {"30",
              {"hive=\"HKEY_LOCAL_MACHINE\" key=\"SYSTEM\\X\" name=\"Map\" type=\"REG_BINARY\" "
               "value=\"00FF\""},
              true},
             {"40",
              {"name=\"(Default)\"", "default=\"1\"",
               "name=\"\" type=\"REG_SZ\" "
               "value=\"standard\""},
              true},
             {"50", {"action=\"D\"", "name=\"Gone\""}, false},
             {"60",
              {"<Registry clsid=\"{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}\" name=\"Key\"",
               "action=\"D\"", "key=\"Software\\X\\Old\\Key\" name=\"\" type=\"\""},
              false},
             {"70",
              {"name=\"New\"", "action=\"U\"", "key=\"SYSTEM\\X\\New\" name=\"\" type=\"\""},
              true},
         }) {
        const std::string item = ItemOf(xml, expected.index);
        ASSERT_FALSE(item.empty()) << "INDEX " << expected.index;
        for (const char* part : expected.parts) {
            EXPECT_NE(item.find(part), std::string::npos)
                << "INDEX " << expected.index << " lacks " << part << " in\n"
                << item;
        }
        EXPECT_EQ(item.find("removePolicy=\"1\"") != std::string::npos,
                  expected.removedWithThePolicy)
            << item;
    }

    // The same rows give the same uids; each row has its own.
    EXPECT_EQ(WritePreferencesXml(rows, "2026-12-11 10:00:00"), xml);
    std::set<std::string> uids;
    for (std::size_t at = xml.find("uid=\"{"); at != std::string::npos;
         at = xml.find("uid=\"{", at + 1)) {
        uids.insert(xml.substr(at, 44));
    }
    EXPECT_EQ(uids.size(), rows.size());
}

TEST(WritePreferencesXml, RefusesTextXmlCannotCarry) {
    const auto rows = PreferenceRows({Row(10, "HKCU\\Software\\X", "T", "a\x01", "REG_SZ")});
    EXPECT_THROW(WritePreferencesXml(rows, "2026-12-11 10:00:00"), Error);
}

// --- import -----------------------------------------------------------------

struct ImportCase {
    const char* name;
    PolRecord record;
    // The rows it becomes: SUBTREE, SUBKEY, KEYVALUE, DATATYPE (UTF-8); none
    // when it is refused.
    std::vector<std::array<const char*, 4>> rows;
    const char* reason = "";  // part of the reason it is refused
};

void PrintTo(const ImportCase& c, std::ostream* out) {
    *out << c.name;
}

class ImportRegistryPolTest : public ::testing::TestWithParam<ImportCase> {};

TEST_P(ImportRegistryPolTest, TurnsTheRecordIntoRows) {
    const ImportCase& c = GetParam();
    // A record before it, so that the offset is not that of the first.
    const PolRecord before{L"Software\\Policies\\First", L"V", 4, Bytes({1, 0, 0, 0})};
    const PolReadResult file = ReadRegistryPol(WriteRegistryPol({before, c.record}));
    ASSERT_TRUE(file) << file.message;
    const PolImport imported = ImportRegistryPol(file, RowHive::Machine);
    ASSERT_FALSE(imported.rows.empty());
    EXPECT_EQ(imported.rows.front().subtree, "HKLM\\Software\\Policies\\First");

    std::vector<std::array<std::string, 4>> rows;
    for (std::size_t i = 1; i < imported.rows.size(); ++i) {
        const PolicyRecord& row = imported.rows[i];
        rows.push_back({Cp1252ToUtf8(row.subtree), Cp1252ToUtf8(row.subkey),
                        Cp1252ToUtf8(row.keyValue), row.dataType});
        EXPECT_EQ(row.index, static_cast<int>(10 * (i + 1)));
        EXPECT_EQ(row.status, "aktiviert");
        const std::string text = Cp1252ToUtf8(row.text);
        EXPECT_EQ(text.rfind(std::string(kImportedRowTitle), 0), 0u) << text;
        EXPECT_NE(text.find(Cp1252ToUtf8(row.subtree)), std::string::npos) << text;
        EXPECT_NE(text.find(Cp1252ToUtf8(row.subkey)), std::string::npos) << text;
    }
    std::vector<std::array<std::string, 4>> expected;
    for (const auto& row : c.rows) {
        expected.push_back({row[0], row[1], row[2], row[3]});
    }
    EXPECT_EQ(rows, expected);
    if (c.rows.empty()) {
        ASSERT_EQ(imported.refused.size(), 1u);
        EXPECT_EQ(imported.refused.front().offset, file.recordOffsets[1]);
        EXPECT_NE(imported.refused.front().reason.find(c.reason), std::string::npos)
            << imported.refused.front().reason;
    } else {
        EXPECT_TRUE(imported.refused.empty());
    }
}

const std::wstring kKey = L"Software\\Policies\\Q";

INSTANTIATE_TEST_SUITE_P(
    Records, ImportRegistryPolTest,
    ::testing::Values(
        ImportCase{"Dword",
                   {kKey, L"V", 4, Bytes({0xFF, 0xFF, 0xFF, 0xFF})},
                   {{"HKLM\\Software\\Policies\\Q", "V", "-1", "REG_DWORD"}}},
        ImportCase{"StringWithAndWithoutItsZero",
                   {kKey, L"S;]\"", 1, Utf16LeData(L"C:\\ä;]")},
                   {{"HKLM\\Software\\Policies\\Q", "S;]\"", "C:\\ä;]", "REG_SZ"}}},
        ImportCase{"Binary",
                   {kKey, L"B", 3, Bytes({0x00, 0xAB, 0x5D})},
                   {{"HKLM\\Software\\Policies\\Q", "B", "00AB5D", "REG_BINARY"}}},
        ImportCase{"KeyOnly",
                   {kKey + L"\\New", L"", 0, {}},
                   {{"HKLM\\Software\\Policies\\Q\\New", "", "", "ADD_SUBTREE"}}},
        ImportCase{"ValueWithoutData",
                   {kKey, L"V", 1, {}},
                   {{"HKLM\\Software\\Policies\\Q", "", "", "ADD_SUBTREE"}}},
        ImportCase{"DeleteOneValueInAnyCase",
                   {kKey, L"**DEL.Old", 1, Text(L" ")},
                   {{"HKLM\\Software\\Policies\\Q", "Old", "", "DEL_SUBKEY"}}},
        ImportCase{"DeleteValues",
                   {kKey, L"**DeleteValues", 1, Text(L"a;;b")},
                   {{"HKLM\\Software\\Policies\\Q", "a", "", "DEL_SUBKEY"},
                    {"HKLM\\Software\\Policies\\Q", "b", "", "DEL_SUBKEY"}}},
        ImportCase{"DeleteKeys",
                   {kKey, L"**deletekeys", 1, Text(L"One;Two")},
                   {{"HKLM\\Software\\Policies\\Q\\One", "", "", "DEL_SUBTREE"},
                    {"HKLM\\Software\\Policies\\Q\\Two", "", "", "DEL_SUBTREE"}}},
        ImportCase{"ExpandString", {kKey, L"E", 2, Text(L"%SystemRoot%")}, {}, "REG_EXPAND_SZ"},
        ImportCase{"MultiString", {kKey, L"M", 7, Text(L"a")}, {}, "REG_MULTI_SZ"},
        ImportCase{"UnknownType", {kKey, L"U", 99, Bytes({1})}, {}, "type 99"},
        ImportCase{"DwordOfThreeBytes", {kKey, L"V", 4, Bytes({1, 0, 0})}, {}, "3 bytes"},
        ImportCase{
            "StringWithAZeroInside", {kKey, L"S", 1, Text(std::wstring(L"a\0b", 3))}, {}, "REG_SZ"},
        ImportCase{"TextOutsideTheCodePage", {kKey, L"S", 1, Text(L"\u0416")}, {}, "1252"},
        ImportCase{"KeyOutsideTheCodePage",
                   {L"Software\\Policies\\\u0416", L"V", 4, Bytes({1, 0, 0, 0})},
                   {},
                   "1252"},
        ImportCase{"SecureKey", {kKey, L"**SecureKey", 4, Bytes({1, 0, 0, 0})}, {}, "**SecureKey"},
        ImportCase{"DelVals", {kKey, L"**DelVals.", 1, Text(L" ")}, {}, "**DelVals."},
        ImportCase{"DeletionTooCloseToTheHive",
                   {L"Software", L"**DeleteKeys", 1, Text(L"Policies")},
                   {},
                   "DEL_SUBTREE"}),
    [](const auto& param) { return std::string(param.param.name); });

// --- round trip ---------------------------------------------------------------

// Every row that went into a Registry.pol comes back from it as a row that
// does the same.
void ExpectRoundTrip(PolicyTable table) {
    const ApplicableRows applicable = FindApplicableRows(table);
    const GroupPolicyExport gpo = ExportForGroupPolicy(table);
    for (const RowHive hive : {RowHive::PerUser, RowHive::Machine}) {
        const bool perUser = hive == RowHive::PerUser;
        std::set<std::string> inPreferences;
        for (const ApplicableRow& row : perUser ? gpo.userPreferences : gpo.machinePreferences) {
            inPreferences.insert(row.index);
        }
        std::vector<RowTarget> expected;
        for (ApplicableRow row : applicable.rows) {
            if (row.target.hive == hive && !inPreferences.contains(row.index)) {
                std::wstring& path = row.target.keyPath;
                path.erase(0, path.find_first_not_of(L'\\'));
                path.erase(path.find_last_not_of(L'\\') + 1);
                expected.push_back(row.target);
            }
        }
        const PolReadResult file =
            ReadRegistryPol(WriteRegistryPol(perUser ? gpo.userPolicy : gpo.machinePolicy));
        ASSERT_TRUE(file) << file.message;
        const PolImport imported = ImportRegistryPol(file, hive);
        EXPECT_TRUE(imported.refused.empty());
        std::vector<RowTarget> back;
        for (const PolicyRecord& row : imported.rows) {
            auto target = ResolveRowTarget(FieldsOf(row));
            ASSERT_TRUE(std::holds_alternative<RowTarget>(target));
            RowTarget& resolved = std::get<RowTarget>(target);
            resolved.keyPath.erase(0, resolved.keyPath.find_first_not_of(L'\\'));
            back.push_back(std::move(resolved));
        }
        EXPECT_EQ(back, expected) << (perUser ? "HKCU" : "HKLM");
        EXPECT_FALSE(back.empty());
    }
}

TEST(GroupPolicyRoundTrip, KeepsEveryRowOfTheBuiltInLockCatalogue) {
    ExpectRoundTrip(BuiltInLockCatalogue());
}

TEST(GroupPolicyRoundTrip, KeepsEveryRowOfTheRecommendedCatalogue) {
    ExpectRoundTrip(RecommendedLockCatalogue());
}

TEST(GroupPolicyRoundTrip, KeepsEveryKindAndEscape) {
    ExpectRoundTrip(TableOf({
        Row(10, "HKCU\\Software\\Policies\\Grüße;]", "Na\"me\\x;]", "C:\\a;\"b\"]ä", "REG_SZ"),
        Row(20, "HKCU\\Software\\Policies\\P", "D", "-7", "REG_DWORD"),
        Row(30, "HKCU\\Software\\Policies\\P", "H", "ffffffff", "REG_DWHEX"),
        Row(40, "HKCU\\Software\\Policies\\P", "B", "00ff5D", "REG_BINARY"),
        Row(50, "HKCU\\Software\\Policies\\P", "Old", "", "DEL_SUBKEY"),
        Row(60, "HKCU\\Software\\Policies\\P\\Sub", "", "", "DEL_SUBTREE"),
        Row(70, "HKLM\\Software\\Policies\\P\\New", "", "", "ADD_SUBTREE"),
        Row(80, "HKLM\\Software\\Policies\\P", "E", "", "REG_SZ"),
    }));
}

// --- one .reg file ------------------------------------------------------------

TEST(CatalogueAsRegFile, KeepsThePassOrderAndPutsPerUserRowsBelowTheSid) {
    PolicyTable table = TableOf({
        Row(10, "HKCU\\Software\\X", "a", "1", "REG_DWORD"),
        Row(20, "HKCU\\Software\\X", "b", "t", "REG_SZ"),
        Row(30, "HKCU\\Software\\X\\Y\\Z", "", "", "DEL_SUBTREE"),
        Row(40, "HKCU\\Software\\X", "c", "0A", "REG_BINARY"),
        Row(50, "HKLM\\Software\\X", "old", "", "DEL_SUBKEY"),
        Row(60, "HKLM\\Software\\x", "d", "2", "REG_DWORD"),
        Row(70, "HKLM\\Software\\X\\New", "", "", "ADD_SUBTREE"),
    });
    const RegFile file = CatalogueAsRegFile(FindApplicableRows(table).rows, L"S-1-5-21-9");
    const std::wstring user = L"HKEY_USERS\\S-1-5-21-9\\Software\\X";
    const std::vector<RegFileKey> expected = {
        {user,
         false,
         {{L"a", RegistryValue{4, Bytes({1, 0, 0, 0})}}, {L"b", RegistryValue{1, Text(L"t")}}}},
        {user + L"\\Y\\Z", true, {}},
        {user, false, {{L"c", RegistryValue{3, Bytes({0x0A})}}}},
        // The registry ignores letter case: one key, one section.
        {L"HKEY_LOCAL_MACHINE\\Software\\X",
         false,
         {{L"old", std::nullopt}, {L"d", RegistryValue{4, Bytes({2, 0, 0, 0})}}}},
        {L"HKEY_LOCAL_MACHINE\\Software\\X\\New", false, {}},
    };
    EXPECT_EQ(file.keys, expected);
    const RegFileReadResult reread = ReadRegFile(WriteRegFile(file));
    ASSERT_TRUE(reread) << reread.message;
    EXPECT_EQ(reread.file.keys, file.keys);
}

}  // namespace
}  // namespace quarn
