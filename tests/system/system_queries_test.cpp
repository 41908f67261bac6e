#include <gtest/gtest.h>

#include "support/registry_backends.h"
#include "support/station_queries.h"
#include "system/registry_access.h"
#include "system/settings.h"
#include "system/system_queries.h"

namespace quarn {
namespace {

TEST(VersionClassFor, Table) {
    struct Row {
        const char* windows;
        std::uint32_t platform, major, minor;
        const wchar_t* servicePack;
        VersionClass expected;
    };
    const Row rows[] = {
        {"Windows 95", 1, 4, 0, L"", 1},
        {"Windows 98", 1, 4, 10, L" ", 2},
        {"Windows 98 SE", 1, 4, 10, L" A ", 3},
        {"Windows 98, other service text", 1, 4, 10, L"A", 2},
        {"Windows Me", 1, 4, 90, L"", 5},
        {"unknown 9x", 1, 4, 20, L"", 0},
        {"Windows NT 3.51", 2, 3, 51, L"", 4},
        {"Windows NT 4.0", 2, 4, 0, L"Service Pack 6", 4},
        {"Windows 2000", 2, 5, 0, L"", 6},
        {"Windows XP", 2, 5, 1, L"Service Pack 3", 7},
        {"Windows Server 2003", 2, 5, 2, L"", 0},
        {"Windows Vista", 2, 6, 0, L"", 8},
        {"Windows 7", 2, 6, 1, L"", 8},
        {"Windows 8 and later without a manifest", 2, 6, 2, L"", 8},
        {"Windows 8.1", 2, 6, 3, L"", 8},
        {"Windows 10 as reported", 2, 10, 0, L"", 0},
        {"Win32s", 0, 3, 10, L"", 0},
        {"CE", 3, 6, 0, L"", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.windows);
        EXPECT_EQ(VersionClassFor(row.platform, row.major, row.minor, row.servicePack),
                  row.expected);
    }
}

class UserSources : public ::testing::TestWithParam<std::string> {
  protected:
    static constexpr wchar_t kLogonUi[] =
        L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Authentication\\LogonUI";
    static constexpr wchar_t kWinlogon[] =
        L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

    void SetUp() override { registry_ = test::MakeRegistry(GetParam()); }
    void TearDown() override {
        Remove(kLogonUi, L"LastLoggedOnSAMUser");
        Remove(kWinlogon, L"AltDefaultUserName");
        test::RemoveSettingsKey(Backend());
    }

    RegistryBackend& Backend() { return registry_->Backend(); }

    RegistryAccess Machine(const wchar_t* path) {
        RegistryAccess access(kKeyAllAccess, Backend());
        access.SetRootKey(RegistryRoot::LocalMachine);
        EXPECT_TRUE(access.OpenKey(path, true));
        return access;
    }
    void Set(const wchar_t* path, const wchar_t* name, const std::wstring& text) {
        Machine(path).WriteString(name, text);
    }
    void Remove(const wchar_t* path, const wchar_t* name) { Machine(path).DeleteValue(name); }

    std::unique_ptr<test::RegistryUnderTest> registry_;
};

TEST_P(UserSources, LastLogonUserDropsEveryPrefix) {
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"PC-17\\Quarn", L"quarn"},
        {L"DOMAIN\\PC-17\\Quarn", L"quarn"},
        {L".\\Quarn", L"quarn"},
        {L"QUARN", L"quarn"},
        {L"Kasse\u00C4\\B\u00DCRO", L"b\u00DCro"},
        {L"Ends\\", L""},
    };
    EXPECT_EQ(ReadLastLogonUser(Backend()), L"");
    for (const auto& [stored, expected] : rows) {
        Set(kLogonUi, L"LastLoggedOnSAMUser", stored);
        EXPECT_EQ(ReadLastLogonUser(Backend()), expected);
    }
    Machine(kLogonUi).WriteInteger(L"LastLoggedOnSAMUser", 1);
    EXPECT_THROW(ReadLastLogonUser(Backend()), RegistryError);
}

TEST_P(UserSources, AltDefaultUserKeepsItsPrefixAndSwallowsErrors) {
    EXPECT_EQ(ReadAltDefaultUser(Backend()), L"");
    Set(kWinlogon, L"AltDefaultUserName", L"DOMAIN\\Quarn");
    EXPECT_EQ(ReadAltDefaultUser(Backend()), L"domain\\quarn");
    EXPECT_EQ(GetLastLoggedOnUser(7, Backend()), L"domain\\quarn");
    Machine(kWinlogon).WriteInteger(L"AltDefaultUserName", 1);
    EXPECT_EQ(ReadAltDefaultUser(Backend()), L"");
}

TEST_P(UserSources, TheAccountIsAtTheStationOnlyByName) {
    struct Row {
        const wchar_t* account;
        const wchar_t* lastLogon;
        const wchar_t* altDefault;
        VersionClass versionClass;
        bool atStation;
    };
    const Row rows[] = {
        {L"Quarn", L"PC\\quarn", L"", 8, true},
        {L"quarn", L"PC\\Quarn", L"", 8, true},
        {L"quarn", L"PC\\visitor", L"quarn", 8, false},
        {L"quarn", L"", L"PC\\quarn", 7, false},  // the older source keeps its prefix
        {L"quarn", L"", L"quarn", 7, true},
        {L"", L"", L"", 8, false},  // an unconfigured station is nobody's kiosk
        {L"", L"", L"", 7, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.versionClass << " " << row.atStation);
        WriteSetting(L"QUARN-Username", row.account, Backend());
        Set(kLogonUi, L"LastLoggedOnSAMUser", row.lastLogon);
        Set(kWinlogon, L"AltDefaultUserName", row.altDefault);
        EXPECT_EQ(IsLockedAccountAtStation(row.versionClass, Backend()), row.atStation);
    }
}

INSTANTIATE_TEST_SUITE_P(Registries, UserSources, ::testing::ValuesIn(test::RegistryNames()),
                         [](const auto& param) { return param.param; });

TEST(ProgramFilesDir, IsTheDirectoryForThirtyTwoBitPrograms) {
    struct Row {
        const char* name;
        std::vector<std::pair<const wchar_t*, const wchar_t*>> values;  // key, value name
        std::wstring expected;
    };
    const wchar_t* k64 = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    const wchar_t* k32 = L"\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion";
    const Row rows[] = {
        {"64-bit Windows",
         {{k64, L"ProgramFilesDir"}, {k64, L"ProgramFilesDir (x86)"}, {k32, L"ProgramFilesDir"}},
         L"C:\\Program Files (x86)"},
        {"no 32-bit view",
         {{k64, L"ProgramFilesDir"}, {k64, L"ProgramFilesDir (x86)"}},
         L"C:\\Program Files (x86)"},
        {"32-bit Windows", {{k64, L"ProgramFilesDir"}}, L"C:\\Program Files"},
        {"nothing at all", {}, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto registry = test::MakeRegistry("memory");
        for (const auto& [key, name] : row.values) {
            RegistryAccess access(kKeyAllAccess, registry->Backend());
            access.SetRootKey(RegistryRoot::LocalMachine);
            ASSERT_TRUE(access.OpenKey(key, true));
            const bool x86 = std::wstring(key) == k32 || std::wstring(name).ends_with(L"(x86)");
            access.WriteString(name, x86 ? L"C:\\Program Files (x86)" : L"C:\\Program Files");
        }
        EXPECT_EQ(GetProgramFilesDir(registry->Backend()), row.expected);
    }
}

}  // namespace
}  // namespace quarn
