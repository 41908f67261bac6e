// Away from Windows the locale's case rules are those of the A to Z letters
// and Latin-1 (system/text_case.h), which is what the tests of the matching
// rules need.

#include "system/text_case.h"
#include "watch/process_queries.h"

namespace quarn {

const LocaleCase& PlatformLocaleCase() {
    static const LocaleCase locale{
        [](std::wstring_view a, std::wstring_view b) { return EqualsIgnoringCaseLatin1(a, b); },
        [](std::wstring_view text) { return LowerLatin1(text); }};
    return locale;
}

}  // namespace quarn
