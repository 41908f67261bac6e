#pragma once

// MD5 as RFC 1321 defines it.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace quarn {

std::array<std::uint8_t, 16> Md5(std::span<const std::uint8_t> message);

// The 16 digest bytes as 32 hexadecimal digits, A to F in capitals.
std::string Md5Hex(std::span<const std::uint8_t> message);

}  // namespace quarn
