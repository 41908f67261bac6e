// The Wine test build of quarn.exe, started as a separate process and driven
// from outside as a new administrator would use it: first start, the password
// gate, the main window, locking the Wine user's own account, Lock Down on and
// off, "Restore the station", and a second configurator refused. The registry
// it leaves is read, also as reg.exe exports it.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "catalogue/policy_table.h"
#include "e2e/configurator_driver_win32.h"
#include "quarn/form1_ids.h"
#include "quarn/logon_shell.h"
#include "support/driver_win32.h"
#include "support/reg_exe_win32.h"
#include "support/screenshot_win32.h"
#include "support/station_queries.h"
#include "support/station_queries_win32.h"
#include "support/temp_folder.h"
#include "system/accounts_win32.h"
#include "system/admin_password.h"
#include "system/file_io.h"
#include "system/handle_win32.h"
#include "system/reg_file.h"
#include "system/registry_access.h"
#include "system/restore_point.h"
#include "system/settings.h"
#include "system/text_case.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;
using namespace test;

std::filesystem::path Windows(const char* path) {
    return std::filesystem::path(path);
}

// The trees the lock and its catalogue change, as reg.exe exports them: the
// account's software keys, the machine's policies, its logon and control
// keys. A tree that does not exist is exported as nothing.
struct ExportedTrees {
    std::map<std::wstring, RegFileKey> keys;  // by full key name, folded
    bool operator==(const ExportedTrees&) const = default;
};

ExportedTrees ExportTrees(const std::wstring& sid, const std::filesystem::path& folder) {
    const std::wstring trees[] = {
        L"HKEY_USERS\\" + sid + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies",
        L"HKEY_USERS\\" + sid + L"\\Software\\Policies",
        L"HKEY_USERS\\" + sid + L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
        L"HKEY_USERS\\" + sid + L"\\Control Panel",
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies",
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies",
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
        L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout",
    };
    ExportedTrees exported;
    const std::filesystem::path file = folder / L"export.reg";
    for (const std::wstring& tree : trees) {
        std::filesystem::remove(file);
        if (RunReg(L"export \"" + tree + L"\" \"" + file.wstring() + L"\" /y") != 0) {
            continue;  // the tree does not exist
        }
        const RegFileReadResult read = ReadRegFile(ReadWholeFile(file));
        EXPECT_TRUE(read) << read.message;
        for (const RegFileKey& key : read.file.keys) {
            exported.keys[FoldRegistryName(key.path)] = key;
        }
    }
    std::filesystem::remove(file);
    return exported;
}

// The keys of after that before has not, each empty.
std::vector<std::wstring> AddedKeys(const ExportedTrees& before, const ExportedTrees& after) {
    std::vector<std::wstring> added;
    for (const auto& [name, key] : after.keys) {
        if (!before.keys.count(name)) {
            EXPECT_TRUE(key.values.empty()) << Utf16ToUtf8(key.path);
            added.push_back(name);
        }
    }
    return added;
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
    const ExportedTrees beforeTheLock = ExportTrees(test::CurrentUserSid(), Folder());

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

    // "Restore the station", answered Yes: reg.exe exports the trees as they
    // were before the lock, and the restore point is put aside.
    ::PostMessageW(form, WM_COMMAND, form1::kRestoreStationId, 0);
    const HWND question = WaitForMessageText(
        quarn.Id(),
        L"Restore every setting QUARN changed to its state before the first Lock Down?");
    ASSERT_NE(question, nullptr);
    PressButton(question, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(question); }, 10s));
    // The report: the counts first.
    const HWND restored = WaitForWindow(
        quarn.Id(), [](HWND window) { return ClassOf(window) == L"#32770"; }, 60s);
    ASSERT_NE(restored, nullptr);
    std::wstring texts;
    ::EnumChildWindows(
        restored,
        [](HWND child, LPARAM all) -> BOOL {
            *reinterpret_cast<std::wstring*>(all) += WindowText(child) + L"|";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    EXPECT_NE(texts.find(L"Restored: "), std::wstring::npos) << Utf16ToUtf8(texts);
    EXPECT_TRUE(SaveArtefactScreenshot(restored, "e2e-restored.bmp"));
    PressOk(restored);
    EXPECT_EQ(ExportTrees(sid, Folder()), beforeTheLock);
    EXPECT_FALSE(FileExists(Folder() / kRestorePointFileName));

    // Locked down afresh, then brought back by reg.exe from the new restore
    // point alone: every value as before; keys QUARN created stay, empty.
    Click(FindControl(form, form1::kLockDownId));
    ASSERT_TRUE(WaitUntil([&] { return ReadCompleteLockDown() == L"true"; }, 60s));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(progress); }, 60s));
    EXPECT_EQ(test::ExplorerPolicy(sid, L"NoDrives"), 67108863u);
    EXPECT_NE(ExportTrees(sid, Folder()), beforeTheLock);
    ASSERT_EQ(RunReg(L"import \"" + (Folder() / kRestorePointFileName).wstring() + L"\""), 0u);
    const ExportedTrees imported = ExportTrees(sid, Folder());
    const std::vector<std::wstring> added = AddedKeys(beforeTheLock, imported);
    const std::optional<RestorePoint> point = LoadRestorePoint(Folder() / kRestorePointFileName);
    ASSERT_TRUE(point);
    std::set<std::wstring> created;
    for (const RecordedTarget& target : point->Targets()) {
        if (target.kind == RecordedKind::CreatedKey) {
            created.insert(FoldRegistryName(
                (target.root == RegistryRoot::Users ? L"HKEY_USERS\\" : L"HKEY_LOCAL_MACHINE\\") +
                target.keyPath));
        }
    }
    ExportedTrees withoutAdded = imported;
    for (const std::wstring& name : added) {
        EXPECT_TRUE(created.count(name)) << Utf16ToUtf8(name) << " is no key QUARN created";
        withoutAdded.keys.erase(name);
    }
    EXPECT_EQ(withoutAdded, beforeTheLock);
    Click(FindControl(form, form1::kLockDownId));
    ASSERT_TRUE(WaitUntil([&] { return ReadCompleteLockDown() == L"false"; }, 60s));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(progress); }, 60s));

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
