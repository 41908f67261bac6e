// The restart rule as sequences of events on a clock of the test's own.

#include <gtest/gtest.h>

#include "system/restart_backoff.h"

namespace quarn {
namespace {

TEST(RestartBackoff, FiveQuickEndsWithinAMinuteSlowTheStartsUntilARunLastsAMinute) {
    enum class Kind { Start, Running };
    struct Event {
        int at;  // seconds
        Kind kind = Kind::Start;
        int wait = 0;  // a start: the wait after it, in seconds
        bool episodeBegins = false;
    };
    struct Row {
        const char* name;
        std::vector<Event> events;
    };
    const auto seen = [](int at) { return Event{at, Kind::Running}; };
    // Five starts that end at once, the episode they begin and its first wait.
    const std::vector<Event> fiveQuickEnds = {
        {0}, {1}, {2}, {3}, {4, Kind::Start, 5, true}, {9, Kind::Start, 10}};
    const auto then = [&](const std::vector<Event>& more) {
        std::vector<Event> events = fiveQuickEnds;
        events.insert(events.end(), more.begin(), more.end());
        return events;
    };
    const std::vector<Row> rows = {
        {"ends at once", then({{19, Kind::Start, 20},
                               {39, Kind::Start, 40},
                               {79, Kind::Start, 60},
                               {139, Kind::Start, 60}})},
        {"starts spread over more than a minute",
         {{0}, {20}, {40}, {59}, {61}, {62, Kind::Start, 5, true}}},
        {"a run of a minute starts the count over",
         then({seen(69), {70}, {71}, {72}, {73}, {74, Kind::Start, 5, true}})},
        {"a shorter run does not", then({seen(68), {69, Kind::Start, 20}})},
        {"seen running before any start", {seen(0), {1}, {2}, {3}, {4}, {5, Kind::Start, 5, true}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RestartBackoff::Clock::time_point now{};
        RestartBackoff backoff([&] { return now; });
        for (const Event& event : row.events) {
            SCOPED_TRACE(event.at);
            now = RestartBackoff::Clock::time_point(std::chrono::seconds(event.at));
            if (event.kind == Kind::Running) {
                backoff.SeenRunning();
                continue;
            }
            EXPECT_TRUE(backoff.MayStart());
            EXPECT_EQ(backoff.Started().episodeBegins, event.episodeBegins);
            EXPECT_EQ(backoff.Wait(), std::chrono::seconds(event.wait));
            if (event.wait > 0) {
                now += std::chrono::seconds(event.wait) - std::chrono::milliseconds(1);
                EXPECT_FALSE(backoff.MayStart());
            }
        }
    }
}

}  // namespace
}  // namespace quarn
