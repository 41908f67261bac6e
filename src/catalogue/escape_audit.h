#pragma once

// The audit of the escape routes out of a locked-down Windows 10/11 account
// (EscapeRoutes, windows_tables.h): for a catalogue, or for a station's
// registry, which of them are closed. A route is closed when every value
// that closes it holds data that counts as closed.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/policy_table.h"
#include "catalogue/windows_tables.h"
#include "system/registry_backend.h"

namespace quarn {

enum class RouteState {
    Closed,        // every condition holds
    PartlyClosed,  // some hold, or a row is there but switched off or with data that does not close
    Open,          // nothing of it is there
    NoPolicy,      // no registry value closes it
};

std::string_view RouteStateName(
    RouteState state);  // "closed", "partly closed", "open", "no policy"

struct RouteFinding {
    const EscapeRoute* route = nullptr;
    RouteState state = RouteState::Open;
    // The INDEX of each row that names a condition's value, in the
    // conditions' order (a catalogue's audit); empty for a station's.
    std::vector<std::string> indexes;
    // Per condition, what was found: "closed by 6440", "6280 writes 0",
    // "6290 is switched off", "REG_DWORD 0 in the registry", "missing".
    std::vector<std::string> found;
};

// Each route against a catalogue: a condition holds when the last row the
// pass would apply to its value (STATUS "aktiviert") writes one of the
// closing values with the condition's type.
std::vector<RouteFinding> AuditCatalogue(PolicyTable& table, std::span<const EscapeRoute> routes);

// Each route against the registry as it is: per-user values below
// HKEY_USERS\<hive> (not looked at when hive is empty: they count as open).
std::vector<RouteFinding> AuditRegistry(RegistryBackend& registry, std::wstring_view hive,
                                        std::span<const EscapeRoute> routes);

struct AuditCounts {
    std::size_t closed = 0;
    std::size_t partlyClosed = 0;
    std::size_t open = 0;
    std::size_t noPolicy = 0;
};
AuditCounts CountFindings(const std::vector<RouteFinding>& findings);

}  // namespace quarn
