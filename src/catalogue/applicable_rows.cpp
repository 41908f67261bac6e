#include "catalogue/applicable_rows.h"

#include <variant>

#include "catalogue/policy_record.h"
#include "system/text_encoding.h"

namespace quarn {

ApplicableRows FindApplicableRows(PolicyTable& table) {
    ApplicableRows found;
    table.First();
    for (int i = 0; i < table.RecordCount(); ++i, table.Next()) {
        std::string index = table.GetFieldText(kColumnIndex);
        const std::string status = table.GetFieldText(kColumnStatus);
        if (status != kStatusOn) {
            found.leftOut.push_back({std::move(index), "STATUS is \"" + Cp1252ToUtf8(status) +
                                                           "\", not \"aktiviert\""});
            continue;
        }
        std::string subtree = table.GetFieldText(kColumnSubtree);
        std::string subkey = table.GetFieldText(kColumnSubkey);
        const std::string keyValue = table.GetFieldText(kColumnKeyValue);
        const std::string dataType = table.GetFieldText(kColumnDataType);
        auto resolved = ResolveRowTarget({subtree, subkey, keyValue, dataType});
        if (const RowFault* fault = std::get_if<RowFault>(&resolved)) {
            found.leftOut.push_back({std::move(index), std::string(DescribeRowFault(*fault))});
            continue;
        }
        found.rows.push_back({std::move(index), std::move(subtree), std::move(subkey),
                              std::move(std::get<RowTarget>(resolved))});
    }
    table.First();
    return found;
}

}  // namespace quarn
