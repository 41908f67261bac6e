#pragma once

// What tests ask of a station's registry: its settings key and the user
// policies the catalogues write.

#include <cstdint>
#include <optional>
#include <string>

#include "system/registry_access.h"
#include "system/registry_backend.h"

namespace quarn::test {

// The station's settings key removed with everything in it.
void RemoveSettingsKey(RegistryBackend& registry = DefaultRegistry());

// A REG_DWORD of the user's Explorer policies (the key Policies\Explorer below
// the hive of that SID); nothing when the value or its hive is missing.
std::optional<std::uint32_t> ExplorerPolicy(const std::wstring& sid, const wchar_t* name,
                                            RegistryBackend& registry = DefaultRegistry());

}  // namespace quarn::test
