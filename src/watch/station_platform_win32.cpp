#include "watch/station_platform_win32.h"

#include "system/event_log_win32.h"
#include "system/updates_win32.h"
#include "watch/process_queries_win32.h"
#include "watch/session_launcher_win32.h"

namespace quarn {

VersionClass Win32StationPlatform::WindowsVersionClass() {
    return GetWindowsVersionClass();
}

bool Win32StationPlatform::IsProgramRunning(std::wstring_view name) {
    return quarn::IsProgramRunning(name);
}

bool Win32StationPlatform::ShellProcessOpens() {
    return static_cast<bool>(OpenShellProcess());
}

LaunchResult Win32StationPlatform::LaunchInUserSession(const std::wstring& application,
                                                       const std::wstring& commandLine,
                                                       const std::wstring& workingDirectory) {
    return quarn::LaunchInUserSession(application, commandLine, workingDirectory);
}

std::wstring Win32StationPlatform::FindOnSystemPath(const std::wstring& fileName) {
    return quarn::FindOnSystemPath(fileName);
}

void Win32StationPlatform::LogEvent(EventType type, const std::wstring& text) {
    quarn::ReportToEventLog(type, kEventSource, text);
}

std::wstring Win32StationPlatform::ReadUpdateSetting(const std::wstring& key,
                                                     const std::wstring& fallback) {
    return quarn::ReadUpdateSetting(IniBesideExecutable(), key, fallback);
}

void Win32StationPlatform::WriteUpdateSetting(const std::wstring& key, const std::wstring& value) {
    quarn::WriteUpdateSetting(IniBesideExecutable(), key, value);
}

std::wstring Win32StationPlatform::FetchRemoteRelease() {
    return quarn::FetchRemoteRelease(IniBesideExecutable());
}

}  // namespace quarn
