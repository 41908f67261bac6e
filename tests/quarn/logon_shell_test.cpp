// The machine's automatic logon and the error report's text, against each
// registry of the build.

#include <gtest/gtest.h>

#include "quarn/logon_shell.h"
#include "support/registry_backends.h"
#include "support/registry_faults.h"
#include "support/registry_snapshot.h"
#include "support/station_queries.h"
#include "system/registry_access.h"
#include "system/restore_point.h"
#include "system/settings.h"

namespace quarn {
namespace {

class LogonShell : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        registry_ = test::MakeRegistry(GetParam());
        Remember(L"AutoAdminLogon");
        Remember(L"DefaultUserName");
        Remember(L"DefaultPassword");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            RegistryAccess access(kKeyAllAccess, Backend());
            access.SetRootKey(RegistryRoot::LocalMachine);
            access.OpenKey(kWinlogonKey, true);
            if (value) {
                access.WriteString(name, *value);
            } else {
                access.DeleteValue(name);
            }
        }
        test::RemoveSettingsKey(Backend());
    }

    // The machine's automatic logon is put back as it was after each test.
    void Remember(const wchar_t* name) {
        RegistryAccess access(kKeyRead, Backend());
        access.SetRootKey(RegistryRoot::LocalMachine);
        std::optional<std::wstring> value;
        if (access.OpenKey(kWinlogonKey, false)) {
            RegistryValue raw;
            KeyHandle key{};
            if (Backend().OpenKey(Backend().Root(RegistryRoot::LocalMachine),
                                  std::wstring(kWinlogonKey).substr(1), kKeyRead,
                                  key) == kErrorSuccess) {
                const OwnedKey owner(Backend(), key);
                if (Backend().QueryValue(key, name, raw) == kErrorSuccess) {
                    value = access.ReadString(name);
                }
            }
        }
        saved_.emplace_back(name, value);
    }

    std::wstring Winlogon(const wchar_t* name) {
        RegistryAccess access(kKeyRead, Backend());
        access.SetRootKey(RegistryRoot::LocalMachine);
        access.OpenKey(kWinlogonKey, false);
        return access.ReadString(name);
    }

    RegistryBackend& Backend() { return registry_->Backend(); }

    std::unique_ptr<test::RegistryUnderTest> registry_;
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> saved_;
};

TEST_P(LogonShell, AutoLogonOnAndOff) {
    WriteAutoLogon(true, L"quarn", L"tavri", Backend());
    EXPECT_EQ(Winlogon(L"AutoAdminLogon"), L"1");
    EXPECT_EQ(Winlogon(L"DefaultUserName"), L"quarn");
    EXPECT_EQ(Winlogon(L"DefaultPassword"), L"tavri");
    EXPECT_TRUE(ReadAutoLogonOn(Backend()));

    WriteAutoLogon(false, L"quarn", L"tavri", Backend());
    EXPECT_EQ(Winlogon(L"AutoAdminLogon"), L"0");
    EXPECT_FALSE(ReadAutoLogonOn(Backend()));
    RegistryAccess access(kKeyRead, Backend());
    access.SetRootKey(RegistryRoot::LocalMachine);
    ASSERT_TRUE(access.OpenKey(kWinlogonKey, false));
    // Both values stay present, empty.
    for (const wchar_t* name : {L"DefaultUserName", L"DefaultPassword"}) {
        KeyHandle key{};
        ASSERT_EQ(Backend().OpenKey(Backend().Root(RegistryRoot::LocalMachine),
                                    std::wstring(kWinlogonKey).substr(1), kKeyRead, key),
                  kErrorSuccess);
        const OwnedKey owner(Backend(), key);
        RegistryValue value;
        EXPECT_EQ(Backend().QueryValue(key, name, value), kErrorSuccess);
        EXPECT_EQ(value.data, (std::vector<std::uint8_t>{0, 0}));
    }
}

// What the switch writes is what it records: after automatic logon on and
// off, a restore gives back the station's own logon values (a user of its
// own, no password value) exactly.
TEST_P(LogonShell, TheRecordedLogonValuesComeBack) {
    WriteAutoLogon(true, L"own", L"", Backend());
    RegistryAccess machine(kKeyAllAccess, Backend());
    machine.SetRootKey(RegistryRoot::LocalMachine);
    ASSERT_TRUE(machine.OpenKey(kWinlogonKey, false));
    machine.DeleteValue(L"DefaultPassword");
    const test::Snapshot before =
        test::Take(Backend(), RegistryRoot::LocalMachine, std::wstring(kWinlogonKey).substr(1));
    RestorePoint point;
    RecordAutoLogonChange(point, Backend());
    WriteAutoLogon(true, L"quarn", L"tavri", Backend());
    WriteAutoLogon(false, L"quarn", L"tavri", Backend());
    EXPECT_EQ(RestoreRegistry(test::ThroughItsFile(point), Backend(), false).failures.size(), 0u);
    EXPECT_EQ(
        test::Take(Backend(), RegistryRoot::LocalMachine, std::wstring(kWinlogonKey).substr(1)),
        before);
}

TEST_P(LogonShell, RefusedAutoLogonWritesAreSwallowed) {
    WriteAutoLogon(true, L"quarn", L"tavri", Backend());
    test::RefusingWrites refusing(Backend(), 0);
    EXPECT_NO_THROW(WriteAutoLogon(false, L"", L"", refusing));
    EXPECT_EQ(Winlogon(L"AutoAdminLogon"), L"1");
}

INSTANTIATE_TEST_SUITE_P(Registries, LogonShell, ::testing::ValuesIn(test::RegistryNames()),
                         [](const auto& param) { return param.param; });

TEST(ErrorReportText, AppendsAFullStopUnlessThereIsOne) {
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"user not found", L"user not found."},
        {L"Done.", L"Done."},
        {L"Really?", L"Really?."},                     // '?' is code 63, above '.'
        {L"Access is Denied!", L"Access is Denied!"},  // '!' is code 33
        {L"Ends with a blank ", L"Ends with a blank "},
        {L"Fehler beim Setzen der Daten f\u00FCr 'Shell'",
         L"Fehler beim Setzen der Daten f\u00FCr 'Shell'"},
        {L"Error Code: 2453\rThe text", L"Error Code: 2453\rThe text."},
        {L"", L""},
    };
    for (const auto& [message, shown] : rows) {
        EXPECT_EQ(ErrorReportText(message), shown);
    }
}

}  // namespace
}  // namespace quarn
