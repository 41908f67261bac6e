// Writing the datapacket XML form, byte for byte: one line, no encoding
// declaration, the table's 8-bit text as it stands apart from the escapes.

#include <array>
#include <charconv>

#include "catalogue/datapacket.h"

namespace quarn {
namespace {

// The characters written as references, each by its own escape; everything
// else, bytes of 128 and above included, is written unchanged.
constexpr std::array<std::string_view, 256> MakeEscapes() {
    std::array<std::string_view, 256> escapes{};
    escapes['<'] = "&lt;";
    escapes['>'] = "&gt;";
    escapes['&'] = "&amp;";
    escapes['\''] = "&apos;";
    escapes['"'] = "&quot;";
    escapes['\r'] = "&#013;";
    escapes['\n'] = "&#010;";
    escapes['\t'] = "&#009;";
    escapes['\\'] = "&#092;";
    return escapes;
}
constexpr std::array<std::string_view, 256> kEscapes = MakeEscapes();

class Writer {
  public:
    explicit Writer(std::string& out) : out_(out) {}

    void Raw(std::string_view text) { out_.append(text); }

    void Escaped(std::string_view text) {
        std::size_t run = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const std::string_view escape = kEscapes[static_cast<unsigned char>(text[i])];
            if (!escape.empty()) {
                out_.append(text.substr(run, i - run));
                out_.append(escape);
                run = i + 1;
            }
        }
        out_.append(text.substr(run));
    }

    // Names are written as they stand: the reader takes only names that can.
    void Attribute(std::string_view name, std::string_view value) {
        out_.push_back(' ');
        out_.append(name);
        out_.append("=\"");
        Escaped(value);
        out_.push_back('"');
    }

    void Number(std::uint64_t value) {
        char digits[24];
        const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
        out_.append(digits, result.ptr);
    }

  private:
    std::string& out_;
};

std::string ChangeLogText(const std::vector<ChangeLogEntry>& changeLog) {
    std::string text;
    Writer writer(text);
    for (const ChangeLogEntry& entry : changeLog) {
        for (const std::uint32_t number : {entry.version, entry.replaced, entry.action}) {
            if (!text.empty()) {
                text.push_back(' ');
            }
            writer.Number(number);
        }
    }
    return text;
}

}  // namespace

std::string WriteDatapacket(const TableContent& content) {
    std::string out;
    std::size_t estimate = 256 + content.changeLog.size() * 12;
    for (const StoredVersion& version : content.versions) {
        estimate += 16;
        for (const Cell& cell : version.cells) {
            estimate += cell.value.size() + 16;
        }
    }
    out.reserve(estimate);
    Writer writer(out);

    writer.Raw(R"(<?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0">)");
    writer.Raw("<METADATA><FIELDS>");
    for (const FieldDef& field : content.fields) {
        writer.Raw("<FIELD");
        writer.Attribute("attrname", field.name);
        writer.Attribute("fieldtype", field.fieldType);
        for (const auto& extra : field.extra) {
            writer.Attribute(extra.name, extra.value);
        }
        if (!field.subType.empty()) {
            writer.Attribute("SUBTYPE", field.subType);
        }
        if (!field.width.empty()) {
            writer.Attribute("WIDTH", field.width);
        }
        writer.Raw("/>");
    }
    writer.Raw("</FIELDS><PARAMS");
    for (const auto& param : content.params) {
        writer.Attribute(param.name, param.value);
    }
    if (!content.changeLog.empty()) {
        writer.Attribute("CHANGE_LOG", ChangeLogText(content.changeLog));
    }
    writer.Raw("/></METADATA><ROWDATA>");

    // A modified version leaves out the memo columns that its change did not
    // alter; reading takes them from the version it replaced.
    const std::vector<std::uint32_t> replaced = ReplacedVersions(content);
    const std::uint32_t none = 0xFFFFFFFF;
    for (std::size_t i = 0; i < content.versions.size(); ++i) {
        const StoredVersion& version = content.versions[i];
        writer.Raw("<ROW");
        if (version.state != 0) {
            writer.Raw(" RowState=\"");
            writer.Number(version.state);
            writer.Raw("\"");
        }
        for (const Cell& cell : version.cells) {
            if (cell.column >= content.fields.size()) {
                continue;
            }
            const FieldDef& field = content.fields[cell.column];
            if (cell.unaltered && replaced[i] != none && IsMemoColumn(field)) {
                continue;
            }
            writer.Attribute(field.name, cell.value);
        }
        writer.Raw("/>");
    }
    writer.Raw("</ROWDATA></DATAPACKET>");
    return out;
}

}  // namespace quarn
