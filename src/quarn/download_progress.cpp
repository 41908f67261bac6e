#include "download_progress.h"

#include <algorithm>

namespace quarn {

int ClampGauge(long long value) {
    return static_cast<int>(std::clamp<long long>(value, 0, 100));
}

ProgressDisplay DisplayForProgress(std::uint32_t statusCode, std::uint64_t progress,
                                   std::uint64_t maximum) {
    switch (statusCode) {
        case 1:
            return {L"setup.exe found...", std::nullopt, false};
        case 2:
            return {L"connect...", std::nullopt, false};
        case 4:
            return {L"download startet...", 0, true};
        case 5: {
            // An unknown total makes the percentage -1, which the gauge clamps to 0.
            const long long percent =
                maximum == 0 ? -1
                             : static_cast<long long>((progress * 100 + maximum / 2) / maximum);
            return {L"file loading...", ClampGauge(percent), true};
        }
        case 6:
            return {L"download ready...", 100, false};
        default:
            return {};
    }
}

}  // namespace quarn
