// The colour of a zone type, 0xRRGGBB, as every picture of zones shows it:
// one per named type, bright enough to read on a city; grey beyond them.
#pragma once

#include <cstdint>
#include <iterator>

namespace vant {

inline int zoneColour(uint32_t type) {
    static constexpr int kColours[] = {
        0xFFFFFF, 0x00FFFF, 0xFF4040, 0xFF00FF, 0xFFFF00, 0x40FF40, 0xFF8000, 0x8080FF, 0x00FF80, 0xFF80C0,
        0xC0FF00, 0x0080FF, 0xFFC080, 0x80FFFF, 0xC000FF, 0xFFFF80, 0x00C0C0, 0xFF0080, 0x80C000, 0xC0C0FF,
        0xFFA0A0,
    };
    return type < std::size(kColours) ? kColours[type] : 0xC0C0C0;
}

}  // namespace vant
