#include "catalogue/row_kinds.h"

#include <array>
#include <cctype>

#include "catalogue/value_conversion.h"
#include "system/error.h"
#include "system/text_encoding.h"
#include "system/value_data.h"

namespace quarn {
namespace {

class ConversionError : public Error {
  public:
    explicit ConversionError(std::string_view text)
        : Error("'" + Cp1252ToUtf8(text) + "' ist kein gültiger Integerwert") {}
};

std::string Quoted(std::string_view cp1252) {
    return "\"" + Cp1252ToUtf8(cp1252) + "\"";
}

// --- conversions of KEYVALUE ------------------------------------------------

std::optional<std::int32_t> DwordOf(std::string_view keyValue) {
    return TextToInteger(keyValue);
}

// Hexadecimal digits go through their decimal text, which always converts.
std::optional<std::int32_t> DwhexOf(std::string_view keyValue) {
    const auto decimal = HexToDecimalText(keyValue);
    if (!decimal) {
        return std::nullopt;
    }
    return TextToInteger(*decimal);
}

template <std::optional<std::int32_t> (*Convert)(std::string_view)>
std::int32_t RequireInteger(std::string_view keyValue) {
    const auto value = Convert(keyValue);
    if (!value) {
        throw ConversionError(keyValue);
    }
    return *value;
}

template <std::optional<std::int32_t> (*Convert)(std::string_view)>
std::optional<std::vector<std::uint8_t>> IntegerData(std::string_view keyValue) {
    const auto value = Convert(keyValue);
    if (!value) {
        return std::nullopt;
    }
    const auto data = DwordValueData(static_cast<std::uint32_t>(*value));
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

std::optional<std::vector<std::uint8_t>> StringData(std::string_view keyValue) {
    return StringValueData(Cp1252ToUtf16(keyValue));
}

std::optional<std::vector<std::uint8_t>> BinaryData(std::string_view keyValue) {
    return HexTextToBytes(keyValue);
}

// --- the changes ------------------------------------------------------------

void ApplyDword(RegistryAccess& registry, std::wstring_view, std::wstring_view valueName,
                std::string_view keyValue) {
    registry.WriteInteger(valueName, RequireInteger<DwordOf>(keyValue));
}

void ApplyDwhex(RegistryAccess& registry, std::wstring_view, std::wstring_view valueName,
                std::string_view keyValue) {
    registry.WriteInteger(valueName, RequireInteger<DwhexOf>(keyValue));
}

void ApplyString(RegistryAccess& registry, std::wstring_view, std::wstring_view valueName,
                 std::string_view keyValue) {
    registry.WriteString(valueName, Cp1252ToUtf16(keyValue));
}

void ApplyBinary(RegistryAccess& registry, std::wstring_view, std::wstring_view valueName,
                 std::string_view keyValue) {
    registry.WriteBinaryData(valueName, HexTextToBytes(keyValue));
}

void ApplyDeleteSubtree(RegistryAccess& registry, std::wstring_view keyPath, std::wstring_view,
                        std::string_view) {
    registry.DeleteKey(keyPath);
}

void ApplyDeleteSubkey(RegistryAccess& registry, std::wstring_view, std::wstring_view valueName,
                       std::string_view) {
    registry.DeleteValue(valueName);
}

void ApplyAddSubtree(RegistryAccess& registry, std::wstring_view keyPath, std::wstring_view,
                     std::string_view) {
    registry.CreateKey(keyPath);
}

// --- what check says --------------------------------------------------------

std::vector<std::string> DwordProblems(std::string_view keyValue) {
    if (DwordOf(keyValue)) {
        return {};
    }
    return {"KEYVALUE " + Quoted(keyValue) +
            " is not a 32-bit integer (decimal, or hexadecimal after $ or 0x)"};
}

std::vector<std::string> DwhexProblems(std::string_view keyValue) {
    if (DwhexOf(keyValue)) {
        return {};
    }
    return {"KEYVALUE " + Quoted(keyValue) +
            " is not hexadecimal digits (no prefix, sign or blanks) of a value of at most 32 "
            "bits"};
}

std::vector<std::string> BinaryProblems(std::string_view keyValue) {
    std::vector<std::string> problems;
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    for (std::size_t i = 0; i + 1 < keyValue.size(); i += 2) {
        if (!isHex(keyValue[i]) || !isHex(keyValue[i + 1])) {
            problems.push_back("KEYVALUE has the pair " + Quoted(keyValue.substr(i, 2)) +
                               " at character " + std::to_string(i + 1) +
                               ", which is not hexadecimal: it and all bytes after it are "
                               "written as 0");
            break;
        }
    }
    if (keyValue.size() % 2 != 0) {
        problems.push_back("KEYVALUE has an odd number of characters: the last one is ignored");
    }
    return problems;
}

// Machine-hive rows of the kind REG_DWHEX are written like per-user ones.
constexpr std::array<RowKind, 7> kRowKinds = {{
    {"REG_DWORD", RowOperation::WriteValue, RowValueType::Dword, false, true, ApplyDword,
     IntegerData<DwordOf>, DwordProblems},
    {"REG_DWHEX", RowOperation::WriteValue, RowValueType::Dword, false, true, ApplyDwhex,
     IntegerData<DwhexOf>, DwhexProblems},
    {"REG_SZ", RowOperation::WriteValue, RowValueType::String, false, true, ApplyString, StringData,
     nullptr},
    {"REG_BINARY", RowOperation::WriteValue, RowValueType::Binary, false, true, ApplyBinary,
     BinaryData, BinaryProblems},
    {"DEL_SUBTREE", RowOperation::DeleteKey, RowValueType::None, true, false, ApplyDeleteSubtree,
     nullptr, nullptr},
    {"DEL_SUBKEY", RowOperation::DeleteValue, RowValueType::None, false, false, ApplyDeleteSubkey,
     nullptr, nullptr},
    {"ADD_SUBTREE", RowOperation::CreateKey, RowValueType::None, true, true, ApplyAddSubtree,
     nullptr, nullptr},
}};

}  // namespace

ParsedSubtree ParseSubtree(std::string_view subtree) {
    const std::size_t slash = subtree.find('\\');
    if (slash == std::string_view::npos) {
        return {};
    }
    const std::string_view tag = subtree.substr(0, slash);
    const RowHive hive = tag == "HKCU"   ? RowHive::PerUser
                         : tag == "HKLM" ? RowHive::Machine
                                         : RowHive::Unknown;
    return {hive, tag, subtree.substr(slash)};
}

bool IsTooBroadDeletion(std::string_view dataType, std::string_view subtree) {
    if (dataType != "DEL_SUBTREE") {
        return false;
    }
    std::size_t depth = 0;
    bool inName = false;
    for (const char c : ParseSubtree(subtree).keyPath) {
        if (c != '\\' && !inName) {
            ++depth;  // a key name begins
        }
        inName = c != '\\';
    }
    return depth < kMinDeletedKeyDepth;
}

std::span<const RowKind> RowKinds() {
    return kRowKinds;
}

const RowKind* FindRowKind(std::string_view dataType) {
    for (const RowKind& kind : kRowKinds) {
        if (kind.name == dataType) {
            return &kind;
        }
    }
    return nullptr;
}

const RowKind& RowKindFor(RowOperation operation, RowValueType valueType) {
    for (const RowKind& kind : kRowKinds) {
        if (kind.operation == operation && kind.valueType == valueType) {
            return kind;
        }
    }
    throw Error("no row kind writes that change");
}

RowFields FieldsOf(const PolicyRecord& record) {
    return {record.subtree, record.subkey, record.keyValue, record.dataType};
}

std::variant<RowTarget, RowFault> ResolveRowTarget(const RowFields& row) {
    const ParsedSubtree subtree = ParseSubtree(row.subtree);
    if (subtree.hive == RowHive::Unknown) {
        return RowFault::UnknownHive;
    }
    if (IsTooBroadDeletion(row.dataType, row.subtree)) {
        return RowFault::TooBroadDeletion;
    }
    const RowKind* kind = FindRowKind(row.dataType);
    if (kind == nullptr) {
        return RowFault::UnknownKind;
    }
    RowTarget target;
    target.hive = subtree.hive;
    target.keyPath = Cp1252ToUtf16(subtree.keyPath);
    if (!kind->wholeKey) {
        target.valueName = Cp1252ToUtf16(row.subkey);
    }
    target.operation = kind->operation;
    target.valueType = kind->valueType;
    if (kind->data != nullptr) {
        auto data = kind->data(row.keyValue);
        if (!data) {
            return RowFault::UnconvertibleValue;
        }
        target.data = std::move(*data);
    }
    return target;
}

std::string_view DescribeRowFault(RowFault fault) {
    switch (fault) {
        case RowFault::UnknownHive:
            return "the applier refuses it: SUBTREE has no hive tag HKCU\\ or HKLM\\";
        case RowFault::TooBroadDeletion:
            return "the applier refuses it: DEL_SUBTREE of a key this close to its hive";
        case RowFault::UnknownKind:
            return "the applier writes nothing for it: DATATYPE is not a row kind";
        case RowFault::UnconvertibleValue:
            return "the applier writes nothing for it: KEYVALUE does not convert to its "
                   "DATATYPE";
    }
    return "the applier refuses it";
}

}  // namespace quarn
