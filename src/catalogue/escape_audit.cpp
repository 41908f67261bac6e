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

// What the table's rows do to one value: each row that names it, and the
// last one the pass applies.
struct RowsOfValue {
    std::vector<std::string> indexes;
    std::vector<std::string> switchedOff;
    std::optional<std::pair<std::string, RowTarget>> applied;
};

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
    // The table's rows once, in walk order.
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
        if (const RowTarget* target = std::get_if<RowTarget>(&resolved)) {
            rows.push_back({table.GetFieldText(kColumnIndex),
                            table.GetFieldText(kColumnStatus) == kStatusOn, *target});
        }
    }
    table.First();

    std::vector<RouteFinding> findings;
    for (const EscapeRoute& route : routes) {
        RouteFinding finding{&route, RouteState::Open, {}, {}};
        std::size_t closed = 0;
        std::size_t present = 0;
        for (const RouteCondition& condition : route.closedBy) {
            const Resolved resolved = Resolve(condition);
            RowsOfValue of;
            for (const Row& row : rows) {
                if (row.target.operation != RowOperation::WriteValue &&
                    row.target.operation != RowOperation::DeleteValue) {
                    continue;
                }
                if (!PlaceOf(row.target).Same(resolved.place)) {
                    continue;
                }
                of.indexes.push_back(row.index);
                if (row.on) {
                    of.applied.emplace(row.index, row.target);
                } else {
                    of.switchedOff.push_back(row.index);
                }
            }
            finding.indexes.insert(finding.indexes.end(), of.indexes.begin(), of.indexes.end());
            present += !of.indexes.empty();
            if (of.applied && of.applied->second.operation == RowOperation::WriteValue &&
                Closes(resolved, {static_cast<std::uint32_t>(of.applied->second.valueType),
                                  of.applied->second.data})) {
                ++closed;
                finding.found.push_back("closed by " + of.applied->first);
            } else if (of.applied) {
                const RowTarget& target = of.applied->second;
                finding.found.push_back(
                    of.applied->first +
                    (target.operation == RowOperation::DeleteValue
                         ? std::string(" deletes it")
                         : " writes " +
                               DescribeValue(RegistryValue{
                                   static_cast<std::uint32_t>(target.valueType), target.data})));
            } else if (!of.switchedOff.empty()) {
                finding.found.push_back(of.switchedOff.back() + " is switched off");
            } else {
                finding.found.push_back("missing");
            }
        }
        finding.state = StateOf(route.closedBy.size(), closed, present);
        findings.push_back(std::move(finding));
    }
    return findings;
}

std::vector<RouteFinding> AuditRegistry(RegistryBackend& registry, std::wstring_view hive,
                                        std::span<const EscapeRoute> routes) {
    std::vector<RouteFinding> findings;
    for (const EscapeRoute& route : routes) {
        RouteFinding finding{&route, RouteState::Open, {}, {}};
        std::size_t closed = 0;
        std::size_t present = 0;
        for (const RouteCondition& condition : route.closedBy) {
            const Resolved resolved = Resolve(condition);
            std::optional<RegistryValue> value;
            if (resolved.place.hive == RowHive::Machine ||
                (resolved.place.hive == RowHive::PerUser && !hive.empty())) {
                const bool perUser = resolved.place.hive == RowHive::PerUser;
                const std::wstring path = perUser
                                              ? std::wstring(hive) + L"\\" + resolved.place.keyPath
                                              : resolved.place.keyPath;
                KeyHandle key{};
                if (registry.OpenKey(
                        registry.Root(perUser ? RegistryRoot::Users : RegistryRoot::LocalMachine),
                        path, kKeyQueryValue, key) == kErrorSuccess) {
                    const OwnedKey owner(registry, key);
                    RegistryValue read;
                    if (registry.QueryValue(key, resolved.place.valueName, read) == kErrorSuccess) {
                        value = std::move(read);
                    }
                }
            }
            present += value.has_value();
            if (value && Closes(resolved, *value)) {
                ++closed;
                finding.found.push_back("closed: " + DescribeValue(*value));
            } else if (value) {
                finding.found.push_back(DescribeValue(*value) + " in the registry");
            } else {
                finding.found.push_back("missing");
            }
        }
        finding.state = StateOf(route.closedBy.size(), closed, present);
        findings.push_back(std::move(finding));
    }
    return findings;
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
