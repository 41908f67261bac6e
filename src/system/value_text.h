#pragma once

// A registry value as the administrator reads it in the tools' reports:
// the type's name and the data ("REG_DWORD 1", "REG_SZ \"text\"",
// "REG_BINARY 00 01 fe").

#include <optional>
#include <string>

#include "system/registry_backend.h"

namespace quarn {

std::string DescribeValue(const RegistryValue& value);
// "absent" for nothing.
std::string DescribeValue(const std::optional<RegistryValue>& value);

}  // namespace quarn
