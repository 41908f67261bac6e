#pragma once

// The order in which a table walks its rows: the visible versions in file
// order, sorted by the file's DEFAULT_ORDER when it has one.

#include <cstdint>
#include <vector>

#include "catalogue/datapacket.h"

namespace quarn {

// 0-based storage positions of the visible versions, in walk order.
std::vector<std::uint32_t> WalkOrder(const TableContent& content);

}  // namespace quarn
