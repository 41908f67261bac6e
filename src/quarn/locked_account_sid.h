#pragma once

// The configurator's one piece of process-wide state about the account.

#include <string>

namespace quarn {

// The locked-down account's SID in its string form (S-1-5-21-...): empty until
// the lock button first finds the account, kept through unlocking. The shell
// switch and each catalogue pass write below HKEY_USERS\<this SID>.
inline std::wstring LockedAccountSid;

}  // namespace quarn
