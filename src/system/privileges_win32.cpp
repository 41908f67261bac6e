#include "system/privileges_win32.h"

#include <string>

#include "system/error.h"
#include "system/error_win32.h"
#include "system/text_encoding.h"

namespace quarn::win32 {
namespace {

// A TOKEN_PRIVILEGES of count entries, in a buffer of its own size.
std::vector<BYTE> PrivilegeBuffer(std::size_t count) {
    return std::vector<BYTE>(sizeof(TOKEN_PRIVILEGES) + count * sizeof(LUID_AND_ATTRIBUTES));
}

TOKEN_PRIVILEGES* AsPrivileges(std::vector<BYTE>& buffer) {
    return reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
}

[[noreturn]] void Fail(const wchar_t* privilege, const char* call, DWORD code) {
    throw Error("The privilege " + Utf16ToUtf8(privilege) + " could not be enabled (" + call +
                ": " + SystemMessageUtf8(code) + ")");
}

}  // namespace

EnabledPrivileges::EnabledPrivileges(std::initializer_list<const wchar_t*> names) {
    const wchar_t* first = names.size() > 0 ? *names.begin() : L"";
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                            token_.put())) {
        Fail(first, "OpenProcessToken", ::GetLastError());
    }
    std::vector<BYTE> wanted = PrivilegeBuffer(names.size());
    TOKEN_PRIVILEGES* privileges = AsPrivileges(wanted);
    privileges->PrivilegeCount = 0;
    for (const wchar_t* name : names) {
        LUID_AND_ATTRIBUTES& entry = privileges->Privileges[privileges->PrivilegeCount++];
        if (!::LookupPrivilegeValueW(nullptr, name, &entry.Luid)) {
            Fail(name, "LookupPrivilegeValueW", ::GetLastError());
        }
        entry.Attributes = SE_PRIVILEGE_ENABLED;
    }
    previous_ = PrivilegeBuffer(names.size());
    DWORD length = static_cast<DWORD>(previous_.size());
    const BOOL adjusted = ::AdjustTokenPrivileges(token_.get(), FALSE, privileges,
                                                  static_cast<DWORD>(previous_.size()),
                                                  AsPrivileges(previous_), &length);
    // Success with ERROR_NOT_ALL_ASSIGNED: the token lacks one of them.
    const DWORD code = ::GetLastError();
    if (!adjusted || code != ERROR_SUCCESS) {
        if (adjusted) {
            ::AdjustTokenPrivileges(token_.get(), FALSE, AsPrivileges(previous_), 0, nullptr,
                                    nullptr);
        }
        Fail(first, "AdjustTokenPrivileges", code);
    }
}

EnabledPrivileges::~EnabledPrivileges() {
    ::AdjustTokenPrivileges(token_.get(), FALSE, AsPrivileges(previous_), 0, nullptr, nullptr);
}

bool PrivilegeEnabled(const wchar_t* name) {
    unique_handle token;
    LUID luid{};
    DWORD size = 0;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !::LookupPrivilegeValueW(nullptr, name, &luid)) {
        return false;
    }
    ::GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size)) {
        return false;
    }
    const TOKEN_PRIVILEGES* privileges = AsPrivileges(buffer);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
        if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart) {
            return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    return false;
}

}  // namespace quarn::win32
