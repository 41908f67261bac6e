#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"
#include "system/file_io.h"
#include "system/text_encoding.h"
#include "system/update_ini.h"

namespace quarn {
namespace {

// The bytes quarn.ini holds for the given lines: UTF-16LE after FF FE, CR LF.
std::string Utf16File(const std::vector<std::wstring>& lines) {
    std::string bytes = "\xFF\xFE";
    for (const std::wstring& line : lines) {
        for (const wchar_t unit : std::wstring(line) + L"\r\n") {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
        }
    }
    return bytes;
}

const std::wstring kDefaultsUrlLine = std::wstring(L"QUARNUpdateURL=") + kDefaultUpdateUrl;

TEST(UpdateIni, DefaultsInAMissingFileHaveTheFileForm) {
    test::TempFolder folder;
    const auto ini = folder / "quarn.ini";
    WriteUpdateDefaults(ini.wstring());
    EXPECT_EQ(ReadWholeFile(ini), Utf16File({L"[Update]", L"CheckUpdateviaInternet=1",
                                             L"ActualRelease=2539162", kDefaultsUrlLine}));
}

TEST(UpdateIni, DefaultsChangeOnlyTheirThreeKeys) {
    struct Row {
        const char* name;
        std::vector<std::wstring> before;
        std::vector<std::wstring> after;
    };
    const std::vector<Row> rows = {
        {"existing keys keep their places and lose the administrator's values",
         {L"; written by hand", L"[Update]", L"QUARNUpdateURL = http://intranet/r.txt",
          L"checkupdateviainternet=0", L"ActualRelease=17", L"", L"[Station]", L"Room=12"},
         {L"; written by hand", L"[Update]", kDefaultsUrlLine, L"CheckUpdateviaInternet=1",
          L"ActualRelease=2539162", L"", L"[Station]", L"Room=12"}},
        {"missing keys join the end of their section, before the next one",
         {L"[update]", L"ActualRelease=17", L"; keep me", L"[Station]", L"Room=12"},
         {L"[update]", L"ActualRelease=2539162", L"CheckUpdateviaInternet=1", kDefaultsUrlLine,
          L"; keep me", L"[Station]", L"Room=12"}},
        {"a missing section goes to the end of the file",
         {L"; station notes", L"[Station]", L"Room=12", L"", L""},
         {L"; station notes", L"[Station]", L"Room=12", L"", L"[Update]",
          L"CheckUpdateviaInternet=1", L"ActualRelease=2539162", kDefaultsUrlLine}},
        {"an empty section gets its keys right below its head",
         {L"[Update]", L"[Station]"},
         {L"[Update]", L"CheckUpdateviaInternet=1", L"ActualRelease=2539162", kDefaultsUrlLine,
          L"[Station]"}},
        {"a key of the same name in another section is not the one",
         {L"[Station]", L"ActualRelease=own", L"[Update]"},
         {L"[Station]", L"ActualRelease=own", L"[Update]", L"CheckUpdateviaInternet=1",
          L"ActualRelease=2539162", kDefaultsUrlLine}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempFolder folder;
        const auto ini = folder / "quarn.ini";
        ReplaceFileContents(ini, Utf16File(row.before));
        WriteUpdateDefaults(ini.wstring());
        EXPECT_EQ(IniDocument::Parse(ReadWholeFile(ini)).Lines(), row.after);
    }
}

TEST(UpdateIni, ReadsTheEncodingsAnAdministratorsEditorWrites) {
    struct Row {
        const char* name;
        std::string bytes;
    };
    const std::vector<Row> rows = {
        {"UTF-16LE with byte-order mark", Utf16File({L"[Update]", L"ActualRelease=\u00e4 1"})},
        {"UTF-16LE without byte-order mark",
         Utf16File({L"[Update]", L"ActualRelease=\u00e4 1"}).substr(2)},
        {"UTF-8 with byte-order mark, LF only", "\xEF\xBB\xBF[Update]\nActualRelease=\xC3\xA4 1\n"},
        {"code page 1252, CR LF", "[Update]\r\nActualRelease = \xE4 1\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const IniDocument document = IniDocument::Parse(row.bytes);
        EXPECT_EQ(document.Get(L"update", L"actualrelease"), L"\u00e4 1");
        EXPECT_EQ(document.Get(L"Update", L"Missing", L"fallback"), L"fallback");
    }
}

TEST(UpdateIni, AFileThatCannotBeReadIsNotReplaced) {
    // A folder named quarn.ini: reading fails, and nothing is written over it.
    test::TempFolder folder;
    const auto ini = folder / "quarn.ini";
    std::filesystem::create_directory(ini);
    EXPECT_THROW(WriteUpdateDefaults(ini.wstring()), Error);
    EXPECT_TRUE(std::filesystem::is_directory(ini));
}

TEST(ReleaseText, KeepsDigitsAndDotsOfTheBody) {
    const std::vector<std::pair<std::string, std::wstring>> rows = {
        {"release 26\r\n", L"26"},
        {"2539162.1", L"2539162.1"},
        {"  v3 \n", L"3"},
        {"<html>no release</html>", L""},
        {"", L""},
    };
    for (const auto& [body, release] : rows) {
        EXPECT_EQ(ReleaseTextFromBody(body), release) << body;
    }
}

TEST(ReleaseText, TheInstallersDigestLineStaysOutOfTheRelease) {
    const std::string digest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    std::string capitals = digest;
    for (char& c : capitals) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    struct Row {
        const char* name;
        std::string body;
        UpdateInformation information;
    };
    const std::vector<Row> rows = {
        {"no digest line: as before", "release 26\r\n", {L"26", std::nullopt}},
        {"after the release", "2539163\r\nsha256=" + digest + "\r\n", {L"2539163", digest}},
        {"first, in capitals, with blanks around the equals sign",
         "  SHA256 = " + capitals + " \nrelease 2539163.1\n",
         {L"2539163.1", digest}},
        {"the same digest twice",
         "sha256=" + digest + "\n2539163\nsha256=" + capitals,
         {L"2539163", digest}},
        // A damaged line keeps its digits out of the release as well, and no
        // download matches what it leaves.
        {"too short", "sha256=123abc\n2539163", {L"2539163", "123abc"}},
        {"without an equals sign", "sha256: " + digest + "\n2539163", {L"2539163", ""}},
        {"two digests that disagree",
         "sha256=" + digest + "\n2539163\nsha256=" + std::string(64, '0'),
         {L"2539163", ""}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const UpdateInformation information = ParseUpdateInformation(row.body);
        EXPECT_EQ(Utf16ToUtf8(information.release), Utf16ToUtf8(row.information.release));
        EXPECT_EQ(information.installerSha256, row.information.installerSha256);
        EXPECT_EQ(ReleaseTextFromBody(row.body), row.information.release);
    }
}

TEST(ReleaseText, GreaterOnlyAsText) {
    const std::vector<std::pair<std::wstring, bool>> rows = {
        {L"26", true}, {L"3", true},         {L"2539162", false},   {L"10", false},
        {L"", false},  {L"2539162.1", true}, {L"2539161.9", false}, {L"254", true},
    };
    for (const auto& [fetched, offered] : rows) {
        EXPECT_EQ(OffersUpdate(fetched, L"2539162"), offered) << Utf16ToUtf8(fetched);
    }
}

TEST(ReleaseText, InstallerLiesBesideTheInformationFile) {
    const std::vector<std::pair<std::wstring, std::wstring>> rows = {
        {kDefaultUpdateUrl, L"https://www.morvil.example/quarn/setup.exe"},
        {L"http://127.0.0.1:8080/info/release.txt", L"http://127.0.0.1:8080/info/setup.exe"},
        {L"http://updates.example/", L"http://updates.example/setup.exe"},
        {L"http://updates.example", L"http://updates.example/setup.exe"},
        {L"http://updates.example/get?file=a/b", L"http://updates.example/setup.exe"},
    };
    for (const auto& [info, setup] : rows) {
        EXPECT_EQ(SetupDownloadUrl(info), setup) << Utf16ToUtf8(info);
    }
}

}  // namespace
}  // namespace quarn
