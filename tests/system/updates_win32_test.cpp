// The update check's Windows side against a loopback HTTP server: the
// release text from the information file, the empty text for every failure
// within the time limit, and quarn.ini through the profile functions.

#include <windows.h>

#include <gtest/gtest.h>

#include "file_io.h"
#include "loopback_http_server.h"
#include "temp_folder.h"
#include "text_encoding.h"
#include "update_ini.h"
#include "updates_win32.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;

class UpdateCheck : public ::testing::Test {
  protected:
    std::wstring Ini() const { return (folder_ / "quarn.ini").wstring(); }
    void PointAt(const std::wstring& url) {
        WriteUpdateDefaults(Ini());
        WriteUpdateSetting(Ini(), L"QUARNUpdateURL", url);
    }

    test::TempFolder folder_;
    test::LoopbackHttpServer server_;
};

TEST_F(UpdateCheck, FetchGivesTheDigitsAndDotsOrNothing) {
    struct Row {
        const char* name;
        std::string path;  // on the server; empty: the URL below instead
        test::HttpReply reply;
        std::wstring url;
        std::wstring release;
    };
    const std::uint16_t dead = test::LoopbackHttpServer::DeadPort();
    const std::vector<Row> rows = {
        {"a release line", "/quarn/release.txt", {200, "release 26\r\n"}, L"", L"26"},
        {"no Content-Length", "/plain.txt", {200, "2539162.1", false}, L"", L"2539162.1"},
        {"an error reply", "/gone.txt", {404, "2539163"}, L"", L""},
        {"a server error", "/broken.txt", {500, "2539163"}, L"", L""},
        {"a port nobody listens on",
         "",
         {},
         L"http://127.0.0.1:" + std::to_wstring(dead) + L"/release.txt",
         L""},
        {"not an address", "", {}, L"release.txt", L""},
        {"another scheme", "", {}, L"ftp://127.0.0.1/release.txt", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.path.empty()) {
            server_.Serve(row.path, row.reply);
        }
        PointAt(row.path.empty() ? row.url : server_.Url(row.path));
        EXPECT_EQ(FetchRemoteRelease(Ini()), row.release);
    }
    // Each served row asked once, with a GET of its own path.
    const std::vector<std::string> expected = {"GET /quarn/release.txt HTTP/1.1",
                                               "GET /plain.txt HTTP/1.1", "GET /gone.txt HTTP/1.1",
                                               "GET /broken.txt HTTP/1.1"};
    EXPECT_EQ(server_.Requests(), expected);
}

TEST_F(UpdateCheck, WithoutAnAddressNothingIsAsked) {
    // No quarn.ini at all, and a file without the key.
    EXPECT_EQ(FetchRemoteRelease(Ini()), L"");
    ReplaceFileContents(folder_ / "quarn.ini", "[Update]\r\nCheckUpdateviaInternet=1\r\n");
    EXPECT_EQ(FetchRemoteRelease(Ini()), L"");
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(UpdateCheck, AServerThatNeverAnswersIsGivenUp) {
    server_.Serve("/stalled.txt", {200, "2539163", true, 60s});
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(HttpGet(server_.Url("/stalled.txt"), 4s), std::nullopt);
    // Well before the server would have answered.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
    EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(UpdateCheck, ProfileFunctionsKeepTheFileForm) {
    ReplaceFileContents(folder_ / "quarn.ini",
                        "; station 12\r\n[Station]\r\nRoom=12\r\n[Update]\r\nActualRelease=17\r\n");
    WriteUpdateDefaults(Ini());
    EXPECT_EQ(ReadUpdateSetting(Ini(), L"CheckUpdateviaInternet", L""), L"1");
    EXPECT_EQ(ReadUpdateSetting(Ini(), L"QUARNUpdateURL", L""), kDefaultUpdateUrl);
    EXPECT_EQ(ReadUpdateSetting(Ini(), L"Missing", L"fallback"), L"fallback");

    // A single key written in place: still UTF-16 with its mark and CR LF,
    // the comment and the other section where they were.
    WriteUpdateSetting(Ini(), L"ActualRelease", L"2539163");
    const std::string bytes = ReadWholeFile(folder_ / "quarn.ini");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::vector<std::wstring> expected = {
        L"; station 12",
        L"[Station]",
        L"Room=12",
        L"[Update]",
        L"ActualRelease=2539163",
        L"CheckUpdateviaInternet=1",
        std::wstring(L"QUARNUpdateURL=") + kDefaultUpdateUrl};
    EXPECT_EQ(IniDocument::Parse(bytes).Lines(), expected);
    EXPECT_NE(bytes.find(std::string("=\0"
                                     "2\0"
                                     "5\0"
                                     "3\0"
                                     "9\0"
                                     "1\0"
                                     "6\0"
                                     "3\0\r\0\n\0",
                                     20)),
              std::string::npos);
    EXPECT_EQ(ReadUpdateSetting(Ini(), L"ActualRelease", L""), L"2539163");
}

TEST_F(UpdateCheck, WritingIntoAMissingFolderFails) {
    const std::wstring ini = (folder_ / "absent" / "quarn.ini").wstring();
    EXPECT_THROW(WriteUpdateSetting(ini, L"ActualRelease", L"2539162"), Error);
}

}  // namespace
}  // namespace quarn
