// The update check of the main window and the update window, under Wine and
// a virtual display, against a loopback HTTP server; the dialogs are
// answered from a script.

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "application.h"
#include "file_io.h"
#include "form1.h"
#include "form7.h"
#include "loopback_http_server.h"
#include "registry_access.h"
#include "registry_backends.h"
#include "scripted_form_dialogs.h"
#include "settings.h"
#include "temp_folder.h"
#include "text_encoding.h"
#include "update_ini.h"
#include "updates_win32.h"
#include "win32_driver.h"
#include "win32_screenshot.h"
#include "win32_station.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;

struct Shown {
    std::uint32_t status;
    std::wstring label;
    int gauge;
};

// Bytes that differ from position to position, so that a lost or doubled
// block shows.
std::string InstallerBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return bytes;
}

class UpdateWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { Application::Instance().Initialize(); }

    void SetUp() override {
        test::RemoveSettingsKey();
        WriteRelease(L"2539162");
        ::SetEnvironmentVariableW(L"QUARN_ACCOUNT_JOURNAL", (folder_ / "journal.txt").c_str());
        form1_ = std::make_unique<TForm1>(dialogs_, TForm1::Options{folder_.Path(), 0ms, L""});
        form7_ = std::make_unique<TForm7>(
            dialogs_,
            TForm7::Options{form1_->Handle(), [this] { return server_.Url("/quarn/setup.exe"); },
                            [this] { ++ends_; },
                            [this](std::uint32_t status, const std::wstring& label, int gauge) {
                                shown_.push_back({status, label, gauge});
                            }});
        form1_->SetUpdateWindow(form7_.get());
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
    };
    const std::string installer = InstallerBytes(300 * 1024 + 17);
    for (const Row& row : {Row{"size reported", true}, Row{"size unknown", false}}) {
        SCOPED_TRACE(row.name);
        shown_.clear();
        // In pieces, as from a distant server, so that the loading shows.
        server_.Serve("/quarn/setup.exe",
                      {200, installer, row.contentLength, 0ms, 32 * 1024, 40ms});
        const auto target = folder_ / (std::string(row.name) + ".exe");
        dialogs_.saveChoices.push_back(target.wstring());
        dialogs_.answers.push_back(false);  // not now
        form7_->Show();
        form7_->Button1Click();

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

TEST_F(UpdateWindow, FailedDownloadsShowError) {
    struct Row {
        const char* name;
        std::optional<std::wstring> choice;
        std::size_t requests;
    };
    server_.Serve("/elsewhere/setup.exe", {200, "x"});  // not the installer's address
    const std::vector<Row> rows = {
        {"no such file on the server", (folder_ / "a.exe").wstring(), 1},
        {"target not writable", (folder_ / "absent" / "b.exe").wstring(), 2},
        {"save dialog cancelled", std::nullopt, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dialogs_.journal.clear();
        dialogs_.saveChoices.push_back(row.choice);
        form7_->Show();
        form7_->Button1Click();
        EXPECT_EQ(Label(), L"Error");
        EXPECT_EQ(dialogs_.journal, std::vector<std::wstring>{L"save dialog setup.exe *.exe"});
        EXPECT_EQ(ends_, 0);
        EXPECT_TRUE(Visible());
        // The download is not tried again, and a cancelled dialog asks nothing.
        EXPECT_LE(server_.Requests().size(), row.requests);
    }
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
    form7_->Button1Click();

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
    WriteUpdateDefaults(Ini());
    WriteUpdateSetting(Ini(), L"QUARNUpdateURL", server_.Url("/release.txt"));
    server_.Serve("/release.txt", {200, "2539163"});
    server_.Serve("/quarn/setup.exe", {200, InstallerBytes(4096)});
    dialogs_.answers = {true, false};  // update: yes; install: not now
    dialogs_.saveChoices.push_back((folder_ / "setup.exe").wstring());
    form1_->CheckForUpdate();
    EXPECT_EQ(ReadRelease(), L"");
    EXPECT_TRUE(Visible());
    EXPECT_EQ(dialogs_.journal,
              (std::vector<std::wstring>{
                  L"question UPDATE | QUARN Update available, Install Update ?",
                  L"save dialog setup.exe *.exe", L"question Install | Install QUARN Update ?"}));
    EXPECT_EQ(ReadWholeFile(folder_ / "setup.exe"), InstallerBytes(4096));
    EXPECT_EQ(ends_, 0);
}

}  // namespace
}  // namespace quarn
