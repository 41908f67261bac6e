// What a row does to the registry, worked out without one: the hive tag of
// SUBTREE, and ResolveRowTarget over named rows of every kind and every fault.

#include <gtest/gtest.h>

#include <ostream>

#include "catalogue/row_kinds.h"
#include "system/text_encoding.h"

namespace quarn {

void PrintTo(const RowTarget& target, std::ostream* out) {
    *out << "{hive " << static_cast<int>(target.hive) << ", " << Utf16ToUtf8(target.keyPath)
         << ", value \"" << Utf16ToUtf8(target.valueName) << "\", operation "
         << static_cast<int>(target.operation) << ", type "
         << static_cast<std::uint32_t>(target.valueType) << ", data";
    for (const std::uint8_t byte : target.data) {
        *out << " " << static_cast<int>(byte);
    }
    *out << "}";
}

void PrintTo(RowFault fault, std::ostream* out) {
    constexpr const char* kNames[] = {"UnknownHive", "TooBroadDeletion", "UnknownKind",
                                      "UnconvertibleValue"};
    *out << kNames[static_cast<int>(fault)];
}

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ParseSubtree, TheHiveTagAndTheKeyPathAfterIt) {
    struct Case {
        const char* subtree;
        RowHive hive;
        std::optional<std::string_view> tag;
        std::string_view keyPath;
    };
    const Case cases[] = {
        {"HKCU\\Software\\X", RowHive::PerUser, "HKCU", "\\Software\\X"},
        {"HKLM\\SOFTWARE\\X\\", RowHive::Machine, "HKLM", "\\SOFTWARE\\X\\"},
        {"HKLM\\", RowHive::Machine, "HKLM", "\\"},
        {"hkcu\\Software", RowHive::Unknown, "hkcu", "\\Software"},  // tags are case-sensitive
        {"HKEY_LOCAL_MACHINE\\Software", RowHive::Unknown, "HKEY_LOCAL_MACHINE", "\\Software"},
        {"\\Software", RowHive::Unknown, "", "\\Software"},
        {"HKCUSoftware", RowHive::Unknown, std::nullopt, ""},
        {"", RowHive::Unknown, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subtree);
        const ParsedSubtree parsed = ParseSubtree(c.subtree);
        EXPECT_EQ(parsed.hive, c.hive);
        EXPECT_EQ(parsed.tag, c.tag);
        EXPECT_EQ(parsed.keyPath, c.keyPath);
    }
}

RowTarget Value(RowHive hive, std::wstring keyPath, std::wstring name, RowValueType type,
                Bytes data) {
    return {hive, std::move(keyPath), std::move(name), RowOperation::WriteValue,
            type, std::move(data)};
}

RowTarget Change(RowHive hive, std::wstring keyPath, std::wstring name, RowOperation operation) {
    return {hive, std::move(keyPath), std::move(name), operation, RowValueType::None, {}};
}

TEST(ResolveRowTarget, NamedRows) {
    constexpr auto kUser = RowHive::PerUser;
    constexpr auto kMachine = RowHive::Machine;
    struct Case {
        const char* name;
        RowFields row;
        std::variant<RowTarget, RowFault> expected;
    };
    const Case cases[] = {
        // Each kind.
        {"REG_DWORD, four bytes, low byte first",
         {"HKCU\\Software\\Policies\\X", "NoRun", "67108863", "REG_DWORD"},
         Value(kUser, L"\\Software\\Policies\\X", L"NoRun", RowValueType::Dword,
               {0xFF, 0xFF, 0xFF, 0x03})},
        {"REG_DWORD, negative: its two's complement",
         {"HKCU\\Software\\X", "A", "-2", "REG_DWORD"},
         Value(kUser, L"\\Software\\X", L"A", RowValueType::Dword, {0xFE, 0xFF, 0xFF, 0xFF})},
        {"REG_DWORD, hexadecimal after $",
         {"HKLM\\SOFTWARE\\X", "A", "$10", "REG_DWORD"},
         Value(kMachine, L"\\SOFTWARE\\X", L"A", RowValueType::Dword, {0x10, 0, 0, 0})},
        {"REG_DWHEX in the machine hive, like a per-user one",
         {"HKLM\\SOFTWARE\\X", "Flags", "0000ff", "REG_DWHEX"},
         Value(kMachine, L"\\SOFTWARE\\X", L"Flags", RowValueType::Dword, {0xFF, 0, 0, 0})},
        {"REG_DWHEX, all 32 bits",
         {"HKCU\\Software\\X", "A", "FFFFFFFF", "REG_DWHEX"},
         Value(kUser, L"\\Software\\X", L"A", RowValueType::Dword, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"REG_SZ, UTF-16LE from code page 1252 with its terminating zero",
         {"HKCU\\Software\\X", "Text", "T\xE4\x80", "REG_SZ"},
         Value(kUser, L"\\Software\\X", L"Text", RowValueType::String,
               {'T', 0, 0xE4, 0, 0xAC, 0x20, 0, 0})},
        {"REG_SZ, empty: the terminator alone",
         {"HKLM\\SOFTWARE\\X", "Text", "", "REG_SZ"},
         Value(kMachine, L"\\SOFTWARE\\X", L"Text", RowValueType::String, {0, 0})},
        {"an empty SUBKEY is the key's default value",
         {"HKLM\\SOFTWARE\\X", "", "d", "REG_SZ"},
         Value(kMachine, L"\\SOFTWARE\\X", L"", RowValueType::String, {'d', 0, 0, 0})},
        {"REG_BINARY, the bytes",
         {"HKCU\\Software\\X", "Bin", "110000004C", "REG_BINARY"},
         Value(kUser, L"\\Software\\X", L"Bin", RowValueType::Binary, {0x11, 0, 0, 0, 0x4C})},
        {"REG_BINARY, a bad pair and all after it as 0",
         {"HKCU\\Software\\X", "Bin", "12G4FF", "REG_BINARY"},
         Value(kUser, L"\\Software\\X", L"Bin", RowValueType::Binary, {0x12, 0, 0})},
        {"REG_BINARY, a trailing odd character ignored",
         {"HKCU\\Software\\X", "Bin", "ABC", "REG_BINARY"},
         Value(kUser, L"\\Software\\X", L"Bin", RowValueType::Binary, {0xAB})},
        {"DEL_SUBKEY deletes the value SUBKEY names",
         {"HKLM\\SOFTWARE\\X", "Background", "ignored", "DEL_SUBKEY"},
         Change(kMachine, L"\\SOFTWARE\\X", L"Background", RowOperation::DeleteValue)},
        {"DEL_SUBTREE three levels down deletes the key",
         {"HKCU\\Software\\Microsoft\\Internet Explorer", "Alexa", "1", "DEL_SUBTREE"},
         Change(kUser, L"\\Software\\Microsoft\\Internet Explorer", L"", RowOperation::DeleteKey)},
        {"ADD_SUBTREE creates the key",
         {"HKCU\\Software\\Added\\Key", "Name", "1", "ADD_SUBTREE"},
         Change(kUser, L"\\Software\\Added\\Key", L"", RowOperation::CreateKey)},
        {"the key path in UTF-16, as the row spells it",
         {"HKLM\\SOFTWARE\\Gr\xFC\xDF"
          "e\\",
          "A", "1", "ADD_SUBTREE"},
         Change(kMachine,
                L"\\SOFTWARE\\Gr\u00FC\u00DF"
                L"e\\",
                L"", RowOperation::CreateKey)},

        // Conversion failures.
        {"REG_DWORD, not a number",
         {"HKCU\\Software\\X", "A", "abc", "REG_DWORD"},
         RowFault::UnconvertibleValue},
        {"REG_DWORD, empty",
         {"HKCU\\Software\\X", "A", "", "REG_DWORD"},
         RowFault::UnconvertibleValue},
        {"REG_DWORD, beyond 32 bits",
         {"HKCU\\Software\\X", "A", "4294967296", "REG_DWORD"},
         RowFault::UnconvertibleValue},
        {"REG_DWHEX with a prefix",
         {"HKCU\\Software\\X", "A", "0x10", "REG_DWHEX"},
         RowFault::UnconvertibleValue},
        {"REG_DWHEX, nine digits",
         {"HKCU\\Software\\X", "A", "123456789", "REG_DWHEX"},
         RowFault::UnconvertibleValue},

        // Kinds the catalogue does not know.
        {"REG_EXPAND_SZ",
         {"HKCU\\Software\\X", "A", "%TEMP%", "REG_EXPAND_SZ"},
         RowFault::UnknownKind},
        {"a kind in small letters",
         {"HKCU\\Software\\X", "A", "1", "reg_dword"},
         RowFault::UnknownKind},

        // Hives.
        {"the hive's long name",
         {"HKEY_CURRENT_USER\\Software\\X", "A", "1", "REG_DWORD"},
         RowFault::UnknownHive},
        {"a tag in small letters",
         {"hklm\\SOFTWARE\\X", "A", "1", "REG_DWORD"},
         RowFault::UnknownHive},
        {"no backslash after the tag",
         {"HKCUSoftware", "A", "1", "REG_DWORD"},
         RowFault::UnknownHive},
        {"no SUBTREE", {"", "A", "1", "REG_DWORD"}, RowFault::UnknownHive},
        {"an unknown hive comes before an unknown kind",
         {"HKXX\\Software\\X", "A", "1", "REG_X"},
         RowFault::UnknownHive},

        // Deletions of whole branches.
        {"DEL_SUBTREE two levels down",
         {"HKCU\\Software\\Microsoft", "", "", "DEL_SUBTREE"},
         RowFault::TooBroadDeletion},
        {"DEL_SUBTREE of a trailing backslash",
         {"HKLM\\Software\\", "", "", "DEL_SUBTREE"},
         RowFault::TooBroadDeletion},
        {"DEL_SUBTREE of the hive", {"HKLM\\", "", "", "DEL_SUBTREE"}, RowFault::TooBroadDeletion},
        {"an unknown hive comes before a broad deletion",
         {"HKEY_CURRENT_USER\\Software", "", "", "DEL_SUBTREE"},
         RowFault::UnknownHive},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ResolveRowTarget(c.row), c.expected);
    }
}

TEST(ResolveRowTarget, ReadsARecordsColumns) {
    const PolicyRecord record{5000, "HKLM\\SOFTWARE\\X", "A",   "1", "REG_DWORD",
                              "XP", "deaktiviert",       "Text"};
    // STATUS is the pass's gate, not part of the change.
    EXPECT_EQ(ResolveRowTarget(FieldsOf(record)),
              (std::variant<RowTarget, RowFault>(Value(RowHive::Machine, L"\\SOFTWARE\\X", L"A",
                                                       RowValueType::Dword, {1, 0, 0, 0}))));
}

}  // namespace
}  // namespace quarn
