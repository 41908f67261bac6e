#pragma once

// The real registry, over the Win32 registry functions.

#include "system/registry_backend.h"

namespace quarn {

class Win32Registry final : public RegistryBackend {
  public:
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
};

}  // namespace quarn
