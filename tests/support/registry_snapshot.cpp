#include "support/registry_snapshot.h"

#include <gtest/gtest.h>

#include "system/reg_file.h"
#include "system/registry_access.h"
#include "system/text_case.h"
#include "system/text_encoding.h"
#include "system/value_data.h"

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

void WriteRaw(RegistryBackend& registry, RegistryRoot root, const std::wstring& key,
              const std::wstring& name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
    KeyHandle handle{};
    ASSERT_EQ(registry.CreateKey(registry.Root(root), key, kKeyAllAccess, handle), kErrorSuccess)
        << Utf16ToUtf8(key);
    const OwnedKey owner(registry, handle);
    ASSERT_EQ(registry.SetValue(handle, name, type, data), kErrorSuccess) << Utf16ToUtf8(name);
}

KeysSnapshot TakeKeys(RegistryBackend& registry,
                      const std::vector<std::pair<RegistryRoot, std::wstring>>& keys) {
    KeysSnapshot taken;
    for (const auto& [root, path] : keys) {
        const std::wstring rootName = root == RegistryRoot::Users ? L"U:" : L"M:";
        if (taken.keys.count(rootName + FoldRegistryName(path))) {
            continue;
        }
        taken.keys[rootName + FoldRegistryName(path)] = Take(registry, root, path);
        std::wstring ancestor;
        for (const std::wstring_view name : KeyPathNames(path)) {
            ancestor += (ancestor.empty() ? L"" : L"\\") + std::wstring(name);
            KeyHandle key{};
            if (registry.OpenKey(registry.Root(root), ancestor, kKeyRead, key) == kErrorSuccess) {
                registry.CloseKey(key);
                taken.existing.insert(rootName + FoldRegistryName(ancestor));
            }
        }
    }
    return taken;
}

RestorePoint ThroughItsFile(const RestorePoint& point) {
    RestorePoint headed = point;
    headed.SetHeader({L"a station"});
    const RegFileReadResult read = ReadRegFile(WriteRegFile(ToRegFile(headed)));
    EXPECT_TRUE(read) << read.message;
    return FromRegFile(read.file);
}

}  // namespace quarn::test
