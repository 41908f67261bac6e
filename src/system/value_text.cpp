#include "system/value_text.h"

#include <cstdint>
#include <vector>

#include "system/registry_vocabulary.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

std::string Hex(const std::vector<std::uint8_t>& data) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : data) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text.empty() ? "(no data)" : text;
}

// UTF-16LE text without its terminating zero, when the data is that.
std::optional<std::wstring> TextOf(const std::vector<std::uint8_t>& data) {
    if (data.size() < 2 || data.size() % 2 != 0 || data[data.size() - 1] != 0 ||
        data[data.size() - 2] != 0) {
        return std::nullopt;
    }
    std::wstring text;
    for (std::size_t i = 0; i + 2 < data.size(); i += 2) {
        const wchar_t unit = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0 || unit == L'\r' || unit == L'\n') {
            return std::nullopt;
        }
        text += unit;
    }
    return text;
}

}  // namespace

std::string DescribeValue(const RegistryValue& value) {
    const std::string type = ValueTypeName(value.type);
    if (value.type == kRegDword && value.data.size() == 4) {
        const std::uint32_t number = static_cast<std::uint32_t>(value.data[0]) |
                                     static_cast<std::uint32_t>(value.data[1]) << 8 |
                                     static_cast<std::uint32_t>(value.data[2]) << 16 |
                                     static_cast<std::uint32_t>(value.data[3]) << 24;
        return type + " " + std::to_string(number);
    }
    if (value.type == kRegSz || value.type == kRegExpandSz) {
        if (const std::optional<std::wstring> text = TextOf(value.data)) {
            return type + " \"" + Utf16ToUtf8(*text) + "\"";
        }
    }
    return type + " " + Hex(value.data);
}

std::string DescribeValue(const std::optional<RegistryValue>& value) {
    return value ? DescribeValue(*value) : "absent";
}

}  // namespace quarn
