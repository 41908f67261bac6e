#include "catalogue/policy_row_applier.h"

#include <thread>

#include "system/registry_access.h"
#include "system/text_encoding.h"

namespace quarn {

void ApplyPolicyRow(PolicyTable& table, const RowApplyContext& context) {
    if (context.pause.count() > 0) {
        std::this_thread::sleep_for(context.pause);
    }
    const std::string subtree = table.GetFieldText(kColumnSubtree);
    const std::string subkey = table.GetFieldText(kColumnSubkey);
    const std::string keyValue = table.GetFieldText(kColumnKeyValue);
    const std::string dataType = table.GetFieldText(kColumnDataType);
    if (table.GetFieldText(kColumnStatus) != kStatusOn) {
        return;
    }

    const ParsedSubtree parsed = ParseSubtree(subtree);
    const std::wstring keyPath = Cp1252ToUtf16(parsed.keyPath);

    bool written = false;
    const bool perUser = parsed.hive == RowHive::PerUser;
    // An account that was never found has no hive: a per-user row then fails
    // without touching HKEY_USERS itself. A deletion of a whole branch of a
    // hive is refused before its key is even opened.
    if (((perUser && !context.lockedAccountSid.empty()) || parsed.hive == RowHive::Machine) &&
        !IsTooBroadDeletion(dataType, subtree)) {
        RegistryAccess registry(kKeyAllAccess, context.registry);
        registry.SetRootKey(perUser ? RegistryRoot::Users : RegistryRoot::LocalMachine);
        const std::wstring fullPath =
            perUser ? L"\\" + std::wstring(context.lockedAccountSid) + keyPath : keyPath;
        registry.OpenKey(fullPath, true);
        // A kind the catalogue does not know still had its key created.
        if (const RowKind* kind = FindRowKind(dataType)) {
            try {
                kind->apply(registry, fullPath, Cp1252ToUtf16(subkey), keyValue);
                written = kind->countsAsWritten;
            } catch (const Error&) {
                written = false;
            }
        }
        registry.CloseKey();
    }
    table.SetFieldText(kColumnStatus, written ? kStatusOn : kStatusOff);
}

}  // namespace quarn
