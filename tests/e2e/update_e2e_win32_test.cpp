// An update from end to end, under Wine: the update-information file (with
// the installer's digest) and the installer served on 127.0.0.1; the Wine
// test builds of quarn.exe and watch.exe started as separate processes; the
// configurator driven from outside through its question, the save dialog
// with its overwrite question and the installation question; then the new
// release's hand-over, which the service must record and follow with
// version.exe once.

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/driver_win32.h"
#include "support/loopback_http_server_win32.h"
#include "support/screenshot_win32.h"
#include "support/station_queries.h"
#include "support/station_queries_win32.h"
#include "support/station_win32.h"
#include "support/temp_folder.h"
#include "system/admin_password.h"
#include "system/file_io.h"
#include "system/handle_win32.h"
#include "system/registry_access.h"
#include "system/settings.h"
#include "system/sha256.h"
#include "system/text_encoding.h"
#include "system/update_ini.h"
#include "system/updates_win32.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;
using namespace test;

// Windows's net.exe finds a service by its display name, "watch"; Wine's
// looks only at service names. So the service is registered here under the
// name "watch" as well, and "net stop watch" reaches it under Wine too.
constexpr wchar_t kServiceName[] = L"watch";
class UpdateEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(station_);
        for (const auto& [from, name] :
             {std::pair{std::filesystem::path(QUARN_CONFIGURATOR_EXE), L"quarn.exe"},
              std::pair{std::filesystem::path(QUARN_WATCH_EXE), L"watch.exe"},
              std::pair{std::filesystem::path(QUARN_DUMMY_EXE), L"dummy.exe"},
              std::pair{std::filesystem::path(QUARN_WATCHDOG_EXE), L"watchdog.exe"},
              std::pair{std::filesystem::path(QUARN_TEST_APPLICATION_EXE), L"version.exe"}}) {
            std::filesystem::copy_file(from, station_ / name);
        }
        ::SetEnvironmentVariableW(L"QUARN_ACCOUNT_JOURNAL", (folder_ / L"journal.txt").c_str());
        test::RemoveSettingsKey();
        WritePasswordDigest(PasswordDigest(L"secret1"));
        WriteSetting(L"QUARN-Username", test::CurrentUserName());
        WriteSetting(L"QUARN-DIR", station_.wstring());
        WriteRelease(L"2539162");
        // Somebody else at the station: the service's watchdog stays off.
        SetLastLogonUser(L"STATION\\visitor");

        for (const wchar_t* name : kWatchServiceNames) {  // one an earlier run may have left
            ASSERT_TRUE(RemoveService(name));
        }
        manager_.reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        const std::wstring image = L"\"" + (station_ / L"watch.exe").wstring() + L"\"";
        service_.reset(::CreateServiceW(manager_.get(), kServiceName, L"watch", SERVICE_ALL_ACCESS,
                                        SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                        SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr,
                                        nullptr, nullptr, nullptr));
    }

    void TearDown() override {
        service_.reset();
        EXPECT_TRUE(RemoveService(kServiceName));
        EndAll(L"version.exe");  // the service started it
        ClearLastLogonUser();
    }

    bool StartService() {
        return ::StartServiceW(service_.get(), 0, nullptr) &&
               WaitUntil([&] { return ServiceState(service_.get()) == SERVICE_RUNNING; }, 20s);
    }

    std::wstring Ini() const { return (station_ / L"quarn.ini").wstring(); }

    TempFolder folder_;
    const std::filesystem::path station_ = folder_ / L"QUARN Station";
    LoopbackHttpServer server_;
    win32::unique_service manager_;
    win32::unique_service service_;
};

TEST_F(UpdateEndToEnd, DownloadInstallAndTheNewReleasesHandOver) {
    ASSERT_TRUE(service_) << "CreateServiceW failed: " << ::GetLastError();
    // quarn.ini as an administrator left it, in the editor's code page.
    ReplaceFileContents(
        station_ / L"quarn.ini",
        "; Raum 12\r\n[Station]\r\nRoom=12\r\n[Update]\r\nCheckUpdateviaInternet=0\r\n");

    // Every service start puts the three update keys back to their defaults
    // and writes the file as UTF-16 with CR LF; the comment stays.
    ASSERT_TRUE(StartService());
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadUpdateSetting(Ini(), L"ActualRelease", L"") == L"2539162"; }, 10s));
    const std::string written = ReadWholeFile(station_ / L"quarn.ini");
    EXPECT_EQ(written.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(IniDocument::Parse(written).Lines(),
              (std::vector<std::wstring>{L"; Raum 12", L"[Station]", L"Room=12", L"[Update]",
                                         L"CheckUpdateviaInternet=1", L"ActualRelease=2539162",
                                         std::wstring(L"QUARNUpdateURL=") + kDefaultUpdateUrl}));

    // The maker's server, here on loopback: a greater release with its
    // installer's digest, and the installer (a test program that records
    // how it was started).
    const std::string installer = ReadWholeFile(std::filesystem::path(QUARN_TEST_APPLICATION_EXE));
    server_.Serve("/quarn/release.txt",
                  {200, "release 2539163\r\nsha256=" + Sha256Hex(installer) + "\r\n"});
    server_.Serve("/quarn/setup.exe", {200, installer, true, 0ms, 64 * 1024, 20ms});
    WriteUpdateSetting(Ini(), L"QUARNUpdateURL", server_.Url("/quarn/release.txt"));

    // Where the administrator saves it: a folder with blanks, over an old copy.
    const std::filesystem::path downloads = folder_ / L"Neue Version";
    std::filesystem::create_directory(downloads);
    const std::filesystem::path setup = downloads / L"setup.exe";
    ReplaceFileContents(setup, "an older download");

    StartedProgram quarn(station_ / L"quarn.exe");
    ASSERT_TRUE(quarn.Started());
    ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Input Password", L"secret1"));
    ASSERT_NE(quarn.WindowOfClass(L"TForm1"), nullptr);

    const HWND offer = WaitForMessageText(quarn.Id(), L"QUARN Update available, Install Update ?");
    ASSERT_NE(offer, nullptr);
    EXPECT_EQ(WindowText(offer), L"UPDATE");
    PressButton(offer, IDYES);
    ASSERT_TRUE(WaitUntil([] { return ReadRelease() == L""; }, 10s));

    const HWND save = WaitForDialogCaption(quarn.Id(), L"Save As");
    ASSERT_NE(save, nullptr);
    HWND name = FindControl(save, cmb13);
    if (name == nullptr) {
        name = FindControl(save, edt1);
    }
    ASSERT_NE(name, nullptr);
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(setup.c_str()));
    PressOk(save);
    // The file exists: replaced only once the administrator agrees to the
    // question that the save dialog asks.
    const HWND replace = WaitForWindow(
        quarn.Id(),
        [&](HWND window) {
            return ClassOf(window) == L"#32770" && ::GetWindow(window, GW_OWNER) == save;
        },
        20s);
    ASSERT_NE(replace, nullptr);
    EXPECT_EQ(ReadWholeFile(setup), "an older download");
    PressButton(replace, IDYES);

    const HWND install = WaitForMessageText(quarn.Id(), L"Install QUARN Update ?", 60s);
    ASSERT_NE(install, nullptr);
    EXPECT_EQ(WindowText(install), L"Install");
    EXPECT_EQ(ReadWholeFile(setup), installer);
    const HWND updateWindow = quarn.WindowOfClass(L"TForm7", 0ms);
    ASSERT_NE(updateWindow, nullptr);
    EXPECT_EQ(WindowText(updateWindow), L" QUARN Update");
    const HWND gauge = FindWindowExW(updateWindow, nullptr, PROGRESS_CLASSW, nullptr);
    EXPECT_EQ(::SendMessageW(gauge, PBM_GETPOS, 0, 0), 100);
    EXPECT_TRUE(SaveWindowScreenshot(install, ArtefactFolder() / "e2e-install-question.bmp"));

    // Yes: the service is stopped, the installer started, the configurator ends.
    PressButton(install, IDYES);
    EXPECT_TRUE(quarn.Ended(20s));
    const std::filesystem::path setupLog = downloads / L"setup.exe.log";
    ASSERT_TRUE(WaitUntil([&] { return !LogLines(setupLog).empty(); }, 20s));
    EXPECT_EQ(LogLines(setupLog),
              std::vector<std::string>{"[\"" + Utf16ToUtf8(setup.wstring()) + "\"]"});
    EXPECT_TRUE(WaitUntil([&] { return ServiceState(service_.get()) == SERVICE_STOPPED; }, 30s));
    EXPECT_EQ(ReadRelease(), L"");

    // The new release's installer has done its work and hands over: the
    // service, started again, records its release and runs version.exe once,
    // with a command line of one blank, from the installation folder.
    WriteRelease(L"update");
    ASSERT_TRUE(StartService());
    const std::filesystem::path versionLog = station_ / L"version.exe.log";
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ReadRelease() == L"2539162" &&
                   ReadUpdateSetting(Ini(), L"ActualRelease", L"") == L"2539162" &&
                   !LogLines(versionLog).empty();
        },
        30s));
    // Further ticks start nothing more.
    ASSERT_TRUE(WaitForFreshTick(station_, "LogTimer"));
    EXPECT_TRUE(HoldsFor([&] { return LogLines(versionLog).size() == 1; }, 1500ms));
    EXPECT_EQ(LogLines(versionLog), std::vector<std::string>{"[ ]"});
    EXPECT_EQ(ReadRelease(), L"2539162");
}

}  // namespace
}  // namespace quarn
