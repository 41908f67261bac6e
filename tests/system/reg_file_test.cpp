#include "system/reg_file.h"

#include <gtest/gtest.h>

#include "system/error.h"
#include "system/value_data.h"

namespace quarn {
namespace {

// The bytes the writer gives for these lines: FF FE, UTF-16LE, CR LF.
std::string Utf16File(const std::vector<std::wstring>& lines) {
    std::string bytes = "\xFF\xFE";
    for (const std::wstring& line : lines) {
        for (const wchar_t unit : line + L"\r\n") {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
        }
    }
    return bytes;
}

RegFileValue Present(std::wstring name, std::uint32_t type, std::vector<std::uint8_t> data) {
    return RegFileValue{std::move(name), RegistryValue{type, std::move(data)}};
}

RegFileValue Absent(std::wstring name) {
    return RegFileValue{std::move(name), std::nullopt};
}

const std::wstring kKey = L"HKEY_CURRENT_USER\\Software\\Test";

// A file of one key with the given values.
RegFile OneKey(std::vector<RegFileValue> values) {
    return RegFile{{}, {}, {RegFileKey{kKey, false, std::move(values)}}};
}

std::vector<std::wstring> OneKeyLines(std::vector<std::wstring> valueLines) {
    std::vector<std::wstring> lines = {L"Windows Registry Editor Version 5.00", L"",
                                       L"[" + kKey + L"]"};
    lines.insert(lines.end(), valueLines.begin(), valueLines.end());
    return lines;
}

std::vector<std::uint8_t> CountingBytes(std::size_t count) {
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < count; ++i) {
        data.push_back(static_cast<std::uint8_t>(i));
    }
    return data;
}

struct RoundTrip {
    const char* name;
    RegFile file;
    std::vector<std::wstring> lines;
};

std::vector<RoundTrip> RoundTrips() {
    return {
        {"a string with backslashes and quotes",
         OneKey({Present(L"Path", kRegSz, StringValueData(L"C:\\Program Files\\\"x\""))}),
         OneKeyLines({L"\"Path\"=\"C:\\\\Program Files\\\\\\\"x\\\"\""})},
        {"the default value and an empty string",
         OneKey({Present(L"", kRegSz, StringValueData(L"default")),
                 Present(L"Empty", kRegSz, {0, 0})}),
         OneKeyLines({L"@=\"default\"", L"\"Empty\"=\"\""})},
        {"absent values, named and default", OneKey({Absent(L"Old"), Absent(L"")}),
         OneKeyLines({L"\"Old\"=-", L"@=-"})},
        {"a value name with a backslash and a quote",
         OneKey({Present(L"a\\b\"c", kRegDword, {0x2a, 0, 0, 0})}),
         OneKeyLines({L"\"a\\\\b\\\"c\"=dword:0000002a"})},
        {"a dword in lower-case hex, and one of three bytes",
         OneKey({Present(L"D", kRegDword, {0xef, 0xbe, 0xad, 0xde}),
                 Present(L"Short", kRegDword, {1, 2, 3})}),
         OneKeyLines({L"\"D\"=dword:deadbeef", L"\"Short\"=hex(4):01,02,03"})},
        {"binary data, and empty binary data",
         OneKey({Present(L"B", kRegBinary, {0xde, 0xad, 0xbe, 0xef}),
                 Present(L"None", kRegBinary, {})}),
         OneKeyLines({L"\"B\"=hex:de,ad,be,ef", L"\"None\"=hex:"})},
        {"expandable and multiple strings",
         OneKey({Present(L"E", kRegExpandSz, StringValueData(L"%T%")),
                 Present(L"M", kRegMultiSz, {0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0})}),
         OneKeyLines({L"\"E\"=hex(2):25,00,54,00,25,00,00,00",
                      L"\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00"})},
        {"a qword, REG_NONE and a type without a name",
         OneKey({Present(L"Q", kRegQword, {0x2a, 0, 0, 0, 0, 0, 0, 0x80}),
                 Present(L"N", kRegNone, {1}), Present(L"X", 0x2000a, {})}),
         OneKeyLines(
             {L"\"Q\"=hex(b):2a,00,00,00,00,00,00,80", L"\"N\"=hex(0):01", L"\"X\"=hex(2000a):"})},
        {"REG_SZ data that the quoted form cannot hold",
         OneKey({Present(L"NoData", kRegSz, {}), Present(L"NoTerminator", kRegSz, {0x61, 0}),
                 Present(L"Inner", kRegSz, {0x61, 0, 0, 0, 0x62, 0, 0, 0}),
                 Present(L"TwoZeros", kRegSz, {0x61, 0, 0, 0, 0, 0}),
                 Present(L"Odd", kRegSz, {0x61, 0, 0}),
                 Present(L"LineFeed", kRegSz, StringValueData(L"a\nb")),
                 Present(L"Return", kRegSz, StringValueData(L"a\r"))}),
         OneKeyLines({L"\"NoData\"=hex(1):", L"\"NoTerminator\"=hex(1):61,00",
                      L"\"Inner\"=hex(1):61,00,00,00,62,00,00,00",
                      L"\"TwoZeros\"=hex(1):61,00,00,00,00,00", L"\"Odd\"=hex(1):61,00,00",
                      L"\"LineFeed\"=hex(1):61,00,0a,00,62,00,00,00",
                      L"\"Return\"=hex(1):61,00,0d,00,00,00"})},
        {"text beyond code page 1252 stays UTF-16",
         OneKey({Present(L"\u20ac\u4e2d", kRegSz, StringValueData(L"\u0416\xD83D\xDE00"))}),
         OneKeyLines({L"\"\u20ac\u4e2d\"=\"\u0416\xD83D\xDE00\""})},
        {"long hex data wrapped as regedit wraps it",
         OneKey({Present(L"Big", kRegBinary, CountingBytes(60))}),
         OneKeyLines({L"\"Big\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,"
                      L"13,14,15,16,\\",
                      L"  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,"
                      L"2d,2e,2f,\\",
                      L"  30,31,32,33,34,35,36,37,38,39,3a,3b"})},
        {"a long name wraps the data sooner",
         OneKey(
             {Present(L"A name of exactly forty characters long.", kRegBinary, CountingBytes(13))}),
         OneKeyLines({L"\"A name of exactly forty characters long.\"=hex:00,01,02,03,04,05,06,"
                      L"07,08,09,\\",
                      L"  0a,0b,0c"})},
        {"header comments, created keys, deleted and empty keys",
         RegFile{{L"Before the change", L" indented"},
                 {L"HKEY_CURRENT_USER\\Software\\New", L"HKEY_USERS\\S-1-5-21-1\\Software\\N"},
                 {RegFileKey{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone", true, {}},
                  RegFileKey{L"HKEY_USERS\\S-1-5-21-1\\Software\\X", false, {}},
                  RegFileKey{kKey, false, {Absent(L"V")}}}},
         {L"Windows Registry Editor Version 5.00", L"; Before the change", L";  indented", L"",
          L"; created: HKEY_CURRENT_USER\\Software\\New",
          L"; created: HKEY_USERS\\S-1-5-21-1\\Software\\N", L"",
          L"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]", L"", L"[HKEY_USERS\\S-1-5-21-1\\Software\\X]",
          L"", L"[" + kKey + L"]", L"\"V\"=-"}},
        {"no keys at all", RegFile{}, {L"Windows Registry Editor Version 5.00"}},
    };
}

TEST(RegFile, WritesRegeditsFormAndReadsItBack) {
    for (const RoundTrip& row : RoundTrips()) {
        SCOPED_TRACE(row.name);
        const std::string bytes = WriteRegFile(row.file);
        EXPECT_EQ(bytes, Utf16File(row.lines));
        const RegFileReadResult read = ReadRegFile(bytes);
        ASSERT_TRUE(read) << read.message;
        EXPECT_EQ(read.offset, bytes.size());
        EXPECT_EQ(read.file, row.file);
    }
}

TEST(RegFile, RefusesToWriteWhatTheFormCannotHold) {
    struct Row {
        const char* name;
        RegFile file;
    };
    const std::vector<Row> rows = {
        {"a comment with a line feed", RegFile{{L"two\nlines"}, {}, {}}},
        {"a comment that would read as a created key", RegFile{{L"created: by hand"}, {}, {}}},
        {"a created key that is no key", RegFile{{}, {L"Software\\X"}, {}}},
        {"a key of an unknown root", RegFile{{}, {}, {RegFileKey{L"HKCU\\Software", false, {}}}}},
        {"a key with an empty level",
         RegFile{{}, {}, {RegFileKey{L"HKEY_CURRENT_USER\\\\X", false, {}}}}},
        {"a key that ends in a backslash",
         RegFile{{}, {}, {RegFileKey{L"HKEY_CURRENT_USER\\X\\", false, {}}}}},
        {"a key with a carriage return",
         RegFile{{}, {}, {RegFileKey{L"HKEY_CURRENT_USER\\X\r", false, {}}}}},
        {"a value name with a line feed", OneKey({Absent(L"a\nb")})},
        {"a value name with a zero", OneKey({Absent(std::wstring(L"a\0b", 3))})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_THROW(WriteRegFile(row.file), Error);
    }
}

const std::string kV5 = "Windows Registry Editor Version 5.00\r\n";
const std::string kKeyLine = "\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n";

TEST(RegFile, ReadsWhatRegeditsAndHandsWrite) {
    struct Row {
        const char* name;
        std::string bytes;
        RegFile expected;
    };
    const std::vector<Row> rows = {
        {"an 8-bit version 5 file with line feeds only, in UTF-8",
         "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Test]\n"
         "\"Gr\xC3\xBC\xC3\x9F"
         "e\"=\"\xE2\x82\xAC\"\n",
         OneKey({Present(L"Gr\u00fc\u00dfe", kRegSz, StringValueData(L"\u20ac"))})},
        {"UTF-8 after its mark", "\xEF\xBB\xBF" + kV5 + kKeyLine + "@=\"\xC3\xA4\"\r\n",
         OneKey({Present(L"", kRegSz, StringValueData(L"\u00e4"))})},
        {"code page 1252 where the file is not UTF-8", kV5 + kKeyLine + "\"\xFC\"=\"\x80\"\r\n",
         OneKey({Present(L"\u00fc", kRegSz, StringValueData(L"\u20ac"))})},
        {"REGEDIT4 with 8-bit hex(2) and hex(7) text, and REG_SZ in hex(1)",
         "REGEDIT4\r\n" + kKeyLine +
             "\"E\"=hex(2):25,54,25,00\r\n\"M\"=hex(7):61,00,e4,00,00\r\n\"S\"=hex(1):61,00\r\n",
         OneKey({Present(L"E", kRegExpandSz, StringValueData(L"%T%")),
                 Present(L"M", kRegMultiSz, Utf16LeData(std::wstring(L"a\0\u00e4\0\0", 5))),
                 Present(L"S", kRegSz, {0x61, 0})})},
        {"Wine's line feed escape, short dwords, capitals and blanks",
         kV5 + kKeyLine +
             "\"Text\"=\"a\\nb\"\r\n\"D\"=DWORD:1F\r\n  \"Spaced\" = hex:A,Bc , 0d \r\n",
         OneKey({Present(L"Text", kRegSz, StringValueData(L"a\nb")),
                 Present(L"D", kRegDword, {0x1f, 0, 0, 0}),
                 Present(L"Spaced", kRegBinary, {0x0a, 0xbc, 0x0d})})},
        {"continuation lines, also straight after hex:",
         kV5 + kKeyLine + "\"B\"=hex:01,02,\\\r\n    03,\\\n\t04\r\n\"C\"=hex(b):\\\r\n  05\r\n",
         OneKey({Present(L"B", kRegBinary, {1, 2, 3, 4}), Present(L"C", kRegQword, {5})})},
        {"comments: the header's, created keys, and later ones passed over",
         kV5 + ";no blank\r\n; created: HKEY_CURRENT_USER\\Software\\N\r\n\r\n" + kKeyLine +
             "; created: HKEY_CURRENT_USER\\Software\\Later\r\n; note\r\n\"V\"=-\r\n",
         RegFile{{L"no blank"},
                 {L"HKEY_CURRENT_USER\\Software\\N"},
                 {RegFileKey{kKey, false, {Absent(L"V")}}}}},
        {"root names in any letter case, a deleted key, no final line end",
         kV5 + "[hkey_local_machine\\SOFTWARE\\X]\r\n[-HKEY_USERS\\S-1]",
         RegFile{{},
                 {},
                 {RegFileKey{L"hkey_local_machine\\SOFTWARE\\X", false, {}},
                  RegFileKey{L"HKEY_USERS\\S-1", true, {}}}}},
        {"a root key alone, and a quoted empty name as the default value",
         kV5 + "[HKEY_CURRENT_USER]\r\n\"\"=\"x\"\r\n",
         RegFile{{},
                 {},
                 {RegFileKey{
                     L"HKEY_CURRENT_USER", false, {Present(L"", kRegSz, StringValueData(L"x"))}}}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const RegFileReadResult read = ReadRegFile(row.bytes);
        ASSERT_TRUE(read) << read.message;
        EXPECT_EQ(read.offset, row.bytes.size());
        EXPECT_EQ(read.file, row.expected);
    }
}

TEST(RegFile, BrokenFilesSayWhatAndWhere) {
    struct Row {
        const char* name;
        std::string bytes;
        RegFileStatus status;
        // The file from the byte where reading stopped to its end.
        std::string stoppedAt;
    };
    const std::string key = kV5 + kKeyLine;
    const std::vector<Row> rows = {
        {"an empty file", "", RegFileStatus::NotARegistryFile, ""},
        {"an unknown header", "REGEDIT5\r\n", RegFileStatus::NotARegistryFile, "REGEDIT5\r\n"},
        {"UTF-16 without its mark", Utf16File({L"REGEDIT4"}).substr(2),
         RegFileStatus::NotARegistryFile, Utf16File({L"REGEDIT4"}).substr(2)},
        {"a key line without ']'", kV5 + "[HKEY_CURRENT_USER\\X \r\n", RegFileStatus::BadKeyLine,
         " \r\n"},
        {"a key of an abbreviated root", kV5 + "[-HKCU\\X]\r\n", RegFileStatus::BadKeyLine,
         "HKCU\\X]\r\n"},
        {"a key with an empty level", kV5 + "[HKEY_USERS\\\\X]\r\n", RegFileStatus::BadKeyLine,
         "HKEY_USERS\\\\X]\r\n"},
        {"a value before the first key", kV5 + "  @=\"x\"\r\n", RegFileStatus::ValueOutsideKey,
         "@=\"x\"\r\n"},
        {"a line that is nothing", key + "Name=1\r\n", RegFileStatus::UnknownLine, "Name=1\r\n"},
        {"a name without its closing quote", key + "\"Name=1\r\n", RegFileStatus::BadValueLine,
         "\r\n"},
        {"a name with an unknown escape", key + "\"a\\tb\"=-\r\n", RegFileStatus::BadValueLine,
         "\\tb\"=-\r\n"},
        {"no '=' after the name", key + "\"N\" dword:1\r\n", RegFileStatus::BadValueLine,
         "dword:1\r\n"},
        {"an unknown data form", key + "\"N\"=str:\"x\"\r\n", RegFileStatus::BadValueLine,
         "str:\"x\"\r\n"},
        {"text after '-'", key + "\"N\"=- x\r\n", RegFileStatus::BadData, "x\r\n"},
        {"a text without its closing quote", key + "\"N\"=\"abc\r\n", RegFileStatus::BadData,
         "\r\n"},
        {"a text with an unknown escape", key + "\"N\"=\"C:\\temp\"\r\n", RegFileStatus::BadData,
         "\\temp\"\r\n"},
        {"text after a text", key + "\"N\"=\"a\"b\r\n", RegFileStatus::BadData, "b\r\n"},
        {"dword: without digits", key + "\"N\"=dword:\r\n", RegFileStatus::BadData, "\r\n"},
        {"a dword of nine digits", key + "\"N\"=dword:123456789\r\n", RegFileStatus::BadData,
         "9\r\n"},
        {"text after a dword", key + "\"N\"=dword:12x\r\n", RegFileStatus::BadData, "x\r\n"},
        {"hex without its colon", key + "\"N\"=hex01\r\n", RegFileStatus::BadData, "01\r\n"},
        {"hex( without a type", key + "\"N\"=hex():01\r\n", RegFileStatus::BadData, "):01\r\n"},
        {"hex( without ')'", key + "\"N\"=hex(2:01\r\n", RegFileStatus::BadData, ":01\r\n"},
        {"a type of nine digits", key + "\"N\"=hex(100000000):\r\n", RegFileStatus::BadData,
         "0):\r\n"},
        {"a byte that is not hex", key + "\"N\"=hex:01,zz\r\n", RegFileStatus::BadData, "zz\r\n"},
        {"a byte of three digits", key + "\"N\"=hex:012\r\n", RegFileStatus::BadData, "2\r\n"},
        {"bytes without a comma", key + "\"N\"=hex:01 02\r\n", RegFileStatus::BadData, "02\r\n"},
        {"a comma at the end", key + "\"N\"=hex:01,\r\n\"M\"=-\r\n", RegFileStatus::BadData,
         "\r\n\"M\"=-\r\n"},
        {"a continuation followed by a blank line", key + "\"N\"=hex:01,\\\r\n\r\n",
         RegFileStatus::BadData, "\r\n"},
        {"a continuation at the end of the file", key + "\"N\"=hex:01,\\\r\n",
         RegFileStatus::BadData, "\r\n"},
        {"text after the continuation's backslash", key + "\"N\"=hex:01,\\ 02\r\n",
         RegFileStatus::BadData, "02\r\n"},
        {"a backslash without a comma before it", key + "\"N\"=hex:01\\\r\n  02\r\n",
         RegFileStatus::BadData, "\\\r\n  02\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(row.bytes.ends_with(row.stoppedAt));
        const RegFileReadResult read = ReadRegFile(row.bytes);
        EXPECT_EQ(read.status, row.status) << read.message;
        EXPECT_FALSE(read);
        EXPECT_FALSE(read.message.empty());
        EXPECT_EQ(read.offset, row.bytes.size() - row.stoppedAt.size()) << read.message;
        EXPECT_EQ(read.file, RegFile{}) << "a damaged file is not read in part";
    }
}

TEST(RegFile, OffsetsInUtf16AndUtf8FilesCountBytes) {
    const std::string utf16 = Utf16File({L"Windows Registry Editor Version 5.00", L"",
                                         L"[HKEY_CURRENT_USER\\X]", L"\"\u00e4\"=dword:x"});
    const RegFileReadResult fromUtf16 = ReadRegFile(utf16);
    EXPECT_EQ(fromUtf16.status, RegFileStatus::BadData);
    // The 'x' is the line's last unit, before CR LF.
    EXPECT_EQ(fromUtf16.offset, utf16.size() - 2 * 3);
    EXPECT_NE(fromUtf16.message.find("line 4"), std::string::npos) << fromUtf16.message;

    const std::string utf8 = kV5 + kKeyLine + "\"\xC3\xA4\xE2\x82\xAC\"=dword:x\r\n";
    const RegFileReadResult fromUtf8 = ReadRegFile(utf8);
    EXPECT_EQ(fromUtf8.status, RegFileStatus::BadData);
    EXPECT_EQ(fromUtf8.offset, utf8.size() - 3);
}

TEST(RegFile, AUtf16FileOfAnOddSizeIsRefused) {
    const std::string bytes = Utf16File({L"Windows Registry Editor Version 5.00"}) + "x";
    const RegFileReadResult read = ReadRegFile(bytes);
    EXPECT_EQ(read.status, RegFileStatus::BadUtf16);
    EXPECT_EQ(read.offset, bytes.size() - 1);
    EXPECT_EQ(read.file, RegFile{});
}

}  // namespace
}  // namespace quarn
