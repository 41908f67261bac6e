#include "system/update_ini.h"

#include <algorithm>
#include <optional>

#include "system/file_io.h"
#include "system/release.h"
#include "system/text_case.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

// Without the blanks, tabs and carriage returns at either end.
template <typename Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> text) {
    const auto blank = [](Char c) { return c == Char(' ') || c == Char('\t') || c == Char('\r'); };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The section a line opens, if it is a section head.
std::optional<std::wstring_view> SectionOf(std::wstring_view line) {
    line = Trim(line);
    if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
        return Trim(line.substr(1, line.size() - 2));
    }
    return std::nullopt;
}

// The key of an entry line; nothing for comments and blank lines.
std::optional<std::wstring_view> KeyOf(std::wstring_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == L';' || line.front() == L'#') {
        return std::nullopt;
    }
    const std::size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(0, equals));
}

// The digest of a line that begins with "sha256" (in any letter case): the
// value after "=", in small letters; empty when the line has no "=" there.
std::string DigestOfLine(std::string_view line) {
    std::string_view rest = Trim(line.substr(6));
    if (rest.empty() || rest.front() != '=') {
        return {};
    }
    return LowerAZ(Trim(rest.substr(1)));
}

}  // namespace

std::wstring SetupDownloadUrl(const std::wstring& updateUrl) {
    // The query and fragment of the information file's address are its own.
    const std::wstring address = updateUrl.substr(0, updateUrl.find_first_of(L"?#"));
    const std::size_t scheme = address.find(L"://");
    const std::size_t pathStart = address.find(L'/', scheme == std::wstring::npos ? 0 : scheme + 3);
    if (pathStart == std::wstring::npos) {
        return address + L"/setup.exe";
    }
    return address.substr(0, address.find_last_of(L'/') + 1) + L"setup.exe";
}

IniDocument IniDocument::Parse(std::string_view bytes) {
    std::wstring text;
    const bool utf16Bom = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    const bool utf8Bom = bytes.substr(0, 3) == "\xEF\xBB\xBF";
    const bool looksUtf16 = bytes.size() >= 2 && bytes.size() % 2 == 0 && bytes[1] == '\0';
    if (utf16Bom || (!utf8Bom && looksUtf16)) {
        for (std::size_t i = utf16Bom ? 2 : 0; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                                static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
    } else if (utf8Bom) {
        text = Utf8ToUtf16(bytes.substr(3));
    } else {
        text = Cp1252ToUtf16(bytes);
    }
    IniDocument document;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        document.lines_.push_back(std::move(line));
        start = end + 1;
    }
    return document;
}

std::string IniDocument::Serialize() const {
    std::string bytes = "\xFF\xFE";
    const auto put = [&](wchar_t unit) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
    };
    for (const std::wstring& line : lines_) {
        for (const wchar_t unit : line) {
            put(unit);
        }
        put(L'\r');
        put(L'\n');
    }
    return bytes;
}

void IniDocument::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    const std::wstring entry = std::wstring(key) + L"=" + std::wstring(value);
    bool inSection = false;
    std::optional<std::size_t> lastEntry;
    std::optional<std::size_t> head;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (const auto name = SectionOf(lines_[i])) {
            if (inSection) {
                break;  // the section ended; the key was not in it
            }
            inSection = EqualsIgnoringCaseAZ(*name, section);
            if (inSection) {
                head = i;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (const auto name = KeyOf(lines_[i])) {
            lastEntry = i;
            if (EqualsIgnoringCaseAZ(*name, key)) {
                lines_[i] = entry;
                return;
            }
        }
    }
    if (head) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastEntry.value_or(*head) + 1),
                      entry);
        return;
    }
    while (!lines_.empty() && Trim(std::wstring_view(lines_.back())).empty()) {
        lines_.pop_back();
    }
    if (!lines_.empty()) {
        lines_.emplace_back();
    }
    lines_.push_back(L"[" + std::wstring(section) + L"]");
    lines_.push_back(entry);
}

std::wstring IniDocument::Get(std::wstring_view section, std::wstring_view key,
                              std::wstring_view fallback) const {
    bool inSection = false;
    for (const std::wstring& line : lines_) {
        if (const auto sectionName = SectionOf(line)) {
            inSection = EqualsIgnoringCaseAZ(*sectionName, section);
        } else if (inSection) {
            const auto keyName = KeyOf(line);
            if (keyName && EqualsIgnoringCaseAZ(*keyName, key)) {
                return std::wstring(Trim(std::wstring_view(line).substr(line.find(L'=') + 1)));
            }
        }
    }
    return std::wstring(fallback);
}

void WriteUpdateDefaults(const std::wstring& iniPath) {
    const std::filesystem::path path(iniPath);
    // A file that exists but cannot be read is left alone (the error passes
    // on): what else it holds is the administrator's.
    IniDocument document;
    if (FileExists(path)) {
        document = IniDocument::Parse(ReadWholeFile(path));
    }
    document.Set(kUpdateSection, L"CheckUpdateviaInternet", L"1");
    document.Set(kUpdateSection, L"ActualRelease", BuiltInReleaseW);
    document.Set(kUpdateSection, L"QUARNUpdateURL", kDefaultUpdateUrl);
    ReplaceFileContents(path, document.Serialize());
}

UpdateInformation ParseUpdateInformation(std::string_view body) {
    UpdateInformation information;
    while (!body.empty()) {
        const std::size_t end = std::min(body.find('\n'), body.size());
        const std::string_view line = body.substr(0, end);
        body.remove_prefix(std::min(end + 1, body.size()));
        const std::string_view trimmed = Trim(line);
        if (EqualsIgnoringCaseAZ(trimmed.substr(0, 6), "sha256")) {
            // None of its digits belong to the release.
            std::string digest = DigestOfLine(trimmed);
            if (information.installerSha256 && *information.installerSha256 != digest) {
                digest.clear();
            }
            information.installerSha256 = std::move(digest);
            continue;
        }
        for (const char c : line) {
            if ((c >= '0' && c <= '9') || c == '.') {
                information.release.push_back(static_cast<wchar_t>(c));
            }
        }
    }
    return information;
}

std::wstring ReleaseTextFromBody(std::string_view body) {
    return ParseUpdateInformation(body).release;
}

bool OffersUpdate(std::wstring_view fetched, std::wstring_view builtIn) {
    return fetched > builtIn;
}

}  // namespace quarn
