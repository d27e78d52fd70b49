#include "formats/level.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/os.h"

namespace vant {

void assignZeros(std::vector<uint8_t>& v, size_t bytes) {
    v.reserve(bytes);
    os::populatePages(v.data(), bytes);
    v.assign(bytes, 0);
}

bool ZeroedBuffer::allocate(size_t bytes) {
    release();
    if (bytes == 0) return true;
    const os::Pages pages = os::mapZeroedPages(bytes);
    if (pages.data) {
        mapping_ = data_ = pages.data;
        mappingSize_ = pages.size;
    } else {
        data_ = std::calloc(bytes, 1);
        if (!data_) return false;
    }
    size_ = bytes;
    return true;
}

void ZeroedBuffer::zero() {
    if (!data_) return;
    if (mapping_ && os::discardPages({mapping_, mappingSize_})) return;
    std::memset(data_, 0, size_);
}

void ZeroedBuffer::release() {
    if (mapping_) os::unmapPages({mapping_, mappingSize_});
    else std::free(data_);
    data_ = mapping_ = nullptr;
    size_ = mappingSize_ = 0;
}

void MapFile::ensure() {
    if (!blocks_.data() && !blocks_.allocate(BlockCount * sizeof(BlockInfo))) throw std::bad_alloc();
}

void MapFile::clear() {
    // A fresh store is zero already.
    if (blocks_.data()) blocks_.zero();
    else ensure();
}

void MapFile::clearExtras() {
    zones.clear();
    selectedZone = -1;
    animations.clear();
    tileToAnimation.fill(-1);
    waterTile = 0;
    waterTileAnimated = false;
}

const BlockInfo& MapFile::at(int x, int y, int z) const {
    static const BlockInfo empty{};
    if (!blocks_.data()) return empty;
    return store()[blockIndex(x, y, z)];
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
