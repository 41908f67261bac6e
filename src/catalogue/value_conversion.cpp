#include "catalogue/value_conversion.h"

#include <limits>

namespace quarn {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::optional<std::int32_t> TextToInteger(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::string_view rest = text.substr(pos);
    std::size_t prefix = 0;
    if (rest.starts_with("0x") || rest.starts_with("0X")) {
        prefix = 2;
    } else if (rest.starts_with("$") || rest.starts_with("x") || rest.starts_with("X")) {
        prefix = 1;
    }
    const std::string_view digits = rest.substr(prefix);
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint64_t magnitude = 0;
    const std::uint64_t limit =
        prefix != 0 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    for (const char c : digits) {
        const int digit = prefix != 0 ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (digit < 0) {
            return std::nullopt;
        }
        magnitude = magnitude * (prefix != 0 ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    auto bits = static_cast<std::uint32_t>(magnitude);
    if (negative) {
        bits = ~bits + 1;
    }
    return static_cast<std::int32_t>(bits);
}

std::optional<std::string> HexToDecimalText(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) {
            return std::nullopt;
        }
    }
    return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

std::vector<std::uint8_t> HexTextToBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes(text.size() / 2, 0);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            break;
        }
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return bytes;
}

}  // namespace quarn
