#pragma once

// ApplyPolicyRow carries the current row of a policy table into the registry
// and records the outcome in the row's STATUS: "aktiviert" when the row wrote
// or created something, "deaktiviert" when it failed, was a deletion, or names
// an unknown hive or kind. Rows whose STATUS is not exactly "aktiviert" are
// skipped and left as they are. Nothing is raised: failures become STATUS.
// The kinds of change and the hive tags are those of catalogue/row_kinds.h.

#include <chrono>
#include <string_view>

#include "catalogue/policy_table.h"
#include "catalogue/row_kinds.h"
#include "system/registry_backend.h"

namespace quarn {

// Every row waits this long before anything else, skipped rows included.
inline constexpr std::chrono::milliseconds kRowPause{5};

struct RowApplyContext {
    RegistryBackend& registry;
    // The locked-down account's SID in its string form (S-1-5-21-...):
    // per-user rows are written below HKEY_USERS\<this SID>. Empty while no
    // account has been found.
    std::wstring_view lockedAccountSid;
    std::chrono::milliseconds pause = kRowPause;
};

// The table's cursor stands on the row and the table is in edit state; the
// new STATUS goes to the edit buffer and is posted when the pass moves on.
// A deletion that IsTooBroadDeletion refuses touches nothing and ends
// "deaktiviert".
void ApplyPolicyRow(PolicyTable& table, const RowApplyContext& context);

}  // namespace quarn
