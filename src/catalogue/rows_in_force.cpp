#include "catalogue/rows_in_force.h"

#include <optional>
#include <variant>

#include "catalogue/applicable_rows.h"
#include "catalogue/row_kinds.h"
#include "system/value_text.h"

namespace quarn {
namespace {

// An open key, or nothing when it does not exist; the error code otherwise.
struct Opened {
    OwnedKey key;
    long result = kErrorSuccess;
};

Opened Open(RegistryBackend& registry, RegistryRoot root, const std::wstring& path) {
    KeyHandle key{};
    const long result = registry.OpenKey(registry.Root(root), path, kKeyQueryValue, key);
    if (result != kErrorSuccess) {
        return {{}, result};
    }
    return {OwnedKey(registry, key), kErrorSuccess};
}

std::string ErrorText(long code) {
    return "unreadable (error " + std::to_string(code) + ")";
}

void Compare(RowInForce& row, const RowTarget& target, RegistryBackend& registry,
             std::wstring_view hive) {
    const RegistryRoot root =
        target.hive == RowHive::PerUser ? RegistryRoot::Users : RegistryRoot::LocalMachine;
    std::wstring path =
        target.hive == RowHive::PerUser ? std::wstring(hive) + target.keyPath : target.keyPath;
    path.erase(0, path.find_first_not_of(L'\\'));  // the registry takes paths without one
    const Opened opened = Open(registry, root, path);
    if (opened.result != kErrorSuccess && opened.result != kErrorFileNotFound) {
        row.now = ErrorText(opened.result);
        return;
    }
    const bool keyExists = opened.result == kErrorSuccess;
    switch (target.operation) {
        case RowOperation::CreateKey:
            row.wanted = "key present";
            row.now = keyExists ? "key present" : "key absent";
            row.inForce = keyExists;
            return;
        case RowOperation::DeleteKey:
            row.wanted = "key absent";
            row.now = keyExists ? "key present" : "key absent";
            row.inForce = !keyExists;
            return;
        case RowOperation::WriteValue:
        case RowOperation::DeleteValue:
            break;
    }
    std::optional<RegistryValue> value;
    if (keyExists) {
        RegistryValue read;
        const long result = registry.QueryValue(opened.key.Get(), target.valueName, read);
        if (result == kErrorSuccess) {
            value = std::move(read);
        } else if (result != kErrorFileNotFound) {
            row.now = ErrorText(result);
            return;
        }
    }
    row.now = DescribeValue(value);
    if (target.operation == RowOperation::DeleteValue) {
        row.wanted = "absent";
        row.inForce = !value;
        return;
    }
    const RegistryValue wanted{static_cast<std::uint32_t>(target.valueType), target.data};
    row.wanted = DescribeValue(wanted);
    row.inForce = value == wanted;
}

}  // namespace

std::vector<RowInForce> CompareWithRegistry(PolicyTable& table, RegistryBackend& registry,
                                            std::wstring_view hive) {
    std::vector<RowInForce> rows;
    for (ApplicableRow& applicable : FindApplicableRows(table).rows) {
        if (applicable.target.hive == RowHive::PerUser && hive.empty()) {
            continue;
        }
        RowInForce row;
        row.index = std::move(applicable.index);
        row.subtree = std::move(applicable.subtree);
        row.subkey = std::move(applicable.subkey);
        Compare(row, applicable.target, registry, hive);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace quarn
