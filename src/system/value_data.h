#pragma once

// Value data in the form the registry holds it, and the key names of a path:
// the one home of the byte forms that the registry layer, the row kinds and
// the registry file all write.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quarn {

// UTF-16LE, without a terminator.
inline std::vector<std::uint8_t> Utf16LeData(std::wstring_view text) {
    std::vector<std::uint8_t> data;
    data.reserve((text.size() + 1) * 2);
    for (const wchar_t unit : text) {
        data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        data.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
    }
    return data;
}

// A REG_SZ as the registry holds it: UTF-16LE and one terminating zero.
inline std::vector<std::uint8_t> StringValueData(std::wstring_view text) {
    std::vector<std::uint8_t> data = Utf16LeData(text);
    data.insert(data.end(), {0, 0});
    return data;
}

// A REG_DWORD: four bytes, low byte first.
inline std::array<std::uint8_t, 4> DwordValueData(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// The key names of a path. As in Windows, repeated, leading and trailing
// backslashes separate nothing.
inline std::vector<std::wstring_view> KeyPathNames(std::wstring_view path) {
    std::vector<std::wstring_view> names;
    while (!path.empty()) {
        const std::size_t slash = path.find(L'\\');
        if (const std::wstring_view name = path.substr(0, slash); !name.empty()) {
            names.push_back(name);
        }
        path = slash == std::wstring_view::npos ? std::wstring_view() : path.substr(slash + 1);
    }
    return names;
}

}  // namespace quarn
