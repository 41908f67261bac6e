#pragma once

// The rows a pass applies, as changes worked out without a registry: every
// row with STATUS "aktiviert" that the applier does not refuse, in walk
// order, and the others with the reason they are left out. What the
// comparison with the registry and the exports to Group Policy and to a
// registry file all start from.

#include <string>
#include <vector>

#include "catalogue/policy_table.h"
#include "catalogue/row_kinds.h"

namespace quarn {

struct ApplicableRow {
    std::string index;    // the row's INDEX as the table has it
    std::string subtree;  // SUBTREE and SUBKEY, code page 1252
    std::string subkey;
    RowTarget target;
};

struct LeftOutRow {
    std::string index;
    std::string reason;  // UTF-8
};

struct ApplicableRows {
    std::vector<ApplicableRow> rows;
    std::vector<LeftOutRow> leftOut;
};

// The table's cursor ends on the first row.
ApplicableRows FindApplicableRows(PolicyTable& table);

}  // namespace quarn
