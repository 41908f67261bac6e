#include "catalogue/policy_row_applier.h"

#include <thread>

#include "catalogue/value_conversion.h"
#include "system/registry_access.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

class ConversionError : public Error {
  public:
    explicit ConversionError(std::string_view text)
        : Error("'" + Cp1252ToUtf8(text) + "' ist kein gültiger Integerwert") {}
};

std::int32_t ToInteger(std::string_view text) {
    const auto value = TextToInteger(text);
    if (!value) {
        throw ConversionError(text);
    }
    return *value;
}

// Performs the row's kind of change on the open key (or, for whole keys, at
// keyPath from the root). Returns whether the kind counts as written; a
// failure raises.
bool PerformChange(RegistryAccess& registry, std::wstring_view keyPath, std::string_view dataType,
                   std::string_view subkey, std::string_view keyValue) {
    const std::wstring name = Cp1252ToUtf16(subkey);
    if (dataType == "REG_DWHEX") {
        const auto decimal = HexToDecimalText(keyValue);
        if (!decimal) {
            throw ConversionError(keyValue);
        }
        registry.WriteInteger(name, ToInteger(*decimal));
        return true;
    }
    if (dataType == "REG_DWORD") {
        registry.WriteInteger(name, ToInteger(keyValue));
        return true;
    }
    if (dataType == "REG_SZ") {
        registry.WriteString(name, Cp1252ToUtf16(keyValue));
        return true;
    }
    if (dataType == "REG_BINARY") {
        registry.WriteBinaryData(name, HexTextToBytes(keyValue));
        return true;
    }
    if (dataType == "DEL_SUBTREE") {
        registry.DeleteKey(keyPath);
        return false;
    }
    if (dataType == "DEL_SUBKEY") {
        registry.DeleteValue(name);
        return false;
    }
    if (dataType == "ADD_SUBTREE") {
        registry.CreateKey(keyPath);
        return true;
    }
    return false;  // not a kind the catalogue knows: its key was still created
}

}  // namespace

bool IsTooBroadDeletion(std::string_view dataType, std::string_view subtree) {
    if (dataType != "DEL_SUBTREE") {
        return false;
    }
    const std::size_t slash = subtree.find('\\');
    std::size_t depth = 0;
    if (slash != std::string_view::npos) {
        bool inName = false;
        for (const char c : subtree.substr(slash + 1)) {
            if (c != '\\' && !inName) {
                ++depth;  // a key name begins
            }
            inName = c != '\\';
        }
    }
    return depth < kMinDeletedKeyDepth;
}

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

    const std::size_t slash = subtree.find('\\');
    const std::string_view tag = slash == std::string::npos
                                     ? std::string_view()
                                     : std::string_view(subtree).substr(0, slash);
    const std::wstring keyPath =
        slash == std::string::npos ? std::wstring() : Cp1252ToUtf16(subtree.substr(slash));

    bool written = false;
    const bool perUser = tag == "HKCU";
    // An account that was never found has no hive: a per-user row then fails
    // without touching HKEY_USERS itself. A deletion of a whole branch of a
    // hive is refused before its key is even opened.
    if (((perUser && !context.lockedAccountSid.empty()) || tag == "HKLM") &&
        !IsTooBroadDeletion(dataType, subtree)) {
        RegistryAccess registry(kKeyAllAccess, context.registry);
        registry.SetRootKey(perUser ? RegistryRoot::Users : RegistryRoot::LocalMachine);
        const std::wstring fullPath =
            perUser ? L"\\" + std::wstring(context.lockedAccountSid) + keyPath : keyPath;
        registry.OpenKey(fullPath, true);
        try {
            written = PerformChange(registry, fullPath, dataType, subkey, keyValue);
        } catch (const Error&) {
            written = false;
        }
        registry.CloseKey();
    }
    table.SetFieldText(kColumnStatus, written ? kStatusOn : kStatusOff);
}

}  // namespace quarn
