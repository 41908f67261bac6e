#pragma once

// The registry side of the "Auto Logon" and "Lock Down" switches, and the
// text rule of the configurator's error report. Portable: the window code
// calls these with the real registry, tests with the stand-in. The account's
// shell (account_shell.h) and "CompleteLockDown" (settings.h) live in the
// shared layer, since quarnctl writes them too.

#include <string>

#include "system/account_shell.h"
#include "system/registry_backend.h"
#include "system/settings.h"

namespace quarn {

// "AutoAdminLogon" "1" with the user and password, or "0" with both values
// present and empty. The key is created when missing. Failures are
// swallowed: a refused access leaves the values as they were.
void WriteAutoLogon(bool on, const std::wstring& user, const std::wstring& password,
                    RegistryBackend& registry = DefaultRegistry());
// Records the three values WriteAutoLogon writes in the restore point before
// it writes them.
void RecordAutoLogonChange(RestorePoint& point, RegistryBackend& registry = DefaultRegistry());
// Whether the machine's "AutoAdminLogon" reads "1"; a missing key reads as off.
bool ReadAutoLogonOn(RegistryBackend& registry = DefaultRegistry());

// The error report's text: a "." is appended unless the text is empty or
// already ends in "." or another character of code 46 or below.
std::wstring ErrorReportText(const std::wstring& message);

}  // namespace quarn
