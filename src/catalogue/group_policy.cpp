#include "catalogue/group_policy.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

#include "system/error.h"
#include "system/markup_text.h"
#include "system/md5.h"
#include "system/registry_vocabulary.h"
#include "system/text_case.h"
#include "system/text_encoding.h"
#include "system/value_data.h"

namespace quarn {
namespace {

constexpr std::array<std::wstring_view, 2> kPoliciesKeys = {
    L"software\\policies", L"software\\microsoft\\windows\\currentversion\\policies"};

// The directives a Registry.pol gives as value names, in the letter case
// Windows' own editor writes them; Group Policy ignores the case.
constexpr std::wstring_view kDeleteValuePrefix = L"**del.";
constexpr std::wstring_view kDeleteValues = L"**DeleteValues";
constexpr std::wstring_view kDeleteKeys = L"**DeleteKeys";
constexpr std::wstring_view kDirectivePrefix = L"**";

// The class ids of the Preferences registry file and of one registry item.
constexpr char kRegistrySettingsClsid[] = "{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}";
constexpr char kRegistryItemClsid[] = "{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}";

std::wstring WithoutOuterBackslashes(std::wstring_view path) {
    const std::size_t first = path.find_first_not_of(L'\\');
    if (first == std::wstring_view::npos) {
        return {};
    }
    const std::size_t last = path.find_last_not_of(L'\\');
    return std::wstring(path.substr(first, last - first + 1));
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringCaseAZ(text.substr(0, prefix.size()), prefix);
}

// The row's change as one Registry.pol record, when the form can say it.
std::optional<PolRecord> PolicyRecordOf(const RowTarget& target) {
    const std::wstring key = target.keyPath;
    switch (target.operation) {
        case RowOperation::WriteValue:
            // An empty name or no data makes a record that only creates the key.
            if (target.valueName.empty() || target.data.empty() ||
                StartsWithIgnoringCase(target.valueName, kDirectivePrefix)) {
                return std::nullopt;
            }
            return PolRecord{key, target.valueName, static_cast<std::uint32_t>(target.valueType),
                             target.data};
        case RowOperation::DeleteValue:
            if (target.valueName.empty()) {
                return std::nullopt;
            }
            // Windows' editor gives the directive a single blank as its data.
            return PolRecord{key, std::wstring(kDeleteValuePrefix) + target.valueName, kRegSz,
                             StringValueData(L" ")};
        case RowOperation::DeleteKey: {
            const std::size_t slash = key.rfind(L'\\');
            if (slash == std::wstring::npos) {
                return std::nullopt;
            }
            const std::wstring leaf = key.substr(slash + 1);
            if (leaf.find(L';') != std::wstring::npos) {
                return std::nullopt;  // the directive's list is separated by ';'
            }
            return PolRecord{key.substr(0, slash), std::wstring(kDeleteKeys), kRegSz,
                             StringValueData(leaf)};
        }
        case RowOperation::CreateKey:
            return PolRecord{key, L"", kRegNone, {}};
    }
    return std::nullopt;
}

// --- Preferences ------------------------------------------------------------

std::string HexDigits(std::span<const std::uint8_t> bytes) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

// UTF-8 text as an attribute value. XML has no form for the other control
// characters.
std::string Escaped(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            throw Error("XML cannot carry the control character " +
                        std::to_string(static_cast<int>(c)) + " in \"" + std::string(text) + "\"");
        }
    }
    return EscapeMarkup(text, MarkupPlace::Attribute);
}

std::string XmlAttribute(std::string_view name, std::string_view utf8) {
    return " " + std::string(name) + "=\"" + Escaped(utf8) + "\"";
}

// The text of REG_SZ data without its terminating zero.
std::wstring StringOf(const std::vector<std::uint8_t>& data) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    }
    if (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

// A fixed uid per row, so that exporting the same catalogue twice gives the
// same items and a GPO's history shows only real changes.
std::string UidOf(const ApplicableRow& row, std::string_view hive) {
    const std::string seed = std::string(hive) + "\n" + Utf16ToUtf8(row.target.keyPath) + "\n" +
                             Utf16ToUtf8(row.target.valueName) + "\n" + row.index;
    const std::string hex =
        Md5Hex(std::span(reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size()));
    std::string uid = "{";
    for (std::size_t i = 0; i < hex.size(); ++i) {
        if (i == 8 || i == 12 || i == 16 || i == 20) {
            uid += '-';
        }
        const char c = hex[i];
        uid += c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return uid + "}";
}

std::string PreferenceItem(const ApplicableRow& row, std::string_view changed) {
    const RowTarget& target = row.target;
    const std::string_view hive =
        target.hive == RowHive::PerUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
    const bool wholeKey =
        target.operation == RowOperation::CreateKey || target.operation == RowOperation::DeleteKey;
    const bool deletes = target.operation == RowOperation::DeleteKey ||
                         target.operation == RowOperation::DeleteValue;
    const bool isDefault = !wholeKey && target.valueName.empty();
    const std::string key = Utf16ToUtf8(target.keyPath);
    const std::string valueName = Utf16ToUtf8(target.valueName);

    std::string type;
    std::string value;
    bool numeric = false;
    if (target.operation == RowOperation::WriteValue) {
        type = ValueTypeName(static_cast<std::uint32_t>(target.valueType));
        switch (target.valueType) {
            case RowValueType::Dword: {
                // Eight hexadecimal digits, most significant first.
                const std::array<std::uint8_t, 4> bigEndian = {target.data[3], target.data[2],
                                                               target.data[1], target.data[0]};
                value = HexDigits(bigEndian);
                numeric = true;
                break;
            }
            case RowValueType::Binary:
                value = HexDigits(target.data);
                numeric = true;
                break;
            case RowValueType::String:
            case RowValueType::None:
                value = Utf16ToUtf8(StringOf(target.data));
                break;
        }
    } else if (target.operation == RowOperation::DeleteValue) {
        type = ValueTypeName(kRegSz);
    }

    // The item's name in the editor's list: the value, or the key's own name.
    std::string name = valueName;
    if (wholeKey) {
        const std::size_t slash = key.rfind('\\');
        name = slash == std::string::npos ? key : key.substr(slash + 1);
    } else if (isDefault) {
        name = "(Default)";
    }
    // The editor's icons: text values and keys, numbers.
    const std::string image = numeric ? (deletes ? "13" : "17") : (deletes ? "8" : "7");

    std::string item = "\t<Registry" + XmlAttribute("clsid", kRegistryItemClsid) +
                       XmlAttribute("name", name) + XmlAttribute("status", name) +
                       XmlAttribute("image", image) + XmlAttribute("changed", changed) +
                       XmlAttribute("uid", UidOf(row, hive)) +
                       XmlAttribute("desc", "QUARN INDEX " + row.index);
    // "Remove this item when it is no longer applied": not offered for a
    // deletion, which has nothing to take back.
    if (!deletes) {
        item += XmlAttribute("removePolicy", "1") + XmlAttribute("bypassErrors", "1");
    }
    item += ">\r\n\t\t<Properties" + XmlAttribute("action", deletes ? "D" : "U") +
            XmlAttribute("displayDecimal", target.valueType == RowValueType::Dword ? "1" : "0") +
            XmlAttribute("default", isDefault ? "1" : "0") + XmlAttribute("hive", hive) +
            XmlAttribute("key", key) + XmlAttribute("name", wholeKey ? "" : valueName) +
            XmlAttribute("type", type) + XmlAttribute("value", value) + "/>\r\n\t</Registry>\r\n";
    return item;
}

// --- import -----------------------------------------------------------------

// Code page 1252 text of UTF-16, when the code page holds every character.
std::optional<std::string> Cp1252Of(std::wstring_view text) {
    std::string cp1252 = Utf16ToCp1252(text);
    if (Cp1252ToUtf16(cp1252) != text) {
        return std::nullopt;
    }
    return cp1252;
}

// The names of a directive's list ("a;b;c"), without empty ones.
std::vector<std::wstring> ListOf(const std::vector<std::uint8_t>& data) {
    std::vector<std::wstring> names;
    std::wstring name;
    for (const wchar_t c : StringOf(data) + L";") {
        if (c == L';' || c == L'\0') {
            if (!name.empty()) {
                names.push_back(std::move(name));
            }
            name.clear();
        } else {
            name += c;
        }
    }
    return names;
}

struct ImportedChange {
    std::wstring key;
    std::wstring valueName;
    const RowKind& kind;
    std::string keyValue = {};  // code page 1252
};

const RowKind& kDeleteValueKind = RowKindFor(RowOperation::DeleteValue, RowValueType::None);
const RowKind& kDeleteKeyKind = RowKindFor(RowOperation::DeleteKey, RowValueType::None);
const RowKind& kCreateKeyKind = RowKindFor(RowOperation::CreateKey, RowValueType::None);

const RowKind& WriteKind(RowValueType type) {
    return RowKindFor(RowOperation::WriteValue, type);
}

class Importer {
  public:
    explicit Importer(RowHive hive) : tag_(hive == RowHive::PerUser ? "HKCU" : "HKLM") {}

    void Import(const PolRecord& record, std::size_t offset) {
        offset_ = offset;
        const std::wstring key = WithoutOuterBackslashes(record.key);
        const std::wstring& name = record.valueName;
        if (StartsWithIgnoringCase(name, kDirectivePrefix)) {
            if (StartsWithIgnoringCase(name, kDeleteValuePrefix)) {
                Add({key, name.substr(kDeleteValuePrefix.size()), kDeleteValueKind});
            } else if (EqualsIgnoringCaseAZ(name, kDeleteValues)) {
                for (const std::wstring& value : ListOf(record.data)) {
                    Add({key, value, kDeleteValueKind});
                }
            } else if (EqualsIgnoringCaseAZ(name, kDeleteKeys)) {
                for (const std::wstring& subkey : ListOf(record.data)) {
                    Add({key + L"\\" + WithoutOuterBackslashes(subkey), L"", kDeleteKeyKind});
                }
            } else {
                Refuse("the directive \"" + Utf16ToUtf8(name) + "\" has no catalogue row kind");
            }
            return;
        }
        // "If value, type, size, or data are missing or zero, only the
        // registry key is created."
        if (name.empty() || record.type == kRegNone || record.data.empty()) {
            Add({key, L"", kCreateKeyKind});
            return;
        }
        switch (record.type) {
            case kRegDword:
                if (record.data.size() != 4) {
                    Refuse("REG_DWORD data of " + std::to_string(record.data.size()) +
                           " bytes, not 4");
                    return;
                }
                Add({key, name, WriteKind(RowValueType::Dword),
                     std::to_string(static_cast<std::int32_t>(
                         record.data[0] | (record.data[1] << 8) | (record.data[2] << 16) |
                         (static_cast<std::uint32_t>(record.data[3]) << 24)))});
                return;
            case kRegSz: {
                const std::wstring text = StringOf(record.data);
                if (record.data.size() % 2 != 0 || text.find(L'\0') != std::wstring::npos) {
                    Refuse("REG_SZ data that is not one UTF-16 text");
                    return;
                }
                const auto cp1252 = Cp1252Of(text);
                if (!cp1252) {
                    Refuse("REG_SZ text with characters outside code page 1252");
                    return;
                }
                Add({key, name, WriteKind(RowValueType::String), *cp1252});
                return;
            }
            case kRegBinary:
                Add({key, name, WriteKind(RowValueType::Binary), HexDigits(record.data)});
                return;
            default:
                Refuse("the type " + ValueTypeName(record.type) + " (" +
                       std::to_string(record.type) + ") is not one a catalogue row writes");
        }
    }

    PolImport Take() { return std::move(import_); }

  private:
    void Add(const ImportedChange& change) {
        const auto key = Cp1252Of(change.key);
        const auto valueName = Cp1252Of(change.valueName);
        if (!key || !valueName) {
            Refuse("a key or value name with characters outside code page 1252");
            return;
        }
        PolicyRecord row;
        row.index = static_cast<std::int32_t>(10 * (import_.rows.size() + 1));
        row.subtree = tag_ + "\\" + *key;
        row.subkey = *valueName;
        row.keyValue = change.keyValue;
        row.dataType = std::string(change.kind.name);
        row.status = std::string(kStatusOn);
        const auto resolved = ResolveRowTarget(FieldsOf(row));
        if (const RowFault* fault = std::get_if<RowFault>(&resolved)) {
            Refuse(std::string(DescribeRowFault(*fault)));
            return;
        }
        // The TEXT in the catalogue's form: what the row is, its key, its value.
        row.text = *Utf8ToCp1252(std::string(kImportedRowTitle)) + ".\r\n\r\n" + row.subtree;
        if (!change.kind.wholeKey) {
            row.text += "\r\n\r\n" + row.dataType + " = " + row.subkey;
        }
        import_.rows.push_back(std::move(row));
    }

    void Refuse(std::string reason) { import_.refused.push_back({offset_, std::move(reason)}); }

    std::string tag_;
    std::size_t offset_ = 0;
    PolImport import_;
};

}  // namespace

bool IsBelowPoliciesKey(std::wstring_view keyPath) {
    const std::wstring path = WithoutOuterBackslashes(keyPath);
    for (const std::wstring_view policies : kPoliciesKeys) {
        if (StartsWithIgnoringCase(path, policies) &&
            (path.size() == policies.size() || path[policies.size()] == L'\\')) {
            return true;
        }
    }
    return false;
}

GroupPolicyExport ExportForGroupPolicy(PolicyTable& table) {
    ApplicableRows applicable = FindApplicableRows(table);
    GroupPolicyExport gpo;
    gpo.leftOut = std::move(applicable.leftOut);
    for (ApplicableRow& row : applicable.rows) {
        row.target.keyPath = WithoutOuterBackslashes(row.target.keyPath);
        const bool perUser = row.target.hive == RowHive::PerUser;
        std::optional<PolRecord> record;
        if (IsBelowPoliciesKey(row.target.keyPath)) {
            record = PolicyRecordOf(row.target);
        }
        if (record) {
            (perUser ? gpo.userPolicy : gpo.machinePolicy).push_back(std::move(*record));
        } else {
            (perUser ? gpo.userPreferences : gpo.machinePreferences).push_back(std::move(row));
        }
    }
    return gpo;
}

std::string WritePreferencesXml(const std::vector<ApplicableRow>& items, std::string_view changed) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RegistrySettings" +
                      XmlAttribute("clsid", kRegistrySettingsClsid) + ">\r\n";
    for (const ApplicableRow& item : items) {
        xml += PreferenceItem(item, changed);
    }
    return xml + "</RegistrySettings>\r\n";
}

RegFile CatalogueAsRegFile(const std::vector<ApplicableRow>& rows, std::wstring_view sid) {
    RegFile file;
    for (const ApplicableRow& row : rows) {
        const RowTarget& target = row.target;
        const std::wstring path =
            (target.hive == RowHive::PerUser ? L"HKEY_USERS\\" + std::wstring(sid)
                                             : std::wstring(L"HKEY_LOCAL_MACHINE")) +
            L"\\" + WithoutOuterBackslashes(target.keyPath);
        const bool deletesKey = target.operation == RowOperation::DeleteKey;
        // Rows of one key one after another share its section; a change
        // of key, or a deletion of it, begins a new one, so the file does
        // what the pass does in the pass's order.
        if (file.keys.empty() || file.keys.back().deleted || deletesKey ||
            !SameRegistryName(file.keys.back().path, path)) {
            file.keys.push_back({path, deletesKey, {}});
        }
        switch (target.operation) {
            case RowOperation::WriteValue:
                file.keys.back().values.push_back(
                    {target.valueName,
                     RegistryValue{static_cast<std::uint32_t>(target.valueType), target.data}});
                break;
            case RowOperation::DeleteValue:
                file.keys.back().values.push_back({target.valueName, std::nullopt});
                break;
            case RowOperation::CreateKey:
            case RowOperation::DeleteKey:
                break;
        }
    }
    return file;
}

PolImport ImportRegistryPol(const PolReadResult& file, RowHive hive) {
    Importer importer(hive);
    for (std::size_t i = 0; i < file.records.size(); ++i) {
        importer.Import(file.records[i], i < file.recordOffsets.size() ? file.recordOffsets[i] : 0);
    }
    return importer.Take();
}

}  // namespace quarn
