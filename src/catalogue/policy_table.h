#pragma once

// PolicyTable: one catalogue in memory, walked row by row. It keeps every
// stored row version with its row state, the walk order of the visible rows,
// the change list, a cursor, an edit buffer and an optional file binding.
// A committed change never overwrites a version: it appends a new one.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/datapacket.h"
#include "catalogue/policy_record.h"

namespace quarn {

class PolicyTable {
  public:
    // A closed table with the catalogue's column layout.
    PolicyTable();
    // A closed table with the given column layout.
    explicit PolicyTable(std::vector<FieldDef> fields);

    bool Active() const { return open_; }
    const std::vector<FieldDef>& Fields() const { return content_.fields; }

    // Navigation; both commit a pending edit first. Next on the last row stays.
    void First();
    void Next();
    // 1-based position of the current row in the walk order; 0 without rows.
    int RecNo() const;
    int RecordCount() const;

    void Edit();
    bool Editing() const { return editing_; }
    // The current row's column as text; null reads as the empty text.
    std::string GetFieldText(std::size_t pos) const;
    void SetFieldText(std::size_t pos, std::string_view text);
    void Post();

    // Set by every committed change since the table was created or loaded.
    bool Changed() const { return changed_; }

    // Closes the table (which may write the bound file), then replaces its
    // columns, versions and change list by the file's. On failure the table
    // stays closed, and a later Close never writes over that file.
    void LoadFromFile(const std::filesystem::path& name);
    // Same, from bytes already read; raises LoadError.
    void LoadFromBytes(std::string_view bytes);
    // Opens a closed table empty, with its kept column layout.
    void CreateDataSet();
    // Commits a pending edit and replaces the file with the table's XML form.
    void SaveToFile(const std::filesystem::path& name);
    std::string SaveToBytes();
    // Discards a pending edit; a bound table writes its file when it has
    // changed or the file is missing; then the rows go, the columns stay.
    void Close();

    const std::filesystem::path& FileName() const { return fileName_; }
    void SetFileName(std::filesystem::path name) { fileName_ = std::move(name); }
    // A file whose content was refused for this table, as a failed load
    // refuses it: a later Close never writes over it until the table has
    // loaded that file.
    void RefuseFile(std::filesystem::path name) { refusedFile_ = std::move(name); }

    // Adds an unchanged row (state 0) at the end of storage and walk order;
    // for building tables in code, such as the built-in catalogues.
    void AppendRow(const PolicyRecord& record);
    void AppendRow(std::vector<Cell> cells);

    // The stored form, for the file writer, tools and tests.
    const TableContent& Content() const { return content_; }

  private:
    void CheckActive() const;
    void Commit();
    const StoredVersion& CurrentVersion() const;
    void Open(TableContent content);

    TableContent content_;
    bool open_ = false;
    std::size_t cursor_ = 0;  // index into the walk order
    bool editing_ = false;
    bool fieldWritten_ = false;
    StoredVersion editBuffer_;
    bool changed_ = false;
    std::filesystem::path fileName_;
    std::filesystem::path refusedFile_;  // a file this table failed to load
};

}  // namespace quarn
