#pragma once

// Letter case as the system compares names: only the letters A to Z change
// case; every other character, umlauts included, stays as it is. No locale
// is consulted.

#include <algorithm>
#include <string>
#include <string_view>

namespace quarn {

constexpr char LowerAZ(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
constexpr wchar_t LowerAZ(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

inline std::string LowerAZ(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return LowerAZ(c); });
    return lower;
}
inline std::wstring LowerAZ(std::wstring_view text) {
    std::wstring lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return LowerAZ(c); });
    return lower;
}
inline std::string LowerAZ(const std::string& text) {
    return LowerAZ(std::string_view(text));
}
inline std::wstring LowerAZ(const std::wstring& text) {
    return LowerAZ(std::wstring_view(text));
}

inline bool EqualsIgnoringCaseAZ(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAZ(x) == LowerAZ(y);
           });
}
inline bool EqualsIgnoringCaseAZ(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return LowerAZ(x) == LowerAZ(y); });
}

}  // namespace quarn
