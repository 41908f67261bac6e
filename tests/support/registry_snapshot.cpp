#include "support/registry_snapshot.h"

#include <gtest/gtest.h>

#include "system/registry_access.h"
#include "system/text_case.h"

namespace quarn::test {

Snapshot Take(RegistryBackend& registry, RegistryRoot root, const std::wstring& path) {
    Snapshot snapshot;
    std::vector<std::wstring> pending{path};
    while (!pending.empty()) {
        const std::wstring at = pending.back();
        pending.pop_back();
        KeyHandle key{};
        if (registry.OpenKey(registry.Root(root), at, kKeyRead, key) != kErrorSuccess) {
            continue;
        }
        const OwnedKey owner(registry, key);
        snapshot.keys.insert(FoldRegistryName(at));
        std::vector<std::wstring> names;
        EXPECT_EQ(registry.EnumValueNames(key, names), kErrorSuccess);
        for (const std::wstring& name : names) {
            RegistryValue value;
            EXPECT_EQ(registry.QueryValue(key, name, value), kErrorSuccess);
            snapshot.values[{FoldRegistryName(at), name}] = {value.type, value.data};
        }
        EXPECT_EQ(registry.EnumSubKeys(key, names), kErrorSuccess);
        for (const std::wstring& name : names) {
            pending.push_back(at.empty() ? name : at + L"\\" + name);
        }
    }
    return snapshot;
}

}  // namespace quarn::test
