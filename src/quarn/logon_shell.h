#pragma once

// The registry side of the "Auto Logon" and "Lock Down" switches, and the
// text rule of the configurator's error report. Portable: the window code
// calls these with the real registry, tests with the stand-in.

#include <string>

#include "registry_backend.h"

namespace quarn {

// The machine's Winlogon key (automatic logon) and, below HKEY_USERS\<SID>,
// the account's own Winlogon key (its shell).
inline constexpr wchar_t kWinlogonKey[] =
    L"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

// "AutoAdminLogon" "1" with the user and password, or "0" with both values
// present and empty. The key is created when missing. Failures are
// swallowed: a refused access leaves the values as they were.
void WriteAutoLogon(bool on, const std::wstring& user, const std::wstring& password,
                    RegistryBackend& registry = DefaultRegistry());
// Whether the machine's "AutoAdminLogon" reads "1"; a missing key reads as off.
bool ReadAutoLogonOn(RegistryBackend& registry = DefaultRegistry());

// Writes the account's "Shell" in its own hive, HKEY_USERS\<sid>\...\Winlogon,
// which must exist (it is not created). Raises the registry layer's write
// error when it cannot be written.
void WriteAccountShell(const std::wstring& sid, const std::wstring& shell,
                       RegistryBackend& registry = DefaultRegistry());
std::wstring ReadAccountShell(const std::wstring& sid,
                              RegistryBackend& registry = DefaultRegistry());

// "CompleteLockDown" = "true" or "false" in the settings key, which is opened
// without creating it: a missing key raises the write error.
void WriteCompleteLockDown(bool on, RegistryBackend& registry = DefaultRegistry());

// The error report's text: a "." is appended unless the text is empty or
// already ends in "." or another character of code 46 or below.
std::wstring ErrorReportText(const std::wstring& message);

}  // namespace quarn
