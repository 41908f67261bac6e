#pragma once

// An account's security identifier (SID) by its name, and the SID's text
// form (Windows only). The configurator's lock and quarnctl both find the
// locked-down account this way.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarn {

struct AccountLookup {
    DWORD error = 0;                               // 0, or the platform's last error
    std::optional<std::vector<std::uint8_t>> sid;  // present when a user account was found
};

// LookupAccountNameW in two rounds (size, then data). systemName empty means
// the local computer. Only a user account counts: an empty name (which
// names the computer's own domain) and the names of groups, aliases such as
// "Administrators" and well-known SIDs give ERROR_NONE_MAPPED and no SID, so
// nothing is ever written into HKEY_USERS\<a group's SID>.
AccountLookup GetAccountSid(const std::wstring& systemName, const std::wstring& accountName);
// The SID's standard text form (S-1-...), or empty text when it cannot be made.
std::wstring SidToText(const std::vector<std::uint8_t>& sid);

}  // namespace quarn
