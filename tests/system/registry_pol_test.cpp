// Registry.pol, the Group Policy registry file: what the writer makes byte
// for byte, round trips of every kind of record, and broken files refused
// with their status and byte offset.

#include "system/registry_pol.h"

#include <gtest/gtest.h>

#include "system/error.h"
#include "system/registry_backend.h"
#include "system/value_data.h"

namespace quarn {
namespace {

std::string Utf16(std::wstring_view text) {
    std::string bytes;
    for (const wchar_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string Number(std::uint32_t number) {
    const auto bytes = DwordValueData(number);
    return std::string(bytes.begin(), bytes.end());
}

// One DWORD record as Windows writes it: "PReg", version 1, then
// [key\0;value\0;type;size;data].
const std::string kOneDword = std::string("PReg") + Number(1) + Utf16(L"[Software\\Policies\\X") +
                              Utf16(std::wstring(1, L'\0')) + Utf16(L";NoRun") +
                              Utf16(std::wstring(1, L'\0')) + Utf16(L";") + Number(4) +
                              Utf16(L";") + Number(4) + Utf16(L";") + Number(1) + Utf16(L"]");

TEST(RegistryPol, WritesWhatWindowsReads) {
    const std::vector<PolRecord> records = {
        {L"Software\\Policies\\X", L"NoRun", kRegDword, {1, 0, 0, 0}}};
    EXPECT_EQ(WriteRegistryPol(records), kOneDword);
    EXPECT_EQ(WriteRegistryPol({}), std::string("PReg") + Number(1));
}

TEST(RegistryPol, EveryKindOfRecordReadsBackAsWritten) {
    const std::vector<PolRecord> records = {
        {L"Software\\Policies\\X", L"NoRun", kRegDword, {1, 0, 0, 0}},
        // Data holding the bytes of ']' and ';': the size, not a delimiter, ends it.
        {L"Software\\Policies\\X", L"Text", kRegSz, StringValueData(L"a];b")},
        {L"Software\\Policies\\X", L"Empty", kRegSz, StringValueData(L"")},
        {L"Software\\Policies\\X", L"Bin", kRegBinary, {0x5D, 0x00, 0x3B, 0x00, 0xFF}},
        {L"Software\\Policies\\X", L"**del.Old", kRegSz, StringValueData(L" ")},
        {L"Software\\Policies\\X", L"**DeleteKeys", kRegSz, StringValueData(L"A;B")},
        {L"Software\\Policies\\X\\Only", L"", kRegNone, {}},
        {L"Software\\Policies\\Größe", L"Wert ä", kRegSz, StringValueData(L"€")},
    };
    const PolReadResult read = ReadRegistryPol(WriteRegistryPol(records));
    ASSERT_TRUE(read) << read.message;
    EXPECT_EQ(read.records, records);
    EXPECT_EQ(read.offset, WriteRegistryPol(records).size());
}

TEST(RegistryPol, WhatTheFormCannotHoldIsRefused) {
    EXPECT_THROW(WriteRegistryPol({{L"", L"V", kRegDword, {1, 0, 0, 0}}}), Error);
    EXPECT_THROW(WriteRegistryPol({{L"Software\\X", std::wstring(L"a\0b", 3), kRegSz, {}}}), Error);
}

TEST(RegistryPol, BrokenFilesAreRefusedWithWhereReadingStopped) {
    const std::size_t header = 8;
    const std::size_t sizeField = kOneDword.size() - 2 - 4 - 2 - 4;  // before ";data]"
    const struct {
        const char* name;
        std::string bytes;
        PolStatus status;
        std::size_t offset;
    } cases[] = {
        {"another signature", "Preg" + Number(1), PolStatus::NotRegistryPol, 0},
        {"shorter than the header", "PReg", PolStatus::NotRegistryPol, 0},
        {"another version", "PReg" + Number(2), PolStatus::UnknownVersion, 4},
        {"cut inside the key", kOneDword.substr(0, header + 11), PolStatus::Truncated, header + 10},
        {"cut before the closing bracket", kOneDword.substr(0, kOneDword.size() - 2),
         PolStatus::Truncated, kOneDword.size() - 2},
        {"no opening bracket",
         std::string("PReg") + Number(1) + Utf16(L"(") + kOneDword.substr(header + 2),
         PolStatus::MissingDelimiter, header},
        {"a size beyond the file",
         kOneDword.substr(0, sizeField) + Number(4000) + kOneDword.substr(sizeField + 4),
         PolStatus::SizeBeyondFile, sizeField},
        {"a second record cut short", kOneDword + kOneDword.substr(header, 6), PolStatus::Truncated,
         kOneDword.size() + 6},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const PolReadResult read = ReadRegistryPol(row.bytes);
        EXPECT_EQ(read.status, row.status) << read.message;
        EXPECT_EQ(read.offset, row.offset) << read.message;
        EXPECT_NE(read.message.find("at byte " + std::to_string(row.offset)), std::string::npos)
            << read.message;
    }
    // What came before the damage is kept.
    EXPECT_EQ(ReadRegistryPol(kOneDword + kOneDword.substr(header, 6)).records.size(), 1u);
}

}  // namespace
}  // namespace quarn
