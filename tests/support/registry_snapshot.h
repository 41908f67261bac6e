#pragma once

// Everything below a key, to compare a registry before and after: its keys
// and its values with their types and data; and the raw writes and the
// restore point's file round trip that the restore tests set up with.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "system/registry_backend.h"
#include "system/restore_point.h"

namespace quarn::test {

struct Snapshot {
    std::set<std::wstring> keys;  // paths from the root, folded as the registry compares them
    // By (folded key path, value name): type and data.
    std::map<std::pair<std::wstring, std::wstring>,
             std::pair<std::uint32_t, std::vector<std::uint8_t>>>
        values;
    bool operator==(const Snapshot&) const = default;
};

// The key at path (from the root, no leading backslash) and all below it;
// empty when the key does not exist. A key or value that cannot be read fails
// the test.
Snapshot Take(RegistryBackend& registry, RegistryRoot root, const std::wstring& path);

// Keys, each with all below it, and which keys on their paths exist: what
// changes to those keys can touch, without reading the whole registry.
struct KeysSnapshot {
    std::map<std::wstring, Snapshot> keys;  // by root and path
    std::set<std::wstring> existing;        // root and path of each key on the paths
    bool operator==(const KeysSnapshot&) const = default;
};

KeysSnapshot TakeKeys(RegistryBackend& registry,
                      const std::vector<std::pair<RegistryRoot, std::wstring>>& keys);

// A value of any type written past RegistryAccess, its key created; a
// registry that refuses fails the test.
void WriteRaw(RegistryBackend& registry, RegistryRoot root, const std::wstring& key,
              const std::wstring& name, std::uint32_t type, const std::vector<std::uint8_t>& data);

// The restore point as its file keeps it: written and read back.
RestorePoint ThroughItsFile(const RestorePoint& point);

}  // namespace quarn::test
