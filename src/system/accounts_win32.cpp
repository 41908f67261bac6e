#include "system/accounts_win32.h"

// After windows.h, which it needs.
#include <lm.h>

#include "system/accounts_platform_win32.h"
#include "system/error.h"
#include "system/error_win32.h"
#include "system/handle_win32.h"
#include "system/net_buffer_win32.h"
#include "system/settings.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

using win32::NetBuffer;

// The SID S-1-5-32-544; empty when it cannot be made.
win32::unique_sid AdministratorsSid() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    win32::unique_sid sid;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, sid.put())) {
        return {};
    }
    return sid;
}

void ChangeAdministrators(bool add) {
    ChangeLocalGroupMember(GetAdministratorsGroupName(), LockedAccountMemberName(), add);
}

}  // namespace

std::wstring GetAdministratorsGroupName() {
    const win32::unique_sid sid = AdministratorsSid();
    if (!sid) {
        return {};
    }
    DWORD nameLength = 0;
    DWORD domainLength = 0;
    SID_NAME_USE use{};
    if (::LookupAccountSidW(nullptr, sid.get(), nullptr, &nameLength, nullptr, &domainLength,
                            &use) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return {};
    }
    std::wstring name(nameLength, L'\0');
    std::wstring domain(domainLength, L'\0');
    if (!::LookupAccountSidW(nullptr, sid.get(), name.data(), &nameLength, domain.data(),
                             &domainLength, &use)) {
        return {};
    }
    name.resize(nameLength);
    return name;
}

std::wstring GetLogonDomain() {
    NetBuffer buffer;
    if (::NetWkstaUserGetInfo(nullptr, 1, buffer.put()) != NERR_Success ||
        buffer.get() == nullptr) {
        return {};
    }
    const auto* info = reinterpret_cast<const WKSTA_USER_INFO_1*>(buffer.get());
    return info->wkui1_logon_domain != nullptr ? info->wkui1_logon_domain : L"";
}

std::wstring LockedAccountMemberName() {
    return GetLogonDomain() + L"\\" + ReadAccountName();
}

void AddAccountToAdministrators() {
    ChangeAdministrators(true);
}

void RemoveAccountFromAdministrators() {
    ChangeAdministrators(false);
}

std::optional<bool> LockedAccountIsAdministrator() {
    return IsLocalGroupMember(GetAdministratorsGroupName(), LockedAccountMemberName());
}

long SetAdministratorsMember(const std::wstring& member, bool add) {
    const DWORD status = ChangeLocalGroupMember(GetAdministratorsGroupName(), member, add);
    if (status == ERROR_MEMBER_IN_ALIAS || status == ERROR_MEMBER_NOT_IN_ALIAS) {
        return 0;  // it already is what it was
    }
    return static_cast<long>(status);
}

void RaiseNetError(DWORD code) {
    switch (code) {
        case 0:
            return;
        case ERROR_ACCESS_DENIED:
            throw Error("Access is Denied");
        case ERROR_INSUFFICIENT_BUFFER:
            throw Error("Buffer passed was too small");
        case ERROR_INVALID_OWNER:
            throw Error("Cannot assign the owner of this object.");
        default:
            throw Error("Error Code: " + std::to_string(code) + "\r" +
                        win32::SystemMessageUtf8(code));
    }
}

std::wstring GetDomainControllerName() {
    const UINT previousMode = ::SetErrorMode(SEM_NOOPENFILEERRORBOX);
    const win32::unique_hmodule library(::LoadLibraryW(L"NETAPI32.DLL"));
    ::SetErrorMode(previousMode);
    if (!library) {
        throw Error("Unable to map library: NETAPI32.DLL");
    }
    using GetDcName = NET_API_STATUS(WINAPI*)(LPCWSTR, LPCWSTR, LPBYTE*);
    const auto getDcName = reinterpret_cast<GetDcName>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), "NetGetDCName")));
    const auto bufferFree = reinterpret_cast<NetBuffer::FreeFunction>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), "NetApiBufferFree")));
    if (getDcName == nullptr || bufferFree == nullptr) {
        throw Error("Unable to map library: NETAPI32.DLL");
    }
    NetBuffer buffer(bufferFree);
    const NET_API_STATUS status = getDcName(nullptr, nullptr, buffer.put());
    const std::wstring name = status == NERR_Success && buffer.get() != nullptr
                                  ? std::wstring(reinterpret_cast<const wchar_t*>(buffer.get()))
                                  : std::wstring();
    const NET_API_STATUS freed = buffer.Free();
    RaiseNetError(status);
    RaiseNetError(freed);
    return name;
}

void PrepareLockedAccount(const std::wstring& dummyProgram) {
    const std::wstring account = ReadAccountName();
    const std::wstring password = ReadPanelPassword();
    SetAccountPassword(GetLogonDomain(), account, password);
    RunAsAccount(account, GetLogonDomain(), password, dummyProgram, L"", CREATE_NEW_CONSOLE,
                 nullptr);
}

}  // namespace quarn
