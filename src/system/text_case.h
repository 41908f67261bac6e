#pragma once

// Letter case, in one place. Three rules, each for its own kind of name:
//
// - A to Z only (LowerAZ, EqualsIgnoringCaseAZ): the system's own names:
//   account names, catalogue columns, attributes and STATUS words, quarn.ini's
//   sections and keys, command words. Only the letters A to Z change case;
//   every other character, umlauts included, stays as it is, and no locale is
//   consulted, so every station compares alike.
// - The registry's (FoldRegistryName, SameRegistryName): how the Windows
//   registry compares key and value names, which ignores case beyond A to Z.
//   The in-memory stand-in compares by it: A to Z, the Latin-1 letters and
//   y with diaeresis (whose capital is U+0178) fold to capitals.
// - The locale stand-in (LowerLatin1, EqualsIgnoringCaseLatin1): away from
//   Windows, what the service's process queries use where Windows has the
//   user's locale (CharLowerBuffW, CompareStringW): A to Z and the Latin-1
//   capitals lowered. Unlike the registry's rule it keeps U+0178 and
//   y with diaeresis apart, as the tests of the matching rules expect.

#include <algorithm>
#include <string>
#include <string_view>

namespace quarn {

// Every character of text through one rule's per-character mapping, and two
// texts compared through it; each rule below is its mapping and these two.
template <typename Char, typename Fold>
std::basic_string<Char> MapCase(std::basic_string_view<Char> text, Fold fold) {
    std::basic_string<Char> mapped(text);
    std::transform(mapped.begin(), mapped.end(), mapped.begin(), fold);
    return mapped;
}
template <typename Char, typename Fold>
bool EqualUnderCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b, Fold fold) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](Char x, Char y) { return fold(x) == fold(y); });
}

// --- A to Z only ---------------------------------------------------------------

constexpr char LowerAZ(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
constexpr wchar_t LowerAZ(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

inline std::string LowerAZ(std::string_view text) {
    return MapCase(text, [](char c) { return LowerAZ(c); });
}
inline std::wstring LowerAZ(std::wstring_view text) {
    return MapCase(text, [](wchar_t c) { return LowerAZ(c); });
}
inline std::string LowerAZ(const std::string& text) {
    return LowerAZ(std::string_view(text));
}
inline std::wstring LowerAZ(const std::wstring& text) {
    return LowerAZ(std::wstring_view(text));
}

inline bool EqualsIgnoringCaseAZ(std::string_view a, std::string_view b) {
    return EqualUnderCase(a, b, [](char c) { return LowerAZ(c); });
}
inline bool EqualsIgnoringCaseAZ(std::wstring_view a, std::wstring_view b) {
    return EqualUnderCase(a, b, [](wchar_t c) { return LowerAZ(c); });
}

// --- The registry's names --------------------------------------------------------

constexpr wchar_t FoldRegistryName(wchar_t c) {
    if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return static_cast<wchar_t>(c - 0x20);
    }
    if (c == 0xFF) {
        return static_cast<wchar_t>(0x178);
    }
    return c;
}

// The name in the form two names share when the registry takes them for one.
inline std::wstring FoldRegistryName(std::wstring_view name) {
    return MapCase(name, [](wchar_t c) { return FoldRegistryName(c); });
}

inline bool SameRegistryName(std::wstring_view a, std::wstring_view b) {
    return EqualUnderCase(a, b, [](wchar_t c) { return FoldRegistryName(c); });
}

// --- The locale stand-in -----------------------------------------------------------

constexpr wchar_t LowerLatin1(wchar_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<wchar_t>(c + 32);
    }
    return c;
}

inline std::wstring LowerLatin1(std::wstring_view text) {
    return MapCase(text, [](wchar_t c) { return LowerLatin1(c); });
}

inline bool EqualsIgnoringCaseLatin1(std::wstring_view a, std::wstring_view b) {
    return EqualUnderCase(a, b, [](wchar_t c) { return LowerLatin1(c); });
}

}  // namespace quarn
