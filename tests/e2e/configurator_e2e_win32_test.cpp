// The Wine test build of quarn.exe, started as a separate process and driven
// from outside as a new administrator would use it: first start, the password
// gate, the main window, locking the Wine user's own account, Lock Down on and
// off, and a second configurator refused. The registry it leaves is read.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "catalogue/policy_table.h"
#include "e2e/configurator_driver_win32.h"
#include "quarn/form1_ids.h"
#include "quarn/logon_shell.h"
#include "support/driver_win32.h"
#include "support/screenshot_win32.h"
#include "support/station_queries.h"
#include "support/station_queries_win32.h"
#include "support/temp_folder.h"
#include "system/accounts_win32.h"
#include "system/admin_password.h"
#include "system/file_io.h"
#include "system/handle_win32.h"
#include "system/registry_access.h"
#include "system/settings.h"
#include "system/text_case.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;
using namespace test;

std::filesystem::path Windows(const char* path) {
    return std::filesystem::path(path);
}

// One run of quarn.exe.
class Configurator : public StartedProgram {
  public:
    explicit Configurator(const std::filesystem::path& folder)
        : StartedProgram(folder / L"quarn.exe") {}
    HWND MainWindow(std::chrono::milliseconds within = 20s) const {
        return WindowOfClass(L"TForm1", within);
    }
};

class ConfiguratorEndToEnd : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        for (const auto& [from, name] : {std::pair{Windows(QUARN_CONFIGURATOR_EXE), L"quarn.exe"},
                                         std::pair{Windows(QUARN_DUMMY_EXE), L"dummy.exe"},
                                         std::pair{Windows(QUARN_WATCHDOG_EXE), L"watchdog.exe"}}) {
            std::filesystem::copy_file(from, folder_->Path() / name);
        }
        ::SetEnvironmentVariableW(L"QUARN_ACCOUNT_JOURNAL",
                                  (folder_->Path() / L"journal.txt").c_str());
        test::RemoveSettingsKey();
        WriteAutoLogon(false, L"", L"");
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }

    static std::filesystem::path Folder() { return folder_->Path(); }

    static TempFolder* folder_;
};

TempFolder* ConfiguratorEndToEnd::folder_ = nullptr;

TEST_F(ConfiguratorEndToEnd, FirstStartLockAndLockDown) {
    Configurator quarn(Folder());
    ASSERT_TRUE(quarn.Started());

    // First start: defaults, "please create Password", two password dialogs.
    const HWND please = WaitForMessageText(quarn.Id(), L"please create Password");
    ASSERT_NE(please, nullptr);
    EXPECT_TRUE(SaveArtefactScreenshot(please, "first-start-message.bmp"));
    PressOk(please);
    ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Input Password", L"secret1"));
    ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Repeat Password", L"secret1"));
    // The password gate that every start passes.
    ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Input Password", L"secret1"));
    EXPECT_EQ(ReadPasswordDigest(), PasswordDigest(L"secret1"));
    EXPECT_EQ(ReadAccountName(), L"quarn");
    EXPECT_EQ(ReadRelease(), L"2539162");
    EXPECT_EQ(ReadInstallDir(), Folder().wstring());
    EXPECT_EQ(ReadProgramParameter(), L"-K https://www.morvil.example/");

    const HWND form = quarn.MainWindow();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(std::filesystem::exists(Folder() / "quarn.xml"));
    EXPECT_EQ(WindowText(FindControl(form, form1::kReleaseLabelId)), L"Release: 2539162");
    EXPECT_TRUE(SaveArtefactScreenshot(form, "e2e-about-panel.bmp"));

    // The start-up sequence locks the stored account "quarn", which Wine has not.
    ASSERT_TRUE(DismissUnknownAccount(quarn.Id(), 20s));

    ASSERT_TRUE(EnterAccountName(form, test::CurrentUserName()));
    EXPECT_EQ(ReadAccountName(), LowerAZ(test::CurrentUserName()));

    // Locking the Wine user's own account shows its SID.
    Click(FindControl(form, form1::kLockId));
    const std::wstring sid = [] {
        const AccountLookup lookup = GetAccountSid(L"", test::CurrentUserName());
        return lookup.sid ? SidToText(*lookup.sid) : L"";
    }();
    ASSERT_FALSE(sid.empty());
    const HWND sidLabel = FindControl(form, form1::kSidLabelId);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(sidLabel) == sid; }, 10s));
    EXPECT_EQ(PixelInside(FindControl(form, form1::kLockId), 6, 12), RGB(0, 255, 0));
    EXPECT_EQ(ReadAccountShell(sid), L"explorer.exe");
    EXPECT_TRUE(SaveArtefactScreenshot(form, "e2e-locked.bmp"));

    // Lock Down on: the watchdog shell, the lock catalogue in the real hive.
    Click(FindControl(form, form1::kLockDownId));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return ReadCompleteLockDown() == L"true" &&
                   test::ExplorerPolicy(sid, L"NoDesktop") == 1u;
        },
        60s));
    const HWND progress = FindControl(form, form1::kProgressBarId);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(progress); }, 60s));
    EXPECT_EQ(ReadAccountShell(sid), (Folder() / L"watchdog.exe").wstring());
    EXPECT_EQ(test::ExplorerPolicy(sid, L"NoDrives"), 67108863u);

    // Lock Down off: explorer.exe and the unlock catalogue.
    Click(FindControl(form, form1::kLockDownId));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return ReadCompleteLockDown() == L"false" &&
                   test::ExplorerPolicy(sid, L"NoDesktop") == 0u;
        },
        60s));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(progress); }, 60s));
    EXPECT_EQ(ReadAccountShell(sid), L"explorer.exe");
    EXPECT_EQ(test::ExplorerPolicy(sid, L"NoDrives"), 0u);

    // A second configurator is refused and the first goes on.
    {
        Configurator second(Folder());
        const HWND running =
            WaitForMessageText(second.Id(), L"QUARN instance is still running ...");
        ASSERT_NE(running, nullptr);
        PressOk(running);
        EXPECT_TRUE(second.Ended(10s));
        EXPECT_FALSE(quarn.Ended(0ms));
    }

    // Closing ends the program and writes the passes into quarn.xml, which
    // the first start bound.
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    ASSERT_TRUE(quarn.Ended(20s));
    PolicyTable saved;
    saved.LoadFromFile(Folder() / "quarn.xml");
    EXPECT_EQ(saved.RecordCount(), 371);
    EXPECT_GT(saved.Content().changeLog.size(), 0u);

    const std::string text = ReadWholeFile(Folder() / "journal.txt");
    EXPECT_NE(text.find("NetUserSetInfo"), std::string::npos);
    EXPECT_NE(text.find("CreateProcessWithLogonW"), std::string::npos);
}

TEST_F(ConfiguratorEndToEnd, TheGateAllowsThreeAttempts) {
    {
        Configurator quarn(Folder());
        ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Input Password", L"wrong"));
        ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Input Password", L"also wrong"));
        ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Input Password", L"secret1"));
        const HWND form = quarn.MainWindow();
        ASSERT_NE(form, nullptr);
        // The stored account is the Wine user now: the start-up sequence locks it.
        ASSERT_TRUE(WaitUntil(
            [&] {
                return WindowText(FindControl(form, form1::kSidLabelId)).rfind(L"S-1-5-", 0) == 0;
            },
            10s));
        ::PostMessageW(form, WM_CLOSE, 0, 0);
        ASSERT_TRUE(quarn.Ended(20s));
    }
    {
        Configurator quarn(Folder());
        for (const wchar_t* entry : {L"one", L"two", L"three"}) {
            ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Input Password", entry));
        }
        EXPECT_TRUE(quarn.Ended(10s));
        EXPECT_EQ(quarn.MainWindow(0ms), nullptr);
    }
}

// The earlier digest admits "abcxy" for "abcde": the entry gets in once, but
// only the new password typed twice is stored.
TEST_F(ConfiguratorEndToEnd, AnEarlierFormPasswordDigestAsksForANewPassword) {
    WritePasswordDigest(LegacyPasswordDigest(L"abcde"));
    Configurator quarn(Folder());
    ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Input Password", L"abcxy"));
    const HWND please = WaitForMessageText(quarn.Id(), L"please create Password");
    ASSERT_NE(please, nullptr);
    PressOk(please);
    ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Input Password", L"Kiosk-2026"));
    ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Repeat Password", L"Kiosk-2026"));
    const HWND form = quarn.MainWindow();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(ReadPasswordDigest(), PasswordDigest(L"Kiosk-2026"));
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_TRUE(quarn.Ended(20s));
}

}  // namespace
}  // namespace quarn
