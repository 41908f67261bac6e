#pragma once

// RegistryAccess: the one way both programs reach the registry. An object
// holds a root, at most one open key and an access mask; it is created for a
// short group of reads or writes and destroyed right after, which closes its
// key. Failures of writes and key creation raise RegistryError with the
// layer's German messages; opens and deletions answer true or false.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "system/error.h"
#include "system/registry_backend.h"

namespace quarn {

class RegistryError : public Error {
  public:
    using Error::Error;
};

// An open key of a backend, closed when the owner goes.
class OwnedKey {
  public:
    OwnedKey() = default;
    OwnedKey(RegistryBackend& registry, KeyHandle key) : registry_(&registry), key_(key) {}
    OwnedKey(OwnedKey&& other) noexcept { *this = std::move(other); }
    OwnedKey& operator=(OwnedKey&& other) noexcept;
    OwnedKey(const OwnedKey&) = delete;
    OwnedKey& operator=(const OwnedKey&) = delete;
    ~OwnedKey() { Reset(); }

    explicit operator bool() const { return registry_ != nullptr; }
    KeyHandle Get() const { return key_; }
    void Reset();

  private:
    RegistryBackend* registry_ = nullptr;
    KeyHandle key_{};
};

class RegistryAccess {
  public:
    // access is the mask for opening keys; a caller that needs the 32-bit
    // registry view adds kKeyWow64_32Key, which then applies to every call.
    explicit RegistryAccess(std::uint32_t access = kKeyAllAccess,
                            RegistryBackend& registry = DefaultRegistry());

    RegistryRoot RootKey() const { return root_; }
    // A change of root closes the open key.
    void SetRootKey(RegistryRoot root);
    std::uint32_t Access() const { return access_; }

    // A path beginning with a backslash is taken from the root; any other is
    // relative to the open key, or to the root when none is open. On failure
    // the previous key stays current.
    bool OpenKey(std::wstring_view path, bool create);
    // Tries KEY_READ, then query and enumerate, then query alone; the first
    // that succeeds becomes the access mask.
    bool OpenKeyReadOnly(std::wstring_view path);
    bool HasOpenKey() const { return static_cast<bool>(current_); }
    void CloseKey() { current_.Reset(); }

    // Creates the key (and missing keys along the path) and closes it again.
    void CreateKey(std::wstring_view path);

    // Empty text for a missing value or when no key is open; the text ends at
    // its first zero character.
    std::wstring ReadString(std::wstring_view name);
    void WriteString(std::wstring_view name, std::wstring_view text);
    void WriteInteger(std::wstring_view name, std::int32_t value);
    void WriteBinaryData(std::wstring_view name, std::span<const std::uint8_t> bytes);

    bool DeleteValue(std::wstring_view name);
    // Deletes the key with all its subkeys, depth first and last subkey first.
    bool DeleteKey(std::wstring_view path);

  private:
    struct Target {
        KeyHandle base;
        std::wstring_view subKey;
    };
    Target Resolve(std::wstring_view path) const;
    bool ReplaceCurrent(long result, KeyHandle key);
    bool DeleteTree(KeyHandle base, std::wstring_view subKey);
    void WriteValue(std::wstring_view name, std::uint32_t type, std::span<const std::uint8_t> data);
    std::uint32_t View() const { return access_ & kKeyViewMask; }

    RegistryBackend& registry_;
    RegistryRoot root_ = RegistryRoot::CurrentUser;
    std::uint32_t access_;
    OwnedKey current_;
};

}  // namespace quarn
