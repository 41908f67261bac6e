#pragma once

// Value data as the registry holds it, for tests that write or expect it.

#include <cstdint>
#include <string_view>
#include <vector>

namespace quarn::test {

// UTF-16LE, without a terminator.
inline std::vector<std::uint8_t> Utf16Data(std::wstring_view text) {
    std::vector<std::uint8_t> data;
    for (const wchar_t unit : text) {
        data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return data;
}

// REG_SZ data as the registry holds a string: UTF-16LE and one zero.
inline std::vector<std::uint8_t> SzData(std::wstring_view text) {
    std::vector<std::uint8_t> data = Utf16Data(text);
    data.insert(data.end(), {0, 0});
    return data;
}

}  // namespace quarn::test
