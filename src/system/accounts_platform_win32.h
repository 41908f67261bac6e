#pragma once

// The account database calls, at the platform's edge. Linked either from
// accounts_platform_win32.cpp (the product) or accounts_platform_journal.cpp
// (the Wine test build's stand-in).

#include <windows.h>

#include <optional>
#include <string>

namespace quarn {

// NetLocalGroupAddMembers / NetLocalGroupDelMembers with one member given by
// its "domain\name" text (level 3). Returns the status.
DWORD ChangeLocalGroupMember(const std::wstring& group, const std::wstring& member, bool add);

// NetLocalGroupGetMembers level 3: whether the member ("domain\name") is in
// the group; nothing when the group cannot be listed.
std::optional<bool> IsLocalGroupMember(const std::wstring& group, const std::wstring& member);

// NetUserSetInfo level 1003: the account's whole password (up to the
// platform's 256 characters). True on success.
bool SetAccountPassword(const std::wstring& server, const std::wstring& account,
                        const std::wstring& password);

// CreateProcessWithLogonW with LOGON_WITH_PROFILE; CREATE_UNICODE_ENVIRONMENT
// is added to the flags. True when the process was created.
bool RunAsAccount(const std::wstring& account, const std::wstring& domain,
                  const std::wstring& password, const std::wstring& application,
                  const std::wstring& commandLine, DWORD creationFlags, void* environment);

}  // namespace quarn
