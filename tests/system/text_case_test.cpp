// The three letter-case rules side by side, on the characters where they part.

#include <gtest/gtest.h>

#include "system/text_case.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

TEST(TextCase, WhichCharactersEachRuleTakesForOne) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        bool az;        // the system's own names
        bool registry;  // the registry's key and value names
        bool latin1;    // the locale stand-in
    };
    const Case cases[] = {
        {L"Software", L"SOFTWARE", true, true, true},
        {L"K\u00FCche", L"K\u00DCCHE", false, true, true},  // u and U with diaeresis
        {L"\u00FF", L"\u0178", false, true, false},         // y and Y with diaeresis
        {L"\u00D7", L"\u00F7", false, false, false},        // multiplication and division signs
        {L"\u0161", L"\u0160", false, false, false},        // s with caron, beyond Latin-1
        {L"[", L"{", false, false, false},                  // 32 apart, but no letters
        {L"Name", L"Names", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.a) + " " + Utf16ToUtf8(c.b));
        EXPECT_EQ(EqualsIgnoringCaseAZ(c.a, c.b), c.az);
        EXPECT_EQ(SameRegistryName(c.a, c.b), c.registry);
        EXPECT_EQ(EqualsIgnoringCaseLatin1(c.a, c.b), c.latin1);
    }
}

TEST(TextCase, EachRuleFoldsTowardsItsOwnCase) {
    const std::wstring text = L"K\u00FCche K\u00DCCHE \u00FF\u0178";
    EXPECT_EQ(LowerAZ(text), L"k\u00FCche k\u00DCche \u00FF\u0178");
    EXPECT_EQ(FoldRegistryName(text), L"K\u00DCCHE K\u00DCCHE \u0178\u0178");
    EXPECT_EQ(LowerLatin1(text), L"k\u00FCche k\u00FCche \u00FF\u0178");
}

}  // namespace
}  // namespace quarn
