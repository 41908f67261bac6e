#include "system/reg_file.h"

#include <array>

#include "system/error.h"
#include "system/text_case.h"
#include "system/text_encoding.h"
#include "system/value_data.h"

namespace quarn {
namespace {

constexpr std::wstring_view kHeaderV5 = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kHeaderV4 = L"REGEDIT4";
constexpr std::wstring_view kCreatedPrefix = L"created: ";

// Regedit's wrapping of hex data: after a comma once the line has reached
// this many characters; the continuation is indented two blanks.
constexpr std::size_t kHexLineLength = 77;
constexpr std::wstring_view kHexContinuation = L"\\\r\n  ";

constexpr std::array<std::wstring_view, 6> kRootNames = {
    L"HKEY_LOCAL_MACHINE", L"HKEY_CURRENT_USER",   L"HKEY_CLASSES_ROOT",
    L"HKEY_USERS",         L"HKEY_CURRENT_CONFIG", L"HKEY_DYN_DATA"};

bool IsLineBreakOrZero(wchar_t c) {
    return c == L'\r' || c == L'\n' || c == L'\0';
}

bool HoldsLineBreakOrZero(std::wstring_view text) {
    for (const wchar_t c : text) {
        if (IsLineBreakOrZero(c)) {
            return true;
        }
    }
    return false;
}

// A known root, then levels that are not empty, separated by backslashes.
bool IsKeyPath(std::wstring_view path) {
    const std::size_t rootEnd = path.find(L'\\');
    const std::wstring_view root = path.substr(0, rootEnd);
    bool known = false;
    for (const std::wstring_view name : kRootNames) {
        known = known || EqualsIgnoringCaseAZ(root, name);
    }
    if (!known || HoldsLineBreakOrZero(path)) {
        return false;
    }
    if (rootEnd == std::wstring_view::npos) {
        return true;
    }
    const std::wstring_view levels = path.substr(rootEnd);
    return levels.back() != L'\\' && levels.find(L"\\\\") == std::wstring_view::npos;
}

int HexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

// ---- Writing ----

std::wstring Escaped(std::wstring_view text) {
    std::wstring out;
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"') {
            out.push_back(L'\\');
        }
        out.push_back(c);
    }
    return out;
}

// The text of REG_SZ data that the quoted form holds exactly: UTF-16 with
// one terminating zero at the end and neither another zero nor a line break.
std::optional<std::wstring> QuotableText(const std::vector<std::uint8_t>& data) {
    if (data.size() < 2 || data.size() % 2 != 0) {
        return std::nullopt;
    }
    std::wstring text;
    for (std::size_t i = 0; i < data.size(); i += 2) {
        text.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
    }
    if (text.back() != L'\0') {
        return std::nullopt;
    }
    text.pop_back();
    if (HoldsLineBreakOrZero(text)) {
        return std::nullopt;
    }
    return text;
}

void WriteHex(std::wstring& out, std::size_t column, const RegistryValue& value) {
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring prefix = L"hex:";
    if (value.type != kRegBinary) {
        std::wstring number;
        std::uint32_t type = value.type;
        do {
            number.insert(number.begin(), kDigits[type & 0xF]);
            type >>= 4;
        } while (type != 0);
        prefix = L"hex(" + number + L"):";
    }
    out += prefix;
    column += prefix.size();
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        out.push_back(kDigits[value.data[i] >> 4]);
        out.push_back(kDigits[value.data[i] & 0xF]);
        if (i + 1 == value.data.size()) {
            break;
        }
        out.push_back(L',');
        column += 3;
        if (column >= kHexLineLength) {
            out += kHexContinuation;
            column = 2;
        }
    }
}

void WriteValue(std::wstring& out, const RegFileValue& entry) {
    if (HoldsLineBreakOrZero(entry.name)) {
        throw Error(
            "A value name with a line break or a zero cannot be written to a registry "
            "file: \"" +
            Utf16ToUtf8(entry.name) + "\"");
    }
    const std::size_t lineStart = out.size();
    out += entry.name.empty() ? std::wstring(L"@") : L"\"" + Escaped(entry.name) + L"\"";
    out += L'=';
    if (!entry.value) {
        out += L'-';
        return;
    }
    const RegistryValue& value = *entry.value;
    if (value.type == kRegSz) {
        if (const std::optional<std::wstring> text = QuotableText(value.data)) {
            out += L"\"" + Escaped(*text) + L"\"";
            return;
        }
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        const std::uint32_t number = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                                     static_cast<std::uint32_t>(value.data[3]) << 24;
        static constexpr wchar_t kDigits[] = L"0123456789abcdef";
        out += L"dword:";
        for (int shift = 28; shift >= 0; shift -= 4) {
            out.push_back(kDigits[(number >> shift) & 0xF]);
        }
        return;
    }
    WriteHex(out, out.size() - lineStart, value);
}

// ---- Reading ----

// The file's text, one UTF-16 code unit per element, with the byte offset
// of each unit (and of the end).
struct Text {
    std::wstring units;
    std::vector<std::size_t> offsets;
};

struct Fault {
    RegFileStatus status;
    std::string message;
    std::size_t unit;  // index into Text::units
};

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

std::optional<Text> DecodeUtf16(std::string_view bytes) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    Text text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text.units.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                                  static_cast<unsigned char>(bytes[i + 1]) << 8));
        text.offsets.push_back(i);
    }
    text.offsets.push_back(bytes.size());
    return text;
}

Text Decode8Bit(std::string_view bytes) {
    Text text;
    const std::size_t start = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    const std::string_view body = bytes.substr(start);
    if (Utf8ToCp1252(body)) {
        // Valid UTF-8: each sequence's length follows from its first byte.
        std::size_t i = 0;
        while (i < body.size()) {
            const auto lead = static_cast<unsigned char>(body[i]);
            const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            for (const wchar_t unit : Utf8ToUtf16(body.substr(i, length))) {
                text.units.push_back(unit);
                text.offsets.push_back(start + i);
            }
            i += length;
        }
    } else {
        text.units = Cp1252ToUtf16(body);
        for (std::size_t i = 0; i < body.size(); ++i) {
            text.offsets.push_back(start + i);
        }
    }
    text.offsets.push_back(bytes.size());
    return text;
}

class Reader {
  public:
    explicit Reader(const std::wstring& units) : units_(units) {}

    RegFile Read() {
        RegFile file;
        if (!NextLine()) {
            throw Fault{RegFileStatus::NotARegistryFile, "the file is empty", 0};
        }
        const std::wstring_view header = TrimmedEnd();
        if (header == kHeaderV4) {
            regedit4_ = true;
        } else if (header != kHeaderV5) {
            throw Fault{RegFileStatus::NotARegistryFile,
                        "the first line is neither \"Windows Registry Editor Version 5.00\" nor "
                        "\"REGEDIT4\"",
                        begin_};
        }
        while (NextLine()) {
            SkipBlanks();
            if (i_ == end_) {
                continue;
            }
            const wchar_t first = units_[i_];
            if (first == L';') {
                if (file.keys.empty()) {
                    ReadHeaderComment(file);
                }
            } else if (first == L'[') {
                file.keys.push_back(ReadKeyLine());
            } else if (first == L'@' || first == L'"') {
                if (file.keys.empty()) {
                    throw Fail(RegFileStatus::ValueOutsideKey, "a value before the first key");
                }
                file.keys.back().values.push_back(ReadValueLine());
            } else {
                throw Fail(RegFileStatus::UnknownLine,
                           "neither a key, a value, a comment nor a blank line");
            }
        }
        return file;
    }

  private:
    // Moves to the next line: [begin_, end_) without its CR LF or LF.
    bool NextLine() {
        if (next_ >= units_.size()) {
            return false;
        }
        begin_ = next_;
        const std::size_t lineFeed = units_.find(L'\n', begin_);
        end_ = lineFeed == std::wstring::npos ? units_.size() : lineFeed;
        next_ = lineFeed == std::wstring::npos ? units_.size() : lineFeed + 1;
        if (end_ > begin_ && units_[end_ - 1] == L'\r') {
            --end_;
        }
        i_ = begin_;
        ++lineNumber_;
        return true;
    }

    std::wstring_view TrimmedEnd() const {
        std::size_t end = end_;
        while (end > i_ && IsBlank(units_[end - 1])) {
            --end;
        }
        return std::wstring_view(units_).substr(i_, end - i_);
    }

    void SkipBlanks() {
        while (i_ < end_ && IsBlank(units_[i_])) {
            ++i_;
        }
    }

    Fault Fail(RegFileStatus status, const std::string& what) const {
        return Fault{status, "line " + std::to_string(lineNumber_) + ": " + what, i_};
    }

    void ReadHeaderComment(RegFile& file) {
        std::wstring_view text = std::wstring_view(units_).substr(i_ + 1, end_ - i_ - 1);
        if (!text.empty() && text.front() == L' ') {
            text.remove_prefix(1);
        }
        if (text.starts_with(kCreatedPrefix)) {
            file.createdKeys.emplace_back(text.substr(kCreatedPrefix.size()));
        } else {
            file.headerComments.emplace_back(text);
        }
    }

    RegFileKey ReadKeyLine() {
        RegFileKey key;
        ++i_;
        if (i_ < end_ && units_[i_] == L'-') {
            key.deleted = true;
            ++i_;
        }
        const std::wstring_view rest = TrimmedEnd();
        if (rest.empty() || rest.back() != L']') {
            i_ += rest.size();
            throw Fail(RegFileStatus::BadKeyLine, "a key line that does not end in ']'");
        }
        key.path = rest.substr(0, rest.size() - 1);
        if (!IsKeyPath(key.path)) {
            throw Fail(RegFileStatus::BadKeyLine,
                       "not a key of HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, "
                       "HKEY_USERS, HKEY_CURRENT_CONFIG or HKEY_DYN_DATA, or a key with an "
                       "empty level");
        }
        return key;
    }

    // A quoted text from the opening quote at i_ to its closing quote, with
    // the escapes \\, \" and \n.
    std::optional<std::wstring> ReadQuoted() {
        std::wstring text;
        ++i_;
        while (i_ < end_) {
            const wchar_t c = units_[i_];
            if (c == L'"') {
                ++i_;
                return text;
            }
            if (c == L'\\') {
                const wchar_t next = i_ + 1 < end_ ? units_[i_ + 1] : L'\0';
                if (next == L'\\' || next == L'"') {
                    text.push_back(next);
                } else if (next == L'n') {
                    text.push_back(L'\n');
                } else {
                    return std::nullopt;
                }
                i_ += 2;
            } else {
                text.push_back(c);
                ++i_;
            }
        }
        return std::nullopt;
    }

    bool TakePrefix(std::wstring_view prefix) {
        if (end_ - i_ < prefix.size()) {
            return false;
        }
        const std::wstring_view here = std::wstring_view(units_).substr(i_, prefix.size());
        if (!EqualsIgnoringCaseAZ(here, prefix)) {
            return false;
        }
        i_ += prefix.size();
        return true;
    }

    void ExpectLineEnd(const char* what) {
        SkipBlanks();
        if (i_ != end_) {
            throw Fail(RegFileStatus::BadData, what);
        }
    }

    RegFileValue ReadValueLine() {
        RegFileValue entry;
        if (units_[i_] == L'@') {
            ++i_;
        } else {
            std::optional<std::wstring> name = ReadQuoted();
            if (!name) {
                throw Fail(RegFileStatus::BadValueLine,
                           "a value name without its closing quote or with an escape other than "
                           "\\\\, \\\" and \\n");
            }
            entry.name = std::move(*name);
        }
        SkipBlanks();
        if (i_ == end_ || units_[i_] != L'=') {
            throw Fail(RegFileStatus::BadValueLine, "no '=' after the value name");
        }
        ++i_;
        SkipBlanks();
        if (i_ < end_ && units_[i_] == L'-') {
            ++i_;
            ExpectLineEnd("text after '-'");
            return entry;
        }
        RegistryValue value;
        if (i_ < end_ && units_[i_] == L'"') {
            std::optional<std::wstring> text = ReadQuoted();
            if (!text) {
                throw Fail(RegFileStatus::BadData,
                           "a text without its closing quote or with an escape other than \\\\, "
                           "\\\" and \\n");
            }
            ExpectLineEnd("text after the closing quote");
            value.type = kRegSz;
            value.data = StringValueData(*text);
        } else if (TakePrefix(L"dword:")) {
            value.type = kRegDword;
            std::uint32_t number = 0;
            std::size_t digits = 0;
            for (; i_ < end_ && HexDigitValue(units_[i_]) >= 0; ++i_, ++digits) {
                if (digits == 8) {
                    throw Fail(RegFileStatus::BadData, "a dword of more than 8 hex digits");
                }
                number = number << 4 | static_cast<std::uint32_t>(HexDigitValue(units_[i_]));
            }
            if (digits == 0) {
                throw Fail(RegFileStatus::BadData, "dword: without hex digits");
            }
            ExpectLineEnd("text after the dword's hex digits");
            const auto data = DwordValueData(number);
            value.data.assign(data.begin(), data.end());
        } else if (TakePrefix(L"hex")) {
            value.type = ReadHexType();
            value.data = ReadHexBytes();
            if (regedit4_ && (value.type == kRegExpandSz || value.type == kRegMultiSz)) {
                // REGEDIT4 holds these as 8-bit text; the registry as UTF-16.
                const std::wstring text =
                    Cp1252ToUtf16(std::string(value.data.begin(), value.data.end()));
                value.data = Utf16LeData(text);
            }
        } else {
            throw Fail(RegFileStatus::BadValueLine,
                       "data that is neither '-', a quoted text, dword: nor hex:");
        }
        entry.value = std::move(value);
        return entry;
    }

    // After "hex": ":" for REG_BINARY, or "(N):" with N in hex.
    std::uint32_t ReadHexType() {
        if (i_ < end_ && units_[i_] == L':') {
            ++i_;
            return kRegBinary;
        }
        const auto bad = [this] {
            return Fail(RegFileStatus::BadData, "hex not followed by ':' or '(type):'");
        };
        if (i_ == end_ || units_[i_] != L'(') {
            throw bad();
        }
        ++i_;
        std::uint32_t type = 0;
        std::size_t digits = 0;
        for (; i_ < end_ && HexDigitValue(units_[i_]) >= 0; ++i_, ++digits) {
            if (digits == 8) {
                throw Fail(RegFileStatus::BadData, "a value type of more than 8 hex digits");
            }
            type = type << 4 | static_cast<std::uint32_t>(HexDigitValue(units_[i_]));
        }
        if (digits == 0 || end_ - i_ < 2 || units_[i_] != L')' || units_[i_ + 1] != L':') {
            throw bad();
        }
        i_ += 2;
        return type;
    }

    // Bytes of one or two hex digits, separated by commas; a backslash at the
    // end of a line continues the data on the next line.
    std::vector<std::uint8_t> ReadHexBytes() {
        std::vector<std::uint8_t> data;
        bool afterComma = false;
        while (true) {
            SkipBlanks();
            if (i_ == end_) {
                if (afterComma) {
                    throw Fail(RegFileStatus::BadData, "a comma without a byte after it");
                }
                return data;
            }
            if (units_[i_] == L'\\' && (afterComma || data.empty())) {
                ++i_;
                SkipBlanks();
                if (i_ != end_) {
                    throw Fail(RegFileStatus::BadData, "text after the continuation's backslash");
                }
                if (!NextLine()) {
                    throw Fail(RegFileStatus::BadData, "the file ends after a continuation");
                }
                continue;
            }
            if (!data.empty() && !afterComma) {
                throw Fail(RegFileStatus::BadData, "hex bytes not separated by a comma");
            }
            const int high = HexDigitValue(units_[i_]);
            if (high < 0) {
                throw Fail(RegFileStatus::BadData, "not a hex byte");
            }
            ++i_;
            int byte = high;
            if (i_ < end_ && HexDigitValue(units_[i_]) >= 0) {
                byte = byte << 4 | HexDigitValue(units_[i_]);
                ++i_;
            }
            data.push_back(static_cast<std::uint8_t>(byte));
            afterComma = false;
            SkipBlanks();
            if (i_ < end_ && units_[i_] == L',') {
                afterComma = true;
                ++i_;
            }
        }
    }

    const std::wstring& units_;
    bool regedit4_ = false;
    std::size_t next_ = 0;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::size_t i_ = 0;
    std::size_t lineNumber_ = 0;
};

}  // namespace

std::string WriteRegFile(const RegFile& file) {
    std::wstring text = std::wstring(kHeaderV5) + L"\r\n";
    for (const std::wstring& comment : file.headerComments) {
        if (HoldsLineBreakOrZero(comment) || comment.starts_with(kCreatedPrefix)) {
            throw Error(
                "A comment with a line break or a zero, or one beginning with \"created: "
                "\", cannot be written to a registry file: \"" +
                Utf16ToUtf8(comment) + "\"");
        }
        text += L"; " + comment + L"\r\n";
    }
    if (!file.createdKeys.empty()) {
        text += L"\r\n";
    }
    for (const std::wstring& created : file.createdKeys) {
        if (!IsKeyPath(created)) {
            throw Error("Not a key that a registry file can name: \"" + Utf16ToUtf8(created) +
                        "\"");
        }
        text += L"; " + std::wstring(kCreatedPrefix) + created + L"\r\n";
    }
    for (const RegFileKey& key : file.keys) {
        if (!IsKeyPath(key.path)) {
            throw Error("Not a key that a registry file can name: \"" + Utf16ToUtf8(key.path) +
                        "\"");
        }
        text += key.deleted ? L"\r\n[-" : L"\r\n[";
        text += key.path + L"]\r\n";
        for (const RegFileValue& value : key.values) {
            WriteValue(text, value);
            text += L"\r\n";
        }
    }
    std::string bytes = "\xFF\xFE";
    for (const wchar_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
    }
    return bytes;
}

RegFileReadResult ReadRegFile(std::string_view bytes) {
    RegFileReadResult result;
    std::optional<Text> text;
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        text = DecodeUtf16(bytes);
        if (!text) {
            result.status = RegFileStatus::BadUtf16;
            result.message = "a UTF-16 file of an odd number of bytes";
            result.offset = bytes.size() - 1;
            return result;
        }
    } else {
        text = Decode8Bit(bytes);
    }
    try {
        result.file = Reader(text->units).Read();
        result.offset = bytes.size();
    } catch (const Fault& fault) {
        result.status = fault.status;
        result.message = fault.message;
        result.offset = text->offsets[fault.unit];
    }
    return result;
}

}  // namespace quarn
