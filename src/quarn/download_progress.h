#pragma once

// What the update window shows for each progress notification of the
// download: the label text and the gauge value, and which comes first.

#include <cstdint>
#include <optional>
#include <string>

namespace quarn {

struct ProgressDisplay {
    std::optional<std::wstring> label;
    std::optional<int> gauge;  // 0 to 100, clamped
    bool gaugeFirst = false;
};

// statusCode is the binding status (1 finding, 2 connecting, 4 begin,
// 5 downloading, 6 end); progress and maximum the bytes so far and in all.
ProgressDisplay DisplayForProgress(std::uint32_t statusCode, std::uint64_t progress,
                                   std::uint64_t maximum);

// A gauge value outside 0 to 100 is clamped.
int ClampGauge(long long value);

}  // namespace quarn
