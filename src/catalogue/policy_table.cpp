#include "catalogue/policy_table.h"

#include "system/file_io.h"

namespace quarn {
namespace {

constexpr char kClosed[] = "Operation bei geschlossener Datenmenge nicht ausführbar";
constexpr char kOpen[] = "Operation bei geöffneter Datenmenge nicht ausführbar";
constexpr char kNotEditing[] = "Datenmenge befindet sich nicht im Editier- oder Einfügemodus";
constexpr char kEmpty[] = "Die Datenmenge enthält keine Zeile";

bool SamePath(const std::filesystem::path& a, const std::filesystem::path& b) {
    return !a.empty() && a.lexically_normal() == b.lexically_normal();
}

}  // namespace

const std::vector<FieldDef>& CatalogueFields() {
    static const std::vector<FieldDef> fields = {
        {"INDEX", "i4", "", "", {}},          {"SUBTREE", "string", "", "255", {}},
        {"SUBKEY", "string", "", "50", {}},   {"KEYVALUE", "string", "", "255", {}},
        {"DATATYPE", "string", "", "15", {}}, {"WINVER", "string", "", "50", {}},
        {"STATUS", "string", "", "15", {}},   {"TEXT", "bin.hex", "Text", "4096", {}},
    };
    return fields;
}

PolicyTable::PolicyTable() : PolicyTable(CatalogueFields()) {}

PolicyTable::PolicyTable(std::vector<FieldDef> fields) {
    content_.fields = std::move(fields);
}

void PolicyTable::CheckActive() const {
    if (!open_) {
        throw Error(kClosed);
    }
}

const StoredVersion& PolicyTable::CurrentVersion() const {
    return content_.versions[content_.walkOrder[cursor_]];
}

void PolicyTable::First() {
    CheckActive();
    Commit();
    cursor_ = 0;
}

void PolicyTable::Next() {
    CheckActive();
    Commit();
    if (cursor_ + 1 < content_.walkOrder.size()) {
        ++cursor_;
    }
}

int PolicyTable::RecNo() const {
    CheckActive();
    return content_.walkOrder.empty() ? 0 : static_cast<int>(cursor_) + 1;
}

int PolicyTable::RecordCount() const {
    CheckActive();
    return static_cast<int>(content_.walkOrder.size());
}

void PolicyTable::Edit() {
    CheckActive();
    if (editing_) {
        return;
    }
    if (content_.walkOrder.empty()) {
        throw Error(kEmpty);
    }
    editBuffer_ = CurrentVersion();
    fieldWritten_ = false;
    editing_ = true;
}

std::string PolicyTable::GetFieldText(std::size_t pos) const {
    CheckActive();
    if (pos >= content_.fields.size()) {
        throw Error("Listenindex überschreitet das Maximum (" + std::to_string(pos) + ")");
    }
    if (content_.walkOrder.empty()) {
        return {};
    }
    const StoredVersion& row = editing_ ? editBuffer_ : CurrentVersion();
    const std::string* value = row.Find(pos);
    return value != nullptr ? *value : std::string();
}

void PolicyTable::SetFieldText(std::size_t pos, std::string_view text) {
    CheckActive();
    if (!editing_) {
        throw Error(kNotEditing);
    }
    if (pos >= content_.fields.size()) {
        throw Error("Listenindex überschreitet das Maximum (" + std::to_string(pos) + ")");
    }
    editBuffer_.Set(pos, std::string(text));
    fieldWritten_ = true;
}

void PolicyTable::Post() {
    CheckActive();
    if (!editing_) {
        throw Error(kNotEditing);
    }
    Commit();
}

void PolicyTable::Commit() {
    if (!editing_) {
        return;
    }
    editing_ = false;
    if (!fieldWritten_) {
        return;  // an edit that wrote nothing is dropped
    }
    const std::uint32_t replaced = content_.walkOrder[cursor_];
    StoredVersion& old = content_.versions[replaced];
    editBuffer_.state = static_cast<std::uint8_t>(RowModified | (old.state & RowInserted));
    for (Cell& cell : editBuffer_.cells) {
        const std::string* before = old.Find(cell.column);
        cell.unaltered = IsMemoColumn(content_.fields[cell.column]) && before != nullptr &&
                         *before == cell.value;
    }
    old.state |= RowOriginal;
    const auto added = static_cast<std::uint32_t>(content_.versions.size());
    content_.versions.push_back(std::move(editBuffer_));
    editBuffer_ = {};
    content_.walkOrder[cursor_] = added;
    content_.changeLog.push_back({added + 1, replaced + 1, RowModified});
    changed_ = true;
}

void PolicyTable::Open(TableContent content) {
    content_ = std::move(content);
    open_ = true;
    cursor_ = 0;
    editing_ = false;
    changed_ = false;
}

void PolicyTable::LoadFromFile(const std::filesystem::path& name) {
    Close();
    const std::string bytes = ReadWholeFile(name);
    try {
        Open(ReadDatapacket(bytes));
    } catch (const LoadError&) {
        refusedFile_ = name;
        throw;
    }
    if (SamePath(refusedFile_, name)) {
        refusedFile_.clear();
    }
}

void PolicyTable::LoadFromBytes(std::string_view bytes) {
    Close();
    Open(ReadDatapacket(bytes));
}

void PolicyTable::CreateDataSet() {
    if (open_) {
        throw Error(kOpen);
    }
    TableContent empty;
    empty.fields = std::move(content_.fields);
    Open(std::move(empty));
}

std::string PolicyTable::SaveToBytes() {
    CheckActive();
    Commit();
    return WriteDatapacket(content_);
}

void PolicyTable::SaveToFile(const std::filesystem::path& name) {
    ReplaceFileContents(name, SaveToBytes());
}

void PolicyTable::Close() {
    if (!open_) {
        return;
    }
    editing_ = false;  // a pending edit is discarded, not committed
    // Only the XML form is ever written, whatever the bound name ends in.
    const bool mustSave = !fileName_.empty() && (changed_ || !FileExists(fileName_)) &&
                          !SamePath(refusedFile_, fileName_);
    if (mustSave) {
        SaveToFile(fileName_);  // a failed save leaves the table open, its rows kept
    }
    content_.versions.clear();
    content_.changeLog.clear();
    content_.walkOrder.clear();
    content_.params.clear();
    open_ = false;
    changed_ = false;
}

void PolicyTable::AppendRow(const PolicyRecord& record) {
    AppendRow({{kColumnIndex, std::to_string(record.index)},
               {kColumnSubtree, record.subtree},
               {kColumnSubkey, record.subkey},
               {kColumnKeyValue, record.keyValue},
               {kColumnDataType, record.dataType},
               {kColumnWinVer, record.winVer},
               {kColumnStatus, record.status},
               {kColumnText, record.text}});
}

void PolicyTable::AppendRow(std::vector<Cell> cells) {
    CheckActive();
    StoredVersion version;
    for (Cell& cell : cells) {
        version.Set(cell.column, std::move(cell.value));
    }
    content_.walkOrder.push_back(static_cast<std::uint32_t>(content_.versions.size()));
    content_.versions.push_back(std::move(version));
}

}  // namespace quarn
