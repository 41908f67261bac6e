#pragma once

// The keys the rows of catalogue tables name, per-user ones below the given
// SID: what a pass over them, and a restore after it, can change.

#include <string>
#include <utility>
#include <vector>

#include "catalogue/policy_table.h"
#include "system/registry_backend.h"
#include "system/text_encoding.h"

namespace quarn::test {

inline std::vector<std::pair<RegistryRoot, std::wstring>> CatalogueKeys(
    const std::wstring& sid, std::vector<PolicyTable> tables) {
    std::vector<std::pair<RegistryRoot, std::wstring>> keys;
    for (PolicyTable& table : tables) {
        table.First();
        for (int i = 0; i < table.RecordCount(); ++i, table.Next()) {
            const std::string subtree = table.GetFieldText(kColumnSubtree);
            const bool perUser = subtree.starts_with("HKCU");
            std::wstring path = Cp1252ToUtf16(subtree.substr(subtree.find('\\') + 1));
            keys.emplace_back(perUser ? RegistryRoot::Users : RegistryRoot::LocalMachine,
                              perUser ? sid + L"\\" + path : path);
        }
    }
    return keys;
}

}  // namespace quarn::test
