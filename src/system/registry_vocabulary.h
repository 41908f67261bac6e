#pragma once

// Names the registry itself fixes, in one place for the in-memory stand-in
// and for the tools that judge a key path before it reaches a registry.

#include <algorithm>
#include <array>
#include <string_view>

#include "system/text_case.h"

namespace quarn {

// The keys directly below HKEY_LOCAL_MACHINE on every Windows machine. No
// other key can be made there (the stand-in refuses it, as Windows does), so
// every machine key path begins with one of them.
inline constexpr std::array<std::string_view, 5> kMachineKeys = {"HARDWARE", "SAM", "SECURITY",
                                                                 "SOFTWARE", "SYSTEM"};

// Whether name (code page 1252) is one of kMachineKeys, letter case ignored.
// The names are ASCII, so A to Z are the only letters whose case can matter.
inline bool IsMachineKey(std::string_view name) {
    return std::any_of(kMachineKeys.begin(), kMachineKeys.end(),
                       [&](std::string_view key) { return EqualsIgnoringCaseAZ(name, key); });
}

}  // namespace quarn
