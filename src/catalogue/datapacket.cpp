#include "catalogue/datapacket.h"

#include <algorithm>
#include <limits>

namespace quarn {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

}  // namespace

std::optional<std::vector<std::uint32_t>> ParseNumberList(std::string_view text) {
    std::vector<std::uint32_t> numbers;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (IsDatapacketBlank(text[pos])) {
            ++pos;
            continue;
        }
        std::uint64_t value = 0;
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + static_cast<std::uint64_t>(text[pos] - '0');
            if (value > std::numeric_limits<std::uint32_t>::max()) {
                return std::nullopt;
            }
            ++pos;
        }
        if (pos == start || (pos < text.size() && !IsDatapacketBlank(text[pos]))) {
            return std::nullopt;
        }
        numbers.push_back(static_cast<std::uint32_t>(value));
    }
    return numbers;
}

bool IsMemoColumn(const FieldDef& field) {
    return field.fieldType == "bin.hex";
}

std::size_t StoredVersion::IndexOf(std::size_t column) const {
    const auto at =
        std::lower_bound(cells.begin(), cells.end(), column,
                         [](const Cell& cell, std::size_t c) { return cell.column < c; });
    return at != cells.end() && at->column == column ? static_cast<std::size_t>(at - cells.begin())
                                                     : cells.size();
}

const std::string* StoredVersion::Find(std::size_t column) const {
    const std::size_t index = IndexOf(column);
    return index < cells.size() ? &cells[index].value : nullptr;
}

void StoredVersion::Set(std::size_t column, std::string value) {
    const auto at =
        std::lower_bound(cells.begin(), cells.end(), column,
                         [](const Cell& cell, std::size_t c) { return cell.column < c; });
    if (at != cells.end() && at->column == column) {
        at->value = std::move(value);
        at->unaltered = false;
    } else {
        cells.insert(at, Cell{static_cast<std::uint32_t>(column), std::move(value), false});
    }
}

std::vector<std::uint32_t> ReplacedVersions(const TableContent& content) {
    const std::size_t count = content.versions.size();
    std::vector<std::uint32_t> replaced(count, kNone);
    for (const ChangeLogEntry& entry : content.changeLog) {
        const bool valid = entry.version >= 1 && entry.version <= count && entry.replaced >= 1 &&
                           entry.replaced <= count && entry.replaced != entry.version;
        if (valid && (entry.action & RowModified) != 0 &&
            (content.versions[entry.version - 1].state & RowModified) != 0) {
            replaced[entry.version - 1] = entry.replaced - 1;
        }
    }
    return replaced;
}

}  // namespace quarn
