// The main window created in the test, under Wine and a virtual display, with
// its dialogs answered from a script and the account operations recorded in
// a journal.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cwchar>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "catalogue/catalogue_pass.h"
#include "catalogue/policy_row_applier.h"
#include "quarn/application_win32.h"
#include "quarn/form1_win32.h"
#include "quarn/locked_account_sid.h"
#include "quarn/logon_shell.h"
#include "support/driver_win32.h"
#include "support/screenshot_win32.h"
#include "support/scripted_form_dialogs_win32.h"
#include "support/station_queries.h"
#include "support/station_queries_win32.h"
#include "support/temp_folder.h"
#include "system/accounts_win32.h"
#include "system/file_io.h"
#include "system/registry_access.h"
#include "system/release.h"
#include "system/restore_point.h"
#include "system/settings.h"
#include "system/system_queries.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;

std::wstring WineUserSid() {
    const AccountLookup lookup = GetAccountSid(L"", test::CurrentUserName());
    return lookup.sid ? SidToText(*lookup.sid) : L"";
}

void Pump(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        Application::Instance().ProcessMessages();
        std::this_thread::sleep_for(10ms);
    }
}

// The condition, asked while the window's messages are handled.
std::function<bool()> Pumping(std::function<bool()> condition) {
    return [condition] {
        Application::Instance().ProcessMessages();
        return condition();
    };
}

std::wstring Winlogon(const wchar_t* name) {
    RegistryAccess access(kKeyRead);
    access.SetRootKey(RegistryRoot::LocalMachine);
    access.OpenKey(kWinlogonKey, false);
    return access.ReadString(name);
}

class Form1Test : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { Application::Instance().Initialize(); }

    void SetUp() override {
        test::RemoveSettingsKey();
        LockedAccountSid.clear();
        DomainRoleCode.clear();
        ::SetEnvironmentVariableW(L"QUARN_ACCOUNT_JOURNAL", (folder_ / "journal.txt").c_str());
        ::SetCurrentDirectoryW(folder_.Path().c_str());
        WriteAutoLogon(false, L"", L"");
    }

    void TearDown() override {
        form_.reset();
        Application::Instance().ClearQuitRequest();
        ::SetCurrentDirectoryW(L"C:\\");
    }

    TForm1& Form() {
        if (!form_) {
            form_ = std::make_unique<TForm1>(dialogs_, TForm1::Options{folder_.Path(), 0ms, L""});
        }
        return *form_;
    }

    std::vector<std::wstring> Journal() const {
        std::vector<std::wstring> lines;
        std::ifstream in(folder_ / "journal.txt");
        for (std::string line; std::getline(in, line);) {
            lines.push_back(Utf8ToUtf16(line));
        }
        return lines;
    }

    static std::wstring Text(HWND control) { return TForm1::TextOf(control); }

    // Types into a field as the keyboard does.
    static void Type(HWND field, const std::wstring& text) {
        for (const wchar_t c : text) {
            ::SendMessageW(field, WM_CHAR, c, 1);
        }
    }

    test::ScriptedFormDialogs dialogs_;
    test::TempFolder folder_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(Form1Test, ShowRestoresTheWindowFromTheSettings) {
    WriteSetting(L"QUARN-Username", L"Kiosk");
    WriteSetting(L"PanelPassword", L"geheim");
    WriteSetting(L"Program", L"C:\\Kiosk\\browser.exe");
    WriteSetting(L"ProgramParameter", L"-k");
    WriteSetting(L"CompleteLockDown", L"true");
    WriteAutoLogon(true, L"old", L"old");

    TForm1& form = Form();
    const std::size_t lockVersions = form.Catalogues->CDSLOCK.Content().versions.size();
    form.Show();
    EXPECT_EQ(form.FrontPanel(), form.PanelAbout);
    EXPECT_EQ(Text(form.QUARNUSER), L"Kiosk");
    EXPECT_EQ(Text(form.USERPASSWORD), L"geheim");
    EXPECT_EQ(Text(form.QUARNProgram), L"C:\\Kiosk\\browser.exe");
    EXPECT_EQ(Text(form.QUARNParameter), L"-k");
    EXPECT_EQ(Text(form.Release), std::wstring(L"Release: ") + BuiltInReleaseW);
    EXPECT_TRUE(TForm1::IsChecked(form.CompleteLockDown));
    EXPECT_EQ(form.Catalogues->CDSLOCK.Content().versions.size(), lockVersions);  // no pass
    EXPECT_TRUE(TForm1::IsChecked(form.AutoLogon));
    EXPECT_EQ(Winlogon(L"DefaultUserName"), L"Kiosk");  // rewritten from the fields
    EXPECT_EQ(Winlogon(L"DefaultPassword"), L"geheim");
    EXPECT_EQ(Application::Instance().Title().rfind(L"QUARN - ", 0), 0u);
    EXPECT_NE(Application::Instance().Title().find(L"Windows"), std::wstring::npos);
    EXPECT_EQ(Text(form.Handle()), Application::Instance().Title());
    EXPECT_TRUE(FileExists(folder_ / "quarn.xml"));
    EXPECT_FALSE(form.LoadingSettings);
    EXPECT_TRUE(dialogs_.journal.empty());
}

TEST_F(Form1Test, FieldChangesAreStoredAtOnce) {
    TForm1& form = Form();
    form.Show();
    form.Starthere1Click();
    EXPECT_EQ(form.FrontPanel(), form.PanelSystem);
    Type(form.QUARNProgram, L"C:\\a.exe");
    EXPECT_EQ(ReadSetting(L"Program"), L"C:\\a.exe");
    Type(form.QUARNParameter, L"-x");
    EXPECT_EQ(ReadSetting(L"ProgramParameter"), L"-x");
    Type(form.QUARNUSER, L"Besucher");
    EXPECT_EQ(ReadSetting(L"QUARN-Username"), L"Besucher");
    Type(form.USERPASSWORD, L"pw");
    EXPECT_EQ(ReadSetting(L"PanelPassword"), L"pw");
}

TEST_F(Form1Test, LockStatesThroughTheTransitions) {
    TForm1& form = Form();
    form.Show();
    struct State {
        COLORREF color;
        const wchar_t* caption;
        bool userEnabled;
        std::wstring sid;
    };
    const auto expect = [&](const State& state) {
        EXPECT_EQ(form.QUARNlock.Color(), state.color);
        EXPECT_EQ(form.QUARNlock.Caption(), state.caption);
        EXPECT_EQ(::IsWindowEnabled(form.QUARNUSER) != FALSE, state.userEnabled);
        EXPECT_EQ(Text(form.QUARNSID), state.sid);
    };
    const std::wstring sid = WineUserSid();
    ASSERT_FALSE(sid.empty());

    SCOPED_TRACE("initial");
    expect({::GetSysColor(COLOR_BTNFACE), L"Lock", true, L"SID"});

    // Only a user account can be locked: a group's SID would get a shell
    // and the policies in HKEY_USERS\<group SID>.
    const std::pair<const char*, std::wstring> notFound[] = {
        {"unknown account", L"no-such-account"},
        {"empty name", L""},
        {"the Administrators group", GetAdministratorsGroupName()},
        {"a well-known group", L"Everyone"},
    };
    for (const auto& [name, user] : notFound) {
        SCOPED_TRACE(name);
        dialogs_.journal.clear();
        ::SetWindowTextW(form.QUARNUSER, user.c_str());
        form.QUARNlockClick();
        expect({kRed, L"lock", true, L""});
        EXPECT_EQ(dialogs_.journal, std::vector<std::wstring>{L"message user not found !"});
        EXPECT_TRUE(LockedAccountSid.empty());
        EXPECT_TRUE(Journal().empty());  // no password set, no logon
    }

    ::SetWindowTextW(form.QUARNUSER, test::CurrentUserName().c_str());
    form.QUARNlockClick();
    expect({kGreen, L"unlock", false, sid});
    EXPECT_EQ(LockedAccountSid, sid);
    EXPECT_EQ(ReadQuarnFlag(), L"0");

    form.QUARNlockClick();
    expect({kRed, L"lock", true, L""});
    EXPECT_EQ(LockedAccountSid, sid);  // kept through unlocking
}

TEST_F(Form1Test, LockingWithAnEmptyPasswordGivesTheDefault) {
    TForm1& form = Form();
    form.Show();
    ::SetWindowTextW(form.QUARNUSER, test::CurrentUserName().c_str());
    form.QUARNlockClick();
    EXPECT_EQ(Text(form.USERPASSWORD), L"tavri");
    EXPECT_EQ(ReadPanelPassword(), L"tavri");
    const auto journal = Journal();
    ASSERT_GE(journal.size(), 2u);
    EXPECT_NE(journal[0].find(L"NetUserSetInfo"), std::wstring::npos);
    EXPECT_NE(journal[0].find(L"password=\"tavri\""), std::wstring::npos);
    EXPECT_NE(journal[1].find(L"CreateProcessWithLogonW"), std::wstring::npos);
    EXPECT_NE(journal[1].find((folder_ / "dummy.exe").wstring()), std::wstring::npos);
}

TEST_F(Form1Test, TheWholePasswordIsSetAndUsedForTheLogon) {
    TForm1& form = Form();
    form.Show();
    const std::wstring longPassword = L"a-password-of-more-than-nineteen-characters";
    ::SetWindowTextW(form.USERPASSWORD, longPassword.c_str());
    ::SetWindowTextW(form.QUARNUSER, test::CurrentUserName().c_str());
    form.QUARNlockClick();
    for (const std::wstring& line : Journal()) {
        EXPECT_NE(line.find(L"password=\"" + longPassword + L"\""), std::wstring::npos) << line;
    }
}

TEST_F(Form1Test, DomainRolesThatChangeTheAdministratorsGroup) {
    const std::pair<const wchar_t*, bool> roles[] = {
        {L"", false},  {L"0", false}, {L"1", false}, {L"2", true},
        {L"3", false}, {L"4", false}, {L"5", true},
    };
    for (const auto& [role, changes] : roles) {
        SCOPED_TRACE(std::string(role, role + wcslen(role)));
        std::filesystem::remove(folder_ / "journal.txt");
        std::filesystem::remove(folder_ / kRestorePointFileName);
        DomainRoleCode = role;
        TForm1& form = Form();
        form.Show();
        ::SetWindowTextW(form.QUARNUSER, test::CurrentUserName().c_str());
        form.QUARNlockClick();  // lock
        form.QUARNlockClick();  // unlock
        std::vector<std::wstring> groupCalls;
        for (const std::wstring& line : Journal()) {
            if (line.find(L"NetLocalGroup") == 0) {
                groupCalls.push_back(line.substr(0, line.find(L' ')));
                EXPECT_NE(
                    line.find(L"member=\"" + GetLogonDomain() + L"\\" + ReadAccountName() + L"\""),
                    std::wstring::npos)
                    << line;
                EXPECT_NE(line.find(L"group=\"" + GetAdministratorsGroupName() + L"\""),
                          std::wstring::npos)
                    << line;
            }
        }
        // Each change is preceded by the question whether the account is a
        // member; the restore point keeps the answer before the first one.
        const std::vector<std::wstring> expected =
            changes
                ? std::vector<std::wstring>{L"NetLocalGroupGetMembers", L"NetLocalGroupAddMembers",
                                            L"NetLocalGroupGetMembers", L"NetLocalGroupDelMembers"}
                : std::vector<std::wstring>{};
        EXPECT_EQ(groupCalls, expected);
        const std::optional<RestorePoint> point = LoadRestorePoint(folder_ / kRestorePointFileName);
        ASSERT_TRUE(point);  // the shell switch records in any case
        EXPECT_EQ(point->Administrators(), changes ? std::optional(AdministratorsMembership{
                                                         LockedAccountMemberName(), false})
                                                   : std::nullopt);
        form_.reset();
        Application::Instance().ClearQuitRequest();
    }
}

TEST_F(Form1Test, ShowPassTwiceReturnsToTheMaskedState) {
    TForm1& form = Form();
    form.Show();
    EXPECT_EQ(::SendMessageW(form.USERPASSWORD, EM_GETPASSWORDCHAR, 0, 0), L'*');  // from the start
    form.ShowPassClick();  // as the start-up sequence does
    EXPECT_EQ(form.ShowPass.Color(), kGreen);
    EXPECT_EQ(form.ShowPass.Caption(), L"visible");
    EXPECT_EQ(::SendMessageW(form.USERPASSWORD, EM_GETPASSWORDCHAR, 0, 0), L'*');
    form.ShowPassClick();
    EXPECT_EQ(form.ShowPass.Color(), kRed);
    EXPECT_EQ(form.ShowPass.Caption(), L"unvisible");
    EXPECT_EQ(::SendMessageW(form.USERPASSWORD, EM_GETPASSWORDCHAR, 0, 0), 0);
    form.ShowPassClick();
    EXPECT_EQ(form.ShowPass.Color(), kGreen);
    EXPECT_EQ(::SendMessageW(form.USERPASSWORD, EM_GETPASSWORDCHAR, 0, 0), L'*');
}

TEST_F(Form1Test, HelpOpensQuarnChmOrSaysItIsMissing) {
    TForm1& form = Form();
    form.Show();
    form.Help1Click();
    EXPECT_EQ(dialogs_.journal.back(), L"message error loading file !  quarn.chm !");
    std::ofstream(folder_ / "quarn.chm") << "help";
    form.Help1Click();
    EXPECT_EQ(dialogs_.journal.back(), L"open " + (folder_ / "quarn.chm").wstring());
}

TEST_F(Form1Test, TheApplicationDialog) {
    WriteSetting(L"Program", L"C:\\Kiosk\\browser.exe");
    TForm1& form = Form();
    form.Show();
    form.QUARNProgramDblClick();  // closed without a choice
    EXPECT_EQ(dialogs_.journal.back(), L"file dialog *.* *.exe");
    EXPECT_EQ(Text(form.QUARNProgram), L"C:\\Kiosk\\browser.exe");
    EXPECT_EQ(ReadProgram(), L"C:\\Kiosk\\browser.exe");
    const std::pair<const wchar_t*, const wchar_t*> choices[] = {
        {L"C:\\Other\\app.exe", L"C:\\Other\\app.exe"},
        {L"Z:/kiosk apps/kiosk.exe", L"Z:\\kiosk apps\\kiosk.exe"},  // stored as Windows writes it
    };
    for (const auto& [chosen, stored] : choices) {
        dialogs_.fileChoices.push_back(chosen);
        form.QUARNProgramDblClick();
        EXPECT_EQ(Text(form.QUARNProgram), stored);
        EXPECT_EQ(ReadProgram(), stored);
    }
}

TEST_F(Form1Test, AutoLogonOnAndOff) {
    TForm1& form = Form();
    form.Show();
    ::SetWindowTextW(form.QUARNUSER, L"");
    ::SetWindowTextW(form.USERPASSWORD, L"");
    form.SetChecked(form.AutoLogon, true);
    EXPECT_EQ(Text(form.QUARNUSER), L"quarn");
    EXPECT_EQ(Text(form.USERPASSWORD), L"tavri");
    EXPECT_EQ(ReadSetting(L"QUARN-Username"), L"quarn");
    EXPECT_EQ(ReadPanelPassword(), L"tavri");
    EXPECT_EQ(Winlogon(L"AutoAdminLogon"), L"1");
    EXPECT_EQ(Winlogon(L"DefaultUserName"), L"quarn");
    EXPECT_EQ(Winlogon(L"DefaultPassword"), L"tavri");
    form.SetChecked(form.AutoLogon, false);
    EXPECT_EQ(Winlogon(L"AutoAdminLogon"), L"0");
    EXPECT_EQ(Winlogon(L"DefaultUserName"), L"");
    EXPECT_EQ(Winlogon(L"DefaultPassword"), L"");
}

TEST_F(Form1Test, LockDownOnAndOffSwitchesShellCatalogueAndSetting) {
    WriteSetting(L"QUARN-DIR", L"C:\\QUARN");
    TForm1& form = Form();
    form.Show();
    ::SetWindowTextW(form.QUARNUSER, test::CurrentUserName().c_str());
    form.QUARNlockClick();
    const std::wstring sid = LockedAccountSid;
    EXPECT_EQ(ReadAccountShell(sid), L"explorer.exe");

    form.SetChecked(form.CompleteLockDown, true);
    EXPECT_EQ(ReadAccountShell(sid), L"C:\\QUARN\\watchdog.exe");
    EXPECT_EQ(ReadCompleteLockDown(), L"true");
    EXPECT_EQ(test::ExplorerPolicy(sid, L"NoDesktop"), 1u);
    EXPECT_EQ(test::ExplorerPolicy(sid, L"NoDrives"), 67108863u);
    // The catalogue's own automatic logon does not outlive the pass.
    EXPECT_EQ(Winlogon(L"AutoAdminLogon"), L"0");
    EXPECT_EQ(Winlogon(L"DefaultUserName"), L"");
    EXPECT_FALSE(::IsWindowVisible(form.ProgressBar1));

    form.SetChecked(form.CompleteLockDown, false);
    EXPECT_EQ(ReadAccountShell(sid), L"explorer.exe");
    EXPECT_EQ(ReadCompleteLockDown(), L"false");
    EXPECT_EQ(test::ExplorerPolicy(sid, L"NoDesktop"), 0u);
    EXPECT_EQ(test::ExplorerPolicy(sid, L"NoDrives"), 0u);
    EXPECT_EQ(ReadQuarnFlag(), L"0");
    EXPECT_TRUE(dialogs_.journal.empty()) << Utf16ToUtf8(dialogs_.journal.front());
}

TEST_F(Form1Test, APassReappliesTheAutoLogonValuesAndNothingElse) {
    struct Case {
        const char* name;
        bool autoLogon;
        std::wstring user;
        std::wstring password;
        bool emptiedAfterStart;  // the administrator cleared both fields
        const wchar_t* autoAdminLogon;
    };
    const Case cases[] = {
        {"off, empty fields", false, L"", L"", false, L"0"},
        {"on, the administrator's fields", true, L"Kiosk", L"Geheim12", false, L"1"},
        {"on, fields emptied after the start", true, L"", L"", true, L"1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::RemoveSettingsKey();
        WriteSetting(L"QUARN-Username", c.emptiedAfterStart ? L"Kiosk" : c.user);
        WriteSetting(L"PanelPassword", c.emptiedAfterStart ? L"Geheim12" : c.password);
        WriteAutoLogon(c.autoLogon, L"Kiosk", L"Geheim12");
        TForm1& form = Form();
        form.Show();
        ASSERT_EQ(TForm1::IsChecked(form.AutoLogon), c.autoLogon);
        if (c.emptiedAfterStart) {
            ::SetWindowTextW(form.QUARNUSER, L"");
            ::SetWindowTextW(form.USERPASSWORD, L"");
        }
        form.SetChecked(form.CompleteLockDown, true);  // the pass writes the catalogue's logon
        EXPECT_EQ(Winlogon(L"AutoAdminLogon"), c.autoAdminLogon);
        EXPECT_EQ(Winlogon(L"DefaultUserName"), c.autoLogon ? c.user : L"");
        EXPECT_EQ(Winlogon(L"DefaultPassword"), c.autoLogon ? c.password : L"");
        // The watched account is never renamed behind the administrator's back.
        EXPECT_EQ(Text(form.QUARNUSER), c.user);
        EXPECT_EQ(ReadSetting(L"QUARN-Username"), c.user);
        EXPECT_EQ(ReadPanelPassword(), c.password);
        form_.reset();
        Application::Instance().ClearQuitRequest();
    }
}

TEST_F(Form1Test, AQuarnXmlThatIsRefusedLocksNothingDown) {
    WriteSetting(L"QUARN-DIR", L"C:\\QUARN");
    TForm1& form = Form();
    form.Show();  // the first start writes quarn.xml
    ::SetWindowTextW(form.QUARNUSER, test::CurrentUserName().c_str());
    form.QUARNlockClick();
    const std::wstring sid = LockedAccountSid;
    // The administrator's catalogue, its SUBTREE and SUBKEY columns swapped.
    std::string swapped = ReadWholeFile(folder_ / "quarn.xml");
    const std::string subtree = R"(<FIELD attrname="SUBTREE" fieldtype="string" WIDTH="255"/>)";
    const std::string subkey = R"(<FIELD attrname="SUBKEY" fieldtype="string" WIDTH="50"/>)";
    ASSERT_NE(swapped.find(subtree + subkey), std::string::npos);
    swapped.replace(swapped.find(subtree + subkey), subtree.size() + subkey.size(),
                    subkey + subtree);
    ReplaceFileContents(folder_ / "quarn.xml", swapped);
    dialogs_.journal.clear();

    form.SetChecked(form.CompleteLockDown, true);
    EXPECT_EQ(dialogs_.journal, (std::vector<std::wstring>{L"message Error loading file."}));
    EXPECT_FALSE(TForm1::IsChecked(form.CompleteLockDown));
    EXPECT_NE(ReadCompleteLockDown(), L"true");
    EXPECT_EQ(ReadAccountShell(sid), L"explorer.exe");
    // No pass: the lock table keeps its rows, none of them rewritten.
    EXPECT_EQ(form.Catalogues->CDSLOCK.Content().versions.size(), 371u);
    form_.reset();  // the program's end
    EXPECT_EQ(ReadWholeFile(folder_ / "quarn.xml"), swapped);
}

TEST_F(Form1Test, OpeningANameThatDoesNotExistAsksBeforeEmptyingTheCatalogue) {
    TForm1& form = Form();
    form.Show();
    const std::string first = ReadWholeFile(folder_ / "quarn.xml");
    const std::wstring missing = (folder_ / "typed-name.xml").wstring();
    dialogs_.fileChoices = {missing, missing};
    dialogs_.answers = {false, true};
    const std::wstring question = L"question " + Application::Instance().Title() +
                                  L" | The file does not exist. Create an empty lock catalogue?";

    form.OpenxmlFile1Click();  // No
    EXPECT_EQ(dialogs_.journal, (std::vector<std::wstring>{L"file dialog *.xml *.xml", question}));
    EXPECT_EQ(ReadWholeFile(folder_ / "quarn.xml"), first);
    EXPECT_FALSE(FileExists(folder_ / "quarn.xml.bak"));

    form.OpenxmlFile1Click();  // Yes
    EXPECT_EQ(form.Catalogues->CDSLOCK.RecordCount(), 0);
    EXPECT_EQ(ReadWholeFile(folder_ / "quarn.xml.bak"), first);
    PolicyTable saved;
    saved.LoadFromFile(folder_ / "quarn.xml");
    EXPECT_EQ(saved.RecordCount(), 0);
}

TEST_F(Form1Test, LockDownBeforeAnyAccountWritesNoShell) {
    TForm1& form = Form();
    form.Show();
    SetQuarnFlag();
    ClearQuarnFlag();
    form.SetChecked(form.CompleteLockDown, true);
    EXPECT_EQ(ReadCompleteLockDown(), L"true");
    EXPECT_TRUE(Journal().empty());  // no account prepared, no shell written
}

TEST_F(Form1Test, AFailedShellSwitchReachesTheErrorReport) {
    TForm1& form = Form();
    form.Show();
    LockedAccountSid = L"S-1-5-21-404-404-404-1001";  // a hive that is not there
    ::SendMessageW(form.CompleteLockDown, BM_CLICK, 0, 0);
    ASSERT_FALSE(dialogs_.journal.empty());
    EXPECT_EQ(dialogs_.journal.back(), L"error Fehler beim Setzen der Daten f\u00FCr 'Shell'");
    EXPECT_EQ(ReadQuarnFlag(), L"1");  // left set, as the failed switch left it
    EXPECT_NE(ReadCompleteLockDown(), L"true");
}

TEST_F(Form1Test, TheStartUpSequenceRunsOnceOnly) {
    WriteSetting(L"QUARN-Username", test::CurrentUserName());
    TForm1& form = Form();
    form.Show();
    form.FormActivate();
    // The stored account is locked, the password hidden.
    ASSERT_TRUE(test::WaitUntil(Pumping([&] {
                                    return form.QUARNlock.Color() == kGreen &&
                                           form.ShowPass.Color() == kGreen;
                                }),
                                20s));
    EXPECT_EQ(::SendMessageW(form.USERPASSWORD, EM_GETPASSWORDCHAR, 0, 0), L'*');
    form.FormActivate();  // the window becomes active again
    // Not unlocked by a second run, which would come a second later.
    EXPECT_TRUE(test::HoldsFor(Pumping([&] { return form.QUARNlock.Color() == kGreen; }), 2500ms));
}

TEST_F(Form1Test, ScreenshotsOfBothPanels) {
    WriteSetting(L"QUARN-Username", test::CurrentUserName());
    WriteSetting(L"Program", L"C:\\Program Files (x86)\\Internet Explorer\\iexplore.exe");
    WriteSetting(L"ProgramParameter", L"-K https://www.morvil.example/");
    TForm1& form = Form();
    form.Show();
    Pump(300ms);
    EXPECT_TRUE(test::SaveWindowScreenshot(form.Handle(),
                                           test::ArtefactFolder() / "main-window-about.bmp"));
    form.Starthere1Click();
    form.QUARNlockClick();
    form.ShowPassClick();
    Pump(300ms);
    EXPECT_TRUE(
        test::SaveWindowScreenshot(form.Handle(), test::ArtefactFolder() / "main-window.bmp"));
}

}  // namespace
}  // namespace quarn
