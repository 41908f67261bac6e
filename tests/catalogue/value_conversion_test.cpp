#include <gtest/gtest.h>

#include "catalogue/value_conversion.h"

namespace quarn {
namespace {

TEST(TextToInteger, Table) {
    struct Row {
        const char* text;
        std::optional<std::uint32_t> bits;  // the 32 bits written, or a conversion error
    };
    const Row rows[] = {
        {"1", 1u},
        {"0", 0u},
        {"  42", 42u},  // leading blanks
        {"+7", 7u},
        {"-1", 0xFFFFFFFFu},  // two's complement
        {"2147483647", 0x7FFFFFFFu},
        {"-2147483648", 0x80000000u},
        {"67108863", 0x3FFFFFFu},
        {"$FF", 0xFFu},
        {"x1f", 0x1Fu},
        {"X1F", 0x1Fu},
        {"0x10", 0x10u},
        {"0XFFFFFFFF", 0xFFFFFFFFu},  // all 32 bits in hexadecimal
        {"-$1", 0xFFFFFFFFu},
        {"  -0x2", 0xFFFFFFFEu},
        {"2147483648", std::nullopt},  // beyond the signed range
        {"-2147483649", std::nullopt},
        {"0x100000000", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"abc", std::nullopt},
        {"1 ", std::nullopt},  // nothing may follow
        {"1a", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"--1", std::nullopt},
        {"\t1", std::nullopt},  // blanks only, not tabs
        {"0xG", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("\"") + row.text + "\"");
        const auto value = TextToInteger(row.text);
        ASSERT_EQ(value.has_value(), row.bits.has_value());
        if (value) {
            EXPECT_EQ(static_cast<std::uint32_t>(*value), *row.bits);
        }
    }
}

TEST(HexToDecimalText, Table) {
    struct Row {
        const char* text;
        std::optional<std::string> decimal;
    };
    const Row rows[] = {
        {"FFFFFFFF", "-1"},          {"ffffffff", "-1"},          {"0", "0"},
        {"0000000010", "16"},  // leading zeros
        {"7FFFFFFF", "2147483647"},  {"80000000", "-2147483648"}, {"3FFFFFF", "67108863"},
        {"100000000", std::nullopt},                          // more than 32 bits
        {"", std::nullopt},          {"0x10", std::nullopt},  // no prefix
        {"-1", std::nullopt},                                 // no sign
        {" 1", std::nullopt},                                 // no blanks
        {"1G", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("\"") + row.text + "\"");
        EXPECT_EQ(HexToDecimalText(row.text), row.decimal);
    }
}

TEST(HexTextToBytes, Table) {
    struct Row {
        const char* text;
        std::vector<std::uint8_t> bytes;
    };
    const Row rows[] = {
        {"110000004C", {0x11, 0x00, 0x00, 0x00, 0x4C}},
        {"12G4", {0x12, 0x00}},  // stops at the first bad pair, rest 0
        {"G412", {0x00, 0x00}},
        {"abCD", {0xAB, 0xCD}},
        {"123", {0x12}},  // a trailing odd character is ignored
        {" ", {}},
        {"", {}},
        {"1", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("\"") + row.text + "\"");
        EXPECT_EQ(HexTextToBytes(row.text), row.bytes);
    }
}

}  // namespace
}  // namespace quarn
