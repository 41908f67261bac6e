#pragma once

// Operations on the locked-down Windows account and the Administrators group
// (configurator only; Windows only).
//
// Three calls reach into the account database and are kept at the platform's
// edge (accounts_platform.h), with two implementations chosen at link time:
// the real one, always in the shipped quarn.exe, and a stand-in for the Wine
// test build that records each call in a journal file (Wine aborts on
// NetUserSetInfo, only pretends to change groups and cannot log on another
// account). Everything else here is the same code in both.

#include <windows.h>

#include <optional>
#include <string>

#include "system/account_sid_win32.h"

namespace quarn {

// The name of the built-in Administrators group (S-1-5-32-544) in the
// installation's language, or empty text.
std::wstring GetAdministratorsGroupName();
// The logon domain of the calling user (for a local account the computer's
// name), or empty text.
std::wstring GetLogonDomain();
// The locked-down account as a group member: logon domain, "\", account name
// as ReadAccountName gives it.
std::wstring LockedAccountMemberName();
// Adds or removes that member; the result is not looked at.
void AddAccountToAdministrators();
void RemoveAccountFromAdministrators();
// Whether that member is in the Administrators group now; nothing when the
// group cannot be listed.
std::optional<bool> LockedAccountIsAdministrator();
// Adds or removes a member of the Administrators group; 0 also when it
// already is, or is not, a member; the group call's status otherwise.
long SetAdministratorsMember(const std::wstring& member, bool add);

// The controller of the computer's domain ("\\NAME"); NETAPI32.DLL is loaded
// for the call. Raises Error with RaiseNetError's texts.
std::wstring GetDomainControllerName();
// Returns for 0; raises Error with the message of the code otherwise.
void RaiseNetError(DWORD code);

// Gives the account its stored password ("PanelPassword") and starts
// dummy.exe (the full path given) under the account with its profile, which
// loads the account's hive below HKEY_USERS. Results are not looked at;
// reading "PanelPassword" may raise.
void PrepareLockedAccount(const std::wstring& dummyProgram);

}  // namespace quarn
