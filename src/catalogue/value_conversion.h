#pragma once

// The text forms of KEYVALUE and their conversion to registry data.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarn {

// Integer text: optional leading blanks, an optional sign, then decimal
// digits in the signed 32-bit range, or hexadecimal digits (up to 32 bits)
// after $, x, X, 0x or 0X. Nothing may follow. A negative number gives its
// 32-bit two's complement. No result for anything else.
std::optional<std::int32_t> TextToInteger(std::string_view text);

// Hexadecimal digits only (no prefix, sign or blanks; leading zeros allowed)
// to the decimal text of the same signed 32-bit value: "FFFFFFFF" gives "-1".
std::optional<std::string> HexToDecimalText(std::string_view text);

// Pairs of hexadecimal digits to bytes. The result has length/2 bytes;
// conversion stops at the first pair that is not two hexadecimal digits and
// leaves the remaining bytes 0; a trailing odd character is ignored.
std::vector<std::uint8_t> HexTextToBytes(std::string_view text);

}  // namespace quarn
