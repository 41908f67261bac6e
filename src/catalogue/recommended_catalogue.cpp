#include "catalogue/recommended_catalogue.h"

#include <algorithm>
#include <string>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/windows_tables.h"
#include "system/error.h"

namespace quarn {

PolicyTable RecommendedLockCatalogue() {
    std::vector<PolicyRecord> records = BuiltInLockRecords();
    for (const RecommendedOverride& override : RecommendedOverrides()) {
        const auto row = std::find_if(records.begin(), records.end(), [&](const PolicyRecord& r) {
            return r.index == override.index;
        });
        if (row == records.end()) {
            // The tables' own test holds every override to a built-in row.
            throw Error("The recommended value for row " + std::to_string(override.index) +
                        " names no built-in row");
        }
        row->keyValue = override.lockValue;
        row->status = override.status;
        row->text += std::string("\r\n\r\n") + override.note;
    }
    for (const BuiltInRow& row : Windows1011Rows()) {
        records.push_back(PolicyRecord{row.index, row.subtree, row.subkey, row.lockValue,
                                       row.dataType, row.winVer, row.status, row.text});
    }
    return TableOf(records);
}

}  // namespace quarn
