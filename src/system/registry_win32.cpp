#include "system/registry_win32.h"

#include <windows.h>

#include <limits>

namespace quarn {
namespace {

HKEY ToHkey(KeyHandle key) {
    return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key));
}
KeyHandle ToHandle(HKEY key) {
    return KeyHandle{reinterpret_cast<std::uintptr_t>(key)};
}

bool IsPredefined(HKEY key) {
    return (reinterpret_cast<std::uintptr_t>(key) & 0xFFFFFFFF80000000ULL) == 0xFFFFFFFF80000000ULL;
}

using DeleteKeyExFunction = LSTATUS(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// RegDeleteKeyExW carries the registry view; older systems only have
// RegDeleteKeyW, so the function is looked up when first needed.
DeleteKeyExFunction FindDeleteKeyEx() {
    const HMODULE advapi = ::GetModuleHandleW(L"advapi32.dll");
    if (advapi == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<DeleteKeyExFunction>(
        reinterpret_cast<void*>(::GetProcAddress(advapi, "RegDeleteKeyExW")));
}

}  // namespace

RegistryBackend& DefaultRegistry() {
    static Win32Registry registry;
    return registry;
}

KeyHandle Win32Registry::Root(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot:
            return ToHandle(HKEY_CLASSES_ROOT);
        case RegistryRoot::CurrentUser:
            return ToHandle(HKEY_CURRENT_USER);
        case RegistryRoot::LocalMachine:
            return ToHandle(HKEY_LOCAL_MACHINE);
        case RegistryRoot::Users:
            return ToHandle(HKEY_USERS);
    }
    return ToHandle(HKEY_CURRENT_USER);
}

long Win32Registry::CreateKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t access,
                              KeyHandle& key) {
    HKEY created = nullptr;
    const LSTATUS result =
        ::RegCreateKeyExW(ToHkey(parent), std::wstring(subKey).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, access, nullptr, &created, nullptr);
    if (result == ERROR_SUCCESS) {
        key = ToHandle(created);
    }
    return result;
}

long Win32Registry::OpenKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t access,
                            KeyHandle& key) {
    HKEY opened = nullptr;
    const LSTATUS result =
        ::RegOpenKeyExW(ToHkey(parent), std::wstring(subKey).c_str(), 0, access, &opened);
    if (result == ERROR_SUCCESS) {
        key = ToHandle(opened);
    }
    return result;
}

void Win32Registry::CloseKey(KeyHandle key) {
    if (!IsPredefined(ToHkey(key))) {
        ::RegCloseKey(ToHkey(key));
    }
}

long Win32Registry::QueryValue(KeyHandle key, std::wstring_view name, RegistryValue& value) {
    const std::wstring valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS result =
        ::RegQueryValueExW(ToHkey(key), valueName.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between the two calls; ask again until it fits.
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
        value.data.resize(size);
        DWORD got = size;
        result = ::RegQueryValueExW(ToHkey(key), valueName.c_str(), nullptr, &type,
                                    value.data.data(), &got);
        if (result == ERROR_SUCCESS) {
            value.data.resize(got);
            value.type = type;
            return ERROR_SUCCESS;
        }
        size = got;
    }
    return result;
}

long Win32Registry::SetValue(KeyHandle key, std::wstring_view name, std::uint32_t type,
                             std::span<const std::uint8_t> data) {
    if (data.size() > std::numeric_limits<DWORD>::max()) {
        return ERROR_INVALID_PARAMETER;
    }
    return ::RegSetValueExW(ToHkey(key), std::wstring(name).c_str(), 0, type, data.data(),
                            static_cast<DWORD>(data.size()));
}

long Win32Registry::DeleteValue(KeyHandle key, std::wstring_view name) {
    return ::RegDeleteValueW(ToHkey(key), std::wstring(name).c_str());
}

namespace {

// The names a key enumerates, one index at a time; longest (from
// RegQueryInfoKeyW) sizes the buffer, and a longer name that arrives meanwhile
// grows it.
template <typename Enumerate>
long EnumNames(DWORD longest, std::vector<std::wstring>& names, Enumerate enumerate) {
    names.clear();
    std::wstring buffer(longest + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LSTATUS result = enumerate(index, buffer.data(), &length);
        if (result == ERROR_NO_MORE_ITEMS) {
            return ERROR_SUCCESS;
        }
        if (result == ERROR_MORE_DATA) {
            buffer.resize(buffer.size() * 2);
            --index;
            continue;
        }
        if (result != ERROR_SUCCESS) {
            return result;
        }
        names.emplace_back(buffer.data(), length);
    }
}

}  // namespace

long Win32Registry::EnumSubKeys(KeyHandle key, std::vector<std::wstring>& names) {
    DWORD longest = 0;
    const LSTATUS result =
        ::RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, nullptr, &longest, nullptr,
                           nullptr, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    return EnumNames(longest, names, [&](DWORD index, wchar_t* name, DWORD* length) {
        return ::RegEnumKeyExW(ToHkey(key), index, name, length, nullptr, nullptr, nullptr,
                               nullptr);
    });
}

long Win32Registry::EnumValueNames(KeyHandle key, std::vector<std::wstring>& names) {
    DWORD longest = 0;
    const LSTATUS result =
        ::RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, &longest, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    return EnumNames(longest, names, [&](DWORD index, wchar_t* name, DWORD* length) {
        return ::RegEnumValueW(ToHkey(key), index, name, length, nullptr, nullptr, nullptr,
                               nullptr);
    });
}

long Win32Registry::DeleteKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t view) {
    static const DeleteKeyExFunction deleteKeyEx = FindDeleteKeyEx();
    const std::wstring name(subKey);
    if (deleteKeyEx != nullptr) {
        return deleteKeyEx(ToHkey(parent), name.c_str(), view, 0);
    }
    return ::RegDeleteKeyW(ToHkey(parent), name.c_str());
}

}  // namespace quarn
