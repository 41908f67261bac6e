#include <gtest/gtest.h>

#include "quarn/download_progress.h"

namespace quarn {
namespace {

TEST(DownloadProgress, EachNotificationShowsItsLabelAndGauge) {
    struct Row {
        std::uint32_t status;
        std::uint64_t progress, maximum;
        std::optional<std::wstring> label;
        std::optional<int> gauge;
        bool gaugeFirst;
    };
    const std::vector<Row> rows = {
        {1, 0, 0, L"setup.exe found...", std::nullopt, false},
        {2, 0, 0, L"connect...", std::nullopt, false},
        {3, 0, 0, std::nullopt, std::nullopt, false},  // sending request: nothing changes
        {4, 0, 1000, L"download startet...", 0, true},
        {5, 333, 1000, L"file loading...", 33, true},
        {5, 335, 1000, L"file loading...", 34, true},  // to the nearest
        {5, 1000, 1000, L"file loading...", 100, true},
        {5, 4096, 0, L"file loading...", 0, true},  // total unknown: -1, clamped
        {5, 3000, 1000, L"file loading...", 100, true},
        {5, 0xFFFFFFFFull, 0xFFFFFFFFull, L"file loading...", 100, true},
        {6, 1000, 1000, L"download ready...", 100, false},
        {6, 0, 0, L"download ready...", 100, false},
        {13, 0, 0, std::nullopt, std::nullopt, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "status " << row.status << " " << row.progress << "/" << row.maximum);
        const ProgressDisplay display = DisplayForProgress(row.status, row.progress, row.maximum);
        EXPECT_EQ(display.label, row.label);
        EXPECT_EQ(display.gauge, row.gauge);
        if (row.gauge) {
            EXPECT_EQ(display.gaugeFirst, row.gaugeFirst);
        }
    }
}

TEST(DownloadProgress, TheAnnouncedLengthComesFromTheReplysHead) {
    struct Row {
        const char* name;
        std::wstring headers;
        std::optional<std::uint64_t> length;
    };
    const std::vector<Row> rows = {
        {"among other lines",
         L"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
         L"100002\r\n\r\n",
         100002},
        {"any letter case, no blank", L"HTTP/1.1 200 OK\r\ncontent-LENGTH:7\r\n", 7},
        {"beyond four gigabytes", L"Content-Length: 5000000000\r\n", 5000000000ull},
        {"none announced", L"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", std::nullopt},
        {"no head at all", L"\r\n", std::nullopt},
        {"not a number", L"Content-Length: many\r\n", std::nullopt},
        {"empty", L"Content-Length: \r\n", std::nullopt},
        {"too great to count", L"Content-Length: 99999999999999999999999\r\n", std::nullopt},
        {"a longer name", L"Content-Length-Extra: 5\r\n", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ContentLengthOf(row.headers), row.length);
    }
}

}  // namespace
}  // namespace quarn
