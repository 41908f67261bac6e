#pragma once

// Conversions between the system's three text forms: 8-bit catalogue text in
// code page 1252, UTF-16 for the registry and the window system (held in
// std::wstring one code unit per element, also where wchar_t is wider), and
// UTF-8 for files that declare it and for our own messages.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quarn {

// Code page 1252 to UTF-16. Every byte has a character (the five bytes that
// code page 1252 leaves undefined map to the control characters of the same
// number, as Windows does), so this cannot fail.
std::wstring Cp1252ToUtf16(std::string_view text);

// UTF-16 to code page 1252; a character the code page lacks becomes '?'.
std::string Utf16ToCp1252(std::wstring_view text);

// One Unicode code point to its code page 1252 byte, if the code page has one.
std::optional<unsigned char> CodePointToCp1252(char32_t codePoint);

// UTF-8 to code page 1252. Characters the code page lacks become '?'. Invalid
// UTF-8 (bad sequences, overlong forms, surrogates, code points above 10FFFF)
// gives no result; errorOffset then holds the offset of the first bad byte.
std::optional<std::string> Utf8ToCp1252(std::string_view text, std::size_t* errorOffset = nullptr);

std::string Cp1252ToUtf8(std::string_view text);

// UTF-16 and UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::wstring_view text);
std::wstring Utf8ToUtf16(std::string_view text);

}  // namespace quarn
