#pragma once

// quarn.ini beside each executable: section "Update" with
// "CheckUpdateviaInternet", "ActualRelease" and "QUARNUpdateURL".
// WriteUpdateDefaults has a reader and writer of its own (UTF-16LE with the
// byte-order mark, CR LF); every other access goes through the platform's
// profile functions.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarn {

inline constexpr wchar_t kIniFileName[] = L"quarn.ini";
inline constexpr wchar_t kUpdateSection[] = L"Update";

// The maker's update-information file, and the installer beside it: the
// installer's address is that of the information file with its file name
// replaced by "setup.exe".
inline constexpr wchar_t kDefaultUpdateUrl[] = L"https://www.morvil.example/quarn/release.txt";
std::wstring SetupDownloadUrl(const std::wstring& updateUrl);

// An INI file as lines, kept in their order: comments, blank lines and
// sections nobody asked about stay where they stood.
class IniDocument {
  public:
    // UTF-16LE after the byte-order mark FF FE (also without it), UTF-8 after
    // EF BB BF, otherwise code page 1252.
    static IniDocument Parse(std::string_view bytes);
    // UTF-16LE with the byte-order mark, lines ending in CR LF.
    std::string Serialize() const;

    // Section and key names compare as the profile functions compare them,
    // without regard to case. An existing key keeps its place; a missing key
    // goes after the last entry of its section; a missing section goes at
    // the end of the file.
    void Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    std::wstring Get(std::wstring_view section, std::wstring_view key,
                     std::wstring_view fallback = L"") const;

    const std::vector<std::wstring>& Lines() const { return lines_; }

  private:
    std::vector<std::wstring> lines_;
};

// The file's three update keys at their defaults; the rest of the file as it
// was. Raises Error when the file cannot be written.
void WriteUpdateDefaults(const std::wstring& iniPath);

// The update-information file: the latest release, and optionally, on a
// line of its own, the installer's SHA-256 as "sha256=<64 hex digits>".
struct UpdateInformation {
    // The digits and dots of every line but the digest line.
    std::wstring release;
    // In small letters; nothing when the file names no digest. A damaged
    // digest line (not 64 hex digits, or two lines that disagree) leaves a
    // text that no download matches.
    std::optional<std::string> installerSha256;

    bool operator==(const UpdateInformation&) const = default;
};
UpdateInformation ParseUpdateInformation(std::string_view body);

// The release of the update-information file's body (its digits and dots).
std::wstring ReleaseTextFromBody(std::string_view body);

// Whether the fetched release is greater than this one, as texts: code unit
// by code unit from the left, a beginning of a longer text the smaller.
bool OffersUpdate(std::wstring_view fetched, std::wstring_view builtIn);

}  // namespace quarn
