// The process queries and the session launcher against real processes under
// Wine: a test program started under names of ours.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include "support/driver_win32.h"
#include "support/station_win32.h"
#include "support/temp_folder.h"
#include "system/text_case.h"
#include "watch/process_queries.h"
#include "watch/process_queries_win32.h"
#include "watch/session_launcher_win32.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;

class ProcessQueriesWin32 : public ::testing::Test {
  protected:
    std::filesystem::path Copy(const wchar_t* name) {
        const std::filesystem::path target = folder_ / name;
        std::filesystem::copy_file(std::filesystem::path(QUARN_TEST_APPLICATION_EXE), target);
        return target;
    }
    // The test program logs its start into the file its first argument names
    // and stays the seconds its second one gives.
    std::wstring LogArgument(const wchar_t* log, int seconds) const {
        return L"\"" + (folder_ / log).wstring() + L"\" " + std::to_wstring(seconds);
    }
    bool Logged(const wchar_t* log) const {
        return test::WaitUntil([&] { return !test::LogLines(folder_ / log).empty(); }, 20s);
    }

    test::TempFolder folder_;
};

TEST_F(ProcessQueriesWin32, FindsARunningProgramEachByItsOwnRule) {
    test::StartedProgram probe(Copy(L"quarnprobe.exe"), LogArgument(L"probe.log", 60));
    ASSERT_TRUE(probe.Started());
    ASSERT_TRUE(Logged(L"probe.log"));
    EXPECT_TRUE(IsProgramRunning(L"QUARNPROBE.EXE"));
    EXPECT_FALSE(IsProgramRunning(L"quarnprobe"));
    EXPECT_FALSE(IsProgramRunning((folder_ / L"quarnprobe.exe").wstring()));
    EXPECT_EQ(FindProcessIdByName(L"quarnprobe.exe"), probe.Id());
    EXPECT_EQ(FindProcessIdByName(L"RNPRO"), probe.Id());  // a fragment
    EXPECT_EQ(FindProcessIdByName((folder_ / L"quarnprobe.exe").wstring()), 0u);
    EXPECT_TRUE(OpenProcessTokenByName(L"QuarnProbe.EXE"));
    probe.End();
    EXPECT_FALSE(IsProgramRunning(L"quarnprobe.exe"));
    EXPECT_EQ(FindProcessIdByName(L"quarnprobe.exe"), 0u);
    EXPECT_FALSE(OpenProcessTokenByName(L"quarnprobe.exe"));
}

TEST_F(ProcessQueriesWin32, TheMachineShellIsExplorer) {
    EXPECT_EQ(ReadMachineShell(), L"explorer.exe");
    // Under Wine, explorer.exe is the desktop of the virtual display; it runs
    // while a window of the desktop exists.
    const HWND window = ::CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 10, 10, nullptr,
                                          nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(test::WaitUntil([] { return static_cast<bool>(OpenShellProcess()); }, 10s));
    ::DestroyWindow(window);
}

TEST_F(ProcessQueriesWin32, LaunchesInTheConsoleSessionUnlessHeldBack) {
    const std::filesystem::path application = Copy(L"launched.exe");
    const LaunchResult launched = LaunchInUserSession(
        application.wstring(), L" " + LogArgument(L"launched.log", 60), folder_.Path().wstring());
    EXPECT_EQ(launched.outcome, LaunchResult::Outcome::Started);
    EXPECT_TRUE(Logged(L"launched.log"));
    test::EndChildren(L"launched.exe");

    // While a process named dummy.exe runs, whoever runs it, nothing starts.
    {
        test::StartedProgram dummy(Copy(L"dummy.exe"), LogArgument(L"dummy.log", 60));
        ASSERT_TRUE(Logged(L"dummy.log"));
        EXPECT_EQ(
            LaunchInUserSession(application.wstring(), L" x 0", folder_.Path().wstring()).outcome,
            LaunchResult::Outcome::HeldBack);
    }

    // A failure names the call and the system's reason.
    const LaunchResult missing =
        LaunchInUserSession((folder_ / L"missing.exe").wstring(), L" ", folder_.Path().wstring());
    EXPECT_EQ(missing.outcome, LaunchResult::Outcome::Failed);
    EXPECT_EQ(missing.failure.rfind(L"CreateProcessAsUserW failed: ", 0), 0u)
        << std::string(missing.failure.begin(), missing.failure.end());
    EXPECT_NE(missing.failure.find(L"(2)"), std::wstring::npos);
}

TEST_F(ProcessQueriesWin32, ABareNameIsLookedForOnTheSystemPath) {
    const std::wstring notepad = FindOnSystemPath(L"notepad.exe");
    EXPECT_TRUE(EqualsIgnoringCaseAZ(FileNamePart(notepad), L"notepad.exe"));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(notepad)));
    EXPECT_EQ(FindOnSystemPath(L"quarn-nowhere.exe"), L"");
}

}  // namespace
}  // namespace quarn
