#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <stdexcept>

#include "support/registry_backends.h"
#include "system/handle_win32.h"
#include "system/registry_win32.h"

namespace quarn::test {
namespace {

class Win32UnderTest final : public RegistryUnderTest {
  public:
    RegistryBackend& Backend() override { return registry_; }
    std::wstring LoadedSid() override { return CurrentUserSid(); }
    bool RefusesKeysBelowHiveRoots() const override { return !RunningUnderWine(); }

  private:
    Win32Registry registry_;
};

}  // namespace

std::unique_ptr<RegistryUnderTest> MakeWin32Registry() {
    return std::make_unique<Win32UnderTest>();
}

std::wstring CurrentUserSid() {
    win32::unique_handle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        throw std::runtime_error("OpenProcessToken failed");
    }
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        throw std::runtime_error("GetTokenInformation failed");
    }
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        throw std::runtime_error("ConvertSidToStringSidW failed");
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
