#pragma once

// Catalogue rows applied as a pass applies them, for the tests of the
// applier, the row kinds and what reads the registry after a pass.

#include <chrono>
#include <string>
#include <string_view>

#include "catalogue/policy_record.h"
#include "catalogue/policy_row_applier.h"
#include "catalogue/policy_table.h"
#include "system/registry_backend.h"

namespace quarn::test {

// Edits the row, applies it and moves on (which posts, as a pass does);
// returns the row's STATUS afterwards.
inline std::string ApplyOneRow(const PolicyRecord& record, RegistryBackend& registry,
                               std::wstring_view sid) {
    PolicyTable table;
    table.CreateDataSet();
    table.AppendRow(record);
    table.First();
    table.Edit();
    ApplyPolicyRow(table, {registry, sid, std::chrono::milliseconds(0)});
    table.Next();
    return table.GetFieldText(kColumnStatus);
}

// Every row of the table applied in turn, as a pass applies them.
inline void ApplyAll(PolicyTable& table, RegistryBackend& registry, std::wstring_view sid) {
    table.First();
    for (int i = 0; i < table.RecordCount(); ++i) {
        table.Edit();
        ApplyPolicyRow(table, {registry, sid, std::chrono::milliseconds(0)});
        table.Next();
    }
}

}  // namespace quarn::test
