#pragma once

// Text written into HTML or XML: the characters that would end a text or an
// attribute value, as their references.

#include <string>
#include <string_view>

namespace quarn {

enum class MarkupPlace {
    Text,       // between tags, or an HTML attribute
    Attribute,  // an XML attribute, where a reader turns tabs and line breaks into blanks
};

inline std::string EscapeMarkup(std::string_view text, MarkupPlace place = MarkupPlace::Text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\t':
            case '\n':
            case '\r':
                if (place == MarkupPlace::Attribute) {
                    out += "&#" + std::to_string(static_cast<int>(c)) + ";";
                    break;
                }
                out += c;
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace quarn
