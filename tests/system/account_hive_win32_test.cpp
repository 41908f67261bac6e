// An account's hive reached below HKEY_USERS: where Windows has it loaded, and
// loaded from the profile's NTUSER.DAT (a hive file made here with
// RegSaveKeyW, under a ProfileList entry of a made-up SID) where it has not.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/registry_backends.h"
#include "support/station_queries_win32.h"
#include "support/temp_folder.h"
#include "system/account_hive_win32.h"
#include "system/account_shell.h"
#include "system/handle_win32.h"
#include "system/privileges_win32.h"
#include "system/registry_access.h"

namespace quarn {
namespace {

constexpr wchar_t kWatchdog[] = L"C:\\QUARN\\watchdog.exe";

bool UsersKeyExists(const std::wstring& name) {
    RegistryAccess users(kKeyRead);
    users.SetRootKey(RegistryRoot::Users);
    return users.OpenKey(L"\\" + name, false);
}

class AccountHiveTest : public ::testing::Test {
  protected:
    void TearDown() override {
        RegistryAccess profiles(kKeyAllAccess);
        profiles.SetRootKey(RegistryRoot::LocalMachine);
        profiles.DeleteKey(ProfileKey());
        ::SetEnvironmentVariableW(L"QUARN_TEST_PROFILES", nullptr);
    }

    // A made-up account's SID of this run, with a profile in a folder of the
    // test's: ProfileImagePath as Windows writes it, with an environment
    // variable in it, and (unless withoutHive) an NTUSER.DAT holding the
    // account's Winlogon "Shell".
    void MakeProfile(bool withHive = true) {
        const std::filesystem::path profile = folder_ / L"profile";
        std::filesystem::create_directories(profile);
        ::SetEnvironmentVariableW(L"QUARN_TEST_PROFILES", folder_.Path().c_str());
        const std::wstring path = L"%QUARN_TEST_PROFILES%\\profile";
        win32::unique_hkey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, ProfileKey().substr(1).c_str(), 0, nullptr,
                                    0, KEY_SET_VALUE, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(key.get(), L"ProfileImagePath", 0, REG_EXPAND_SZ,
                                   reinterpret_cast<const BYTE*>(path.c_str()),
                                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        if (withHive) {
            SaveHive(profile / L"NTUSER.DAT");
        }
    }

    // A hive file whose Winlogon key names the watchdog as the shell.
    static void SaveHive(const std::filesystem::path& file) {
        const std::wstring source = L"Software\\" + test::UniqueTestKeyName();
        {
            RegistryAccess user(kKeyAllAccess);
            user.SetRootKey(RegistryRoot::CurrentUser);
            ASSERT_TRUE(user.OpenKey(L"\\" + source + kWinlogonKey, true));
            user.WriteString(L"Shell", kWatchdog);
        }
        win32::unique_hkey key;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, source.c_str(), 0, KEY_READ, key.put()),
                  ERROR_SUCCESS);
        const win32::EnabledPrivileges backup({SE_BACKUP_NAME});
        ASSERT_EQ(::RegSaveKeyW(key.get(), file.c_str(), nullptr), ERROR_SUCCESS);
        key.reset();
        RegistryAccess user(kKeyAllAccess);
        user.SetRootKey(RegistryRoot::CurrentUser);
        user.DeleteKey(L"\\" + source);
    }

    std::wstring ProfileKey() const { return std::wstring(kProfileListKey) + L"\\" + sid_; }

    // S-1-5-21-... with this process's id, so parallel runs do not meet.
    const std::wstring sid_ =
        L"S-1-5-21-4242-" + std::to_wstring(::GetCurrentProcessId()) + L"-77-1001";
    test::TempFolder folder_;
};

TEST_F(AccountHiveTest, ALoggedOnAccountsHiveIsUsedWhereWindowsHasIt) {
    const std::wstring sid = test::CurrentUserSid();
    {
        const AccountHive hive = AccountHive::OfAccount(test::CurrentUserName());
        EXPECT_EQ(hive.Sid(), sid);
        EXPECT_EQ(hive.KeyName(), sid);
        EXPECT_FALSE(hive.LoadedHere());
        EXPECT_FALSE(win32::PrivilegeEnabled(SE_RESTORE_NAME));
    }
    EXPECT_TRUE(UsersKeyExists(sid));
}

TEST_F(AccountHiveTest, AHiveThatIsNotLoadedIsLoadedFromTheProfileAndUnloadedAfterwards) {
    ASSERT_NO_FATAL_FAILURE(MakeProfile());
    ASSERT_FALSE(UsersKeyExists(sid_));
    std::wstring keyName;
    {
        const AccountHive hive(sid_);
        keyName = hive.KeyName();
        EXPECT_EQ(keyName, kPrivateHivePrefix + sid_);
        EXPECT_TRUE(hive.LoadedHere());
        EXPECT_TRUE(win32::PrivilegeEnabled(SE_RESTORE_NAME));
        EXPECT_TRUE(win32::PrivilegeEnabled(SE_BACKUP_NAME));
        EXPECT_EQ(ReadAccountShell(keyName), kWatchdog);
        WriteAccountShell(keyName, L"explorer.exe");
        EXPECT_EQ(ReadAccountShell(keyName), L"explorer.exe");
    }
    EXPECT_FALSE(UsersKeyExists(keyName));
    EXPECT_FALSE(UsersKeyExists(sid_));
    // The privileges are back as they were.
    EXPECT_FALSE(win32::PrivilegeEnabled(SE_RESTORE_NAME));
    EXPECT_FALSE(win32::PrivilegeEnabled(SE_BACKUP_NAME));
    // Windows writes a loaded hive back to its file; Wine keeps the changes
    // in memory only.
    if (!test::RunningUnderWine()) {
        const AccountHive again(sid_);
        EXPECT_EQ(ReadAccountShell(again.KeyName()), L"explorer.exe");
    }
}

TEST_F(AccountHiveTest, AHiveAnEndedRunLeftLoadedIsTakenOverAndUnloaded) {
    ASSERT_NO_FATAL_FAILURE(MakeProfile());
    const std::wstring stale = kPrivateHivePrefix + sid_;
    {
        const win32::EnabledPrivileges privileges({SE_BACKUP_NAME, SE_RESTORE_NAME});
        ASSERT_EQ(::RegLoadKeyW(HKEY_USERS, stale.c_str(),
                                (folder_ / L"profile" / L"NTUSER.DAT").c_str()),
                  ERROR_SUCCESS);
    }
    {
        const AccountHive hive(sid_);
        EXPECT_TRUE(hive.LoadedHere());
        EXPECT_EQ(ReadAccountShell(hive.KeyName()), kWatchdog);
    }
    EXPECT_FALSE(UsersKeyExists(stale));
}

TEST_F(AccountHiveTest, WhatCannotBeReachedSaysWhy) {
    struct Case {
        const char* name;
        bool profile;
        bool hiveFile;
        HiveFailure failure;
        const char* said;
    };
    const Case cases[] = {
        {"no profile", false, false, HiveFailure::NoProfile, "has no profile"},
        {"a profile without its hive file", true, false, HiveFailure::Unreachable,
         "cannot be loaded (RegLoadKeyW: "},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        if (row.profile) {
            ASSERT_NO_FATAL_FAILURE(MakeProfile(row.hiveFile));
        }
        try {
            const AccountHive hive(sid_);
            ADD_FAILURE() << "reached as "
                          << std::string(hive.KeyName().begin(), hive.KeyName().end());
        } catch (const AccountHiveError& error) {
            EXPECT_EQ(error.Failure(), row.failure);
            EXPECT_NE(std::string(error.what()).find(row.said), std::string::npos) << error.what();
        }
        EXPECT_FALSE(UsersKeyExists(kPrivateHivePrefix + sid_));
        EXPECT_FALSE(win32::PrivilegeEnabled(SE_RESTORE_NAME));
    }
    try {
        const AccountHive hive = AccountHive::OfAccount(L"no-such-account-4711");
        ADD_FAILURE() << "an account that does not exist has a hive";
    } catch (const AccountHiveError& error) {
        EXPECT_EQ(error.Failure(), HiveFailure::NoAccount);
        EXPECT_STREQ(error.what(), "There is no user account \"no-such-account-4711\"");
    }
}

}  // namespace
}  // namespace quarn
