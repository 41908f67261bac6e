// The outside programs run under Wine: the watchdog keeps an application
// alive, dummy.exe waits on the settings flag, version.exe reports.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "process_list.h"
#include "registry_access.h"
#include "registry_backends.h"
#include "settings.h"
#include "temp_folder.h"
#include "win32_handle.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;

std::wstring Wide(const char* text) {
    return std::wstring(text, text + std::strlen(text));
}

win32::unique_handle Launch(const std::wstring& program, const std::wstring& arguments = L"") {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << std::string(program.begin(), program.end());
        return {};
    }
    const win32::unique_handle thread(process.hThread);
    return win32::unique_handle(process.hProcess);
}

bool Ended(const win32::unique_handle& process, std::chrono::milliseconds within) {
    return ::WaitForSingleObject(process.get(), static_cast<DWORD>(within.count())) ==
           WAIT_OBJECT_0;
}

void Stop(win32::unique_handle& process) {
    if (process) {
        ::TerminateProcess(process.get(), 0);
        ::WaitForSingleObject(process.get(), 5000);
        process.reset();
    }
}

class OutsidePrograms : public ::testing::Test {
  protected:
    void SetUp() override { RemoveSettings(); }
    void TearDown() override {
        Stop(watchdog_);
        Stop(application_);
        // The watchdog's own starts are not the test's to track; end them all.
        for (const ProcessEntry& entry : ListProcesses()) {
            if (entry.exeFile == L"test_application.exe") {
                win32::unique_handle process(
                    ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.processId));
                Stop(process);
            }
        }
        RemoveSettings();
    }

    static void RemoveSettings() { test::RemoveSettingsKey(); }

    // The start times the test application logged.
    std::vector<unsigned long long> Starts() const {
        std::vector<unsigned long long> starts;
        std::ifstream log(log_);
        for (unsigned long long tick = 0; log >> tick;) {
            starts.push_back(tick);
        }
        return starts;
    }

    std::size_t WaitForStarts(std::size_t count, std::chrono::seconds within) const {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (Starts().size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(100ms);
        }
        return Starts().size();
    }

    void ConfigureApplication(const std::wstring& stay) {
        WriteSetting(L"Program", kApplication);
        WriteSetting(L"ProgramParameter", L"\"" + log_.wstring() + L"\" " + stay);
    }

    const std::wstring kApplication = Wide(QUARN_TEST_APPLICATION_EXE);
    const std::wstring kWatchdog = Wide(QUARN_WATCHDOG_EXE);
    test::TempFolder folder_;
    std::filesystem::path log_ = folder_ / "starts.log";
    win32::unique_handle watchdog_;
    win32::unique_handle application_;
};

TEST_F(OutsidePrograms, WatchdogRestartsAnApplicationThatEndsAndWaitsLongerEachTime) {
    ConfigureApplication(L"0");
    watchdog_ = Launch(kWatchdog);
    ASSERT_GE(WaitForStarts(3, 20s), 3u);
    const auto starts = Starts();
    const auto firstWait = starts[1] - starts[0];
    const auto secondWait = starts[2] - starts[1];
    EXPECT_GE(firstWait, 900u);
    EXPECT_GE(secondWait, firstWait + 500);  // one second, then two
    EXPECT_FALSE(Ended(watchdog_, 0ms));
}

TEST_F(OutsidePrograms, WatchdogNeverStartsASecondCopy) {
    ConfigureApplication(L"60");
    application_ = Launch(kApplication, L"\"" + log_.wstring() + L"\" 60");
    ASSERT_EQ(WaitForStarts(1, 10s), 1u);
    watchdog_ = Launch(kWatchdog);
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(Starts().size(), 1u);  // the copy that runs is watched, not doubled

    // A second watchdog in the same session leaves at once.
    auto second = Launch(kWatchdog);
    EXPECT_TRUE(Ended(second, 10s));

    Stop(application_);
    EXPECT_EQ(WaitForStarts(2, 10s), 2u);  // when it ends, the watchdog starts it
}

TEST_F(OutsidePrograms, WatchdogWaitsWhileNoApplicationIsConfigured) {
    WriteSetting(L"Program", L"*.*");
    watchdog_ = Launch(kWatchdog);
    std::this_thread::sleep_for(2s);
    EXPECT_FALSE(Ended(watchdog_, 0ms));
    EXPECT_TRUE(Starts().empty());
    ConfigureApplication(L"0");
    EXPECT_GE(WaitForStarts(1, 15s), 1u);  // the settings are read again
}

TEST_F(OutsidePrograms, DummyRunsWhileTheFlagIsSetAndEndsWhenItIsCleared) {
    SetQuarnFlag();
    auto dummy = Launch(Wide(QUARN_DUMMY_EXE));
    EXPECT_FALSE(Ended(dummy, 1500ms));
    ClearQuarnFlag();
    EXPECT_TRUE(Ended(dummy, 3s));

    auto unflagged = Launch(Wide(QUARN_DUMMY_EXE));
    EXPECT_TRUE(Ended(unflagged, 3s));
}

TEST_F(OutsidePrograms, VersionReportsAndEnds) {
    WriteSetting(L"QUARN-DIR", L"C:\\QUARN");
    auto version = Launch(Wide(QUARN_VERSION_EXE));
    ASSERT_TRUE(Ended(version, 10s));
    DWORD exitCode = 99;
    ::GetExitCodeProcess(version.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
}  // namespace quarn
