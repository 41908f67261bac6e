// The outside programs run under Wine: the watchdog keeps an application
// alive, dummy.exe waits on the settings flag, version.exe reports.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>

#include "support/driver_win32.h"
#include "support/station_queries.h"
#include "support/temp_folder.h"
#include "system/settings.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;
using test::StartedProgram;

// The most a test waits for what it expects to happen: never reached while
// the programs work, and generous, since a Wine program can take many seconds
// to start on a machine whose processors are busy.
constexpr auto kInTime = 60s;
// Six starts, each a Wine program's start, and the watchdog's slow-down.
constexpr auto kEpisode = 180s;

std::wstring Wide(const char* text) {
    return std::wstring(text, text + std::strlen(text));
}

std::unique_ptr<StartedProgram> Launch(const std::wstring& program,
                                       const std::wstring& arguments = L"") {
    auto started = std::make_unique<StartedProgram>(program, arguments);
    EXPECT_TRUE(started->Started())
        << "cannot start " << std::string(program.begin(), program.end());
    return started;
}

class OutsidePrograms : public ::testing::Test {
  protected:
    void SetUp() override { RemoveSettings(); }
    void TearDown() override {
        // The watchdog first, with the applications it started.
        watchdog_.reset();
        application_.reset();
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
        test::WaitUntil([&] { return Starts().size() >= count; }, within);
        return Starts().size();
    }

    void ConfigureApplication(const std::wstring& stay) {
        WriteSetting(L"Program", kApplication);
        WriteSetting(L"ProgramParameter", L"\"" + log_.wstring() + L"\" " + stay);
    }

    // The watchdog's background is up: it has begun watching.
    bool WatchdogShows() const {
        return watchdog_->WindowOfClass(L"QUARNWatchdogBackground", kInTime) != nullptr;
    }

    const std::wstring kApplication = Wide(QUARN_TEST_APPLICATION_EXE);
    const std::wstring kWatchdog = Wide(QUARN_WATCHDOG_EXE);
    test::TempFolder folder_;
    std::filesystem::path log_ = folder_ / "starts.log";
    std::unique_ptr<StartedProgram> watchdog_;
    std::unique_ptr<StartedProgram> application_;
};

TEST_F(OutsidePrograms, WatchdogRestartsAnApplicationThatEndsAndSlowsDownAfterFiveQuickEnds) {
    ConfigureApplication(L"0");
    watchdog_ = Launch(kWatchdog);
    ASSERT_GE(WaitForStarts(6, kEpisode), 6u);
    const auto starts = Starts();
    EXPECT_GE(starts[5] - starts[4], 4000u);  // five starts, then 5 s
    EXPECT_FALSE(watchdog_->Ended(0ms));
}

TEST_F(OutsidePrograms, WatchdogNeverStartsASecondCopy) {
    ConfigureApplication(L"60");
    application_ = Launch(kApplication, L"\"" + log_.wstring() + L"\" 60");
    ASSERT_EQ(WaitForStarts(1, kInTime), 1u);
    watchdog_ = Launch(kWatchdog);
    ASSERT_TRUE(WatchdogShows());
    // The copy that runs is watched, not doubled.
    EXPECT_TRUE(test::HoldsFor([&] { return Starts().size() == 1; }, 1500ms));

    // A second watchdog in the same session leaves at once.
    EXPECT_TRUE(Launch(kWatchdog)->Ended(kInTime));

    application_->End();
    EXPECT_EQ(WaitForStarts(2, kInTime), 2u);  // when it ends, the watchdog starts it
}

TEST_F(OutsidePrograms, WatchdogWaitsWhileNoApplicationIsConfigured) {
    WriteSetting(L"Program", L"*.*");
    watchdog_ = Launch(kWatchdog);
    ASSERT_TRUE(WatchdogShows());
    EXPECT_TRUE(test::HoldsFor([&] { return !watchdog_->Ended(0ms) && Starts().empty(); }, 1500ms));
    ConfigureApplication(L"0");
    EXPECT_GE(WaitForStarts(1, kInTime), 1u);  // the settings are read again
}

TEST_F(OutsidePrograms, DummyRunsWhileTheFlagIsSetAndEndsWhenItIsCleared) {
    SetQuarnFlag();
    const auto dummy = Launch(Wide(QUARN_DUMMY_EXE));
    EXPECT_FALSE(dummy->Ended(1500ms));
    ClearQuarnFlag();
    EXPECT_TRUE(dummy->Ended(kInTime));

    EXPECT_TRUE(Launch(Wide(QUARN_DUMMY_EXE))->Ended(kInTime));
}

TEST_F(OutsidePrograms, VersionReportsAndEnds) {
    WriteSetting(L"QUARN-DIR", L"C:\\QUARN");
    const auto version = Launch(Wide(QUARN_VERSION_EXE));
    ASSERT_TRUE(version->Ended(kInTime));
    EXPECT_EQ(version->ExitCode(), 0u);
}

}  // namespace
}  // namespace quarn
