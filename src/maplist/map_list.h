// The process's list of known maps, with the current map and style entries.
#pragma once

#include <vector>

#include "formats/map_description.h"

namespace vant {

struct MapList {
    std::vector<MapDescription> entries;
    int currentMap = -1;
    int currentStyle = -1;

    int size() const { return static_cast<int>(entries.size()); }
    bool valid(int index) const { return index >= 0 && index < size(); }
    void clear() {
        entries.clear();
        currentMap = currentStyle = -1;
    }
};

}  // namespace vant
