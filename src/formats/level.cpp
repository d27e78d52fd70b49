#include "formats/level.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

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

PackedColumns::PackedColumns(const uint8_t* data, size_t size) {
    // Without the word count nothing can be placed safely; the squares whose
    // base entries are present still cannot name a column.
    if (size < BaseTableBytes + 4) return;
    uint32_t wordCount;
    std::memcpy(&wordCount, data + BaseTableBytes, 4);
    data_ = data;
    // Columns are counted in words from the word count's end; words below
    // this lie whole inside the chunk.
    words_ = data + BaseTableBytes + 4;
    wordsHeld_ = (size - BaseTableBytes - 4) / 4;
    const uint64_t blockTable = BaseTableBytes + 8 + 4 * uint64_t(wordCount);
    // Block numbers below this have their whole record inside the chunk.
    blocks_ = blockTable < size ? (size - blockTable) / 12 : 0;
    records_ = data + std::min<uint64_t>(blockTable, size);
}

void MapFile::ensure() const {
    if (!blocks_.data() && !blocks_.allocate(BlockCount * sizeof(BlockInfo))) throw std::bad_alloc();
}

void MapFile::unpack() const {
    if (!packed_.readable()) return;
    ensure();
    BlockInfo* const out = store();
    constexpr size_t Plane = size_t(MapWidth) * MapHeight;
    packed_.everyColumn([&](size_t square, int z, const uint8_t* record) {
        std::memcpy(static_cast<void*>(&out[size_t(z) * Plane + square]), record, sizeof(BlockInfo));
    });
    packed_ = PackedColumns();
    packedBytes_ = FileBytes();
}

void MapFile::keepPacked(FileBytes chunk) {
    release();
    packedBytes_ = std::move(chunk);
    packed_ = PackedColumns(packedBytes_.data(), packedBytes_.size());
    if (packed_.readable()) return;
    packedBytes_ = FileBytes();
    ensure();  // an empty map, as a decoded one would be
}

void MapFile::clear() {
    packed_ = PackedColumns();
    packedBytes_ = FileBytes();
    // A fresh store is zero already.
    if (blocks_.data()) blocks_.zero();
    else ensure();
}

void MapFile::release() {
    packed_ = PackedColumns();
    packedBytes_ = FileBytes();
    blocks_.release();
}

void MapFile::column(size_t square, BlockInfo (&out)[MapDepth]) const {
    // Copied from a constant, the clearing is six vector stores; a memset
    // of the array becomes a string instruction that costs more than the
    // rest of a packed column.
    static constexpr BlockInfo None[MapDepth] = {};
    std::memcpy(static_cast<void*>(out), None, sizeof out);
    visitColumn(square, [&](int z, const BlockInfo& b) { out[z] = b; });
}

BlockInfo MapFile::block(size_t square, int z) const {
    if (const BlockInfo* s = store()) return s[size_t(z) * MapWidth * MapHeight + square];
    BlockInfo b;
    visitColumn(square, [&](int layer, const BlockInfo& found) {
        if (layer == z) b = found;
    });
    return b;
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
    unpack();
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
