#pragma once

// What the service's ticks ask of Windows, answered by Windows.

#include "watch/watch_ticks.h"

namespace quarn {

// The source of the service's event log entries.
inline constexpr wchar_t kEventSource[] = L"watch.exe";

class Win32StationPlatform final : public StationPlatform {
  public:
    VersionClass WindowsVersionClass() override;
    bool IsProgramRunning(std::wstring_view name) override;
    bool ShellProcessOpens() override;
    LaunchResult LaunchInUserSession(const std::wstring& application,
                                     const std::wstring& commandLine,
                                     const std::wstring& workingDirectory) override;
    std::wstring FindOnSystemPath(const std::wstring& fileName) override;
    void LogEvent(EventType type, const std::wstring& text) override;
    std::wstring ReadUpdateSetting(const std::wstring& key, const std::wstring& fallback) override;
    void WriteUpdateSetting(const std::wstring& key, const std::wstring& value) override;
    std::wstring FetchRemoteRelease() override;
};

}  // namespace quarn
