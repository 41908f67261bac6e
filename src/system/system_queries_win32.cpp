#include <windows.h>
// After windows.h, which they need.
#include <wbemidl.h>

#include <vector>

#include "system/com_win32.h"
#include "system/handle_win32.h"
#include "system/system_queries.h"

namespace quarn {

VersionClass GetWindowsVersionClass() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;  // 276 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&info)) {
        return 0;
    }
#pragma GCC diagnostic pop
    return VersionClassFor(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                           info.szCSDVersion);
}

std::wstring GetLastLoggedOnUser() {
    return GetLastLoggedOnUser(GetWindowsVersionClass());
}

bool IsAdministrator() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&info) || info.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        return false;
    }
#pragma GCC diagnostic pop
    win32::unique_handle token;
    if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put())) {
        if (::GetLastError() != ERROR_NO_TOKEN ||
            !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
            return false;
        }
    }
    DWORD size = 0;
    if (::GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return false;
    }
    std::vector<std::uint8_t> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenGroups, buffer.data(), size, &size)) {
        return false;
    }
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    win32::unique_sid administrators;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                    administrators.put())) {
        return false;
    }
    // A group the token holds for deny only (a filtered administrator token
    // under User Account Control) counts as well.
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    bool found = false;
    for (DWORD i = 0; i < groups->GroupCount && !found; ++i) {
        found = ::EqualSid(groups->Groups[i].Sid, administrators.get()) != FALSE;
    }
    return found;
}

namespace {

win32::ComPtr<IWbemServices> ConnectWmi(const wchar_t* server) {
    win32::ComPtr<IWbemLocator> locator;
    win32::CheckHresult(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IWbemLocator, locator.put_void()),
                        "CoCreateInstance(WbemLocator)");
    win32::ComPtr<IWbemServices> services;
    const win32::UniqueBstr path(server);
    win32::CheckHresult(locator->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr,
                                               nullptr, services.put()),
                        "IWbemLocator::ConnectServer");
    win32::CheckHresult(::CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE,
                                            nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                            RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
                        "CoSetProxyBlanket");
    return services;
}

win32::ComPtr<IEnumWbemClassObject> Query(IWbemServices* services, const wchar_t* wql) {
    win32::ComPtr<IEnumWbemClassObject> results;
    const win32::UniqueBstr language(L"WQL");
    const win32::UniqueBstr query(wql);
    win32::CheckHresult(services->ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY,
                                            nullptr, results.put()),
                        "IWbemServices::ExecQuery");
    return results;
}

// The next object of a query, or nothing at its end.
win32::ComPtr<IWbemClassObject> NextObject(IEnumWbemClassObject* results) {
    win32::ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    const HRESULT result =
        results->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.put(), &returned);
    win32::CheckHresult(result, "IEnumWbemClassObject::Next");
    if (returned == 0) {
        object.reset();
    }
    return object;
}

}  // namespace

std::wstring GetOSCaption() {
    const auto services = ConnectWmi(L"\\\\localhost\\root\\cimv2");
    const auto results = Query(services.get(), L"SELECT Caption FROM Win32_OperatingSystem");
    const auto object = NextObject(results.get());
    if (!object) {
        return {};
    }
    win32::UniqueVariant caption;
    win32::CheckHresult(object->Get(L"Caption", 0, caption.put(), nullptr, nullptr),
                        "IWbemClassObject::Get(Caption)");
    win32::UniqueVariant text;
    win32::CheckHresult(::VariantChangeType(text.put(), caption.source(), 0, VT_BSTR),
                        "VariantChangeType(Caption)");
    return text.get().bstrVal != nullptr ? std::wstring(text.get().bstrVal) : std::wstring();
}

void QueryDomainRole() {
    const auto services = ConnectWmi(L"ROOT\\CIMV2");
    const auto results = Query(services.get(), L"SELECT * FROM Win32_ComputerSystem");
    for (auto object = NextObject(results.get()); object; object = NextObject(results.get())) {
        win32::UniqueVariant role;
        win32::CheckHresult(object->Get(L"DomainRole", 0, role.put(), nullptr, nullptr),
                            "IWbemClassObject::Get(DomainRole)");
        win32::UniqueVariant number;
        if (SUCCEEDED(::VariantChangeType(number.put(), role.source(), 0, VT_I4)) &&
            number.get().lVal >= 0 && number.get().lVal <= 5) {
            DomainRoleCode = std::to_wstring(number.get().lVal);
        }
    }
}

}  // namespace quarn
