#include <gtest/gtest.h>

#include "system/md5.h"

namespace quarn {
namespace {

std::string Hex(std::string_view text) {
    return Md5Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

TEST(Md5, Rfc1321TestSuite) {
    const std::pair<std::string, std::string> rows[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const auto& [text, digest] : rows) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Hex(text), digest);
    }
}

TEST(Md5, LengthsAroundTheBlockBoundaries) {
    const std::pair<std::size_t, std::string> rows[] = {
        {55, "C932E1B1A97DE537D13E0DDDD96DA42B"},  {56, "266EA7B18061F04EBE140D63CE648567"},
        {63, "7B7CB022759A9F373EF24BF92C05204F"},  {64, "40BFC24C764552CB38083A62855664AA"},
        {65, "4F8D62F3CF50E436DFE277C67B321FBC"},  {119, "4E20E3261348598D351FFB929CEC1624"},
        {120, "C976BC0861B17FCB68AF3C74B7E12F7A"},
    };
    for (const auto& [length, digest] : rows) {
        SCOPED_TRACE(length);
        EXPECT_EQ(Hex(std::string(length, 'q')), digest);
    }
}

}  // namespace
}  // namespace quarn
