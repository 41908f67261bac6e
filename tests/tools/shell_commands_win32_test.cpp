// quarnctl release-shell and point-shell under Wine, with the Wine user as
// the locked-down account (its hive is loaded, as a logged-on account's is).

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "support/station_queries.h"
#include "support/station_queries_win32.h"
#include "system/account_shell.h"
#include "system/registry_access.h"
#include "system/settings.h"
#include "tools/quarnctl/shell_commands_win32.h"

namespace quarn {
namespace {

class ShellCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::RemoveSettingsKey();
        RegistryAccess user(kKeyAllAccess);
        user.SetRootKey(RegistryRoot::Users);
        ASSERT_TRUE(user.OpenKey(L"\\" + sid_ + kWinlogonKey, true));
        shellBefore_ = user.ReadString(L"Shell");
    }
    void TearDown() override {
        test::RemoveSettingsKey();
        PutShell(shellBefore_);
    }

    void PutShell(const std::wstring& shell) {
        RegistryAccess user(kKeyAllAccess);
        user.SetRootKey(RegistryRoot::Users);
        user.OpenKey(L"\\" + sid_ + kWinlogonKey, false);
        if (shell.empty()) {
            user.DeleteValue(L"Shell");
        } else {
            user.WriteString(L"Shell", shell);
        }
    }

    struct Result {
        int status;
        std::string out;
        std::string err;
    };
    static Result Run(const std::vector<std::string>& args) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunQuarnctl(args, out, err, ShellCommands());
        return {status, out.str(), err.str()};
    }

    const std::wstring sid_ = test::CurrentUserSid();
    std::wstring shellBefore_;
};

TEST_F(ShellCommandsTest, TheLockedAccountGetsExplorerBackAndLockDownGoesOff) {
    struct Case {
        const char* name;
        std::wstring account;
        std::wstring shell;
        std::wstring shellAfter;
        const char* said;
    };
    const Case cases[] = {
        {"locked down", test::CurrentUserName(), L"C:\\Stations\\QUARN two\\watchdog.exe",
         L"explorer.exe",
         "now has explorer.exe as its shell (it had C:\\Stations\\QUARN two\\watchdog.exe)"},
        {"already explorer.exe", test::CurrentUserName(), L"Explorer.exe", L"Explorer.exe",
         "keeps its shell (Explorer.exe)"},
        {"no shell of its own", test::CurrentUserName(), L"", L"",
         "keeps its shell (none of its own)"},
        {"an account that does not exist", L"no-such-account-4711", L"watchdog.exe",
         L"watchdog.exe",
         "There is no user account \"no-such-account-4711\"; there is no shell to change."},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        WriteSetting(L"QUARN-Username", row.account);
        WriteCompleteLockDown(true);
        PutShell(row.shell);

        const Result result = Run({"release-shell"});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find(row.said), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("Lock Down is off"), std::string::npos) << result.out;
        EXPECT_EQ(ReadAccountShell(sid_), row.shellAfter);
        EXPECT_EQ(ReadCompleteLockDown(), L"false");
    }
}

TEST_F(ShellCommandsTest, PointShellFollowsTheInstallationFolderWhileLockDownIsOn) {
    struct Case {
        const char* name;
        const wchar_t* lockDown;
        std::wstring shell;
        std::wstring shellAfter;
        const char* said;
    };
    const std::wstring moved = L"C:\\Stations\\QUARN two\\watchdog.exe";
    const Case cases[] = {
        {"an upgrade into another folder", L"true", L"C:\\Program Files\\QUARN\\watchdog.exe",
         moved, "now has C:\\Stations\\QUARN two\\watchdog.exe as its shell"},
        {"the same folder", L"true", moved, moved, "keeps its shell"},
        {"Lock Down off", L"false", L"explorer.exe", L"explorer.exe",
         "Lock Down is off; the account's shell is left as it is."},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        WriteSetting(L"QUARN-Username", test::CurrentUserName());
        WriteSetting(L"QUARN-DIR", L"C:\\Stations\\QUARN two");
        WriteSetting(L"CompleteLockDown", row.lockDown);
        PutShell(row.shell);

        const Result result = Run({"point-shell"});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find(row.said), std::string::npos) << result.out;
        EXPECT_EQ(ReadAccountShell(sid_), row.shellAfter);
        EXPECT_EQ(ReadCompleteLockDown(), row.lockDown);
    }
    // Lock Down on without an installation folder is a failure to report.
    WriteSetting(L"QUARN-DIR", L"");
    WriteSetting(L"CompleteLockDown", L"true");
    const Result failed = Run({"point-shell"});
    EXPECT_EQ(failed.status, 2);
    EXPECT_NE(failed.err.find("\"QUARN-DIR\" names no installation folder"), std::string::npos);
    EXPECT_EQ(ReadAccountShell(sid_), L"explorer.exe");
}

TEST_F(ShellCommandsTest, ExtraArgumentsAndAMissingSettingsKeyChangeNothing) {
    PutShell(L"watchdog.exe");
    for (const char* command : {"release-shell", "point-shell"}) {
        const Result usage = Run({command, "now"});
        EXPECT_EQ(usage.status, 2);
        EXPECT_NE(usage.err.find(std::string(command) + " takes no arguments"), std::string::npos);
        EXPECT_NE(usage.err.find("  quarnctl release-shell\n"), std::string::npos) << usage.err;
        EXPECT_NE(usage.err.find("  quarnctl point-shell\n"), std::string::npos) << usage.err;
        EXPECT_EQ(ReadAccountShell(sid_), L"watchdog.exe");
    }

    // No settings key: no account is named, and "CompleteLockDown" cannot be
    // written, which is a failure the uninstaller must see.
    const Result failed = Run({"release-shell"});
    EXPECT_EQ(failed.status, 2);
    EXPECT_NE(failed.err.find("CompleteLockDown"), std::string::npos) << failed.err;
    EXPECT_EQ(ReadAccountShell(sid_), L"watchdog.exe");
}

}  // namespace
}  // namespace quarn
