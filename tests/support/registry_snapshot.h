#pragma once

// Everything below a key, to compare a registry before and after: its keys
// and its values with their types and data.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "system/registry_backend.h"

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

}  // namespace quarn::test
