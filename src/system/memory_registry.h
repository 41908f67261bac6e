#pragma once

// The in-memory stand-in for the Windows registry. It follows Windows, not
// Wine, where the two differ: no key can be created directly below
// HKEY_LOCAL_MACHINE or HKEY_USERS, so HKEY_USERS holds only the user hives a
// test loaded. Names compare without regard to case (A-Z and the Latin-1
// letters) and keep the case they were created with; subkeys enumerate in
// name order, values keep their order. A 64-bit process's 32-bit view of
// HKEY_LOCAL_MACHINE\SOFTWARE is its WOW6432Node key, as on Windows.
// Not thread-safe: the system uses the registry from one thread at a time.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "system/registry_backend.h"

namespace quarn {

class MemoryRegistry final : public RegistryBackend {
  public:
    MemoryRegistry();
    ~MemoryRegistry() override;

    // A user's hive below HKEY_USERS, empty, as a logon loads it.
    void LoadHive(std::wstring_view sid);
    // Takes the hive away; open keys into it answer "key deleted".
    void UnloadHive(std::wstring_view sid);
    // Open keys not yet closed: a leak check for tests.
    std::size_t OpenKeyCount() const { return open_.size(); }

    KeyHandle Root(RegistryRoot root) override;
    long CreateKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t access,
                   KeyHandle& key) override;
    long OpenKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t access,
                 KeyHandle& key) override;
    void CloseKey(KeyHandle key) override;
    long QueryValue(KeyHandle key, std::wstring_view name, RegistryValue& value) override;
    long SetValue(KeyHandle key, std::wstring_view name, std::uint32_t type,
                  std::span<const std::uint8_t> data) override;
    long DeleteValue(KeyHandle key, std::wstring_view name) override;
    long EnumSubKeys(KeyHandle key, std::vector<std::wstring>& names) override;
    long EnumValueNames(KeyHandle key, std::vector<std::wstring>& names) override;
    long DeleteKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t view) override;

  private:
    struct Node;
    struct Handle {
        std::shared_ptr<Node> node;
        std::uint32_t access = 0;
    };
    enum class WalkMode { Open, Create };

    long Find(KeyHandle key, Handle& handle) const;
    long Walk(const Handle& from, std::wstring_view subKey, std::uint32_t access, WalkMode mode,
              std::shared_ptr<Node>& found);
    KeyHandle Issue(std::shared_ptr<Node> node, std::uint32_t access);

    std::shared_ptr<Node> roots_[4];
    std::unordered_map<std::uintptr_t, Handle> open_;
    std::uintptr_t nextHandle_ = 0x1000;
};

}  // namespace quarn
