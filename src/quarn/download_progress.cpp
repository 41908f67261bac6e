#include "quarn/download_progress.h"

#include <algorithm>
#include <limits>

#include "system/text_case.h"

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

bool IsCompleteInstaller(const FinishedDownload& download,
                         const std::optional<std::string>& expectedSha256) {
    const bool replied = download.httpStatus >= 200 && download.httpStatus <= 299;
    const bool whole =
        !download.announcedLength || *download.announcedLength == download.savedLength;
    return download.transferred && replied && whole && download.head == "MZ" &&
           (!expectedSha256 || *expectedSha256 == download.sha256);
}

std::optional<std::uint64_t> ContentLengthOf(std::wstring_view headers) {
    constexpr std::wstring_view kName = L"content-length:";
    while (!headers.empty()) {
        const std::size_t end = std::min(headers.find(L'\n'), headers.size());
        std::wstring_view line = headers.substr(0, end);
        headers.remove_prefix(std::min(end + 1, headers.size()));
        if (!EqualsIgnoringCaseAZ(line.substr(0, kName.size()), kName)) {
            continue;
        }
        line.remove_prefix(kName.size());
        while (!line.empty() && (line.front() == L' ' || line.front() == L'\t')) {
            line.remove_prefix(1);
        }
        while (!line.empty() &&
               (line.back() == L' ' || line.back() == L'\t' || line.back() == L'\r')) {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            return std::nullopt;
        }
        std::uint64_t length = 0;
        for (const wchar_t c : line) {
            const auto digit = static_cast<std::uint64_t>(c - L'0');
            if (c < L'0' || c > L'9' ||
                length > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
                return std::nullopt;
            }
            length = length * 10 + digit;
        }
        return length;
    }
    return std::nullopt;
}

}  // namespace quarn
