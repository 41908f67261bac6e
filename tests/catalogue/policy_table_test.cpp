// PolicyTable: versions, walk order, change list, edit state, and the file
// binding that decides when a table writes itself back.

#include <gtest/gtest.h>

#include <functional>

#include "catalogue/policy_table.h"
#include "support/temp_folder.h"
#include "system/file_io.h"

namespace quarn {
namespace {

const char kClosedMessage[] = "Operation bei geschlossener Datenmenge nicht ausführbar";

PolicyRecord Record(int index, const char* status = "aktiviert") {
    return {index,
            "HKCU\\Software\\Test",
            "Value" + std::to_string(index),
            "1",
            "REG_DWORD",
            "XP",
            status,
            "Text " + std::to_string(index)};
}

PolicyTable TableWithRows(int count) {
    PolicyTable table;
    table.CreateDataSet();
    for (int i = 0; i < count; ++i) {
        table.AppendRow(Record(5000 + 10 * i));
    }
    table.First();
    return table;
}

void RewriteStatus(PolicyTable& table, const char* status) {
    table.Edit();
    table.SetFieldText(kColumnStatus, status);
    table.Next();
}

TEST(PolicyTable, RowOperationsOnAClosedTableRaise) {
    PolicyTable table;
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"First", [&] { table.First(); }},
        {"Next", [&] { table.Next(); }},
        {"RecNo", [&] { table.RecNo(); }},
        {"RecordCount", [&] { table.RecordCount(); }},
        {"Edit", [&] { table.Edit(); }},
        {"GetFieldText", [&] { table.GetFieldText(0); }},
        {"SetFieldText", [&] { table.SetFieldText(0, "x"); }},
        {"Post", [&] { table.Post(); }},
        {"SaveToBytes", [&] { table.SaveToBytes(); }},
    };
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        try {
            operation();
            ADD_FAILURE() << "nothing raised";
        } catch (const Error& error) {
            EXPECT_STREQ(error.what(), kClosedMessage);
        }
    }
    table.Close();                                         // closing a closed table does nothing
    EXPECT_EQ(table.Fields().size(), kPolicyColumnCount);  // the layout is kept
}

TEST(PolicyTable, CommittingAChangeAppendsAVersion) {
    PolicyTable table = TableWithRows(3);
    table.Next();  // the second row
    table.Edit();
    table.SetFieldText(kColumnStatus, "deaktiviert");
    EXPECT_EQ(table.GetFieldText(kColumnStatus), "deaktiviert");  // the edit buffer
    EXPECT_FALSE(table.Changed());
    table.Post();

    const TableContent& content = table.Content();
    ASSERT_EQ(content.versions.size(), 4u);
    EXPECT_EQ(content.versions[1].state, RowOriginal);
    EXPECT_EQ(content.versions[3].state, RowModified);
    EXPECT_EQ(content.walkOrder, (std::vector<std::uint32_t>{0, 3, 2}));  // same place
    EXPECT_EQ(content.changeLog, (std::vector<ChangeLogEntry>{{4, 2, 8}}));
    EXPECT_TRUE(table.Changed());
    EXPECT_EQ(table.RecNo(), 2);
    EXPECT_EQ(table.RecordCount(), 3);
    EXPECT_EQ(table.GetFieldText(kColumnText), "Text 5010");
}

TEST(PolicyTable, WritingTheSameTextStillCommitsAVersion) {
    PolicyTable table = TableWithRows(1);
    RewriteStatus(table, "aktiviert");
    EXPECT_EQ(table.Content().versions.size(), 2u);
    EXPECT_TRUE(table.Changed());
}

TEST(PolicyTable, AnEditThatWritesNothingIsDropped) {
    PolicyTable table = TableWithRows(2);
    table.Edit();
    table.Next();
    EXPECT_EQ(table.Content().versions.size(), 2u);
    EXPECT_FALSE(table.Changed());
    EXPECT_EQ(table.RecNo(), 2);
    table.Next();  // on the last row Next stays
    EXPECT_EQ(table.RecNo(), 2);
}

TEST(PolicyTable, RowStatesOfInsertedRowsChangedTwice) {
    const std::string file =
        R"(<DATAPACKET><METADATA><FIELDS><FIELD attrname="STATUS" fieldtype="string"/>)"
        R"(</FIELDS><PARAMS CHANGE_LOG="1 0 4"/></METADATA><ROWDATA>)"
        R"(<ROW RowState="4" STATUS="a"/></ROWDATA></DATAPACKET>)";
    PolicyTable table;
    table.LoadFromBytes(file);
    for (const char* status : {"b", "c"}) {
        table.Edit();
        table.SetFieldText(0, status);
        table.Post();
    }
    const TableContent& content = table.Content();
    ASSERT_EQ(content.versions.size(), 3u);
    EXPECT_EQ(content.versions[0].state, 5);
    EXPECT_EQ(content.versions[1].state, 13);
    EXPECT_EQ(content.versions[2].state, 12);
    EXPECT_EQ(content.changeLog, (std::vector<ChangeLogEntry>{{1, 0, 4}, {2, 1, 8}, {3, 2, 8}}));
}

TEST(PolicyTable, FieldErrors) {
    PolicyTable table = TableWithRows(1);
    EXPECT_THROW(table.GetFieldText(kPolicyColumnCount), Error);
    EXPECT_THROW(table.SetFieldText(kColumnStatus, "x"), Error);  // not in edit state
    EXPECT_THROW(table.Post(), Error);
    table.Edit();
    EXPECT_THROW(table.SetFieldText(kPolicyColumnCount, "x"), Error);

    PolicyTable empty = TableWithRows(0);
    EXPECT_EQ(empty.RecNo(), 0);
    EXPECT_EQ(empty.GetFieldText(kColumnStatus), "");
    EXPECT_THROW(empty.Edit(), Error);
    EXPECT_THROW(empty.CreateDataSet(), Error);  // already open
}

TEST(PolicyTable, RewrittenRowsWalkAfterTheOthersOnceReloaded) {
    PolicyTable table = TableWithRows(4);
    table.Next();
    RewriteStatus(table, "deaktiviert");  // row 2
    RewriteStatus(table, "deaktiviert");  // row 3... Next moved on to it first
    PolicyTable reread;
    reread.LoadFromBytes(table.SaveToBytes());
    std::vector<std::string> order;
    reread.First();
    for (int i = 0; i < reread.RecordCount(); ++i) {
        order.push_back(reread.GetFieldText(kColumnIndex));
        reread.Next();
    }
    EXPECT_EQ(order, (std::vector<std::string>{"5000", "5030", "5010", "5020"}));
}

class BoundTable : public ::testing::Test {
  protected:
    std::string Read(const std::filesystem::path& path) { return ReadWholeFile(path); }
    test::TempFolder folder_;
    std::filesystem::path file_ = folder_ / "quarn.xml";
};

TEST_F(BoundTable, CloseWritesWhenChangedOrMissingOnly) {
    struct Row {
        const char* name;
        bool bind;
        bool fileExists;
        bool change;
        bool written;
    };
    const Row rows[] = {
        {"unbound", false, false, true, false},
        {"bound, unchanged, file present", true, true, false, false},
        {"bound, unchanged, file missing", true, false, false, true},
        {"bound, changed", true, true, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(file_);
        if (row.fileExists) {
            ReplaceFileContents(file_, "old");
        }
        PolicyTable table = TableWithRows(2);
        if (row.bind) {
            table.SetFileName(file_);
        }
        if (row.change) {
            RewriteStatus(table, "deaktiviert");
        }
        const std::string expected = table.SaveToBytes();
        table.Close();
        EXPECT_FALSE(table.Active());
        if (row.written) {
            EXPECT_EQ(Read(file_), expected);
        } else if (row.fileExists) {
            EXPECT_EQ(Read(file_), "old");
        } else {
            EXPECT_FALSE(FileExists(file_));
        }
    }
}

TEST_F(BoundTable, CloseDiscardsAnUncommittedEdit) {
    PolicyTable table = TableWithRows(2);
    table.SaveToFile(file_);
    table.SetFileName(file_);
    const std::string before = Read(file_);
    table.Edit();
    table.SetFieldText(kColumnStatus, "deaktiviert");
    table.Close();
    EXPECT_EQ(Read(file_), before);
    table.LoadFromFile(file_);
    EXPECT_EQ(table.GetFieldText(kColumnStatus), "aktiviert");
    EXPECT_EQ(table.Content().versions.size(), 2u);
}

TEST_F(BoundTable, LoadingClosesFirstAndKeepsTheBinding) {
    PolicyTable table = TableWithRows(3);
    table.SetFileName(file_);
    table.SaveToFile(file_);
    RewriteStatus(table, "deaktiviert");
    EXPECT_TRUE(table.Changed());
    table.LoadFromFile(file_);  // the close writes the change, the load reads it back
    EXPECT_EQ(table.FileName(), file_);
    EXPECT_FALSE(table.Changed());
    EXPECT_EQ(table.Content().versions.size(), 4u);
    EXPECT_EQ(table.RecNo(), 1);
}

TEST_F(BoundTable, SavingDoesNotClearTheChangedFlag) {
    PolicyTable table = TableWithRows(1);
    RewriteStatus(table, "deaktiviert");
    table.SaveToFile(file_);
    EXPECT_TRUE(table.Changed());
}

TEST_F(BoundTable, AFailedSaveRaisesAndKeepsTheOldFile) {
    PolicyTable table = TableWithRows(1);
    ReplaceFileContents(file_, "old");
    EXPECT_THROW(table.SaveToFile(folder_ / "no-such-folder" / "quarn.xml"), Error);
    std::filesystem::create_directory(folder_ / "taken.xml");
    EXPECT_THROW(table.SaveToFile(folder_ / "taken.xml"), Error);
    EXPECT_EQ(Read(file_), "old");
}

TEST_F(BoundTable, AFileThatFailedToLoadIsNeverWrittenOver) {
    const std::string foreign[] = {
        std::string("\x96\x19\xE0\xBD binary form", 16),
        "<DATAPACKET><METADATA><FIELDS/></PARAMS>",
    };
    for (const std::string& bytes : foreign) {
        ReplaceFileContents(file_, bytes);
        PolicyTable table = TableWithRows(1);
        table.SetFileName(file_);
        EXPECT_THROW(table.LoadFromFile(file_), LoadError);
        EXPECT_FALSE(table.Active());
        table.Close();
        table.CreateDataSet();
        table.AppendRow(Record(1));
        table.First();
        RewriteStatus(table, "deaktiviert");
        table.Close();  // changed and bound, but that file is not ours to write
        EXPECT_EQ(Read(file_), bytes);
    }
}

TEST_F(BoundTable, LoadingAMissingFileFailsAndLeavesTheTableClosed) {
    PolicyTable table = TableWithRows(1);
    EXPECT_THROW(table.LoadFromFile(folder_ / "absent.xml"), Error);
    EXPECT_FALSE(table.Active());
}

}  // namespace
}  // namespace quarn
