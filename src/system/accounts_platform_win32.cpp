// The account database calls of the product.

#include <windows.h>
// After windows.h, which it needs.
#include <lm.h>

#include "system/accounts_platform_win32.h"
#include "system/handle_win32.h"
#include "system/net_buffer_win32.h"

namespace quarn {

DWORD ChangeLocalGroupMember(const std::wstring& group, const std::wstring& member, bool add) {
    LOCALGROUP_MEMBERS_INFO_3 entry{};
    entry.lgrmi3_domainandname = const_cast<wchar_t*>(member.c_str());
    auto* data = reinterpret_cast<LPBYTE>(&entry);
    return add ? ::NetLocalGroupAddMembers(nullptr, group.c_str(), 3, data, 1)
               : ::NetLocalGroupDelMembers(nullptr, group.c_str(), 3, data, 1);
}

std::optional<bool> IsLocalGroupMember(const std::wstring& group, const std::wstring& member) {
    DWORD_PTR resume = 0;
    for (;;) {
        win32::NetBuffer buffer;
        DWORD read = 0;
        DWORD total = 0;
        const NET_API_STATUS status = ::NetLocalGroupGetMembers(
            nullptr, group.c_str(), 3, buffer.put(), MAX_PREFERRED_LENGTH, &read, &total, &resume);
        if (status != NERR_Success && status != ERROR_MORE_DATA) {
            return std::nullopt;
        }
        bool found = false;
        const auto* entries = reinterpret_cast<const LOCALGROUP_MEMBERS_INFO_3*>(buffer.get());
        for (DWORD i = 0; entries != nullptr && i < read && !found; ++i) {
            const wchar_t* name = entries[i].lgrmi3_domainandname;
            found = name != nullptr &&
                    ::CompareStringOrdinal(name, -1, member.c_str(), -1, TRUE) == CSTR_EQUAL;
        }
        if (found) {
            return true;
        }
        if (status == NERR_Success) {
            return false;
        }
    }
}

bool SetAccountPassword(const std::wstring& server, const std::wstring& account,
                        const std::wstring& password) {
    // The whole password, up to the platform's limit, so that a later logon
    // with that same text succeeds.
    std::wstring whole = password.substr(0, PWLEN);
    USER_INFO_1003 info{};
    info.usri1003_password = whole.data();
    return ::NetUserSetInfo(server.empty() ? nullptr : server.c_str(), account.c_str(), 1003,
                            reinterpret_cast<LPBYTE>(&info), nullptr) == NERR_Success;
}

bool RunAsAccount(const std::wstring& account, const std::wstring& domain,
                  const std::wstring& password, const std::wstring& application,
                  const std::wstring& commandLine, DWORD creationFlags, void* environment) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    win32::unique_process_information process;
    std::wstring command = commandLine;
    return ::CreateProcessWithLogonW(account.c_str(), domain.c_str(), password.c_str(),
                                     LOGON_WITH_PROFILE, application.c_str(),
                                     command.empty() ? nullptr : command.data(),
                                     creationFlags | CREATE_UNICODE_ENVIRONMENT, environment,
                                     nullptr, &startup, process.put()) != FALSE;
}

}  // namespace quarn
