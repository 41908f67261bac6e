#pragma once

// The platform's edge of the registry: the few raw operations that
// RegistryAccess builds on, with the Win32 registry's own error codes. Two
// implementations exist, the real registry (Windows only) and MemoryRegistry,
// the in-memory stand-in used on Linux and in tests; they must give the same
// results, which the registry contract tests check.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarn {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

// Access rights and view flags, with their Win32 values.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
inline constexpr std::uint32_t kKeyWow64_32Key = 0x0200;
inline constexpr std::uint32_t kKeyViewMask = kKeyWow64_64Key | kKeyWow64_32Key;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// Results, as the Win32 registry functions return them.
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorBadPathname = 161;
inline constexpr long kErrorKeyDeleted = 1018;

// A key as the backend knows it: a predefined root or an open key it issued.
enum class KeyHandle : std::uintptr_t {};

struct RegistryValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const RegistryValue&) const = default;
};

class RegistryBackend {
  public:
    virtual ~RegistryBackend() = default;

    virtual KeyHandle Root(RegistryRoot root) = 0;

    // subKey is relative to parent and has no leading backslash; an empty
    // subKey opens parent itself again. On success key is an open key that the
    // caller closes with CloseKey.
    virtual long CreateKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t access,
                           KeyHandle& key) = 0;
    virtual long OpenKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t access,
                         KeyHandle& key) = 0;
    virtual void CloseKey(KeyHandle key) = 0;

    virtual long QueryValue(KeyHandle key, std::wstring_view name, RegistryValue& value) = 0;
    virtual long SetValue(KeyHandle key, std::wstring_view name, std::uint32_t type,
                          std::span<const std::uint8_t> data) = 0;
    virtual long DeleteValue(KeyHandle key, std::wstring_view name) = 0;

    // The names of the key's direct subkeys, in the registry's order.
    virtual long EnumSubKeys(KeyHandle key, std::vector<std::wstring>& names) = 0;
    // The names of the key's values, the default value (when the key has one)
    // as the empty name. The order is the registry's own and nothing to rely
    // on: the stand-in keeps the order written, Wine's registry sorts by name.
    virtual long EnumValueNames(KeyHandle key, std::vector<std::wstring>& names) = 0;
    // Deletes one key that has no subkeys; view carries the view flags.
    virtual long DeleteKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t view) = 0;
};

// The registry of this build: the real one on Windows, a process-wide
// MemoryRegistry elsewhere.
RegistryBackend& DefaultRegistry();

}  // namespace quarn
