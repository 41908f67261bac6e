#pragma once

// ApplyPolicyRow carries the current row of a policy table into the registry
// and records the outcome in the row's STATUS: "aktiviert" when the row wrote
// or created something, "deaktiviert" when it failed, was a deletion, or names
// an unknown hive or kind. Rows whose STATUS is not exactly "aktiviert" are
// skipped and left as they are. Nothing is raised: failures become STATUS.

#include <chrono>
#include <string>
#include <string_view>

#include "policy_table.h"
#include "registry_backend.h"

namespace quarn {

// Every row waits this long before anything else, skipped rows included.
inline constexpr std::chrono::milliseconds kRowPause{5};

// The locked-down account's SID in its string form (S-1-5-21-...); empty
// until the lock workflow finds the account. Per-user rows are written below
// HKEY_USERS\<this SID>.
extern std::wstring LockedAccountSid;

struct RowApplyContext {
    RegistryBackend& registry;
    std::wstring_view lockedAccountSid;
    std::chrono::milliseconds pause = kRowPause;
};

// The table's cursor stands on the row and the table is in edit state; the
// new STATUS goes to the edit buffer and is posted when the pass moves on.
void ApplyPolicyRow(PolicyTable& table);
void ApplyPolicyRow(PolicyTable& table, const RowApplyContext& context);

}  // namespace quarn
