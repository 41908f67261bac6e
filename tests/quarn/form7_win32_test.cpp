// The update check of the main window and the update window, under Wine and
// a virtual display, against a loopback HTTP server; the dialogs are
// answered from a script. The download goes on while the window's messages
// are handled, so the tests handle them until it has ended; a server that
// stalls holds its connection until the test releases it, so a download that
// did not end by itself would hang the test.

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>

#include "quarn/application_win32.h"
#include "quarn/form1_win32.h"
#include "quarn/form7_win32.h"
#include "support/driver_win32.h"
#include "support/loopback_http_server_win32.h"
#include "support/screenshot_win32.h"
#include "support/scripted_form_dialogs_win32.h"
#include "support/station_queries.h"
#include "support/station_win32.h"
#include "support/temp_folder.h"
#include "system/file_io.h"
#include "system/registry_access.h"
#include "system/settings.h"
#include "system/sha256.h"
#include "system/text_encoding.h"
#include "system/update_ini.h"
#include "system/updates_win32.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;

struct Shown {
    std::uint32_t status;
    std::wstring label;
    int gauge;
};

// A program's first two bytes, then bytes that differ from position to
// position, so that a lost or doubled block shows.
std::string InstallerBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    bytes.replace(0, 2, "MZ");
    return bytes;
}

std::string InCapitals(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// Handles the window thread's messages until the condition holds; false
// when it has not after a minute (a hang, not a slow machine).
bool HandleMessagesUntil(const std::function<bool()>& condition) {
    const auto limit = std::chrono::steady_clock::now() + 60s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 100, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        Application::Instance().ProcessMessages();
    }
    return true;
}

class UpdateWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { Application::Instance().Initialize(); }

    void SetUp() override {
        test::RemoveSettingsKey();
        WriteRelease(L"2539162");
        ::SetEnvironmentVariableW(L"QUARN_ACCOUNT_JOURNAL", (folder_ / "journal.txt").c_str());
        form1_ = std::make_unique<TForm1>(dialogs_, TForm1::Options{folder_.Path(), 0ms, L""});
        MakeUpdateWindow(kDownloadStallLimit);
    }

    // The update window, with the given stall limit.
    void MakeUpdateWindow(std::chrono::milliseconds stallLimit) {
        form7_.reset();
        form7_ = std::make_unique<TForm7>(
            dialogs_,
            TForm7::Options{form1_->Handle(), [this] { return server_.Url("/quarn/setup.exe"); },
                            [this] { ++ends_; },
                            [this](std::uint32_t status, const std::wstring& label, int gauge) {
                                shown_.push_back({status, label, gauge});
                            },
                            stallLimit});
        form1_->SetUpdateWindow(form7_.get());
    }

    // The download, from the click to its end.
    void Download() {
        form7_->Button1Click();
        ASSERT_TRUE(HandleMessagesUntil([this] { return !form7_->Downloading(); }));
    }

    // A download whose first half has arrived, and whose server says
    // nothing more until released; the file it is saved in.
    std::filesystem::path StartStalledDownload() {
        const std::string installer = InstallerBytes(256 * 1024);
        test::HttpReply reply{200, installer};
        reply.ending = test::ReplyEnding::kStall;
        reply.sendOnly = installer.size() / 2;
        server_.Serve("/quarn/setup.exe", reply);
        const auto target = folder_ / "setup.exe";
        dialogs_.saveChoices.push_back(target.wstring());
        form7_->Button1Click();
        EXPECT_TRUE(HandleMessagesUntil([&] {
            return server_.Holding() == 1 &&
                   std::any_of(shown_.begin(), shown_.end(), [](const Shown& shown) {
                       return shown.status == 4 || shown.status == 5;
                   });
        }));
        return target;
    }

    void TearDown() override {
        form7_.reset();
        form1_.reset();
        Application::Instance().ClearQuitRequest();
    }

    std::wstring Label() const { return TForm1::TextOf(form7_->Label1); }
    int Gauge() const { return static_cast<int>(::SendMessageW(form7_->Gauge1, PBM_GETPOS, 0, 0)); }
    bool Visible() const { return ::IsWindowVisible(form7_->Handle()) != FALSE; }
    std::wstring Ini() const { return (folder_ / "quarn.ini").wstring(); }

    test::ScriptedFormDialogs dialogs_;
    test::TempFolder folder_;
    test::LoopbackHttpServer server_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm7> form7_;
    std::vector<Shown> shown_;
    int ends_ = 0;
};

TEST_F(UpdateWindow, CreatedHiddenAsAToolWindowOfItsSize) {
    EXPECT_FALSE(Visible());
    RECT client{};
    ::GetClientRect(form7_->Handle(), &client);
    EXPECT_EQ(client.right, 340);
    EXPECT_EQ(client.bottom, 100);
    EXPECT_NE(::GetWindowLongPtrW(form7_->Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
    EXPECT_EQ(::GetWindowLongPtrW(form7_->Handle(), GWL_STYLE) & WS_THICKFRAME, 0);
    EXPECT_EQ(TForm1::TextOf(form7_->Handle()), L" QUARN Update");
    EXPECT_EQ(TForm1::TextOf(form7_->Button2), L"&Close");
    EXPECT_FALSE(::IsWindowVisible(form7_->Button1));
    EXPECT_EQ(Label(), L"please download and install ...");
    EXPECT_EQ(form7_->SaveDialog1.fileName, L"setup.exe");
    EXPECT_EQ(form7_->SaveDialog1.defaultExtension, L"exe");
    EXPECT_EQ(form7_->SaveDialog1.filterName, L"setup.exe");
    EXPECT_EQ(form7_->SaveDialog1.filterPattern, L"*.exe");

    // Shown, it sits above the main window without taking the focus.
    form1_->Show();
    ::SetForegroundWindow(form1_->Handle());
    form7_->Show();
    Application::Instance().ProcessMessages();
    EXPECT_TRUE(Visible());
    EXPECT_NE(::GetWindowLongPtrW(form7_->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_NE(::GetForegroundWindow(), form7_->Handle());
    form7_->Button2Click();
    EXPECT_FALSE(Visible());
}

TEST_F(UpdateWindow, DownloadShowsItsProgress) {
    struct Row {
        const char* name;
        bool contentLength;
        bool digestNamed;  // the update-information file named the installer's digest
    };
    const std::string installer = InstallerBytes(300 * 1024 + 17);
    for (const Row& row : {Row{"size reported", true, false}, Row{"size unknown", false, false},
                           Row{"size reported, digest named", true, true}}) {
        SCOPED_TRACE(row.name);
        shown_.clear();
        // In pieces, as from a distant server, so that the loading shows.
        server_.Serve("/quarn/setup.exe",
                      {200, installer, row.contentLength, 0ms, 32 * 1024, 40ms});
        const auto target = folder_ / (std::string(row.name) + ".exe");
        dialogs_.saveChoices.push_back(target.wstring());
        dialogs_.answers.push_back(false);  // not now
        form7_->SetInstallerSha256(row.digestNamed ? std::optional(Sha256Hex(installer))
                                                   : std::nullopt);
        form7_->Show();
        Download();

        EXPECT_EQ(ReadWholeFile(target), installer);
        ASSERT_FALSE(shown_.empty());
        // Begin sets 0; while loading the gauge only grows, and stays at 0
        // when the size is unknown; the end shows a full gauge.
        bool begun = false;
        int loading = 0;
        int last = 0;
        for (const Shown& shown : shown_) {
            if (shown.status == 4) {
                EXPECT_EQ(shown.label, L"download startet...");
                EXPECT_EQ(shown.gauge, 0);
                begun = true;
            } else if (shown.status == 5) {
                EXPECT_EQ(shown.label, L"file loading...");
                EXPECT_GE(shown.gauge, last);
                if (!row.contentLength) {
                    EXPECT_EQ(shown.gauge, 0);
                }
                last = shown.gauge;
                ++loading;
            }
        }
        EXPECT_TRUE(begun);
        EXPECT_GT(loading, 1);
        if (row.contentLength) {
            EXPECT_GT(last, 50);  // the gauge moved with the bytes
        }
        EXPECT_EQ(shown_.back().status, 6u);
        EXPECT_EQ(shown_.back().label, L"download ready...");
        EXPECT_EQ(shown_.back().gauge, 100);

        // "No": the window stays as the download left it, the program runs on.
        EXPECT_EQ(dialogs_.journal.back(), L"question Install | Install QUARN Update ?");
        EXPECT_EQ(Label(), L"download ready...");
        EXPECT_EQ(Gauge(), 100);
        EXPECT_TRUE(Visible());
        EXPECT_EQ(ends_, 0);
    }
    EXPECT_TRUE(
        test::SaveWindowScreenshot(form7_->Handle(), test::ArtefactFolder() / "update-window.bmp"));
}

TEST_F(UpdateWindow, OnlyAWholeInstallerIsOffered) {
    // Everything else ends in "Error", without the installation question,
    // and what was saved is deleted.
    struct Row {
        const char* name;
        test::HttpReply reply;               // at the installer's address
        std::optional<std::string> digest;   // named by the update-information file
        std::optional<std::wstring> choice;  // in the save dialog; nothing: cancelled
        std::size_t requests;
    };
    const std::string installer = InstallerBytes(64 * 1024);
    const auto ending = [&](test::ReplyEnding how, bool contentLength) {
        test::HttpReply reply{200, installer, contentLength};
        reply.ending = how;
        reply.sendOnly = installer.size() / 2;
        return reply;
    };
    const auto file = [&](const char* name) { return (folder_ / name).wstring(); };
    const test::HttpReply whole{200, installer};
    const std::vector<Row> rows = {
        {"no such file on the server", {404, "not here"}, std::nullopt, file("a.exe"), 1},
        {"target not writable", whole, std::nullopt, (folder_ / "absent" / "b.exe").wstring(), 0},
        {"save dialog cancelled", whole, std::nullopt, std::nullopt, 0},
        {"cut short after half of the announced length", ending(test::ReplyEnding::kCut, true),
         std::nullopt, file("c.exe"), 1},
        {"closed without a reply", ending(test::ReplyEnding::kNoReply, true), std::nullopt,
         file("d.exe"), 1},
        {"an empty file", {200, ""}, std::nullopt, file("e.exe"), 1},
        {"not a program", {200, "<html>the new release</html>"}, std::nullopt, file("f.exe"), 1},
        {"cut short without a length, which the digest shows",
         ending(test::ReplyEnding::kCut, false), Sha256Hex(installer), file("g.exe"), 1},
        {"another file than the digest names", whole, Sha256Hex("an older installer"),
         file("h.exe"), 1},
        {"a damaged digest line", whole, std::string(), file("i.exe"), 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        server_.Serve("/quarn/setup.exe", row.reply);
        dialogs_.journal.clear();
        dialogs_.saveChoices.push_back(row.choice);
        form7_->SetInstallerSha256(row.digest);
        const std::size_t before = server_.Requests().size();
        form7_->Show();
        Download();
        EXPECT_EQ(Label(), L"Error");
        EXPECT_EQ(dialogs_.journal, std::vector<std::wstring>{L"save dialog setup.exe *.exe"});
        EXPECT_EQ(ends_, 0);
        EXPECT_TRUE(Visible());
        if (row.choice) {
            EXPECT_FALSE(std::filesystem::exists(*row.choice));
        }
        EXPECT_EQ(server_.Requests().size() - before, row.requests);
    }
}

TEST_F(UpdateWindow, ADownloadThatReceivesNothingEndsInError) {
    // Only the stall limit can end these downloads: the server holds each
    // until the test lets it go.
    MakeUpdateWindow(300ms);
    const std::string installer = InstallerBytes(256 * 1024);
    struct Row {
        const char* name;
        test::ReplyEnding ending;
    };
    for (const Row& row : {Row{"stalls in the middle", test::ReplyEnding::kStall},
                           Row{"never answers", test::ReplyEnding::kSilent}}) {
        SCOPED_TRACE(row.name);
        test::HttpReply reply{200, installer};
        reply.ending = row.ending;
        reply.sendOnly = installer.size() / 2;
        server_.Serve("/quarn/setup.exe", reply);
        const auto target = folder_ / (std::string(row.name) + ".exe");
        dialogs_.journal.clear();
        dialogs_.saveChoices.push_back(target.wstring());
        form7_->Show();
        Download();
        EXPECT_EQ(Label(), L"Error");
        EXPECT_FALSE(std::filesystem::exists(target));
        EXPECT_EQ(dialogs_.journal, std::vector<std::wstring>{L"save dialog setup.exe *.exe"});
        server_.Release();
    }
}

TEST_F(UpdateWindow, CloseAbortsAStalledDownload) {
    // A stall limit the test would not outlive: only "&Close" ends it.
    MakeUpdateWindow(std::chrono::hours(1));
    form7_->Show();
    const std::filesystem::path target = StartStalledDownload();
    EXPECT_TRUE(form7_->Downloading());
    EXPECT_TRUE(std::filesystem::exists(target));

    // The window still handles its messages: the button's click comes as
    // any other.
    ASSERT_TRUE(::PostMessageW(form7_->Handle(), WM_COMMAND,
                               MAKEWPARAM(::GetDlgCtrlID(form7_->Button2), BN_CLICKED),
                               reinterpret_cast<LPARAM>(form7_->Button2)));
    ASSERT_TRUE(HandleMessagesUntil([this] { return !form7_->Downloading(); }));
    EXPECT_FALSE(Visible());
    EXPECT_EQ(Label(), L"Error");
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(dialogs_.journal, std::vector<std::wstring>{L"save dialog setup.exe *.exe"});
    EXPECT_EQ(ends_, 0);
    server_.Release();
}

TEST_F(UpdateWindow, AWindowThatGoesTakesItsPartOfTheFileAlong) {
    // The configurator ends during a download: nothing half written stays.
    const std::filesystem::path target = StartStalledDownload();
    form7_.reset();
    EXPECT_FALSE(std::filesystem::exists(target));
    server_.Release();
}

TEST_F(UpdateWindow, OnlyTheInstallersCacheEntryIsPurged) {
    // Two pages in the administrator's URL cache, one of them the installer.
    const std::wstring setupUrl = server_.Url("/quarn/setup.exe");
    const std::wstring otherUrl = L"http://intranet.example/timetable.html";
    for (const std::wstring& url : {setupUrl, otherUrl}) {
        wchar_t file[MAX_PATH] = {};
        ASSERT_TRUE(::CreateUrlCacheEntryW(url.c_str(), 0, L"html", file, 0));
        ReplaceFileContents(file, "cached");
        FILETIME never{};
        ASSERT_TRUE(::CommitUrlCacheEntryW(url.c_str(), file, never, never, NORMAL_CACHE_ENTRY,
                                           nullptr, 0, nullptr, nullptr));
    }
    const auto cached = [](const std::wstring& url) {
        DWORD size = 0;
        ::GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size);
        return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
    };
    ASSERT_TRUE(cached(setupUrl));
    ASSERT_TRUE(cached(otherUrl));

    dialogs_.saveChoices.push_back(std::nullopt);
    form7_->Button1Click();
    EXPECT_FALSE(cached(setupUrl));
    EXPECT_TRUE(cached(otherUrl));
    ::DeleteUrlCacheEntryW(otherUrl.c_str());
}

TEST_F(UpdateWindow, YesStartsTheInstallerFromAFolderWithBlanks) {
    // The installer is a test program that records its command line.
    const std::string installer = ReadWholeFile(std::filesystem::path(QUARN_TEST_APPLICATION_EXE));
    server_.Serve("/quarn/setup.exe", {200, installer});
    const auto folder = folder_ / "Neue Version 2539163";
    std::filesystem::create_directory(folder);
    const auto target = folder / "setup.exe";
    dialogs_.saveChoices.push_back(target.wstring());
    dialogs_.answers.push_back(true);
    form7_->Show();
    Download();

    EXPECT_EQ(ends_, 1);
    const auto log = folder / "setup.exe.log";
    ASSERT_TRUE(test::WaitUntil([&] { return !test::LogLines(log).empty(); }, 20s));
    EXPECT_EQ(test::LogLines(log),
              std::vector<std::string>{"[\"" + Utf16ToUtf8(target.wstring()) + "\"]"});
    // What the window started ends with the test: the installer and
    // "net stop watch".
    test::EndChildren(L"setup.exe");
    test::EndChildren(L"net.exe");
}

class UpdateCheck : public UpdateWindow {};

TEST_F(UpdateCheck, OffersOnlyAGreaterReleaseWhenSwitchedOn) {
    struct Row {
        const char* name;
        std::optional<std::wstring> check;  // "CheckUpdateviaInternet"; nothing: no file
        std::string body;
        bool asked;    // the server got a request
        bool offered;  // the question came
    };
    const std::vector<Row> rows = {
        {"no quarn.ini", std::nullopt, "release 26", false, false},
        {"switched off", L"0", "release 26", false, false},
        {"not exactly 1", L"yes", "release 26", false, false},
        {"a greater release", L"1", "release 26\r\n", true, true},
        {"3 is greater as text", L"1", "3", true, true},
        {"10 is not", L"1", "10", true, false},
        {"the same release", L"1", "2539162", true, false},
        {"a dotted successor", L"1", "2539162.1", true, true},
    };
    server_.Serve("/release.txt", {});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(Ini());
        if (row.check) {
            WriteUpdateDefaults(Ini());
            WriteUpdateSetting(Ini(), L"CheckUpdateviaInternet", *row.check);
            WriteUpdateSetting(Ini(), L"QUARNUpdateURL", server_.Url("/release.txt"));
        }
        server_.Serve("/release.txt", {200, row.body});
        dialogs_.journal.clear();
        const std::size_t before = server_.Requests().size();
        form1_->CheckForUpdate();  // the question is answered No
        EXPECT_EQ(server_.Requests().size() - before, row.asked ? 1u : 0u);
        EXPECT_EQ(dialogs_.journal,
                  row.offered ? std::vector<std::wstring>{L"question UPDATE | QUARN Update "
                                                          L"available, Install Update ?"}
                              : std::vector<std::wstring>{});
        EXPECT_EQ(ReadRelease(), L"2539162");
        EXPECT_FALSE(Visible());
    }
}

TEST_F(UpdateCheck, AcceptingEmptiesTheReleaseAndStartsTheDownload) {
    // The installer's digest in the information file reaches the download.
    struct Row {
        const char* name;
        std::string digest;
        bool offered;  // the installation question came
    };
    const std::string installer = InstallerBytes(4096);
    const std::vector<Row> rows = {
        {"the installer's digest", Sha256Hex(installer), true},
        {"the digest in capitals", InCapitals(Sha256Hex(installer)), true},
        {"another file's digest", Sha256Hex("an older installer"), false},
    };
    WriteUpdateDefaults(Ini());
    WriteUpdateSetting(Ini(), L"QUARNUpdateURL", server_.Url("/release.txt"));
    server_.Serve("/quarn/setup.exe", {200, installer});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        server_.Serve("/release.txt", {200, "release 2539163\r\nsha256=" + row.digest + "\r\n"});
        WriteRelease(L"2539162");
        dialogs_.journal.clear();
        dialogs_.answers = {true, false};  // update: yes; install: not now
        dialogs_.saveChoices.push_back((folder_ / "setup.exe").wstring());
        form1_->CheckForUpdate();
        ASSERT_TRUE(HandleMessagesUntil([this] { return !form7_->Downloading(); }));
        EXPECT_EQ(ReadRelease(), L"");
        EXPECT_TRUE(Visible());
        std::vector<std::wstring> expected = {
            L"question UPDATE | QUARN Update available, Install Update ?",
            L"save dialog setup.exe *.exe"};
        if (row.offered) {
            expected.push_back(L"question Install | Install QUARN Update ?");
        }
        EXPECT_EQ(dialogs_.journal, expected);
        EXPECT_EQ(Label(), row.offered ? L"download ready..." : L"Error");
        EXPECT_EQ(std::filesystem::exists(folder_ / "setup.exe"), row.offered);
        if (row.offered) {
            EXPECT_EQ(ReadWholeFile(folder_ / "setup.exe"), installer);
        }
        EXPECT_EQ(ends_, 0);
    }
}

// Counts the messages that reach it while the update check waits.
bool checking = false;
int handledWhileChecking = 0;
LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        handledWhileChecking += checking ? 1 : 0;
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(UpdateCheck, TheWindowHandlesItsMessagesWhileTheCheckWaits) {
    // A server that trickles for ever: only the check's limit ends it.
    form7_.reset();
    form1_ = std::make_unique<TForm1>(dialogs_, TForm1::Options{folder_.Path(), 0ms, L"", 1s});
    MakeUpdateWindow(kDownloadStallLimit);
    // The earlier main window's end asked the program to quit.
    Application::Instance().ProcessMessages();
    Application::Instance().ClearQuitRequest();
    test::HttpReply trickle{200, "release 2539163\r\n"};
    trickle.ending = test::ReplyEnding::kTrickle;
    trickle.pieceSize = 1;
    trickle.piecePause = 50ms;
    server_.Serve("/release.txt", trickle);
    WriteUpdateDefaults(Ini());
    WriteUpdateSetting(Ini(), L"QUARNUpdateURL", server_.Url("/release.txt"));

    WNDCLASSW probeClass{};
    probeClass.lpfnWndProc = ProbeWindowProc;
    probeClass.hInstance = ::GetModuleHandleW(nullptr);
    probeClass.lpszClassName = L"QuarnUpdateCheckProbe";
    ::RegisterClassW(&probeClass);
    const HWND probe = ::CreateWindowExW(0, probeClass.lpszClassName, L"", 0, 0, 0, 0, 0,
                                         HWND_MESSAGE, nullptr, probeClass.hInstance, nullptr);
    ASSERT_NE(probe, nullptr);
    handledWhileChecking = 0;
    ASSERT_TRUE(::PostMessageW(probe, WM_APP, 0, 0));
    checking = true;
    form1_->CheckForUpdate();
    checking = false;
    server_.Release();
    Application::Instance().ProcessMessages();
    ::DestroyWindow(probe);

    EXPECT_EQ(handledWhileChecking, 1);
    EXPECT_EQ(server_.Requests().size(), 1u);
    EXPECT_TRUE(dialogs_.journal.empty());  // nothing offered
    EXPECT_EQ(ReadRelease(), L"2539162");
}

}  // namespace
}  // namespace quarn
