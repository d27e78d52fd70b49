#include "view/status_line.h"

#include "base/text.h"

namespace vant::view {

namespace {

bool isEmpty(const BlockInfo& b) {
    return !b.left && !b.right && !b.top && !b.bottom && !b.lid && slopeType(b) == 0;
}

}  // namespace

std::string describeSquare(const MapFile& map, int x, int y) {
    std::string text = formatText("square %d,%d", x, y);
    bool any = false;
    for (int z = 0; z < MapDepth && map.allocated(); ++z) {
        const BlockInfo& b = map.at(x, y, z);
        if (isEmpty(b)) continue;
        text += formatText(" | z%d: lid %d, slope %d, lighting %d", z, faceTile(b.lid), slopeType(b),
                           faceLighting(b.lid));
        any = true;
    }
    return any ? text : text + " | empty";
}

}  // namespace vant::view
