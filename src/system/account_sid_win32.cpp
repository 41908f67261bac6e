#include "system/account_sid_win32.h"

// After windows.h, which it needs.
#include <sddl.h>

#include "system/handle_win32.h"

namespace quarn {

AccountLookup GetAccountSid(const std::wstring& systemName, const std::wstring& accountName) {
    if (accountName.empty()) {
        return {ERROR_NONE_MAPPED, std::nullopt};
    }
    const wchar_t* system = systemName.empty() ? nullptr : systemName.c_str();
    ::SetLastError(0);
    DWORD sidSize = 0;
    DWORD domainLength = 0;
    SID_NAME_USE use{};
    if (::LookupAccountNameW(system, accountName.c_str(), nullptr, &sidSize, nullptr, &domainLength,
                             &use) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return {::GetLastError(), std::nullopt};
    }
    std::vector<std::uint8_t> sid(sidSize);
    std::wstring domain(domainLength + 1, L'\0');
    if (!::LookupAccountNameW(system, accountName.c_str(), sid.data(), &sidSize, domain.data(),
                              &domainLength, &use)) {
        return {0, std::nullopt};
    }
    if (use != SidTypeUser) {
        return {ERROR_NONE_MAPPED, std::nullopt};
    }
    return {0, std::move(sid)};
}

std::wstring SidToText(const std::vector<std::uint8_t>& sid) {
    wchar_t* text = nullptr;
    if (sid.empty() || !::ConvertSidToStringSidW(const_cast<std::uint8_t*>(sid.data()), &text)) {
        return {};
    }
    const win32::unique_hlocal owner(text);
    return text;
}

}  // namespace quarn
