#pragma once

namespace quarn {

// The release these programs are, compared only as text.
inline constexpr char BuiltInRelease[] = "2539162";
inline constexpr wchar_t BuiltInReleaseW[] = L"2539162";

}  // namespace quarn
