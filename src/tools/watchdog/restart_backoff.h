#pragma once

// How long the watchdog waits before it starts the application again. A run
// that ends quickly doubles the wait (1 s, 2 s, 4 s ... up to a minute), so a
// broken application cannot keep the processor busy; a run that lasted
// counts as stable and brings the wait back to the start.

#include <algorithm>
#include <chrono>

namespace quarn {

class RestartBackoff {
  public:
    using Duration = std::chrono::milliseconds;
    static constexpr Duration kStableRun = std::chrono::seconds(30);
    static constexpr Duration kFirstWait = std::chrono::seconds(1);
    static constexpr Duration kLongestWait = std::chrono::seconds(60);

    // The wait after a run of the given length; a start that failed is a run
    // of no length.
    Duration AfterRun(Duration runTime) {
        if (runTime >= kStableRun) {
            wait_ = Duration::zero();
            return kFirstWait;
        }
        wait_ = wait_ == Duration::zero() ? kFirstWait : std::min(wait_ * 2, kLongestWait);
        return wait_;
    }

  private:
    Duration wait_ = Duration::zero();
};

}  // namespace quarn
