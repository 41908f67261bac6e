// ApplyPolicyRow against each registry of the build: the STATUS it leaves
// and what it writes, creates or deletes.

#include <gtest/gtest.h>

#include <optional>

#include "catalogue/policy_row_applier.h"
#include "support/apply_one_row.h"
#include "support/registry_backends.h"
#include "system/registry_access.h"

namespace quarn {
namespace {

using Bytes = std::vector<std::uint8_t>;

class PolicyRowApplier : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        registry_ = test::MakeRegistry(GetParam());
        sid_ = registry_->LoadedSid();
        name_ = test::UniqueTestKeyName();
    }

    void TearDown() override {
        for (const auto& [root, path] : {std::pair{RegistryRoot::Users, L"\\" + sid_ + Base()},
                                         std::pair{RegistryRoot::LocalMachine, Base()}}) {
            RegistryAccess cleanup(kKeyAllAccess, registry_->Backend());
            cleanup.SetRootKey(root);
            cleanup.DeleteKey(path);
        }
    }

    std::wstring Base() const { return L"\\Software\\" + name_; }
    std::string BaseText() const {
        return "\\Software\\" + std::string(name_.begin(), name_.end());
    }

    std::string Apply(const PolicyRecord& record, std::wstring_view sid) {
        return test::ApplyOneRow(record, registry_->Backend(), sid);
    }

    std::string Apply(const PolicyRecord& record) { return Apply(record, sid_); }

    RegistryAccess Open(RegistryRoot root) {
        RegistryAccess access(kKeyAllAccess, registry_->Backend());
        access.SetRootKey(root);
        return access;
    }

    // Where a row's key ends up: below the account's hive or the machine's.
    std::pair<RegistryRoot, std::wstring> Where(const std::string& hive,
                                                const std::wstring& path) const {
        return hive == "HKCU" ? std::pair{RegistryRoot::Users, L"\\" + sid_ + Base() + path}
                              : std::pair{RegistryRoot::LocalMachine, Base() + path};
    }

    bool KeyExists(const std::string& hive, const std::wstring& path) {
        const auto [root, full] = Where(hive, path);
        return Open(root).OpenKey(full, false);
    }

    std::optional<RegistryValue> Value(const std::string& hive, const std::wstring& path,
                                       const std::wstring& name) {
        const auto [root, full] = Where(hive, path);
        RegistryBackend& backend = registry_->Backend();
        KeyHandle key{};
        if (backend.OpenKey(backend.Root(root), full.substr(1), kKeyRead, key) != kErrorSuccess) {
            return std::nullopt;
        }
        const OwnedKey owner(backend, key);
        RegistryValue value;
        if (backend.QueryValue(key, name, value) != kErrorSuccess) {
            return std::nullopt;
        }
        return value;
    }

    PolicyRecord Row(const std::string& hive, const std::string& path, const std::string& subkey,
                     const std::string& keyValue, const std::string& dataType,
                     const std::string& status = "aktiviert") const {
        return {5000, hive + BaseText() + path, subkey, keyValue, dataType, "XP", status, "Text"};
    }

    std::unique_ptr<test::RegistryUnderTest> registry_;
    std::wstring sid_;
    std::wstring name_;
};

TEST_P(PolicyRowApplier, WritesEachKindOfValue) {
    struct Case {
        const char* hive;
        const char* dataType;
        const char* keyValue;
        std::uint32_t type;
        Bytes data;
    };
    const Case cases[] = {
        {"HKCU", "REG_DWORD", "1", kRegDword, {1, 0, 0, 0}},
        {"HKCU", "REG_DWORD", "-1", kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"HKLM", "REG_DWORD", "67108863", kRegDword, {0xFF, 0xFF, 0xFF, 0x03}},
        {"HKCU", "REG_DWHEX", "FFFFFFFF", kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}},
        // Machine rows of this kind are written like per-user ones.
        {"HKLM", "REG_DWHEX", "0000ff", kRegDword, {0xFF, 0, 0, 0}},
        {"HKCU", "REG_SZ", "C:\\Windows\\T \xE4", kRegSz, {'C', 0, ':',  0, '\\', 0, 'W', 0,
                                                           'i', 0, 'n',  0, 'd',  0, 'o', 0,
                                                           'w', 0, 's',  0, '\\', 0, 'T', 0,
                                                           ' ', 0, 0xE4, 0, 0,    0}},
        {"HKLM", "REG_SZ", "", kRegSz, {0, 0}},
        {"HKCU", "REG_BINARY", "110000004C", kRegBinary, {0x11, 0, 0, 0, 0x4C}},
        {"HKCU", "REG_BINARY", "12G4", kRegBinary, {0x12, 0}},
        {"HKLM", "REG_BINARY", " ", kRegBinary, {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.hive) + " " + c.dataType + " \"" + c.keyValue + "\"");
        const std::string path = "\\Case" + std::to_string(++n) + "\\Deeper";
        EXPECT_EQ(Apply(Row(c.hive, path, "Name", c.keyValue, c.dataType)), "aktiviert");
        const auto value = Value(c.hive, std::wstring(path.begin(), path.end()), L"Name");
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->type, c.type);
        EXPECT_EQ(value->data, c.data);
    }
}

TEST_P(PolicyRowApplier, FailedConversionsCreateTheKeyButNoValue) {
    const std::pair<const char*, const char*> cases[] = {
        {"REG_DWORD", "abc"},  {"REG_DWORD", ""}, {"REG_DWORD", "4294967296"},
        {"REG_DWHEX", "0x10"}, {"REG_DWHEX", ""}, {"REG_DWHEX", "123456789"},
    };
    for (const auto& [dataType, keyValue] : cases) {
        SCOPED_TRACE(std::string(dataType) + " \"" + keyValue + "\"");
        EXPECT_EQ(Apply(Row("HKCU", "\\Conversion", "Name", keyValue, dataType)), "deaktiviert");
        EXPECT_TRUE(KeyExists("HKCU", L"\\Conversion"));
        EXPECT_FALSE(Value("HKCU", L"\\Conversion", L"Name"));
    }
}

TEST_P(PolicyRowApplier, OnlyExactlyAktiviertPassesTheGate) {
    for (const char* status : {"deaktiviert", "Aktiviert", "AKTIVIERT", "", "aktiviert ", "an"}) {
        SCOPED_TRACE(std::string("\"") + status + "\"");
        PolicyTable table;
        table.CreateDataSet();
        table.AppendRow(Row("HKCU", "\\Gate", "Name", "1", "REG_DWORD", status));
        table.First();
        table.Edit();
        ApplyPolicyRow(table, {registry_->Backend(), sid_, std::chrono::milliseconds(0)});
        table.Next();
        EXPECT_EQ(table.GetFieldText(kColumnStatus), status);
        EXPECT_EQ(table.Content().versions.size(), 1u);  // nothing was written to the row
        EXPECT_FALSE(KeyExists("HKCU", L"\\Gate"));
    }
}

TEST_P(PolicyRowApplier, DeletionsRunAndEndDeaktiviert) {
    auto machine = Open(RegistryRoot::LocalMachine);
    ASSERT_TRUE(machine.OpenKey(Base() + L"\\Winlogon", true));
    machine.WriteString(L"Background", L"0 0 0");
    EXPECT_EQ(Apply(Row("HKLM", "\\Winlogon", "Background", "", "DEL_SUBKEY")), "deaktiviert");
    EXPECT_FALSE(Value("HKLM", L"\\Winlogon", L"Background"));

    // A missing key is created empty, and nothing is deleted.
    EXPECT_EQ(Apply(Row("HKLM", "\\Absent", "Background", "", "DEL_SUBKEY")), "deaktiviert");
    EXPECT_TRUE(KeyExists("HKLM", L"\\Absent"));

    auto user = Open(RegistryRoot::Users);
    ASSERT_TRUE(user.OpenKey(L"\\" + sid_ + Base() + L"\\Extensions\\{c95fe080}\\Sub", true));
    user.WriteString(L"x", L"y");
    user.CloseKey();
    EXPECT_EQ(Apply(Row("HKCU", "\\Extensions\\{c95fe080}", "Alexa", "1", "DEL_SUBTREE")),
              "deaktiviert");
    EXPECT_FALSE(KeyExists("HKCU", L"\\Extensions\\{c95fe080}"));
    EXPECT_TRUE(KeyExists("HKCU", L"\\Extensions"));
}

// The test's own key stands two levels below the hive (Software\<name>), as
// HKCU\Software\Microsoft does: deleting it would take a whole branch.
TEST_P(PolicyRowApplier, DeletionsOfWholeBranchesAreRefused) {
    for (const RegistryRoot root : {RegistryRoot::Users, RegistryRoot::LocalMachine}) {
        const std::wstring hive = root == RegistryRoot::Users ? L"\\" + sid_ : L"";
        auto access = Open(root);
        ASSERT_TRUE(access.OpenKey(hive + Base() + L"\\Kept\\Deeper", true));
        access.WriteString(L"x", L"y");
    }
    const std::string name(name_.begin(), name_.end());
    for (const std::string hive : {"HKCU", "HKLM"}) {
        for (const std::string& subtree :
             {hive + "\\Software\\" + name, hive + "\\Software\\" + name + "\\",
              hive + "\\Software\\\\" + name, hive + "\\Software\\" + name + "-absent"}) {
            SCOPED_TRACE(subtree);
            EXPECT_EQ(Apply({5000, subtree, "", "", "DEL_SUBTREE", "XP", "aktiviert", ""}),
                      "deaktiviert");
            EXPECT_TRUE(Value(hive, L"\\Kept\\Deeper", L"x").has_value());
        }
        // Not even created, as the key of an applied row would be.
        const auto [root, absent] = Where(hive, L"-absent");
        EXPECT_FALSE(Open(root).OpenKey(absent, false));
        Open(root).DeleteKey(absent);
    }
}

TEST(BroadDeletion, KeysFewerThanThreeLevelsBelowTheHive) {
    struct Case {
        const char* dataType;
        const char* subtree;
        bool refused;
    };
    const Case cases[] = {
        {"DEL_SUBTREE", "HKLM\\", true},
        {"DEL_SUBTREE", "HKCU", true},
        {"DEL_SUBTREE", "HKLM\\Software\\", true},
        {"DEL_SUBTREE", "HKCU\\Software", true},
        {"DEL_SUBTREE", "HKCU\\Software\\Microsoft", true},
        {"DEL_SUBTREE", "HKCU\\Software\\\\Microsoft\\", true},
        {"DEL_SUBTREE", "HKCU\\Software\\Microsoft\\Internet Explorer", false},
        {"DEL_SUBTREE", "HKLM\\SYSTEM\\CurrentControlSet\\Services\\\\", false},
        {"DEL_SUBTREE",
         "HKCU\\Software\\Microsoft\\Internet Explorer\\Extensions\\"
         "{c95fe080-8f5d-11d2-a20b-00aa003c157a}",
         false},
        {"DEL_SUBKEY", "HKLM\\Software", false},
        {"REG_DWORD", "HKCU\\Software", false},
        {"ADD_SUBTREE", "HKCU\\", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.dataType) + " " + c.subtree);
        EXPECT_EQ(IsTooBroadDeletion(c.dataType, c.subtree), c.refused);
    }
}

TEST_P(PolicyRowApplier, AddSubtreeCreatesTheKey) {
    EXPECT_EQ(Apply(Row("HKCU", "\\Added\\Key", "", "", "ADD_SUBTREE")), "aktiviert");
    EXPECT_TRUE(KeyExists("HKCU", L"\\Added\\Key"));
}

TEST_P(PolicyRowApplier, UnknownKindsCreateTheKeyOnly) {
    EXPECT_EQ(Apply(Row("HKCU", "\\Expand", "Name", "%TEMP%", "REG_EXPAND_SZ")), "deaktiviert");
    EXPECT_TRUE(KeyExists("HKCU", L"\\Expand"));
    EXPECT_FALSE(Value("HKCU", L"\\Expand", L"Name"));
}

TEST_P(PolicyRowApplier, UnknownHiveTagsTouchNothing) {
    const std::string paths[] = {
        "HKEY_CURRENT_USER" + BaseText(),
        "hkcu" + BaseText(),
        "HKCUSoftware",
        "",
    };
    for (const std::string& subtree : paths) {
        SCOPED_TRACE(subtree);
        EXPECT_EQ(Apply({5000, subtree, "Name", "1", "REG_DWORD", "XP", "aktiviert", ""}),
                  "deaktiviert");
    }
    EXPECT_FALSE(KeyExists("HKCU", L""));
    EXPECT_FALSE(KeyExists("HKLM", L""));
}

TEST_P(PolicyRowApplier, AtSignIsAnOrdinaryValueNameAndEmptyIsTheDefault) {
    EXPECT_EQ(Apply(Row("HKLM", "\\Servers", "@", "", "REG_SZ")), "aktiviert");
    EXPECT_EQ(Apply(Row("HKLM", "\\Servers", "", "default", "REG_SZ")), "aktiviert");
    const auto at = Value("HKLM", L"\\Servers", L"@");
    ASSERT_TRUE(at.has_value());
    EXPECT_EQ(at->data, (Bytes{0, 0}));
    const auto unnamed = Value("HKLM", L"\\Servers", L"");
    ASSERT_TRUE(unnamed.has_value());
    EXPECT_EQ(unnamed->data.size(), 16u);
}

TEST_P(PolicyRowApplier, PerUserRowsNeedAFoundAccount) {
    EXPECT_EQ(Apply(Row("HKCU", "\\NoAccount", "Name", "1", "REG_DWORD"), L""), "deaktiviert");
    EXPECT_EQ(Apply(Row("HKCU", "\\NoAccount", "", "", "ADD_SUBTREE"), L""), "deaktiviert");
    EXPECT_FALSE(KeyExists("HKCU", L"\\NoAccount"));
}

// Windows refuses keys below an unloaded hive; Wine's registry creates them.
TEST_P(PolicyRowApplier, PerUserRowsFailWhileTheHiveIsNotLoaded) {
    if (!registry_->RefusesKeysBelowHiveRoots()) {
        GTEST_SKIP() << "Wine's registry creates keys below HKEY_USERS";
    }
    const std::wstring unloaded = L"S-1-5-21-1-2-3-4242";
    for (const char* dataType : {"REG_DWORD", "ADD_SUBTREE", "DEL_SUBKEY"}) {
        SCOPED_TRACE(dataType);
        EXPECT_EQ(Apply(Row("HKCU", "\\Hive", "Name", "1", dataType), unloaded), "deaktiviert");
    }
    EXPECT_FALSE(Open(RegistryRoot::Users).OpenKey(L"\\" + unloaded, false));
}

INSTANTIATE_TEST_SUITE_P(Registries, PolicyRowApplier, ::testing::ValuesIn(test::RegistryNames()),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace quarn
