#include "formats/level.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace vant {

bool ZeroedBuffer::allocate(size_t bytes) {
    release();
    if (bytes == 0) return true;
    // Whole large pages where the system offers them: map one large page
    // more than needed and keep an aligned window.
    constexpr size_t LargePage = size_t(2) << 20;
    const size_t rounded = (bytes + LargePage - 1) & ~(LargePage - 1);
    void* raw = mmap(nullptr, rounded + LargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw != MAP_FAILED) {
        const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
        const uintptr_t aligned = (start + LargePage - 1) & ~uintptr_t(LargePage - 1);
        if (aligned > start) munmap(raw, aligned - start);
        const uintptr_t end = start + rounded + LargePage, alignedEnd = aligned + rounded;
        if (end > alignedEnd) munmap(reinterpret_cast<void*>(alignedEnd), end - alignedEnd);
        mapping_ = reinterpret_cast<void*>(aligned);
        mappingSize_ = rounded;
        madvise(mapping_, mappingSize_, MADV_HUGEPAGE);
        data_ = mapping_;
    } else {
        data_ = std::calloc(bytes, 1);
        if (!data_) return false;
    }
    size_ = bytes;
    return true;
}

void ZeroedBuffer::zero() {
    if (!data_) return;
    // Dropped pages of a private anonymous mapping read back as zeros.
    if (mapping_ && madvise(mapping_, mappingSize_, MADV_DONTNEED) == 0) return;
    std::memset(data_, 0, size_);
}

void ZeroedBuffer::release() {
    if (mapping_) munmap(mapping_, mappingSize_);
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
