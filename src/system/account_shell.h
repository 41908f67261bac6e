#pragma once

// The locked-down account's own shell: the per-user Winlogon value "Shell" in
// the account's hive below HKEY_USERS. Portable: the configurator's switches
// and quarnctl call these with the real registry, tests with the stand-in.

#include <string>

#include "system/registry_backend.h"
#include "system/restore_point.h"

namespace quarn {

// The machine's Winlogon key (automatic logon) and, below HKEY_USERS\<hive>,
// the account's own Winlogon key (its shell).
inline constexpr wchar_t kWinlogonKey[] =
    L"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

// Writes the account's "Shell" in its own hive, HKEY_USERS\<hive>\...\Winlogon,
// which must exist (it is not created). hive is the key name below
// HKEY_USERS: the account's SID while Windows has its hive loaded. Raises the
// registry layer's write error when it cannot be written.
void WriteAccountShell(const std::wstring& hive, const std::wstring& shell,
                       RegistryBackend& registry = DefaultRegistry());
// Records the account's "Shell" in the restore point before it is written;
// hive as for WriteAccountShell.
void RecordAccountShellChange(RestorePoint& point, const std::wstring& hive,
                              RegistryBackend& registry = DefaultRegistry());
// The account's "Shell"; empty text when the key or the value is missing.
std::wstring ReadAccountShell(const std::wstring& hive,
                              RegistryBackend& registry = DefaultRegistry());

}  // namespace quarn
