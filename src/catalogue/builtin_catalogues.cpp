#include "catalogue/builtin_catalogues.h"

#include <algorithm>
#include <vector>

namespace quarn {
namespace {

// The rows that both catalogues walk first, ascending; all others follow in
// INDEX order.
constexpr std::int32_t kLeadingRows[] = {
    5000, 5030, 5040, 5050, 5060, 5070, 5080, 5090, 5100, 5110, 5120, 5130, 5140,
    5150, 5160, 5170, 5180, 5190, 5200, 5210, 5220, 5230, 5240, 5250, 5260, 5270,
    5280, 5290, 5300, 5310, 5370, 5380, 5390, 5410, 5420, 6490, 7250, 8280, 8320,
    8330, 8340, 8350, 8360, 8370, 8380, 8390, 8400, 8410, 8420, 8690,
};

// The lock catalogue walks the drive restrictions last, in this order.
constexpr std::int32_t kLockTrailingRows[] = {6550, 5620};

enum class Catalogue { Lock, Unlock };

std::vector<PolicyRecord> Records(Catalogue catalogue) {
    std::vector<const BuiltInRow*> order;
    for (const BuiltInRow& row : BuiltInRows()) {
        order.push_back(&row);
    }
    const auto leading = [](const BuiltInRow* row) {
        return std::find(std::begin(kLeadingRows), std::end(kLeadingRows), row->index) !=
               std::end(kLeadingRows);
    };
    std::stable_partition(order.begin(), order.end(), leading);
    if (catalogue == Catalogue::Lock) {
        for (const std::int32_t index : kLockTrailingRows) {
            const auto it = std::find_if(order.begin(), order.end(), [&](const BuiltInRow* row) {
                return row->index == index;
            });
            if (it != order.end()) {
                const BuiltInRow* row = *it;
                order.erase(it);
                order.push_back(row);
            }
        }
    }

    std::vector<PolicyRecord> records;
    for (const BuiltInRow* row : order) {
        records.push_back(
            PolicyRecord{row->index, row->subtree, row->subkey,
                         catalogue == Catalogue::Lock ? row->lockValue : row->unlockValue,
                         row->dataType, row->winVer, row->status, row->text});
    }
    return records;
}

}  // namespace

PolicyTable TableOf(const std::vector<PolicyRecord>& records) {
    PolicyTable table;
    table.CreateDataSet();
    for (const PolicyRecord& record : records) {
        table.AppendRow(record);
    }
    table.First();
    return table;
}

std::vector<PolicyRecord> BuiltInLockRecords() {
    return Records(Catalogue::Lock);
}

PolicyTable BuiltInLockCatalogue() {
    return TableOf(Records(Catalogue::Lock));
}

PolicyTable BuiltInUnlockCatalogue() {
    return TableOf(Records(Catalogue::Unlock));
}

}  // namespace quarn
