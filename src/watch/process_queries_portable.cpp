// Away from Windows the locale's case rules are those of the A to Z letters
// and Latin-1, which is what the tests of the matching rules need.

#include "watch/process_queries.h"

namespace quarn {
namespace {

wchar_t Lower(wchar_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<wchar_t>(c + 32);
    }
    return c;
}

}  // namespace

const LocaleCase& PlatformLocaleCase() {
    static const LocaleCase locale{[](std::wstring_view a, std::wstring_view b) {
                                       if (a.size() != b.size()) {
                                           return false;
                                       }
                                       for (std::size_t i = 0; i < a.size(); ++i) {
                                           if (Lower(a[i]) != Lower(b[i])) {
                                               return false;
                                           }
                                       }
                                       return true;
                                   },
                                   [](std::wstring_view text) {
                                       std::wstring lower(text);
                                       for (wchar_t& c : lower) {
                                           c = Lower(c);
                                       }
                                       return lower;
                                   }};
    return locale;
}

}  // namespace quarn
