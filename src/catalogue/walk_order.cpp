#include "catalogue/walk_order.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>

#include "system/text_case.h"

namespace quarn {
namespace {

// DEFAULT_ORDER: 1-based column numbers, 32768 added for descending and
// 16384 for letter case ignored. Numeric columns compare as numbers,
// others byte by byte in the code page; null sorts first; ties keep file
// order. Numbers naming no column are passed over.
void ApplyDefaultOrder(const TableContent& content, std::vector<std::uint32_t>& walk) {
    const auto param = std::find_if(
        content.params.begin(), content.params.end(),
        [](const Attribute& a) { return EqualsIgnoringCaseAZ(a.name, "DEFAULT_ORDER"); });
    if (param == content.params.end()) {
        return;
    }
    const auto numbers = ParseNumberList(param->value);
    if (!numbers) {
        return;
    }
    struct Key {
        std::size_t column;
        bool descending;
        bool ignoreCase;
        bool numeric;
    };
    std::vector<Key> keys;
    for (const std::uint32_t number : *numbers) {
        const std::size_t column = number % 16384;
        if (column == 0 || column > content.fields.size()) {
            continue;
        }
        static constexpr std::string_view kNumericTypes[] = {
            "i1", "i2", "i4", "i8", "ui1", "ui2", "ui4", "ui8", "r8", "fixed", "fixedFMT"};
        const std::string& type = content.fields[column - 1].fieldType;
        keys.push_back({column - 1, (number & 32768) != 0, (number & 16384) != 0,
                        std::find(std::begin(kNumericTypes), std::end(kNumericTypes), type) !=
                            std::end(kNumericTypes)});
    }
    if (keys.empty()) {
        return;
    }
    const auto compare = [&](const Key& key, std::uint32_t a, std::uint32_t b) {
        const std::string* x = content.versions[a].Find(key.column);
        const std::string* y = content.versions[b].Find(key.column);
        int order = 0;
        if (x == nullptr || y == nullptr) {
            order = (x != nullptr) - (y != nullptr);
        } else if (key.numeric) {
            const double dx = std::strtod(x->c_str(), nullptr);
            const double dy = std::strtod(y->c_str(), nullptr);
            order = (dx > dy) - (dx < dy);
        } else if (key.ignoreCase) {
            const std::string lx = LowerAZ(*x);
            const std::string ly = LowerAZ(*y);
            order = lx.compare(ly);
        } else {
            order = x->compare(*y);
        }
        return key.descending ? -order : order;
    };
    std::stable_sort(walk.begin(), walk.end(), [&](std::uint32_t a, std::uint32_t b) {
        for (const Key& key : keys) {
            if (const int order = compare(key, a, b); order != 0) {
                return order < 0;
            }
        }
        return false;
    });
}

}  // namespace

std::vector<std::uint32_t> WalkOrder(const TableContent& content) {
    std::vector<std::uint32_t> walk;
    for (std::size_t i = 0; i < content.versions.size(); ++i) {
        if (IsVisible(content.versions[i].state)) {
            walk.push_back(static_cast<std::uint32_t>(i));
        }
    }
    ApplyDefaultOrder(content, walk);
    return walk;
}

}  // namespace quarn
