#pragma once

// The catalogue data for Windows 10 and 11: the rows that close the escape
// routes which the built-in catalogues leave open, the values the recommended
// lock catalogue gives built-in rows that lock nothing, and the escape routes
// with the registry values that close them. The rows come from
// data/windows10-11.tsv, data/recommended-overrides.tsv and
// data/escape_routes.tsv, turned into code at build time.

#include <cstdint>
#include <span>

#include "catalogue/builtin_catalogues.h"

namespace quarn {

// The rows for Windows 10 and 11, in the built-in rows' columns, ascending by
// INDEX (9000 and up); text in code page 1252.
std::span<const BuiltInRow> Windows1011Rows();

// A built-in row as the recommended lock catalogue has it; text in code page
// 1252.
struct RecommendedOverride {
    std::int32_t index;  // the built-in row's
    // The built-in row's SUBTREE, SUBKEY and DATATYPE, repeated.
    const char* subtree;
    const char* subkey;
    const char* lockValue;  // the recommended lock catalogue's KEYVALUE
    const char* dataType;
    const char* status;  // the recommended lock catalogue's STATUS
    const char* note;    // added below the built-in row's TEXT
};

// Ascending by INDEX.
std::span<const RecommendedOverride> RecommendedOverrides();

// One registry value a route needs. It is closed when the value holds one of
// closingData, each a KEYVALUE text that dataType's row kind converts; names
// compare as the registry compares them. Text in code page 1252.
struct RouteCondition {
    const char* subtree;  // hive tag and key, as a row's SUBTREE
    const char* valueName;
    const char* dataType;
    std::span<const char* const> closingData;
};

// A way out of the locked-down account; text in UTF-8.
struct EscapeRoute {
    std::int32_t number;
    const char* group;  // where the help shows it
    const char* route;
    // All of them needed; none where no registry value closes the route.
    std::span<const RouteCondition> closedBy;
    const char* noPolicy;  // what closes it instead; empty where closedBy is not
    const char* source;
};

// Ascending by number, 1 to 85.
std::span<const EscapeRoute> EscapeRoutes();

}  // namespace quarn
