#pragma once

// When a program that keeps ending may be started again. The one rule of the
// watch service (for watchdog.exe and the application) and of watchdog.exe
// (for the application): a program that ends is started again at once, at
// its keeper's own pace of about a second, until it has been started five
// times within a minute without staying up for a minute. From then on each
// start waits 5 s, then 10 s, 20 s ... up to a minute, until a run lasts a
// minute; that ends the episode and the count starts over. The clock is
// injected, so the rule is tested as sequences of events.

#include <chrono>
#include <deque>
#include <functional>
#include <optional>

namespace quarn {

class RestartBackoff {
  public:
    using Clock = std::chrono::steady_clock;
    using Duration = std::chrono::milliseconds;
    using Now = std::function<Clock::time_point()>;

    static constexpr int kQuickStarts = 5;
    static constexpr Duration kWindow = std::chrono::seconds(60);
    static constexpr Duration kStableRun = std::chrono::seconds(60);
    static constexpr Duration kFirstWait = std::chrono::seconds(5);
    static constexpr Duration kLongestWait = std::chrono::seconds(60);

    explicit RestartBackoff(Now now = Clock::now);

    struct Start {
        // This start began an episode of quick ends, which is reported once.
        bool episodeBegins = false;
        // The starts within the last minute, this one included, and how long
        // ago the first of them was made.
        int recentStarts = 0;
        Duration span{};
    };
    // A start was made now.
    Start Started();
    // The program runs now, or ran until now: once its last start lies a
    // stable run back, it has stayed up and the count starts over.
    void SeenRunning();

    bool MayStart() const { return now_() >= NextStart(); }
    // The last start and the wait after it; the far past before any start.
    Clock::time_point NextStart() const;
    // Zero outside an episode.
    Duration Wait() const { return wait_; }

  private:
    Now now_;
    std::deque<Clock::time_point> starts_;  // the last minute's, since the last stable run
    std::optional<Clock::time_point> lastStart_;
    Duration wait_{};
};

}  // namespace quarn
