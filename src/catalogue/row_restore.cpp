#include "catalogue/row_restore.h"

#include <string>
#include <variant>

#include "catalogue/policy_record.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

// The row's key as a path from the registry root it lives below.
std::wstring KeyFromRoot(RowHive hive, std::wstring_view keyPath, std::wstring_view sid) {
    std::wstring path = hive == RowHive::PerUser ? std::wstring(sid) : std::wstring();
    path += keyPath;
    return path;
}

RegistryRoot RootOf(RowHive hive) {
    return hive == RowHive::PerUser ? RegistryRoot::Users : RegistryRoot::LocalMachine;
}

}  // namespace

void RecordRowChange(RestorePoint& point, RegistryBackend& registry, const RowFields& row,
                     std::wstring_view lockedAccountSid) {
    const ParsedSubtree subtree = ParseSubtree(row.subtree);
    if (subtree.hive == RowHive::PerUser && lockedAccountSid.empty()) {
        return;
    }
    const auto resolved = ResolveRowTarget(row);
    if (const auto* fault = std::get_if<RowFault>(&resolved)) {
        if (*fault == RowFault::UnknownKind || *fault == RowFault::UnconvertibleValue) {
            point.RecordKeyCreation(
                registry, RootOf(subtree.hive),
                KeyFromRoot(subtree.hive, Cp1252ToUtf16(subtree.keyPath), lockedAccountSid));
        }
        return;
    }
    const RowTarget& target = std::get<RowTarget>(resolved);
    const RegistryRoot root = RootOf(target.hive);
    const std::wstring key = KeyFromRoot(target.hive, target.keyPath, lockedAccountSid);
    switch (target.operation) {
        case RowOperation::WriteValue:
        case RowOperation::DeleteValue:
            point.RecordValue(registry, root, key, target.valueName);
            break;
        case RowOperation::CreateKey:
            point.RecordKeyCreation(registry, root, key);
            break;
        case RowOperation::DeleteKey:
            // The applier opens (creating) the key before it deletes it.
            point.RecordKeyCreation(registry, root, key);
            point.RecordKeyDeletion(registry, root, key);
            break;
    }
}

void RecordCatalogueChanges(RestorePoint& point, RegistryBackend& registry, PolicyTable& table,
                            std::wstring_view lockedAccountSid) {
    table.First();
    for (int i = 0; i < table.RecordCount(); ++i) {
        if (table.GetFieldText(kColumnStatus) == kStatusOn) {
            const std::string subtree = table.GetFieldText(kColumnSubtree);
            const std::string subkey = table.GetFieldText(kColumnSubkey);
            const std::string keyValue = table.GetFieldText(kColumnKeyValue);
            const std::string dataType = table.GetFieldText(kColumnDataType);
            RecordRowChange(point, registry, {subtree, subkey, keyValue, dataType},
                            lockedAccountSid);
        }
        table.Next();
    }
    table.First();
}

}  // namespace quarn
