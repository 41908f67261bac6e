#include <gtest/gtest.h>

#include "system/text_encoding.h"

namespace quarn {
namespace {

TEST(TextEncoding, Cp1252RoundTripsEveryByteThroughUtf16) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(all)), all);
    EXPECT_EQ(*Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(TextEncoding, GermanLettersAndTheEuroSign) {
    struct Row {
        const char* cp1252;
        const char* utf8;
        std::wstring utf16;
    };
    const Row rows[] = {
        {"\xE4\xF6\xFC\xDF", "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F", L"\u00E4\u00F6\u00FC\u00DF"},
        {"\xC4\xD6\xDC", "\xC3\x84\xC3\x96\xC3\x9C", L"\u00C4\u00D6\u00DC"},
        {"\x80", "\xE2\x82\xAC", L"\u20AC"},
        {"\x84\x93", "\xE2\x80\x9E\xE2\x80\x9C", L"\u201E\u201C"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.utf8);
        EXPECT_EQ(Cp1252ToUtf16(row.cp1252), row.utf16);
        EXPECT_EQ(Utf16ToCp1252(row.utf16), row.cp1252);
        EXPECT_EQ(Cp1252ToUtf8(row.cp1252), row.utf8);
        EXPECT_EQ(*Utf8ToCp1252(row.utf8), row.cp1252);
        EXPECT_EQ(Utf8ToUtf16(row.utf8), row.utf16);
        EXPECT_EQ(Utf16ToUtf8(row.utf16), row.utf8);
    }
}

TEST(TextEncoding, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(*Utf8ToCp1252("\xEF\xBC\xAE\xEF\xBD\x8F"), "??");  // full-width No
    EXPECT_EQ(*Utf8ToCp1252("a\xF0\x9F\x98\x80z"), "a?z");       // outside the BMP
    EXPECT_EQ(Utf16ToCp1252(L"\u65E5\xD83D\xDE00"), "??");       // one surrogate pair is one '?'
}

TEST(TextEncoding, InvalidUtf8IsRefusedWithItsOffset) {
    struct Row {
        std::string text;
        std::size_t offset;
    };
    const Row rows[] = {
        {"ab\xC3", 2},            // truncated sequence
        {"\x80", 0},              // stray continuation byte
        {"ok\xC0\xAF", 2},        // overlong slash
        {"x\xED\xA0\x80", 1},     // encoded surrogate
        {"\xF4\x90\x80\x80", 0},  // above U+10FFFF
        {"abc\xC3\x28", 3},       // bad continuation
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.offset);
        std::size_t offset = 999;
        EXPECT_FALSE(Utf8ToCp1252(row.text, &offset).has_value());
        EXPECT_EQ(offset, row.offset);
    }
}

}  // namespace
}  // namespace quarn
