#pragma once

// What a catalogue row is about to change, recorded in a restore point before
// the row is applied, so that a restore can give the registry back.

#include <string_view>

#include "catalogue/policy_table.h"
#include "catalogue/row_kinds.h"
#include "system/registry_backend.h"
#include "system/restore_point.h"

namespace quarn {

// Records the targets the applier would touch for this row: the value a
// value kind writes or deletes, the key a whole-key kind creates or deletes,
// and, for a row whose kind is unknown or whose KEYVALUE does not convert,
// the key the applier still creates. A per-user row while no account has been
// found (empty SID), a row of an unknown hive and a deletion too broad to be
// applied touch nothing and record nothing.
void RecordRowChange(RestorePoint& point, RegistryBackend& registry, const RowFields& row,
                     std::wstring_view lockedAccountSid);

// The same for every row of the table that a pass applies (STATUS
// "aktiviert"), in walk order. The table's cursor ends on the first row.
void RecordCatalogueChanges(RestorePoint& point, RegistryBackend& registry, PolicyTable& table,
                            std::wstring_view lockedAccountSid);

}  // namespace quarn
