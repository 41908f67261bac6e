#include "support/station_queries.h"

#include "system/settings.h"

namespace quarn::test {

void RemoveSettingsKey(RegistryBackend& registry) {
    RegistryAccess access(kKeyAllAccess | kSettingsView, registry);
    access.SetRootKey(RegistryRoot::LocalMachine);
    access.DeleteKey(kSettingsKey);
}

std::optional<std::uint32_t> ExplorerPolicy(const std::wstring& sid, const wchar_t* name,
                                            RegistryBackend& registry) {
    KeyHandle key{};
    if (registry.OpenKey(
            registry.Root(RegistryRoot::Users),
            sid + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", kKeyRead,
            key) != kErrorSuccess) {
        return std::nullopt;
    }
    const OwnedKey owner(registry, key);
    RegistryValue value;
    if (registry.QueryValue(key, name, value) != kErrorSuccess || value.data.size() != 4) {
        return std::nullopt;
    }
    return value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
           static_cast<std::uint32_t>(value.data[3]) << 24;
}

}  // namespace quarn::test
