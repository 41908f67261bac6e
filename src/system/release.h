#pragma once

#include "system/release_number.h"

namespace quarn {

// The release these programs are, compared only as text.
inline constexpr char BuiltInRelease[] = QUARN_RELEASE;
inline constexpr wchar_t BuiltInReleaseW[] = L"" QUARN_RELEASE;

}  // namespace quarn
