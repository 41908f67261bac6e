#pragma once

// Whether what a catalogue's rows say is what the registry holds now: for
// each row a pass applies, the value it writes with its type and data, the
// value or key it deletes, the key it creates. What an administrator asks of
// a station after a Group Policy, another tool or a hand changed it.

#include <string>
#include <string_view>
#include <vector>

#include "catalogue/policy_table.h"
#include "system/registry_backend.h"

namespace quarn {

struct RowInForce {
    std::string index;    // the row's INDEX as the table has it
    std::string subtree;  // SUBTREE and SUBKEY, code page 1252
    std::string subkey;
    bool inForce = false;
    std::string wanted;  // what the row makes of it ("REG_DWORD 1", "absent", "key present")
    std::string now;     // what the registry holds
};

// Every row with STATUS "aktiviert" that the applier can apply, in walk
// order; per-user rows below HKEY_USERS\<hive>, left out when hive is empty.
// Rows the applier refuses are left out. A value or key that cannot be read
// counts as not in force, with the registry's error code in `now`. The
// table's cursor ends on the first row.
std::vector<RowInForce> CompareWithRegistry(PolicyTable& table, RegistryBackend& registry,
                                            std::wstring_view hive);

}  // namespace quarn
