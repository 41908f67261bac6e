// The Wine test build of watch.exe installed into Wine's service manager and
// started: the Wine user is made the locked-down account, and the service
// keeps our watchdog.exe and a test application running, until Lock Down,
// a configurator at work, or another user at the station says otherwise; an
// application that ends at once is not started every second; removing the
// service stops it first.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include "support/driver_win32.h"
#include "support/station_queries.h"
#include "support/station_queries_win32.h"
#include "support/station_win32.h"
#include "support/temp_folder.h"
#include "system/handle_win32.h"
#include "system/registry_access.h"
#include "system/settings.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;
using namespace test;

// Long enough to see a start that a tick, or a watchdog, would make.
constexpr auto kNothingStarts = 1500ms;
// The most the test waits for what it expects to happen: never reached while
// the service works, and generous, since a Wine program can take many
// seconds to start on a machine whose processors are busy.
constexpr auto kInTime = 60s;
// Five starts, each a Wine program's start, and the service's back-off.
constexpr auto kEpisode = 180s;

win32::unique_service OpenWatch(DWORD access) {
    const win32::unique_service manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    return win32::unique_service(::OpenServiceW(manager.get(), L"Service_watch", access));
}

// Stops and removes the service, and one of the update test's, and waits
// until they have gone.
void RemoveWatchService() {
    for (const wchar_t* name : kWatchServiceNames) {
        EXPECT_TRUE(RemoveService(name)) << "the service " << Utf16ToUtf8(name) << " stays";
    }
}

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
        RemoveWatchService();  // one an earlier run may have left
        test::RemoveSettingsKey();
        WriteSetting(L"QUARN-Username", test::CurrentUserName());
        WriteSetting(L"QUARN-DIR", folder_.Path().wstring());
        WriteSetting(L"Program", (folder_ / L"kioskapp.exe").wstring());
        WriteSetting(L"ProgramParameter", L"\"" + (folder_ / L"starts.log").wstring() + L"\" 600");
        WriteSetting(L"CompleteLockDown", L"false");
        SetLastLogonUser(L"STATION\\" + test::CurrentUserName());
    }

    void TearDown() override {
        RemoveWatchService();
        // The watchdog first: it would start the application again.
        EndAll(L"watchdog.exe");
        EndAll(L"kioskapp.exe");
        EndAll(L"dummy.exe");
        ClearLastLogonUser();
    }

    // Installed and started; the service's handle, or none.
    win32::unique_service InstallAndStart() {
        // INSTALL with SILENT shows nothing: the program ends without a click.
        EXPECT_EQ(RunToEnd(folder_ / L"watch.exe", L"-install /silent", kInTime), 0u);
        win32::unique_service service = OpenWatch(SERVICE_ALL_ACCESS);
        if (!service || !::StartServiceW(service.get(), 0, nullptr) ||
            !WaitUntil([&] { return ServiceState(service.get()) == SERVICE_RUNNING; }, kInTime)) {
            ADD_FAILURE() << "the service did not start";
        }
        return service;
    }

    // Lines of the event log journal that hold the text.
    std::size_t JournalEntries(const std::string& text) const {
        std::size_t count = 0;
        for (const std::string& line : LogLines(folder_ / L"event-journal.txt")) {
            count += line.find(text) != std::string::npos ? 1 : 0;
        }
        return count;
    }

    // Ends both programs, the watchdog first; then nothing may start them.
    static bool NothingStartsThem() {
        EndAll(L"watchdog.exe");
        EndAll(L"kioskapp.exe");
        return HoldsFor([] { return !Running(L"watchdog.exe") && !Running(L"kioskapp.exe"); },
                        kNothingStarts);
    }

    static bool BothRun() { return Running(L"watchdog.exe") && Running(L"kioskapp.exe"); }

    test::TempFolder folder_;
};

TEST_F(WatchService, InstalledStartedAndKeepingTheStationsProgramsAlive) {
    win32::unique_service service = InstallAndStart();
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

    // Both programs come, and come back when they end.
    ASSERT_TRUE(WaitUntil(BothRun, kInTime));
    EndAll(L"watchdog.exe");
    EndAll(L"kioskapp.exe");
    ASSERT_TRUE(WaitUntil(BothRun, kInTime));

    // Paused, the timers go on.
    SERVICE_STATUS status{};
    ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_PAUSE, &status));
    ASSERT_TRUE(WaitUntil([&] { return ServiceState(service.get()) == SERVICE_PAUSED; }, kInTime));
    EndAll(L"kioskapp.exe");
    EXPECT_TRUE(WaitUntil(BothRun, kInTime));
    ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_CONTINUE, &status));
    EXPECT_TRUE(WaitUntil([&] { return ServiceState(service.get()) == SERVICE_RUNNING; }, kInTime));

    // While a process named dummy.exe runs, nothing starts.
    {
        StartedProgram dummy(folder_ / L"dummy.exe",
                             L"\"" + (folder_ / L"dummy.log").wstring() + L"\" 600");
        ASSERT_TRUE(WaitUntil([&] { return !LogLines(folder_ / L"dummy.log").empty(); }, kInTime));
        ASSERT_TRUE(WaitForFreshTick(folder_.Path(), "RegisteredTimer"));
        EXPECT_TRUE(NothingStartsThem());
    }
    EXPECT_TRUE(WaitUntil(BothRun, kInTime));

    // Lock Down on: Windows starts the watchdog as the shell; the service
    // leaves the session alone.
    WriteSetting(L"CompleteLockDown", L"true");
    ASSERT_TRUE(WaitForFreshTick(folder_.Path(), "RegisteredTimer"));
    EXPECT_TRUE(NothingStartsThem());
    WriteSetting(L"CompleteLockDown", L"false");
    EXPECT_TRUE(WaitUntil(BothRun, kInTime));

    // Another user at the station: the watchdog timer stops. The user check
    // that saw it ran after every watchdog tick that could not have.
    SetLastLogonUser(L"STATION\\visitor");
    ASSERT_TRUE(WaitForFreshTick(folder_.Path(), "LogTimer"));
    EXPECT_TRUE(NothingStartsThem());

    // A value of the wrong type: one event log entry per tick, and the
    // service keeps running.
    {
        RegistryAccess access;
        access.SetRootKey(RegistryRoot::LocalMachine);
        access.OpenKey(kLogonUiKey, true);
        access.WriteInteger(L"LastLoggedOnSAMUser", 7);
    }
    const std::string wrongType =
        "error watch.exe: Ung\xC3\xBCltiger Datentyp f\xC3\xBCr 'LastLoggedOnSAMUser'";
    EXPECT_TRUE(WaitUntil([&] { return JournalEntries(wrongType) >= 3; }, kInTime));
    EXPECT_EQ(ServiceState(service.get()), static_cast<DWORD>(SERVICE_RUNNING));

    // Stopped, and removed.
    ASSERT_TRUE(StopService(service.get()));
    service.reset();  // a service marked for deletion goes with its last handle
    EXPECT_EQ(RunToEnd(folder_ / L"watch.exe", L"/UNINSTALL /SILENT", kInTime), 0u);
    EXPECT_TRUE(WaitUntil([] { return !OpenWatch(SERVICE_QUERY_STATUS); }, kInTime));
}

TEST_F(WatchService, RemovingARunningServiceStopsItFirst) {
    DWORD processId = 0;
    {
        const win32::unique_service service = InstallAndStart();
        ASSERT_TRUE(service);
        SERVICE_STATUS_PROCESS running{};
        DWORD needed = 0;
        ASSERT_TRUE(::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                                           reinterpret_cast<BYTE*>(&running), sizeof running,
                                           &needed));
        processId = running.dwProcessId;
    }
    const win32::unique_handle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    ASSERT_TRUE(process);

    // A failure would be shown in a box, which nobody answers.
    EXPECT_EQ(RunToEnd(folder_ / L"watch.exe", L"/UNINSTALL /SILENT", kInTime), 0u);
    EXPECT_EQ(::WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(WaitUntil([] { return !OpenWatch(SERVICE_QUERY_STATUS); }, kInTime));
    // Gone, not merely marked for deletion: it can be installed again.
    EXPECT_EQ(RunToEnd(folder_ / L"watch.exe", L"/INSTALL /SILENT", kInTime), 0u);
    EXPECT_TRUE(OpenWatch(SERVICE_QUERY_STATUS));
}

TEST_F(WatchService, ProgramsThatEndAtOnceAreStartedABoundedNumberOfTimes) {
    // Both end as soon as they have logged their start.
    std::filesystem::copy_file(QUARN_TEST_APPLICATION_EXE, folder_ / L"watchdog.exe",
                               std::filesystem::copy_options::overwrite_existing);
    WriteSetting(L"ProgramParameter", L"\"" + (folder_ / L"starts.log").wstring() + L"\" 0");
    const win32::unique_service service = InstallAndStart();
    ASSERT_TRUE(service);

    const std::string episode = " was started 5 times in ";
    const std::string application = "warning watch.exe: \"" +
                                    Utf16ToUtf8((folder_ / L"kioskapp.exe").wstring()) + "\"" +
                                    episode;
    const std::string watchdog = "warning watch.exe: \"" +
                                 Utf16ToUtf8((folder_ / L"watchdog.exe").wstring()) + "\"" +
                                 episode;
    ASSERT_TRUE(
        WaitUntil([&] { return JournalEntries(application) == 1 && JournalEntries(watchdog) == 1; },
                  kEpisode));

    // After the fifth start the next one waits five seconds. (The test
    // application logs the milliseconds since boot; started without
    // arguments, as watchdog.exe is, it logs its command line instead.)
    const std::filesystem::path starts = folder_ / L"starts.log";
    ASSERT_TRUE(WaitUntil([&] { return LogLines(starts).size() >= 6; }, kInTime));
    const std::vector<std::string> lines = LogLines(starts);
    EXPECT_GE(std::stoull(lines[5]) - std::stoull(lines[4]), 4000u);
    ASSERT_TRUE(
        WaitUntil([&] { return LogLines(folder_ / L"watchdog.exe.log").size() >= 6; }, kInTime));
    // One entry for the whole episode.
    EXPECT_EQ(JournalEntries(application), 1u);
    EXPECT_EQ(JournalEntries(watchdog), 1u);
}

}  // namespace
}  // namespace quarn
