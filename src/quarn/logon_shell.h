#pragma once

// The registry side of the "Auto Logon" and "Lock Down" switches, and the
// text rule of the configurator's error report. The automatic logon
// (auto_logon.h), the account's shell (account_shell.h) and
// "CompleteLockDown" (settings.h) live in the shared layer, since quarnctl
// and the station's restore write them too.

#include <string>

#include "system/account_shell.h"
#include "system/auto_logon.h"
#include "system/registry_backend.h"
#include "system/settings.h"

namespace quarn {

// The error report's text: a "." is appended unless the text is empty or
// already ends in "." or another character of code 46 or below.
std::wstring ErrorReportText(const std::wstring& message);

}  // namespace quarn
