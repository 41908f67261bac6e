#pragma once

// The two catalogues the configurator carries: CDSLOCK with the restrictive
// values and CDSUNLOCK with the permissive ones. Their rows come from
// data/catalogues.tsv, turned into code at build time.

#include <cstdint>
#include <span>
#include <vector>

#include "catalogue/policy_table.h"

namespace quarn {

// One row of the source table; text in code page 1252.
struct BuiltInRow {
    std::int32_t index;
    const char* subtree;
    const char* subkey;
    const char* lockValue;
    const char* unlockValue;
    const char* dataType;
    const char* winVer;
    const char* status;
    const char* text;
};

// All rows, ascending by INDEX (generated).
std::span<const BuiltInRow> BuiltInRows();

// The lock catalogue's rows in its own order.
std::vector<PolicyRecord> BuiltInLockRecords();

// An open table of these rows (row state 0, no change list), in their order.
PolicyTable TableOf(const std::vector<PolicyRecord>& records);

// Open tables of the current rows (row state 0, no change list), in the
// catalogues' own order.
PolicyTable BuiltInLockCatalogue();
PolicyTable BuiltInUnlockCatalogue();

}  // namespace quarn
