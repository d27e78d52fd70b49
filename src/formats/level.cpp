#include "formats/level.h"

#include <cstring>

namespace vant {

void MapFile::ensure() {
    if (blocks_.empty()) blocks_.resize(BlockCount);
}

void MapFile::clear() {
    ensure();
    std::memset(static_cast<void*>(blocks_.data()), 0, blocks_.size() * sizeof(BlockInfo));
}

const BlockInfo& MapFile::at(int x, int y, int z) const {
    static const BlockInfo empty{};
    if (blocks_.empty()) return empty;
    return blocks_[blockIndex(x, y, z)];
}

bool MapFile::getBlock(int x, int y, int z, int flags, BlockInfo& out) const {
    if (x < 0 || x >= MapWidth || y < 0 || y >= MapHeight || z < 0 || z >= MapDepth) return false;
    const BlockInfo& b = at(x, y, z);
    out.left = b.left;
    out.right = b.right;
    out.top = b.top;
    out.bottom = b.bottom;
    out.lid = b.lid;
    if (flags & 64) {
        out.extra = b.extra;
        out.slope = b.slope;
    }
    return true;
}

}  // namespace vant
