#pragma once

// The catalogue file's XML form: a "datapacket" with the column layout in
// METADATA and one ROW element per stored row version in ROWDATA.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/policy_record.h"
#include "system/error.h"

namespace quarn {

// A column value of a stored version; a column without a cell is null.
struct Cell {
    std::uint32_t column = 0;
    std::string value;
    // For memo columns (field type bin.hex) of a modified version: the change
    // that made the version left this value as the replaced version had it.
    // Such values are not written; reading takes them from that version.
    bool unaltered = false;
    bool operator==(const Cell&) const = default;
};

// The blanks between the file's parts and between the numbers of a list:
// every byte from 1 to 32, as the writing programs take them.
inline constexpr bool IsDatapacketBlank(char c) {
    return c >= 1 && c <= 32;
}

// A list of unsigned decimal numbers separated by blanks (CHANGE_LOG,
// RowState, DEFAULT_ORDER); none when the text is anything else.
std::optional<std::vector<std::uint32_t>> ParseNumberList(std::string_view text);

// Memo columns are left out of a modified version when its change kept them.
bool IsMemoColumn(const FieldDef& field);

struct StoredVersion {
    std::uint8_t state = 0;
    std::vector<Cell> cells;  // ascending by column

    const std::string* Find(std::size_t column) const;
    // The index of the column's cell, or cells.size() when the column is null.
    std::size_t IndexOf(std::size_t column) const;
    void Set(std::size_t column, std::string value);
    bool operator==(const StoredVersion&) const = default;
};

struct ChangeLogEntry {
    std::uint32_t version = 0;   // 1-based storage position
    std::uint32_t replaced = 0;  // the version it replaced, or 0
    std::uint32_t action = 0;    // 4 inserted, 8 modified, 2 deleted
    bool operator==(const ChangeLogEntry&) const = default;
};

// Everything a catalogue file holds.
struct TableContent {
    std::vector<FieldDef> fields;
    std::vector<StoredVersion> versions;
    std::vector<ChangeLogEntry> changeLog;
    std::vector<Attribute> params;         // PARAMS attributes besides CHANGE_LOG, in order
    std::vector<std::uint32_t> walkOrder;  // 0-based storage positions of the visible versions
};

// Why a file could not be taken, one value per message of the reader (and
// one for a datapacket that is not a policy catalogue), so callers decide on
// the status and show the message.
enum class LoadStatus {
    Mismatch,                   // not well-formed XML, or not a datapacket's structure
    BinaryForm,                 // the binary datapacket form
    DocumentType,               // a document type declaration
    UnknownEntity,              // an entity other than XML's five
    InvalidUtf8,                // a file that declares UTF-8 and is not
    InvalidCharacterReference,  // &#0; or beyond Unicode
    FieldWithoutName,           // a FIELD without attrname or fieldtype
    FieldNameNotAColumn,        // a field name that cannot be an attribute name
    NestedDataset,              // a field of type "nested"
    FieldNamedTwice,            // two fields of one name
    ChangeLogNotTriples,        // a CHANGE_LOG that is not number triples
    InvalidRowState,            // a RowState that is not a byte
    NestedRowData,              // a ROW with child elements
    NotACatalogue,              // a datapacket without the catalogue's columns
};

// A file the reader could not take (as pugixml's parse result): its status,
// the message the user sees and, for a fault in the file's text, the byte
// where reading stopped. A file refused as a whole has no such byte.
class LoadError : public Error {
  public:
    LoadError(LoadStatus status, const std::string& message, std::optional<std::size_t> offset)
        : Error(message), status_(status), offset_(offset) {}
    LoadStatus Status() const { return status_; }
    std::optional<std::size_t> Offset() const { return offset_; }

  private:
    LoadStatus status_;
    std::optional<std::size_t> offset_;
};

inline constexpr std::string_view kDatapacketMismatch = "Mismatch in datapacket.";

// Reads a datapacket; raises LoadError. Text is returned in code page 1252:
// files that declare encoding="UTF-8" are converted, all others are taken as
// 8-bit text unchanged.
TableContent ReadDatapacket(std::string_view bytes);

// Writes the XML form byte for byte as the catalogue file has it.
std::string WriteDatapacket(const TableContent& content);

// The change list's answer to "which version did this modified version
// replace": index 0-based, 0xFFFFFFFF where none is known.
std::vector<std::uint32_t> ReplacedVersions(const TableContent& content);

}  // namespace quarn
