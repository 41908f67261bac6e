#pragma once

// SHA-256 as FIPS 180-4 defines it, fed in pieces of any size, so that a
// download is digested while it is written.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quarn {

class Sha256 {
  public:
    Sha256();
    void Update(std::span<const std::uint8_t> bytes);
    void Update(std::string_view bytes);
    // The digest of everything given so far; the object is spent afterwards.
    std::array<std::uint8_t, 32> Finish();
    // The same as 64 hexadecimal digits, a to f in small letters (as
    // sha256sum prints them).
    std::string FinishHex();

  private:
    void Transform(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t length_ = 0;  // bytes given
};

// The whole text at once, as 64 small hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace quarn
