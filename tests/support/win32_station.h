#pragma once

// What the end-to-end tests see of a station from outside: its processes,
// the watch service's state, the programs they run to their end, who Windows
// last logged on, and the log files the test application keeps.

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace quarn::test {

// Whether a process of this file name runs, whoever runs it.
bool Running(const wchar_t* name);
// Ends every process of this file name.
void EndAll(const wchar_t* name);

// Starts the program with these arguments and waits for its end; its exit
// code, 0xFFFF when it could not start, 0xFFFE when it was still running
// (and was ended: a message box would have kept it waiting).
DWORD RunToEnd(const std::filesystem::path& program, const std::wstring& arguments,
               std::chrono::milliseconds within);

DWORD ServiceState(SC_HANDLE service);

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
