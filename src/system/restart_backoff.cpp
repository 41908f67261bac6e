#include "system/restart_backoff.h"

#include <algorithm>
#include <utility>

namespace quarn {

RestartBackoff::RestartBackoff(Now now) : now_(std::move(now)) {}

RestartBackoff::Start RestartBackoff::Started() {
    const Clock::time_point now = now_();
    starts_.push_back(now);
    while (now - starts_.front() >= kWindow) {
        starts_.pop_front();
    }
    lastStart_ = now;
    Start start;
    start.recentStarts = static_cast<int>(starts_.size());
    start.span = std::chrono::duration_cast<Duration>(now - starts_.front());
    if (wait_ > Duration::zero()) {
        wait_ = std::min(wait_ * 2, kLongestWait);
    } else if (start.recentStarts >= kQuickStarts) {
        wait_ = kFirstWait;
        start.episodeBegins = true;
    }
    return start;
}

void RestartBackoff::SeenRunning() {
    if (lastStart_ && now_() - *lastStart_ >= kStableRun) {
        starts_.clear();
        lastStart_.reset();
        wait_ = Duration::zero();
    }
}

RestartBackoff::Clock::time_point RestartBackoff::NextStart() const {
    return lastStart_ ? *lastStart_ + wait_ : Clock::time_point::min();
}

}  // namespace quarn
