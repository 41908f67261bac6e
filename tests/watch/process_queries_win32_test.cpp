// The process queries and the session launcher against real processes under
// Wine: a test program started under names of ours.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "process_queries.h"
#include "process_queries_win32.h"
#include "session_launcher_win32.h"
#include "temp_folder.h"
#include "win32_handle.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;

class RunningProgram {
  public:
    RunningProgram(const std::filesystem::path& program, const std::wstring& arguments) {
        std::wstring commandLine = L"\"" + program.wstring() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                             CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
            const win32::unique_handle thread(process.hThread);
            process_.reset(process.hProcess);
            id_ = process.dwProcessId;
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    ~RunningProgram() { End(); }
    void End() {
        if (process_) {
            ::TerminateProcess(process_.get(), 0);
            ::WaitForSingleObject(process_.get(), 5000);
            process_.reset();
        }
    }
    DWORD Id() const { return id_; }

  private:
    win32::unique_handle process_;
    DWORD id_ = 0;
};

class ProcessQueriesWin32 : public ::testing::Test {
  protected:
    std::filesystem::path Copy(const wchar_t* name) {
        const std::filesystem::path target = folder_ / name;
        std::filesystem::copy_file(std::filesystem::path(QUARN_TEST_APPLICATION_EXE), target);
        return target;
    }
    std::wstring Log() const { return (folder_ / L"starts.log").wstring(); }

    test::TempFolder folder_;
};

TEST_F(ProcessQueriesWin32, FindsARunningProgramEachByItsOwnRule) {
    RunningProgram probe(Copy(L"quarnprobe.exe"), L"\"" + Log() + L"\" 60");
    ASSERT_NE(probe.Id(), 0u);
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
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    bool opened = static_cast<bool>(OpenShellProcess());
    while (!opened && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
        opened = static_cast<bool>(OpenShellProcess());
    }
    EXPECT_TRUE(opened);
    ::DestroyWindow(window);
}

TEST_F(ProcessQueriesWin32, LaunchesInTheConsoleSessionUnlessHeldBack) {
    const std::filesystem::path application = Copy(L"launched.exe");
    ASSERT_TRUE(LaunchInUserSession(application.wstring(), L" \"" + Log() + L"\" 0",
                                    folder_.Path().wstring() + L"\\"));
    const auto started = [&] {
        std::ifstream log{std::filesystem::path(Log())};
        std::string line;
        return static_cast<bool>(std::getline(log, line));
    };
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!started() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(started());

    // While a process named dummy.exe runs, whoever runs it, nothing starts.
    RunningProgram dummy(Copy(L"dummy.exe"), L"\"" + (folder_ / L"dummy.log").wstring() + L"\" 60");
    EXPECT_FALSE(LaunchInUserSession(application.wstring(), L" x 0", folder_.Path().wstring()));
    dummy.End();
    EXPECT_FALSE(
        LaunchInUserSession((folder_ / L"missing.exe").wstring(), L" ", folder_.Path().wstring()));
}

}  // namespace
}  // namespace quarn
