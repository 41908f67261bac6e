#pragma once

// The machine's automatic logon: "AutoAdminLogon", "DefaultUserName" and
// "DefaultPassword" in its Winlogon key. Portable: the configurator's "Auto
// Logon" switch and the station's restore call these with the real
// registry, tests with the stand-in.

#include <string>

#include "system/account_shell.h"
#include "system/registry_backend.h"
#include "system/restore_point.h"

namespace quarn {

// "AutoAdminLogon" "1" with the user and password, or "0" with both values
// present and empty. The key is created when missing. Failures are
// swallowed: a refused access leaves the values as they were.
void WriteAutoLogon(bool on, const std::wstring& user, const std::wstring& password,
                    RegistryBackend& registry = DefaultRegistry());
// Records the three values WriteAutoLogon writes in the restore point before
// it writes them.
void RecordAutoLogonChange(RestorePoint& point, RegistryBackend& registry = DefaultRegistry());
// Whether the restore point holds the automatic logon's state.
bool HoldsAutoLogon(const RestorePoint& point);
// Whether the machine's "AutoAdminLogon" reads "1"; a missing key reads as off.
bool ReadAutoLogonOn(RegistryBackend& registry = DefaultRegistry());
// "DefaultUserName"; empty text when the key or the value is missing.
std::wstring ReadAutoLogonUser(RegistryBackend& registry = DefaultRegistry());

}  // namespace quarn
