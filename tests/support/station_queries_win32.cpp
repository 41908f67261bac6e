#include "support/station_queries_win32.h"

#include <windows.h>

#include <sddl.h>

#include <stdexcept>
#include <string>

#include "system/error_win32.h"
#include "system/handle_win32.h"

namespace quarn::test {
namespace {

// The call that failed, with the code and text of the thread's last error.
std::string Failed(const char* call) {
    const DWORD code = ::GetLastError();
    return std::string(call) + " failed with error " + std::to_string(code) + ": " +
           win32::SystemMessageUtf8(code);
}

}  // namespace

std::wstring CurrentUserSid() {
    win32::unique_handle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        throw std::runtime_error(Failed("OpenProcessToken"));
    }
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        throw std::runtime_error(Failed("GetTokenInformation"));
    }
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        throw std::runtime_error(Failed("ConvertSidToStringSidW"));
    }
    const win32::unique_hlocal owner(text);
    return text;
}

std::wstring CurrentUserName() {
    wchar_t name[256] = {};
    DWORD size = 256;
    ::GetUserNameW(name, &size);
    return name;
}

bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace quarn::test
