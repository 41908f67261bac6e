#pragma once

// What the update window shows for each progress notification of the
// download (the label text and the gauge value, and which comes first), and
// what a finished download must be before it is offered for installation.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// What is known of a download once its binding has ended.
struct FinishedDownload {
    // The binding ended without an error, nothing aborted it, and every byte
    // received reached the file.
    bool transferred = false;
    std::uint32_t httpStatus = 0;                  // of the reply; 0 when none came
    std::optional<std::uint64_t> announcedLength;  // the reply's Content-Length
    std::uint64_t savedLength = 0;
    std::string head;    // the first two bytes saved (fewer when there are fewer)
    std::string sha256;  // of every byte saved, in small hexadecimal digits
};

// Whether the saved file is the whole installer: a reply of 2xx was seen,
// every announced byte was saved, the file is a program (it begins with
// "MZ"), and its digest is the one the update-information file names, if
// it names one. A truncated transfer counts as a success at the binding,
// so the length and the digest are what show it.
bool IsCompleteInstaller(const FinishedDownload& download,
                         const std::optional<std::string>& expectedSha256);

// The Content-Length of a reply's head (its header lines as one text);
// nothing when there is none or it is not a number.
std::optional<std::uint64_t> ContentLengthOf(std::wstring_view headers);

}  // namespace quarn
