// What the status line says about a square: its position and, for each
// layer that holds a block, the lid's tile, the slope type and the lid's
// lighting level.
#pragma once

#include <string>

#include "formats/level.h"

namespace vant::view {

// "square 12,34 | z0: lid 5, slope 0, lighting 0 | z2: lid 17, slope 45,
// lighting 2", or "square 12,34 | empty" when the column holds no block.
std::string describeSquare(const MapFile& map, int x, int y);

}  // namespace vant::view
