#include "catalogue/escape_audit.h"

#include <algorithm>
#include <optional>
#include <variant>

#include "catalogue/policy_record.h"
#include "catalogue/row_kinds.h"
#include "system/text_case.h"
#include "system/value_data.h"
#include "system/value_text.h"

namespace quarn {
namespace {

// A value as the registry names it: hive, key path (no leading or trailing
// backslashes) and value name.
struct ValuePlace {
    RowHive hive = RowHive::Unknown;
    std::wstring keyPath;
    std::wstring valueName;

    bool Same(const ValuePlace& other) const {
        return hive == other.hive && SameRegistryName(keyPath, other.keyPath) &&
               SameRegistryName(valueName, other.valueName);
    }
};

std::wstring TrimmedPath(std::wstring_view path) {
    std::wstring joined;
    for (const std::wstring_view name : KeyPathNames(path)) {
        joined += (joined.empty() ? L"" : L"\\") + std::wstring(name);
    }
    return joined;
}

ValuePlace PlaceOf(const RowTarget& target) {
    return {target.hive, TrimmedPath(target.keyPath), target.valueName};
}

// A condition worked out: where its value is, and the type and data of each
// closing value.
struct Resolved {
    ValuePlace place;
    std::vector<RegistryValue> closing;
};

Resolved Resolve(const RouteCondition& condition) {
    Resolved resolved;
    for (const char* value : condition.closingData) {
        const auto target =
            ResolveRowTarget({condition.subtree, condition.valueName, value, condition.dataType});
        if (const RowTarget* found = std::get_if<RowTarget>(&target)) {
            resolved.place = PlaceOf(*found);
            resolved.closing.push_back({static_cast<std::uint32_t>(found->valueType), found->data});
        }
    }
    return resolved;
}

bool Closes(const Resolved& condition, const RegistryValue& value) {
    return std::find(condition.closing.begin(), condition.closing.end(), value) !=
           condition.closing.end();
}

RouteState StateOf(std::size_t conditions, std::size_t closed, std::size_t present) {
    if (conditions == 0) {
        return RouteState::NoPolicy;
    }
    if (closed == conditions) {
        return RouteState::Closed;
    }
    return present == 0 ? RouteState::Open : RouteState::PartlyClosed;
}

// What one condition came to.
struct ConditionResult {
    bool closed = false;
    bool present = false;  // a row names the value, or the registry holds it
    std::string found;
    std::vector<std::string> indexes;
};

// Every route judged condition by condition; judge(Resolved) gives a
// ConditionResult.
template <typename Judge>
std::vector<RouteFinding> AuditRoutes(std::span<const EscapeRoute> routes, Judge judge) {
    std::vector<RouteFinding> findings;
    for (const EscapeRoute& route : routes) {
        RouteFinding finding{&route, RouteState::Open, {}, {}};
        std::size_t closed = 0;
        std::size_t present = 0;
        for (const RouteCondition& condition : route.closedBy) {
            ConditionResult result = judge(Resolve(condition));
            closed += result.closed;
            present += result.present;
            finding.indexes.insert(finding.indexes.end(), result.indexes.begin(),
                                   result.indexes.end());
            finding.found.push_back(std::move(result.found));
        }
        finding.state = StateOf(route.closedBy.size(), closed, present);
        findings.push_back(std::move(finding));
    }
    return findings;
}

// The value at place, per-user ones below HKEY_USERS\<hive> (nothing while
// hive is empty); nothing when it or its key is missing or cannot be read.
std::optional<RegistryValue> ReadValue(RegistryBackend& registry, std::wstring_view hive,
                                       const ValuePlace& place) {
    const bool perUser = place.hive == RowHive::PerUser;
    if (place.hive == RowHive::Unknown || (perUser && hive.empty())) {
        return std::nullopt;
    }
    const std::wstring path = perUser ? std::wstring(hive) + L"\\" + place.keyPath : place.keyPath;
    KeyHandle key{};
    if (registry.OpenKey(registry.Root(perUser ? RegistryRoot::Users : RegistryRoot::LocalMachine),
                         path, kKeyQueryValue, key) != kErrorSuccess) {
        return std::nullopt;
    }
    const OwnedKey owner(registry, key);
    RegistryValue value;
    if (registry.QueryValue(key, place.valueName, value) != kErrorSuccess) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string_view RouteStateName(RouteState state) {
    switch (state) {
        case RouteState::Closed:
            return "closed";
        case RouteState::PartlyClosed:
            return "partly closed";
        case RouteState::Open:
            return "open";
        case RouteState::NoPolicy:
            return "no policy";
    }
    return {};
}

std::vector<RouteFinding> AuditCatalogue(PolicyTable& table, std::span<const EscapeRoute> routes) {
    // The table's rows once, in walk order: those that write or delete a value.
    struct Row {
        std::string index;
        bool on = false;
        RowTarget target;
    };
    std::vector<Row> rows;
    table.First();
    for (int i = 0; i < table.RecordCount(); ++i, table.Next()) {
        const std::string subtree = table.GetFieldText(kColumnSubtree);
        const std::string subkey = table.GetFieldText(kColumnSubkey);
        const std::string keyValue = table.GetFieldText(kColumnKeyValue);
        const std::string dataType = table.GetFieldText(kColumnDataType);
        const auto resolved = ResolveRowTarget({subtree, subkey, keyValue, dataType});
        const RowTarget* target = std::get_if<RowTarget>(&resolved);
        if (target != nullptr && (target->operation == RowOperation::WriteValue ||
                                  target->operation == RowOperation::DeleteValue)) {
            rows.push_back({table.GetFieldText(kColumnIndex),
                            table.GetFieldText(kColumnStatus) == kStatusOn, *target});
        }
    }
    table.First();

    return AuditRoutes(routes, [&](const Resolved& condition) {
        ConditionResult result;
        const Row* applied = nullptr;
        const Row* switchedOff = nullptr;
        for (const Row& row : rows) {
            if (PlaceOf(row.target).Same(condition.place)) {
                result.indexes.push_back(row.index);
                (row.on ? applied : switchedOff) = &row;
            }
        }
        result.present = !result.indexes.empty();
        if (applied == nullptr) {
            result.found =
                switchedOff != nullptr ? switchedOff->index + " is switched off" : "missing";
            return result;
        }
        const RowTarget& target = applied->target;
        if (target.operation == RowOperation::DeleteValue) {
            result.found = applied->index + " deletes it";
            return result;
        }
        const RegistryValue written{static_cast<std::uint32_t>(target.valueType), target.data};
        result.closed = Closes(condition, written);
        result.found = result.closed ? "closed by " + applied->index
                                     : applied->index + " writes " + DescribeValue(written);
        return result;
    });
}

std::vector<RouteFinding> AuditRegistry(RegistryBackend& registry, std::wstring_view hive,
                                        std::span<const EscapeRoute> routes) {
    return AuditRoutes(routes, [&](const Resolved& condition) {
        ConditionResult result;
        const std::optional<RegistryValue> value = ReadValue(registry, hive, condition.place);
        result.present = value.has_value();
        result.closed = value && Closes(condition, *value);
        result.found = !value          ? "missing"
                       : result.closed ? "closed: " + DescribeValue(*value)
                                       : DescribeValue(*value) + " in the registry";
        return result;
    });
}

AuditCounts CountFindings(const std::vector<RouteFinding>& findings) {
    AuditCounts counts;
    for (const RouteFinding& finding : findings) {
        switch (finding.state) {
            case RouteState::Closed:
                ++counts.closed;
                break;
            case RouteState::PartlyClosed:
                ++counts.partlyClosed;
                break;
            case RouteState::Open:
                ++counts.open;
                break;
            case RouteState::NoPolicy:
                ++counts.noPolicy;
                break;
        }
    }
    return counts;
}

}  // namespace quarn
