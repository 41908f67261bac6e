#include <gtest/gtest.h>

#include "restart_backoff.h"

namespace quarn {
namespace {

using std::chrono::seconds;

TEST(RestartBackoff, QuickEndsWaitLongerAndAStableRunStartsOver) {
    RestartBackoff backoff;
    const std::pair<seconds, seconds> runs[] = {
        {seconds(0), seconds(1)},  {seconds(2), seconds(2)},  {seconds(0), seconds(4)},
        {seconds(29), seconds(8)}, {seconds(1), seconds(16)}, {seconds(1), seconds(32)},
        {seconds(1), seconds(60)}, {seconds(1), seconds(60)},  // never longer than a minute
        {seconds(30), seconds(1)},                             // a stable run
        {seconds(3), seconds(1)},  {seconds(3), seconds(2)},  {seconds(3600), seconds(1)},
    };
    int run = 0;
    for (const auto& [ran, wait] : runs) {
        SCOPED_TRACE(++run);
        EXPECT_EQ(backoff.AfterRun(ran), wait);
    }
}

}  // namespace
}  // namespace quarn
