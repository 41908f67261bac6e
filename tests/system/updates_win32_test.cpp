// The update check's Windows side against a loopback HTTP server: the
// release text from the information file, the empty text for every failure,
// the time limit against servers that are silent, stall or trickle, and
// quarn.ini through the profile functions.

#include <windows.h>

#include <gtest/gtest.h>

#include "support/loopback_http_server_win32.h"
#include "support/temp_folder.h"
#include "system/file_io.h"
#include "system/sha256.h"
#include "system/text_encoding.h"
#include "system/update_ini.h"
#include "system/updates_win32.h"

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
    const std::string digest = Sha256Hex("the installer");
    test::HttpReply inPieces{200, "release 2539162.1\r\n"};
    inPieces.pieceSize = 1;
    inPieces.piecePause = 5ms;
    test::HttpReply noReply{200, "2539163"};
    noReply.ending = test::ReplyEnding::kNoReply;
    test::HttpReply cut{200, "2539163"};
    cut.ending = test::ReplyEnding::kCut;
    cut.sendOnly = 3;
    const std::vector<Row> rows = {
        {"a release line", "/quarn/release.txt", {200, "release 26\r\n"}, L"", L"26"},
        {"no Content-Length", "/plain.txt", {200, "2539162.1", false}, L"", L"2539162.1"},
        {"in pieces", "/pieces.txt", inPieces, L"", L"2539162.1"},
        {"with the installer's digest",
         "/digest.txt",
         {200, "release 2539163\r\nsha256=" + digest + "\r\n"},
         L"",
         L"2539163"},
        {"an error reply", "/gone.txt", {404, "2539163"}, L"", L""},
        {"a server error", "/broken.txt", {500, "2539163"}, L"", L""},
        {"closed without a reply", "/closed.txt", noReply, L"", L""},
        {"cut short", "/cut.txt", cut, L"", L""},
        {"a port nobody listens on",
         "",
         {},
         L"http://127.0.0.1:" + std::to_wstring(dead) + L"/release.txt",
         L""},
        {"not an address", "", {}, L"release.txt", L""},
        {"another scheme", "", {}, L"ftp://127.0.0.1/release.txt", L""},
    };
    std::vector<std::string> expected;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.path.empty()) {
            server_.Serve(row.path, row.reply);
            expected.push_back("GET " + row.path + " HTTP/1.1");
        }
        PointAt(row.path.empty() ? row.url : server_.Url(row.path));
        EXPECT_EQ(FetchRemoteRelease(Ini()), row.release);
    }
    // Each served row asked once, with a GET of its own path.
    EXPECT_EQ(server_.Requests(), expected);
}

TEST_F(UpdateCheck, TheInstallersDigestComesWithTheRelease) {
    const std::string digest = Sha256Hex("the installer");
    server_.Serve("/release.txt", {200, "release 2539163\r\nsha256=" + digest + "\r\n"});
    PointAt(server_.Url("/release.txt"));
    EXPECT_EQ(FetchUpdateInformation(Ini(), {}), (UpdateInformation{L"2539163", digest}));
    // A failed fetch names no digest.
    server_.Serve("/release.txt", {404, "sha256=" + digest});
    EXPECT_EQ(FetchUpdateInformation(Ini(), {}), UpdateInformation{});
}

TEST_F(UpdateCheck, SlowServersAreGivenUpAtTheLimit) {
    // Each server holds its connection until the test releases it after the
    // request has returned: an exchange that did not end at its limit would
    // hang here (and ctest end it).
    struct Row {
        const char* name;
        test::HttpReply reply;
    };
    const auto reply = [](test::ReplyEnding ending, bool contentLength) {
        test::HttpReply held{200, "release 2539163\r\n", contentLength};
        held.ending = ending;
        held.sendOnly = 9;
        held.pieceSize = 1;
        held.piecePause = 50ms;
        return held;
    };
    const std::vector<Row> rows = {
        {"never answers", reply(test::ReplyEnding::kSilent, true)},
        {"stalls in the body", reply(test::ReplyEnding::kStall, true)},
        {"trickles a byte at a time", reply(test::ReplyEnding::kTrickle, true)},
        {"trickles without a length", reply(test::ReplyEnding::kTrickle, false)},
    };
    // The service's tick blocks; the configurator's window goes on handling
    // its messages, here one posted before the request.
    for (const bool handlesMessages : {false, true}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (handlesMessages ? ", handling messages" : ""));
            server_.Serve("/slow.txt", row.reply);
            ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), WM_APP, 0, 0));
            int handled = 0;
            HttpWait wait{1s, nullptr};
            if (handlesMessages) {
                wait.handleMessages = [&handled] {
                    MSG message;
                    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                        handled += message.message == WM_APP ? 1 : 0;
                    }
                    return true;
                };
            }
            EXPECT_EQ(HttpGet(server_.Url("/slow.txt"), wait), std::nullopt);
            server_.Release();
            MSG left;
            EXPECT_EQ(::PeekMessageW(&left, nullptr, WM_APP, WM_APP, PM_REMOVE) != FALSE,
                      !handlesMessages);
            EXPECT_EQ(handled, handlesMessages ? 1 : 0);
        }
    }
}

TEST_F(UpdateCheck, AClosingProgramEndsTheWait) {
    test::HttpReply silent;
    silent.ending = test::ReplyEnding::kSilent;
    server_.Serve("/silent.txt", silent);
    ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), WM_APP, 0, 0));
    // A limit the test would not outlive: only the answer "closing" ends it.
    EXPECT_EQ(HttpGet(server_.Url("/silent.txt"), {1h, [] { return false; }}), std::nullopt);
    server_.Release();
    MSG left;
    ::PeekMessageW(&left, nullptr, WM_APP, WM_APP, PM_REMOVE);
}

TEST_F(UpdateCheck, WithoutAnAddressNothingIsAsked) {
    // No quarn.ini at all, and a file without the key.
    EXPECT_EQ(FetchRemoteRelease(Ini()), L"");
    ReplaceFileContents(folder_ / "quarn.ini", "[Update]\r\nCheckUpdateviaInternet=1\r\n");
    EXPECT_EQ(FetchRemoteRelease(Ini()), L"");
    EXPECT_TRUE(server_.Requests().empty());
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
