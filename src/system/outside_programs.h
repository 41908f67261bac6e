#pragma once

// The programs the system starts but does not build into its two programs:
// watchdog.exe (the account's replacement shell), dummy.exe (keeps the
// account's profile loaded while the configurator writes into its hive) and
// version.exe (run once after an update). They lie in the installation
// directory the settings value "QUARN-DIR" names.

#include <string>

namespace quarn {

inline constexpr wchar_t kWatchdogExe[] = L"watchdog.exe";
inline constexpr wchar_t kDummyExe[] = L"dummy.exe";
inline constexpr wchar_t kVersionExe[] = L"version.exe";
inline constexpr wchar_t kExplorerExe[] = L"explorer.exe";

// "QUARN-DIR" followed by "\watchdog.exe" (no separator added or removed).
std::wstring WatchdogPath(const std::wstring& installDir);
std::wstring VersionProgramPath(const std::wstring& installDir);
// dummy.exe lies beside the configurator: its full path in that folder.
std::wstring DummyProgramPath(const std::wstring& configuratorFolder);

}  // namespace quarn
