#pragma once

// The recommended lock catalogue for Windows 10 and 11: the built-in lock
// rows, those that lock nothing given their locking values
// (data/recommended-overrides.tsv, a note added to their TEXT), followed by
// the rows for Windows 10 and 11 (data/windows10-11.tsv). The administrator
// imports it as quarn.xml; the build writes it as
// catalogues/lock-windows10-11.xml.

#include "catalogue/policy_table.h"

namespace quarn {

inline constexpr char kRecommendedCatalogueFileName[] = "lock-windows10-11.xml";

// An open table (row state 0, no change list), in walk order.
PolicyTable RecommendedLockCatalogue();

}  // namespace quarn
