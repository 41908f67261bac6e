// The Wine test build of watch.exe installed into Wine's service manager and
// started: the Wine user is made the locked-down account, and the service
// keeps our watchdog.exe and a test application running, until Lock Down,
// a configurator at work, or another user at the station says otherwise.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "file_io.h"
#include "process_list.h"
#include "registry_access.h"
#include "registry_backends.h"
#include "settings.h"
#include "temp_folder.h"
#include "text_case.h"
#include "win32_driver.h"
#include "win32_handle.h"
#include "win32_station.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;
using namespace test;

class WatchService : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const auto& [from, name] :
             {std::pair{std::filesystem::path(QUARN_WATCH_EXE), L"watch.exe"},
              std::pair{std::filesystem::path(QUARN_WATCHDOG_EXE), L"watchdog.exe"},
              std::pair{std::filesystem::path(QUARN_TEST_APPLICATION_EXE), L"kioskapp.exe"},
              std::pair{std::filesystem::path(QUARN_TEST_APPLICATION_EXE), L"dummy.exe"}}) {
            std::filesystem::copy_file(from, folder_ / name);
        }
        RunToEnd(folder_ / L"watch.exe", L"/UNINSTALL /SILENT", 10s);
        test::RemoveSettingsKey();
        WriteSetting(L"QUARN-Username", test::CurrentUserName());
        WriteSetting(L"QUARN-DIR", folder_.Path().wstring());
        WriteSetting(L"Program", (folder_ / L"kioskapp.exe").wstring());
        WriteSetting(L"ProgramParameter", L"\"" + (folder_ / L"starts.log").wstring() + L"\" 600");
        WriteSetting(L"CompleteLockDown", L"false");
        SetLastLogonUser(L"STATION\\" + test::CurrentUserName());
    }

    void TearDown() override {
        const win32::unique_service manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        const win32::unique_service service(
            ::OpenServiceW(manager.get(), L"Service_watch", SERVICE_STOP | SERVICE_QUERY_STATUS));
        SERVICE_STATUS status{};
        if (service) {
            ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        }
        EndAll(L"kioskapp.exe");
        EndAll(L"watchdog.exe");
        EndAll(L"dummy.exe");
        RunToEnd(folder_ / L"watch.exe", L"/UNINSTALL /SILENT", 10s);
        ClearLastLogonUser();
    }

    static bool BothRun() { return Running(L"watchdog.exe") && Running(L"kioskapp.exe"); }
    static bool NeitherRuns() { return !Running(L"watchdog.exe") && !Running(L"kioskapp.exe"); }

    test::TempFolder folder_;
};

TEST_F(WatchService, InstalledStartedAndKeepingTheStationsProgramsAlive) {
    // INSTALL with SILENT shows nothing: the program ends without a click.
    ASSERT_EQ(RunToEnd(folder_ / L"watch.exe", L"-install /silent", 20s), 0u);
    const win32::unique_service manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    win32::unique_service service(
        ::OpenServiceW(manager.get(), L"Service_watch", SERVICE_ALL_ACCESS));
    ASSERT_TRUE(service);
    std::vector<std::uint8_t> buffer(8192);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    DWORD needed = 0;
    ASSERT_TRUE(
        ::QueryServiceConfigW(service.get(), config, static_cast<DWORD>(buffer.size()), &needed));
    EXPECT_EQ(std::wstring(config->lpBinaryPathName),
              L"\"" + (folder_ / L"watch.exe").wstring() + L"\"");
    EXPECT_EQ(config->dwServiceType,
              static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));  // no interactive flag
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config->dwErrorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(std::wstring(config->lpDisplayName), L"watch");

    ASSERT_TRUE(::StartServiceW(service.get(), 0, nullptr));
    ASSERT_TRUE(WaitUntil([&] { return ServiceState(service.get()) == SERVICE_RUNNING; }, 20s));

    // Both programs come, and come back when they end.
    ASSERT_TRUE(WaitUntil(BothRun, 20s));
    EndAll(L"kioskapp.exe");
    EndAll(L"watchdog.exe");
    ASSERT_TRUE(WaitUntil(BothRun, 15s));

    // Paused, the timers go on.
    SERVICE_STATUS status{};
    ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_PAUSE, &status));
    ASSERT_TRUE(WaitUntil([&] { return ServiceState(service.get()) == SERVICE_PAUSED; }, 10s));
    EndAll(L"kioskapp.exe");
    EXPECT_TRUE(WaitUntil(BothRun, 15s));
    ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_CONTINUE, &status));
    EXPECT_TRUE(WaitUntil([&] { return ServiceState(service.get()) == SERVICE_RUNNING; }, 10s));

    // While a process named dummy.exe runs, nothing starts.
    std::wstring dummyLine = L"\"" + (folder_ / L"dummy.exe").wstring() + L"\" \"" +
                             (folder_ / L"dummy.log").wstring() + L"\" 600";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION dummy{};
    ASSERT_TRUE(::CreateProcessW(nullptr, dummyLine.data(), nullptr, nullptr, FALSE,
                                 CREATE_NO_WINDOW, nullptr, nullptr, &startup, &dummy));
    const win32::unique_handle dummyThread(dummy.hThread);
    const win32::unique_handle dummyProcess(dummy.hProcess);
    EndAll(L"kioskapp.exe");
    EndAll(L"watchdog.exe");  // which would start the application itself
    std::this_thread::sleep_for(4s);
    EXPECT_TRUE(NeitherRuns());
    EndAll(L"dummy.exe");
    EXPECT_TRUE(WaitUntil(BothRun, 15s));

    // Lock Down on: Windows starts the watchdog as the shell; the service
    // leaves the session alone.
    WriteSetting(L"CompleteLockDown", L"true");
    EndAll(L"kioskapp.exe");
    EndAll(L"watchdog.exe");
    std::this_thread::sleep_for(4s);
    EXPECT_TRUE(NeitherRuns());
    WriteSetting(L"CompleteLockDown", L"false");
    EXPECT_TRUE(WaitUntil(BothRun, 15s));

    // Another user at the station: the watchdog timer stops.
    SetLastLogonUser(L"STATION\\visitor");
    std::this_thread::sleep_for(3s);
    EndAll(L"kioskapp.exe");
    EndAll(L"watchdog.exe");
    std::this_thread::sleep_for(4s);
    EXPECT_TRUE(NeitherRuns());

    // A value of the wrong type: one event log entry per tick, and the
    // service keeps running.
    {
        RegistryAccess access;
        access.SetRootKey(RegistryRoot::LocalMachine);
        access.OpenKey(kLogonUiKey, true);
        access.WriteInteger(L"LastLoggedOnSAMUser", 7);
    }
    const std::filesystem::path journal = folder_ / L"event-journal.txt";
    const auto entries = [&] {
        if (!FileExists(journal)) {
            return std::size_t{0};
        }
        const std::string text = ReadWholeFile(journal);
        std::size_t count = 0;
        for (std::size_t at = text.find("LastLoggedOnSAMUser"); at != std::string::npos;
             at = text.find("LastLoggedOnSAMUser", at + 1)) {
            ++count;
        }
        return count;
    };
    EXPECT_TRUE(WaitUntil([&] { return entries() >= 3; }, 15s));
    EXPECT_NE(ReadWholeFile(journal).find("error watch.exe: Ung\xC3\xBCltiger Datentyp f\xC3\xBCr "
                                          "'LastLoggedOnSAMUser'"),
              std::string::npos);
    EXPECT_EQ(ServiceState(service.get()), static_cast<DWORD>(SERVICE_RUNNING));

    // Stopped, and removed.
    ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(WaitUntil([&] { return ServiceState(service.get()) == SERVICE_STOPPED; }, 20s));
    service.reset();  // a service marked for deletion goes with its last handle
    EXPECT_EQ(RunToEnd(folder_ / L"watch.exe", L"/UNINSTALL /SILENT", 20s), 0u);
    const win32::unique_service removed(
        ::OpenServiceW(manager.get(), L"Service_watch", SERVICE_QUERY_STATUS));
    EXPECT_FALSE(removed);
}

}  // namespace
}  // namespace quarn
