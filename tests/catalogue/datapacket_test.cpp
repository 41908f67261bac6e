// The catalogue file's XML form: the writer byte for byte, the reader's
// rules, and the reader's errors with the byte where it stopped.

#include <gtest/gtest.h>

#include "catalogue/datapacket.h"
#include "catalogue/policy_table.h"

namespace quarn {
namespace {

constexpr char kHead[] =
    R"(<?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0"><METADATA><FIELDS>)"
    R"(<FIELD attrname="INDEX" fieldtype="i4"/>)"
    R"(<FIELD attrname="SUBTREE" fieldtype="string" WIDTH="255"/>)"
    R"(<FIELD attrname="SUBKEY" fieldtype="string" WIDTH="50"/>)"
    R"(<FIELD attrname="KEYVALUE" fieldtype="string" WIDTH="255"/>)"
    R"(<FIELD attrname="DATATYPE" fieldtype="string" WIDTH="15"/>)"
    R"(<FIELD attrname="WINVER" fieldtype="string" WIDTH="50"/>)"
    R"(<FIELD attrname="STATUS" fieldtype="string" WIDTH="15"/>)"
    R"(<FIELD attrname="TEXT" fieldtype="bin.hex" SUBTYPE="Text" WIDTH="4096"/>)"
    R"(</FIELDS>)";

PolicyRecord Row5030() {
    return {5030,
            "HKLM\\System\\CurrentControlSet\\Control\\Windows",
            "ErrorMode",
            "0",
            "REG_DWORD",
            "NT/W2K/XP/Vista/W7/W8",
            "aktiviert",
            "Fehlermeldungen als Popup in Windows abschalten.\r\n\r\n"
            "HKLM\\System\\CurrentControlSet\\Control\\Windows\r\n\r\n"
            "REG_DWORD = ErrorMode\r\n\r\n1 = abschalten\r\n0 = einschalten"};
}

PolicyTable OpenTable() {
    PolicyTable table;
    table.CreateDataSet();
    return table;
}

TEST(DatapacketWriter, EmptyTable) {
    PolicyTable table = OpenTable();
    EXPECT_EQ(table.SaveToBytes(),
              std::string(kHead) + "<PARAMS/></METADATA><ROWDATA></ROWDATA></DATAPACKET>");
}

TEST(DatapacketWriter, UnchangedAndRewrittenRows) {
    PolicyTable table = OpenTable();
    table.AppendRow(Row5030());
    table.AppendRow({5040, "HKCU\\Control Panel\\Desktop\\", "Wallpaper", "", "REG_SZ", "XP",
                     "deaktiviert", "Tab\there & 'quoted' <\"x\"> \xE4\xDF"});
    table.First();
    table.Edit();
    table.SetFieldText(kColumnStatus, "deaktiviert");
    table.Next();  // posts: version 3 replaces version 1

    const std::string expected =
        std::string(kHead) +
        R"(<PARAMS CHANGE_LOG="3 1 8"/></METADATA><ROWDATA>)"
        R"(<ROW RowState="1" INDEX="5030" SUBTREE="HKLM&#092;System&#092;CurrentControlSet&#092;Control&#092;Windows" SUBKEY="ErrorMode" KEYVALUE="0" DATATYPE="REG_DWORD" WINVER="NT/W2K/XP/Vista/W7/W8" STATUS="aktiviert" TEXT="Fehlermeldungen als Popup in Windows abschalten.&#013;&#010;&#013;&#010;HKLM&#092;System&#092;CurrentControlSet&#092;Control&#092;Windows&#013;&#010;&#013;&#010;REG_DWORD = ErrorMode&#013;&#010;&#013;&#010;1 = abschalten&#013;&#010;0 = einschalten"/>)"
        R"(<ROW INDEX="5040" SUBTREE="HKCU&#092;Control Panel&#092;Desktop&#092;" SUBKEY="Wallpaper" KEYVALUE="" DATATYPE="REG_SZ" WINVER="XP" STATUS="deaktiviert" TEXT="Tab&#009;here &amp; &apos;quoted&apos; &lt;&quot;x&quot;&gt; )"
        "\xE4\xDF"
        R"("/>)"
        R"(<ROW RowState="8" INDEX="5030" SUBTREE="HKLM&#092;System&#092;CurrentControlSet&#092;Control&#092;Windows" SUBKEY="ErrorMode" KEYVALUE="0" DATATYPE="REG_DWORD" WINVER="NT/W2K/XP/Vista/W7/W8" STATUS="deaktiviert"/>)"
        R"(</ROWDATA></DATAPACKET>)";
    const std::string written = table.SaveToBytes();
    EXPECT_EQ(written, expected);

    // Read back and written again, the file is the same byte for byte.
    PolicyTable reread;
    reread.LoadFromBytes(written);
    EXPECT_EQ(reread.SaveToBytes(), written);
    EXPECT_EQ(reread.RecordCount(), 2);
    // The rewritten row now walks after the unchanged one.
    EXPECT_EQ(reread.GetFieldText(kColumnIndex), "5040");
    reread.Next();
    EXPECT_EQ(reread.GetFieldText(kColumnStatus), "deaktiviert");
    EXPECT_EQ(reread.GetFieldText(kColumnText), Row5030().text);  // inherited through CHANGE_LOG
}

TEST(DatapacketWriter, ThreeInsertedRowsWriteTheirChangeLog) {
    const std::string file =
        R"(<?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0"><METADATA><FIELDS>)"
        R"(<FIELD attrname="N" fieldtype="i4"/></FIELDS><PARAMS CHANGE_LOG="1 0 4 2 0 4 3 0 4"/>)"
        R"(</METADATA><ROWDATA><ROW RowState="4" N="1"/><ROW RowState="4" N="2"/>)"
        R"(<ROW RowState="4"/></ROWDATA></DATAPACKET>)";
    const TableContent content = ReadDatapacket(file);
    EXPECT_EQ(content.changeLog.size(), 3u);
    EXPECT_EQ(content.versions[2].cells.size(), 0u);  // a null column is left out
    EXPECT_EQ(WriteDatapacket(content), file);
}

TEST(DatapacketReader, EveryEscapeAndAllOtherBytesSurviveARoundTrip) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    PolicyTable table = OpenTable();
    table.AppendRow({1, "HKLM\\A\\B", "", "", "", "", "aktiviert", all});
    PolicyTable reread;
    reread.LoadFromBytes(table.SaveToBytes());
    EXPECT_EQ(reread.GetFieldText(kColumnText), all);
    EXPECT_EQ(reread.GetFieldText(kColumnSubtree), "HKLM\\A\\B");
    EXPECT_EQ(reread.GetFieldText(kColumnSubkey), "");
}

TEST(DatapacketReader, Utf8FilesBecomeCodePageText) {
    const std::string file =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>"
        "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
        "<FIELD attrname=\"T\xC3\xA4xt\" fieldtype=\"string\" WIDTH=\"9\"/></FIELDS><PARAMS/>"
        "</METADATA><ROWDATA><ROW T\xC3\xA4xt=\"\xC3\xA4 \xE2\x82\xAC &#228;&#xE4;\"/></ROWDATA>"
        "</DATAPACKET>";
    const TableContent content = ReadDatapacket(file);
    ASSERT_EQ(content.fields.size(), 1u);
    EXPECT_EQ(content.fields[0].name, "T\xE4xt");
    EXPECT_EQ(*content.versions[0].Find(0), "\xE4 \x80 \xE4\xE4");
}

TEST(DatapacketReader, EightBitFilesAreTakenAsTheyStand) {
    const std::string file =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><DATAPACKET><METADATA><FIELDS>"
        "<FIELD attrname=\"T\" fieldtype=\"string\"/></FIELDS></METADATA><ROWDATA>"
        "<ROW T=\"\xE4\xC3\xA4\"/></ROWDATA></DATAPACKET>";
    EXPECT_EQ(*ReadDatapacket(file).versions[0].Find(0), "\xE4\xC3\xA4");
}

TEST(DatapacketReader, ToleratesWhatOtherWritersDo) {
    // Comments, processing instructions, indentation, attribute names in any
    // case, blanks before "=", no declaration, no DATAPACKET element, explicit
    // end tags, and field types a catalogue never has.
    const std::string file =
        "<!-- written by hand -->\n<?app ignore?>\n"
        "<METADATA>\n  <FIELDS>\n"
        "    <FIELD ATTRNAME =\"Id\" FieldType=\"i2\"></FIELD>\n"
        "    <FIELD attrname=\"Price\" fieldtype=\"r8\" SUBTYPE=\"Money\" required=\"true\"/>\n"
        "    <FIELD attrname=\"Born\" fieldtype=\"date\"/>\n"
        "    <FIELD attrname=\"Ok\" fieldtype=\"boolean\"/>\n"
        "  </FIELDS>\n  <PARAMS LCID=\"1033\"><PARAM Name=\"x\" Value=\"y\"/></PARAMS>\n"
        "</METADATA>\n<ROWDATA>\n  <ROW rowstate=\"4\" id=\"7\" PRICE=\"1.5\" Born=\"19881228\" "
        "Ok=\"TRUE\"></ROW>\n</ROWDATA>\n<!-- end -->\n";
    const TableContent content = ReadDatapacket(file);
    ASSERT_EQ(content.fields.size(), 4u);
    EXPECT_EQ(content.fields[1].extra, (std::vector<Attribute>{{"required", "true"}}));
    EXPECT_EQ(content.params, (std::vector<Attribute>{{"LCID", "1033"}}));
    ASSERT_EQ(content.versions.size(), 1u);
    EXPECT_EQ(content.versions[0].state, 4);
    EXPECT_EQ(*content.versions[0].Find(0), "7");
    EXPECT_EQ(*content.versions[0].Find(3), "TRUE");
}

TEST(DatapacketReader, ModifiedVersionInheritsThroughTheChangeList) {
    // Row 1 inserted, then changed: version 2 carries only what changed.
    const std::string file =
        R"(<DATAPACKET><METADATA><FIELDS><FIELD attrname="INDEX" fieldtype="i4"/>)"
        R"(<FIELD attrname="STATUS" fieldtype="string"/><FIELD attrname="TEXT" fieldtype="bin.hex" SUBTYPE="Text"/>)"
        R"(</FIELDS><PARAMS CHANGE_LOG="1 0 4 2 1 8"/></METADATA><ROWDATA>)"
        R"(<ROW RowState="5" INDEX="10" STATUS="aktiviert" TEXT="first"/>)"
        R"(<ROW RowState="12" STATUS="deaktiviert"/></ROWDATA></DATAPACKET>)";
    PolicyTable table;
    table.LoadFromBytes(file);
    EXPECT_EQ(table.RecordCount(), 1);
    EXPECT_EQ(table.GetFieldText(0), "10");
    EXPECT_EQ(table.GetFieldText(1), "deaktiviert");
    EXPECT_EQ(table.GetFieldText(2), "first");
}

TEST(DatapacketReader, DamagedChangeListsDoNotLoop) {
    // Versions that name each other, and numbers beyond the table.
    const std::string file =
        R"(<DATAPACKET><METADATA><FIELDS><FIELD attrname="A" fieldtype="string"/>)"
        R"(</FIELDS><PARAMS CHANGE_LOG="1 2 8 2 1 8 3 99 8 4 4 8"/></METADATA><ROWDATA>)"
        R"(<ROW RowState="8"/><ROW RowState="8" A="x"/><ROW RowState="8"/><ROW RowState="8"/>)"
        R"(</ROWDATA></DATAPACKET>)";
    const TableContent content = ReadDatapacket(file);
    EXPECT_EQ(content.walkOrder.size(), 4u);
    EXPECT_EQ(*content.versions[0].Find(0), "x");
}

TEST(DatapacketReader, DefaultOrderSortsTheWalk) {
    const auto walk = [](const std::string& order) {
        const std::string file =
            R"(<DATAPACKET><METADATA><FIELDS><FIELD attrname="Name" fieldtype="string"/>)"
            R"(<FIELD attrname="Num" fieldtype="i4"/></FIELDS><PARAMS DEFAULT_ORDER=")" +
            order +
            R"("/></METADATA><ROWDATA><ROW Name="b" Num="10"/><ROW Name="B" Num="9"/>)"
            R"(<ROW Name="a" Num="10"/><ROW Num="100"/></ROWDATA></DATAPACKET>)";
        return ReadDatapacket(file).walkOrder;
    };
    using Walk = std::vector<std::uint32_t>;
    EXPECT_EQ(walk("2"), (Walk{1, 0, 2, 3}));        // numbers as numbers, ties in file order
    EXPECT_EQ(walk("1"), (Walk{3, 1, 2, 0}));        // null first, then bytes: "B" < "a" < "b"
    EXPECT_EQ(walk("16385"), (Walk{3, 2, 0, 1}));    // letter case ignored
    EXPECT_EQ(walk("32770 1"), (Walk{3, 2, 0, 1}));  // descending numbers, then names
    EXPECT_EQ(walk("9 0"), (Walk{0, 1, 2, 3}));      // no such columns: file order
}

TEST(DatapacketReader, ColumnsInAnotherOrderLoadAsTheyAre) {
    const std::string file =
        R"(<DATAPACKET><METADATA><FIELDS><FIELD attrname="SUBKEY" fieldtype="string"/>)"
        R"(<FIELD attrname="SUBTREE" fieldtype="string"/></FIELDS></METADATA><ROWDATA>)"
        R"(<ROW SUBTREE="HKLM&#092;X" SUBKEY="Name"/></ROWDATA></DATAPACKET>)";
    PolicyTable table;
    table.LoadFromBytes(file);
    EXPECT_EQ(table.GetFieldText(kColumnSubtree), "HKLM\\X");  // position 1 is SUBTREE here
    EXPECT_EQ(table.GetFieldText(0), "Name");
}

// Each broken file ends in a LoadError with its message and the byte where
// reading stopped.
TEST(DatapacketReader, Errors) {
    const std::string mismatch(kDatapacketMismatch);
    const std::string unknown = "Unknown entity in datapacket.";
    const std::string minimal =
        R"(<DATAPACKET><METADATA><FIELDS><FIELD attrname="A" fieldtype="string"/></FIELDS></METADATA><ROWDATA>)";
    struct Row {
        std::string name;
        std::string file;
        LoadStatus status;
        std::string message;
        std::size_t offset;
    };
    const Row rows[] = {
        {"empty file", "", LoadStatus::Mismatch, mismatch, 0},
        {"only blanks", " \r\n\t", LoadStatus::Mismatch, mismatch, 4},
        {"binary form", std::string("\x96\x19\xE0\xBD\x01\x00", 6), LoadStatus::BinaryForm,
         "The file is in the binary datapacket form, which is not supported.", 0},
        {"not XML", "hello", LoadStatus::Mismatch, mismatch, 0},
        {"truncated tag", "<DATAPACKET Version=\"2.0\"", LoadStatus::Mismatch, mismatch, 0},
        {"truncated value", "<DATAPACKET Version=\"2.", LoadStatus::Mismatch, mismatch, 0},
        {"truncated file", minimal, LoadStatus::Mismatch, mismatch, minimal.size()},
        {"unterminated comment", "<!-- no end", LoadStatus::Mismatch, mismatch, 0},
        {"unterminated processing instruction", "<?xml version=\"1.0\"", LoadStatus::Mismatch,
         mismatch, 0},
        {"row not closed", minimal + "<ROW A=\"x\"></ROWDATA>", LoadStatus::Mismatch, mismatch,
         minimal.size() + 11},
        {"closing tag after self-closing PARAMS",
         R"(<DATAPACKET><METADATA><FIELDS/><PARAMS CHANGE_LOG="1 0 4"/></PARAMS></METADATA>)",
         LoadStatus::Mismatch, mismatch, 59},
        {"METADATA without FIELDS first", R"(<DATAPACKET><METADATA><PARAMS/><FIELDS/></METADATA>)",
         LoadStatus::Mismatch, mismatch, 22},
        {"element names are case-sensitive", "<datapacket/>", LoadStatus::Mismatch, mismatch, 0},
        {"nested DATAPACKET", "<DATAPACKET><DATAPACKET><DATAPACKET>", LoadStatus::Mismatch,
         mismatch, 12},
        {"text between elements", "<DATAPACKET>text", LoadStatus::Mismatch, mismatch, 12},
        {"something after the end", minimal + "</ROWDATA></DATAPACKET><ROW/>", LoadStatus::Mismatch,
         mismatch, minimal.size() + 23},
        {"single-quoted value", minimal + "<ROW A='x'/>", LoadStatus::Mismatch, mismatch,
         minimal.size() + 6},
        {"blank after equals", minimal + "<ROW A= \"x\"/>", LoadStatus::Mismatch, mismatch,
         minimal.size() + 6},
        {"less-than in a value", minimal + "<ROW A=\"a<b\"/>", LoadStatus::Mismatch, mismatch,
         minimal.size() + 9},
        {"same column twice", minimal + "<ROW A=\"1\" a=\"2\"/>", LoadStatus::Mismatch, mismatch,
         minimal.size() + 11},
        {"invalid UTF-8 in a name",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + minimal + "<ROW B\xC3=\"1\"/>",
         LoadStatus::InvalidUtf8, "Invalid UTF-8 in datapacket.", 38 + minimal.size() + 6},
        {"unknown entity", minimal + "<ROW A=\"x &nbsp; y\"/>", LoadStatus::UnknownEntity, unknown,
         minimal.size() + 10},
        {"entity without end", minimal + "<ROW A=\"&amp\"/>", LoadStatus::UnknownEntity, unknown,
         minimal.size() + 8},
        {"character zero", minimal + "<ROW A=\"&#0;\"/>", LoadStatus::InvalidCharacterReference,
         "Invalid character reference in datapacket.", minimal.size() + 8},
        {"character beyond Unicode", minimal + "<ROW A=\"&#x110000;\"/>",
         LoadStatus::InvalidCharacterReference, "Invalid character reference in datapacket.",
         minimal.size() + 8},
        {"invalid UTF-8",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + minimal + "<ROW A=\"ok\xC3(\"/>",
         LoadStatus::InvalidUtf8, "Invalid UTF-8 in datapacket.", 38 + minimal.size() + 10},
        {"invalid RowState", minimal + "<ROW RowState=\"x\"/>", LoadStatus::InvalidRowState,
         "The datapacket has an invalid RowState.", minimal.size() + 15},
        {"RowState beyond a byte", minimal + "<ROW RowState=\"256\"/>", LoadStatus::InvalidRowState,
         "The datapacket has an invalid RowState.", minimal.size() + 15},
        {"CHANGE_LOG not in triples",
         R"(<DATAPACKET><METADATA><FIELDS/><PARAMS CHANGE_LOG="1 0"/></METADATA>)",
         LoadStatus::ChangeLogNotTriples,
         "The CHANGE_LOG of the datapacket is not a list of number triples.", 51},
        {"FIELD without attrname", R"(<DATAPACKET><METADATA><FIELDS><FIELD fieldtype="i4"/>)",
         LoadStatus::FieldWithoutName, "A FIELD of the datapacket has no attrname or fieldtype.",
         30},
        {"a field twice",
         R"(<METADATA><FIELDS><FIELD attrname="A" fieldtype="i4"/><FIELD attrname="a" fieldtype="i4"/>)",
         LoadStatus::FieldNamedTwice, "The datapacket names the field \"a\" twice.", 54},
        {"field name that cannot name a column",
         R"(<METADATA><FIELDS><FIELD attrname="A B" fieldtype="i4"/>)",
         LoadStatus::FieldNameNotAColumn,
         "The datapacket has a field name that cannot name a column.", 18},
        {"nested dataset", R"(<METADATA><FIELDS><FIELD attrname="Items" fieldtype="nested">)",
         LoadStatus::NestedDataset,
         "The datapacket has a nested dataset (field \"Items\"), which is not supported.", 18},
        {"row with child elements", minimal + "<ROW A=\"1\"><Items/></ROW>",
         LoadStatus::NestedRowData,
         "The datapacket has rows with nested data, which is not supported.", minimal.size() + 11},
        {"document type", "<!DOCTYPE x [<!ENTITY a \"b\">]><DATAPACKET/>", LoadStatus::DocumentType,
         "Document type declarations are not supported in a datapacket.", 0},
        {"huge unterminated value", minimal + "<ROW A=\"" + std::string(1 << 20, 'x'),
         LoadStatus::Mismatch, mismatch, minimal.size()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        try {
            ReadDatapacket(row.file);
            ADD_FAILURE() << "loaded";
        } catch (const LoadError& error) {
            EXPECT_EQ(error.Status(), row.status);
            EXPECT_EQ(error.what(), row.message);
            EXPECT_EQ(error.Offset(), row.offset);
        }
    }
}

}  // namespace
}  // namespace quarn
