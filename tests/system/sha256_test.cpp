#include <gtest/gtest.h>

#include "system/sha256.h"

namespace quarn {
namespace {

TEST(Sha256, Fips180Examples) {
    const std::pair<std::string, std::string> rows[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [text, digest] : rows) {
        SCOPED_TRACE(text.substr(0, 64));
        EXPECT_EQ(Sha256Hex(text), digest);
    }
}

TEST(Sha256, LengthsAroundTheBlockBoundaries) {
    // 55 bytes leave room for the length in the last block, 56 do not.
    const std::pair<std::size_t, std::string> rows[] = {
        {55, "85528b5baff5639cb8e7daca79d085ac29ac0978e873ed7527158616b2b6c379"},
        {56, "f8ce2f8d6990c639668fe404262f35ed72d8bb145ad6bae786af7284447386df"},
        {63, "9b49777003a4143d8c3f4d3002eb631c6bda8b030a3ccc87f8a21d5f61c89e87"},
        {64, "ee8e658590c9a5e119400a774415a01db104de1ee6e2c29ec69aa73ef46544d2"},
        {65, "2b6c3f7f12b1b12fc5409626dc4e5302d8d37082cbeddea7755eac43aba039c8"},
        {119, "c8bc8a6e9626586bb888ad131d44ed2bd37fc608e902904ade3c566c4208e6ca"},
        {120, "77a2d49d72a11e41678c51f8f0cb67f5cb570f30370c3aeffe266a0d1ee43209"},
    };
    for (const auto& [length, digest] : rows) {
        SCOPED_TRACE(length);
        EXPECT_EQ(Sha256Hex(std::string(length, 'q')), digest);
    }
}

TEST(Sha256, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
    // One million "a" in pieces that straddle the blocks in every way, as a
    // download arrives.
    const std::size_t pieceSizes[] = {1, 63, 64, 65, 127, 4096, 1, 8191};
    Sha256 digest;
    std::size_t given = 0;
    for (std::size_t i = 0; given < 1000000; ++i) {
        const std::size_t size =
            std::min(pieceSizes[i % std::size(pieceSizes)], std::size_t{1000000} - given);
        digest.Update(std::string(size, 'a'));
        given += size;
    }
    EXPECT_EQ(digest.FinishHex(),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace quarn
