#pragma once

// Names the registry itself fixes, in one place for the in-memory stand-in
// and for the tools that judge a key path before it reaches a registry.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "system/registry_backend.h"
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

// The names of the value types, as regedit shows them.
inline constexpr std::array<std::pair<std::uint32_t, std::string_view>, 7> kValueTypeNames = {{
    {kRegNone, "REG_NONE"},
    {kRegSz, "REG_SZ"},
    {kRegExpandSz, "REG_EXPAND_SZ"},
    {kRegBinary, "REG_BINARY"},
    {kRegDword, "REG_DWORD"},
    {kRegMultiSz, "REG_MULTI_SZ"},
    {kRegQword, "REG_QWORD"},
}};

// The type's name, or "type N" for one without a name here.
inline std::string ValueTypeName(std::uint32_t type) {
    for (const auto& [known, name] : kValueTypeNames) {
        if (known == type) {
            return std::string(name);
        }
    }
    return "type " + std::to_string(type);
}

}  // namespace quarn
