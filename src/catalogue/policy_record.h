#pragma once

// One row of a policy catalogue and the column layout of a catalogue table.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quarn {

// Column positions of a catalogue row. The row applier addresses columns by
// position, not by name, so a catalogue file must keep this order.
enum PolicyColumn : std::size_t {
    kColumnIndex = 0,
    kColumnSubtree = 1,
    kColumnSubkey = 2,
    kColumnKeyValue = 3,
    kColumnDataType = 4,
    kColumnWinVer = 5,
    kColumnStatus = 6,
    kColumnText = 7,
};
inline constexpr std::size_t kPolicyColumnCount = 8;

// The two words of STATUS. Catalogue vocabulary is German and case-sensitive.
inline constexpr std::string_view kStatusOn = "aktiviert";
inline constexpr std::string_view kStatusOff = "deaktiviert";

// Row-state bits of a stored row version.
enum RowState : std::uint8_t {
    RowOriginal = 1,  // replaced by a later version of the same row
    RowDeleted = 2,   // row deleted
    RowInserted = 4,  // added after the table was first created
    RowModified = 8,  // the result of a change to an earlier version
    RowUnused = 32,   // empty slot
};
inline constexpr bool IsVisible(std::uint8_t state) {
    return (state & (RowOriginal | RowDeleted | RowUnused)) == 0;
}

struct Attribute {
    std::string name;
    std::string value;
    bool operator==(const Attribute&) const = default;
};

// One column of a table: its name, field type, SUBTYPE and WIDTH as the file
// gives them (empty when absent), and any further FIELD attributes.
struct FieldDef {
    std::string name;
    std::string fieldType;
    std::string subType;
    std::string width;
    std::vector<Attribute> extra;
    bool operator==(const FieldDef&) const = default;
};

// The column layout of a policy catalogue: INDEX, SUBTREE, SUBKEY, KEYVALUE,
// DATATYPE, WINVER, STATUS, TEXT.
const std::vector<FieldDef>& CatalogueFields();

// One catalogue row in column order; text is code page 1252.
struct PolicyRecord {
    std::int32_t index = 0;
    std::string subtree;
    std::string subkey;
    std::string keyValue;
    std::string dataType;
    std::string winVer;
    std::string status;
    std::string text;
};

}  // namespace quarn
