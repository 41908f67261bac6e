#pragma once

// A registry that refuses writes from a given one on, around any other:
// the failures a station meets when access is refused.

#include "system/registry_backend.h"

namespace quarn::test {

class RefusingWrites final : public RegistryBackend {
  public:
    // Writes number allowed and later ones (counted from 0) answer access denied.
    RefusingWrites(RegistryBackend& inner, int allowed) : inner_(inner), allowed_(allowed) {}

    int Writes() const { return writes_; }

    KeyHandle Root(RegistryRoot root) override { return inner_.Root(root); }
    long CreateKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t access,
                   KeyHandle& key) override {
        return inner_.CreateKey(parent, subKey, access, key);
    }
    long OpenKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t access,
                 KeyHandle& key) override {
        return inner_.OpenKey(parent, subKey, access, key);
    }
    void CloseKey(KeyHandle key) override { inner_.CloseKey(key); }
    long QueryValue(KeyHandle key, std::wstring_view name, RegistryValue& value) override {
        return inner_.QueryValue(key, name, value);
    }
    long SetValue(KeyHandle key, std::wstring_view name, std::uint32_t type,
                  std::span<const std::uint8_t> data) override {
        return writes_++ < allowed_ ? inner_.SetValue(key, name, type, data) : kErrorAccessDenied;
    }
    long DeleteValue(KeyHandle key, std::wstring_view name) override {
        return inner_.DeleteValue(key, name);
    }
    long EnumSubKeys(KeyHandle key, std::vector<std::wstring>& names) override {
        return inner_.EnumSubKeys(key, names);
    }
    long EnumValueNames(KeyHandle key, std::vector<std::wstring>& names) override {
        return inner_.EnumValueNames(key, names);
    }
    long DeleteKey(KeyHandle parent, std::wstring_view subKey, std::uint32_t view) override {
        return inner_.DeleteKey(parent, subKey, view);
    }

  private:
    RegistryBackend& inner_;
    int allowed_;
    int writes_ = 0;
};

}  // namespace quarn::test
