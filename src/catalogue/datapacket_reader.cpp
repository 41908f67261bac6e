// Reading the datapacket XML form. The grammar is small and fixed, so the
// reader is a hand-written scanner over the file's bytes: no tree is built,
// no recursion follows the input, and nothing is allocated by a number that
// the file states. Every fault ends in a LoadError that knows its byte.

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>

#include "catalogue/datapacket.h"
#include "catalogue/walk_order.h"
#include "system/text_case.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// Whether the text can stand as an attribute name of a ROW element.
bool IsAttributeName(std::string_view text) {
    return !text.empty() && std::none_of(text.begin(), text.end(), [](char c) {
        return IsDatapacketBlank(c) || c == '=' || c == '/' || c == '>' || c == '<' || c == '"';
    });
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One attribute as it stands in the file, with the offsets of its parts.
struct RawAttribute {
    std::string_view name;
    std::size_t nameOffset;
    std::string_view value;
    std::size_t valueOffset;
};

class DatapacketReader {
  public:
    explicit DatapacketReader(std::string_view input) : in_(input) {}

    TableContent Read() {
        static constexpr char kBinaryForm[] = {'\x96', '\x19', '\xE0', '\xBD'};
        if (in_.size() >= 4 && std::memcmp(in_.data(), kBinaryForm, 4) == 0) {
            Fail(LoadStatus::BinaryForm,
                 "The file is in the binary datapacket form, which is not supported.", 0);
        }
        if (in_.substr(0, 3) == "\xEF\xBB\xBF") {
            utf8_ = true;
            pos_ = 3;
        }
        ReadDeclaration();
        SkipMisc();
        const bool wrapped = TryStartTag("DATAPACKET");
        if (wrapped && SkipAttributes()) {
            Mismatch(pos_);  // an empty DATAPACKET has no METADATA
        }
        ReadMetadata();
        ReadRowData();
        if (wrapped) {
            SkipMisc();
            ExpectEndTag("DATAPACKET");
        }
        SkipMisc();
        if (pos_ != in_.size()) {
            Mismatch(pos_);
        }
        ResolveUnchangedColumns();
        BuildWalkOrder();
        return std::move(content_);
    }

  private:
    [[noreturn]] void Fail(LoadStatus status, const std::string& message, std::size_t at) const {
        throw LoadError(status, message, at);
    }
    [[noreturn]] void Mismatch(std::size_t at) const {
        Fail(LoadStatus::Mismatch, std::string(kDatapacketMismatch), at);
    }

    bool StartsWith(std::string_view text) const { return in_.substr(pos_, text.size()) == text; }

    // Skips to just past terminator, or fails at start when the file ends first.
    void SkipPast(std::string_view terminator, std::size_t start) {
        const std::size_t end = in_.find(terminator, pos_);
        if (end == std::string_view::npos) {
            Mismatch(start);
        }
        pos_ = end + terminator.size();
    }

    void ReadDeclaration() {
        if (!StartsWith("<?xml") || pos_ + 5 >= in_.size() || !IsDatapacketBlank(in_[pos_ + 5])) {
            return;
        }
        const std::size_t start = pos_;
        SkipPast("?>", start);
        const std::string_view declaration = in_.substr(start, pos_ - start);
        const std::string lower = LowerAZ(declaration);
        const std::size_t name = lower.find("encoding");
        if (name == std::string::npos) {
            return;
        }
        std::size_t at = name + 8;
        while (at < lower.size() && IsDatapacketBlank(lower[at])) {
            ++at;
        }
        if (at >= lower.size() || lower[at] != '=') {
            return;
        }
        ++at;
        while (at < lower.size() && IsDatapacketBlank(lower[at])) {
            ++at;
        }
        if (at < lower.size() && (lower[at] == '"' || lower[at] == '\'')) {
            const std::size_t close = lower.find(lower[at], at + 1);
            if (close != std::string::npos) {
                utf8_ = lower.substr(at + 1, close - at - 1) == "utf-8";
            }
        }
    }

    // Whitespace, comments and processing instructions between markup.
    void SkipMisc() {
        while (pos_ < in_.size()) {
            if (IsDatapacketBlank(in_[pos_])) {
                ++pos_;
            } else if (StartsWith("<?")) {
                SkipPast("?>", pos_);
            } else if (StartsWith("<!--")) {
                SkipPast("-->", pos_);
            } else if (StartsWith("<!DOCTYPE")) {
                Fail(LoadStatus::DocumentType,
                     "Document type declarations are not supported in a datapacket.", pos_);
            } else {
                return;
            }
        }
    }

    // Consumes "<name" when it stands next, followed by a blank, "/" or ">".
    bool TryStartTag(std::string_view name) {
        if (pos_ >= in_.size() || in_[pos_] != '<' || in_.substr(pos_ + 1, name.size()) != name) {
            return false;
        }
        const std::size_t after = pos_ + 1 + name.size();
        if (after < in_.size() && !IsDatapacketBlank(in_[after]) && in_[after] != '/' &&
            in_[after] != '>') {
            return false;
        }
        tagStart_ = pos_;
        pos_ = after;
        return true;
    }

    void ExpectStartTag(std::string_view name) {
        if (!TryStartTag(name)) {
            Mismatch(pos_);
        }
    }

    void ExpectEndTag(std::string_view name) {
        const std::size_t start = pos_;
        if (!StartsWith("</") || in_.substr(pos_ + 2, name.size()) != name) {
            Mismatch(start);
        }
        pos_ += 2 + name.size();
        while (pos_ < in_.size() && IsDatapacketBlank(in_[pos_])) {
            ++pos_;
        }
        if (pos_ >= in_.size() || in_[pos_] != '>') {
            Mismatch(start);
        }
        ++pos_;
    }

    // Reads the attributes of the tag just opened and its end ("/>" or ">").
    // Calls onAttribute(RawAttribute) for each; returns true for "/>".
    template <typename OnAttribute>
    bool ReadAttributes(OnAttribute&& onAttribute) {
        for (;;) {
            while (pos_ < in_.size() && IsDatapacketBlank(in_[pos_])) {
                ++pos_;
            }
            if (pos_ >= in_.size()) {
                Mismatch(tagStart_);
            }
            if (in_[pos_] == '>') {
                ++pos_;
                return false;
            }
            if (in_[pos_] == '/') {
                if (pos_ + 1 >= in_.size() || in_[pos_ + 1] != '>') {
                    Mismatch(pos_);
                }
                pos_ += 2;
                return true;
            }
            const std::size_t nameStart = pos_;
            while (pos_ < in_.size() && !IsDatapacketBlank(in_[pos_]) && in_[pos_] != '=' &&
                   in_[pos_] != '/' && in_[pos_] != '>' && in_[pos_] != '<' && in_[pos_] != '"') {
                ++pos_;  // the characters that end a name are those IsAttributeName refuses
            }
            const std::string_view name = in_.substr(nameStart, pos_ - nameStart);
            while (pos_ < in_.size() && IsDatapacketBlank(in_[pos_])) {
                ++pos_;
            }
            if (name.empty() || pos_ + 1 >= in_.size() || in_[pos_] != '=' ||
                in_[pos_ + 1] != '"') {
                Mismatch(pos_ < in_.size() ? pos_ : tagStart_);
            }
            const std::size_t valueStart = pos_ + 2;
            const std::size_t valueEnd = in_.find('"', valueStart);
            if (valueEnd == std::string_view::npos) {
                Mismatch(tagStart_);
            }
            const std::string_view raw = in_.substr(valueStart, valueEnd - valueStart);
            if (const std::size_t lt = raw.find('<'); lt != std::string_view::npos) {
                Mismatch(valueStart + lt);
            }
            pos_ = valueEnd + 1;
            onAttribute(RawAttribute{name, nameStart, raw, valueStart});
        }
    }

    bool SkipAttributes() {
        return ReadAttributes([](const RawAttribute&) {});
    }

    // Attribute value to code page 1252 text: entities and character
    // references resolved, UTF-8 converted when the file declares it.
    void DecodeInto(std::string& out, std::string_view raw, std::size_t offset) {
        if (raw.find('&') == std::string_view::npos && (!utf8_ || IsAscii(raw))) {
            out.assign(raw);
            return;
        }
        out.clear();
        out.reserve(raw.size());
        std::size_t i = 0;
        while (i < raw.size()) {
            const std::size_t amp = raw.find('&', i);
            AppendText(out, raw.substr(i, amp - i), offset + i);
            if (amp == std::string_view::npos) {
                break;
            }
            const std::size_t semicolon = raw.find(';', amp);
            if (semicolon == std::string_view::npos || semicolon - amp > 12) {
                Fail(LoadStatus::UnknownEntity, "Unknown entity in datapacket.", offset + amp);
            }
            AppendEntity(out, raw.substr(amp + 1, semicolon - amp - 1), offset + amp);
            i = semicolon + 1;
        }
    }

    void AppendText(std::string& out, std::string_view text, std::size_t offset) {
        if (!utf8_ || IsAscii(text)) {
            out.append(text);
            return;
        }
        std::size_t bad = 0;
        const auto converted = Utf8ToCp1252(text, &bad);
        if (!converted) {
            Fail(LoadStatus::InvalidUtf8, "Invalid UTF-8 in datapacket.", offset + bad);
        }
        out.append(*converted);
    }

    void AppendEntity(std::string& out, std::string_view name, std::size_t offset) {
        if (name == "lt") {
            out.push_back('<');
        } else if (name == "gt") {
            out.push_back('>');
        } else if (name == "amp") {
            out.push_back('&');
        } else if (name == "apos") {
            out.push_back('\'');
        } else if (name == "quot") {
            out.push_back('"');
        } else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            std::uint32_t codePoint = 0;
            bool valid = !digits.empty();
            for (const char c : digits) {
                if (!valid) {
                    break;
                }
                int digit = -1;
                if (c >= '0' && c <= '9') {
                    digit = c - '0';
                } else if (hex && c >= 'a' && c <= 'f') {
                    digit = c - 'a' + 10;
                } else if (hex && c >= 'A' && c <= 'F') {
                    digit = c - 'A' + 10;
                }
                valid = valid && digit >= 0 && codePoint <= 0x10FFFF;
                codePoint = codePoint * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
            }
            if (!valid || codePoint == 0 || codePoint > 0x10FFFF ||
                (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
                Fail(LoadStatus::InvalidCharacterReference,
                     "Invalid character reference in datapacket.", offset);
            }
            out.push_back(static_cast<char>(CodePointToCp1252(codePoint).value_or('?')));
        } else {
            Fail(LoadStatus::UnknownEntity, "Unknown entity in datapacket.", offset);
        }
    }

    void ReadMetadata() {
        SkipMisc();
        ExpectStartTag("METADATA");
        if (SkipAttributes()) {
            Mismatch(tagStart_);  // METADATA must begin with FIELDS
        }
        SkipMisc();
        ExpectStartTag("FIELDS");
        if (!SkipAttributes()) {
            for (;;) {
                SkipMisc();
                if (!TryStartTag("FIELD")) {
                    break;
                }
                ReadField();
            }
            ExpectEndTag("FIELDS");
        }
        SkipMisc();
        if (TryStartTag("PARAMS")) {
            ReadParams();
            SkipMisc();
        }
        ExpectEndTag("METADATA");
    }

    void ReadField() {
        const std::size_t start = tagStart_;
        FieldDef field;
        bool named = false;
        bool typed = false;
        std::string value;
        const bool empty = ReadAttributes([&](const RawAttribute& attribute) {
            const std::string_view name = attribute.name;
            DecodeInto(value, attribute.value, attribute.valueOffset);
            if (EqualsIgnoringCaseAZ(name, "attrname")) {
                field.name = value, named = true;
            } else if (EqualsIgnoringCaseAZ(name, "fieldtype")) {
                field.fieldType = value, typed = true;
            } else if (EqualsIgnoringCaseAZ(name, "SUBTYPE")) {
                field.subType = value;
            } else if (EqualsIgnoringCaseAZ(name, "WIDTH")) {
                field.width = value;
            } else {
                field.extra.push_back({DecodeName(name, attribute.nameOffset), value});
            }
        });
        if (!named || !typed) {
            Fail(LoadStatus::FieldWithoutName,
                 "A FIELD of the datapacket has no attrname or fieldtype.", start);
        }
        if (!IsAttributeName(field.name)) {
            Fail(LoadStatus::FieldNameNotAColumn,
                 "The datapacket has a field name that cannot name a column.", start);
        }
        if (field.fieldType == "nested") {
            Fail(LoadStatus::NestedDataset,
                 "The datapacket has a nested dataset (field \"" + Cp1252ToUtf8(field.name) +
                     "\"), which is not supported.",
                 start);
        }
        const std::string key = LowerAZ(field.name);
        if (!columnByName_.emplace(key, static_cast<std::uint32_t>(content_.fields.size()))
                 .second) {
            Fail(LoadStatus::FieldNamedTwice,
                 "The datapacket names the field \"" + Cp1252ToUtf8(field.name) + "\" twice.",
                 start);
        }
        content_.fields.push_back(std::move(field));
        if (!empty) {
            SkipMisc();
            ExpectEndTag("FIELD");
        }
    }

    std::string DecodeName(std::string_view name, std::size_t offset) {
        std::string decoded;
        AppendText(decoded, name, offset);
        return decoded;
    }

    void ReadParams() {
        std::string value;
        const bool empty = ReadAttributes([&](const RawAttribute& attribute) {
            DecodeInto(value, attribute.value, attribute.valueOffset);
            if (!EqualsIgnoringCaseAZ(attribute.name, "CHANGE_LOG")) {
                content_.params.push_back(
                    {DecodeName(attribute.name, attribute.nameOffset), value});
                return;
            }
            const auto numbers = ParseNumberList(value);
            if (!numbers || numbers->size() % 3 != 0) {
                Fail(LoadStatus::ChangeLogNotTriples,
                     "The CHANGE_LOG of the datapacket is not a list of number triples.",
                     attribute.valueOffset);
            }
            for (std::size_t i = 0; i < numbers->size(); i += 3) {
                content_.changeLog.push_back({(*numbers)[i], (*numbers)[i + 1], (*numbers)[i + 2]});
            }
        });
        if (!empty) {
            // PARAM elements of other programs are read over; they hold nothing a catalogue uses.
            for (;;) {
                SkipMisc();
                if (!TryStartTag("PARAM")) {
                    break;
                }
                if (!SkipAttributes()) {
                    SkipMisc();
                    ExpectEndTag("PARAM");
                }
            }
            ExpectEndTag("PARAMS");
        }
    }

    std::uint32_t ColumnOf(std::string_view name, std::size_t offset) {
        // Rows usually list their columns in order: try the next one first.
        if (nextColumnHint_ < content_.fields.size() &&
            EqualsIgnoringCaseAZ(name, content_.fields[nextColumnHint_].name)) {
            return nextColumnHint_++;
        }
        const std::string key =
            LowerAZ(utf8_ && !IsAscii(name) ? DecodeName(name, offset) : std::string(name));
        const auto it = columnByName_.find(key);
        if (it == columnByName_.end()) {
            return kNone;
        }
        nextColumnHint_ = it->second + 1;
        return it->second;
    }

    void ReadRowData() {
        SkipMisc();
        ExpectStartTag("ROWDATA");
        if (SkipAttributes()) {
            return;
        }
        for (;;) {
            SkipMisc();
            if (!TryStartTag("ROW")) {
                break;
            }
            ReadRow();
        }
        ExpectEndTag("ROWDATA");
    }

    void ReadRow() {
        StoredVersion version;
        nextColumnHint_ = 0;
        const bool empty = ReadAttributes([&](const RawAttribute& attribute) {
            if (EqualsIgnoringCaseAZ(attribute.name, "RowState")) {
                const auto numbers = ParseNumberList(attribute.value);
                if (!numbers || numbers->size() != 1 || numbers->front() > 255) {
                    Fail(LoadStatus::InvalidRowState, "The datapacket has an invalid RowState.",
                         attribute.valueOffset);
                }
                version.state = static_cast<std::uint8_t>(numbers->front());
                return;
            }
            const std::uint32_t column = ColumnOf(attribute.name, attribute.nameOffset);
            if (column == kNone) {
                return;  // an attribute that names no column carries no value
            }
            auto& cells = version.cells;
            auto at = cells.end();
            if (!cells.empty() && cells.back().column >= column) {
                at = std::lower_bound(
                    cells.begin(), cells.end(), column,
                    [](const Cell& cell, std::uint32_t c) { return cell.column < c; });
                if (at->column == column) {
                    Mismatch(attribute.nameOffset);  // the same column twice
                }
            }
            DecodeInto(cells.insert(at, Cell{column, {}, false})->value, attribute.value,
                       attribute.valueOffset);
        });
        if (!empty) {
            SkipMisc();
            if (!StartsWith("</ROW")) {
                Fail(LoadStatus::NestedRowData,
                     "The datapacket has rows with nested data, which is not supported.", pos_);
            }
            ExpectEndTag("ROW");
        }
        content_.versions.push_back(std::move(version));
    }

    // A modified version's absent columns hold the values of the version it
    // replaced. Chains are followed without recursion; a cycle in a damaged
    // change list simply ends the inheritance.
    void ResolveUnchangedColumns() {
        const std::vector<std::uint32_t> replaced = ReplacedVersions(content_);
        const std::size_t count = content_.versions.size();
        enum : std::uint8_t { kPending, kActive, kDone };
        std::vector<std::uint8_t> mark(count, kPending);
        std::vector<std::uint32_t> chain;
        for (std::size_t start = 0; start < count; ++start) {
            std::uint32_t at = static_cast<std::uint32_t>(start);
            while (at != kNone && mark[at] == kPending) {
                mark[at] = kActive;
                chain.push_back(at);
                at = replaced[at];
            }
            for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
                const std::uint32_t source = replaced[*it];
                if (source != kNone && mark[source] == kDone) {
                    Inherit(content_.fields, content_.versions[*it], content_.versions[source]);
                }
                mark[*it] = kDone;
            }
            chain.clear();
        }
    }

    static void Inherit(const std::vector<FieldDef>& fields, StoredVersion& version,
                        const StoredVersion& source) {
        for (const Cell& cell : source.cells) {
            if (version.Find(cell.column) == nullptr) {
                version.Set(cell.column, cell.value);
                version.cells[version.IndexOf(cell.column)].unaltered =
                    IsMemoColumn(fields[cell.column]);
            }
        }
    }

    void BuildWalkOrder() { content_.walkOrder = WalkOrder(content_); }

    std::string_view in_;
    std::size_t pos_ = 0;
    std::size_t tagStart_ = 0;
    bool utf8_ = false;
    TableContent content_;
    std::unordered_map<std::string, std::uint32_t> columnByName_;
    std::uint32_t nextColumnHint_ = 0;
};

}  // namespace

TableContent ReadDatapacket(std::string_view bytes) {
    return DatapacketReader(bytes).Read();
}

}  // namespace quarn
