#pragma once

// What the end-to-end tests see of a station from outside: its processes,
// the watch service's state and ticks, the programs they run to their end,
// who Windows last logged on, and the log files the test application keeps.

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace quarn::test {

// Whether a process of this file name runs, whoever runs it.
bool Running(const wchar_t* name);

// Ends a process and every process it started, and they in turn, and waits
// for each. That includes Wine's console helper conhost.exe, which a console
// program starts: ended while the helper is still connecting to it, the
// program leaves the helper waiting for ever, holding open the output it
// inherited (a test's, which ctest then waits for until its time-out).
// It leaves the desktop's own process alone, though the program may have
// started it: ended, it leaves the desktop to every later program without
// the X window Wine confines the pointer with, and a later full-screen
// window that Wine confines the pointer to ends with an X error.
void EndProcessTree(HANDLE root);
// Ends every process of this file name, whoever started it, with its tree.
void EndAll(const wchar_t* name);
// Ends the processes of this file name that this process started.
void EndChildren(const wchar_t* name);

// Starts the program with these arguments and waits for its end and the end
// of every process it started; its exit code, 0xFFFF when it could not start,
// 0xFFFE when it or one of those was still running (and all were ended: a
// message box would have kept it waiting).
DWORD RunToEnd(const std::filesystem::path& program, const std::wstring& arguments,
               std::chrono::milliseconds within);

// What a script that starts a command line and waits for it sees: the exit
// code of the started process itself (0xFFFF when it could not start, 0xFFFE
// when it did not end in time), and whether processes it started were still
// running when it had ended, its work going on behind the script's back
// (they are ended then, and waited for).
struct ScriptRun {
    DWORD exitCode = 0;
    bool workLeftRunning = false;
};
ScriptRun RunAsScriptDoes(const std::wstring& commandLine, std::chrono::milliseconds within);

DWORD ServiceState(SC_HANDLE service);
// The names the tests register the watch service under: its own, and the
// update test's (under which Wine's net.exe finds it). Both show as "watch",
// so one that an earlier, interrupted run left makes the next registration
// fail with a duplicate display name.
inline constexpr const wchar_t* kWatchServiceNames[] = {L"Service_watch", L"watch"};
// Stops and removes the service of this name, if there is one, and waits
// until it has gone, not merely been marked for deletion; false when it had
// not gone in time.
bool RemoveService(const wchar_t* name);
// Stops the service and waits until it says so and its process has ended.
bool StopService(SC_HANDLE service, std::chrono::milliseconds within = std::chrono::seconds(30));

// How many ticks of a timer ("LogTimer", "RegisteredTimer") the Wine test
// build of watch.exe in this folder has ended (its tick journal).
std::size_t ServiceTicks(const std::filesystem::path& folder, const std::string& timer);
// Waits until that service has begun and ended a tick of the timer after this
// call: that tick has seen everything the test did before. False when none
// came in time.
bool WaitForFreshTick(const std::filesystem::path& folder, const std::string& timer,
                      std::chrono::milliseconds within = std::chrono::seconds(20));

inline constexpr wchar_t kLogonUiKey[] =
    L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Authentication\\LogonUI";

// The user Windows shows as last logged on ("DOMAIN\name"), which the watch
// service takes for the one at the station; ClearLastLogonUser removes it.
void SetLastLogonUser(const std::wstring& user);
void ClearLastLogonUser();

// The complete lines of a log file that another process may still be
// writing; none when it does not exist.
std::vector<std::string> LogLines(const std::filesystem::path& log);

}  // namespace quarn::test
