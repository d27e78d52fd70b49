// What one loaded level holds: the decoded style (tile atlas, tile origins,
// surface groups), the block store of the map, and the running checksum.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "formats/checksum.h"
#include "formats/file_reader.h"

namespace vant {

constexpr int MapWidth = 256;
constexpr int MapHeight = 256;
constexpr int MapDepth = 8;
constexpr int AtlasSize = 2048;
constexpr int TileSize = 64;
constexpr int TileCount = 1024;
constexpr int TilePages = 64;
constexpr size_t AtlasBytes = size_t(AtlasSize) * AtlasSize * 4;

// One block: five face words and two bytes, 12 bytes, file order.
struct BlockInfo {
    uint16_t left = 0;
    uint16_t right = 0;
    uint16_t top = 0;
    uint16_t bottom = 0;
    uint16_t lid = 0;
    uint8_t extra = 0;
    uint8_t slope = 0;
};
static_assert(sizeof(BlockInfo) == 12, "BlockInfo must match the 12-byte file record");
// The loaders keep the files' little-endian numbers as they are read.
static_assert(std::endian::native == std::endian::little, "a little-endian machine is assumed");

// Face word fields.
inline int faceTile(uint16_t w) { return w & 0x3FF; }
inline int faceLighting(uint16_t w) { return (w >> 10) & 3; }
inline int faceBlend(uint16_t w) { return (w >> 12) & 1; }
inline int faceFlip(uint16_t w) { return (w >> 13) & 1; }
inline int faceRotation(uint16_t w) { return (w >> 14) & 3; }
inline int slopeType(const BlockInfo& b) { return b.slope >> 2; }

inline size_t blockIndex(int x, int y, int z) {
    return (static_cast<size_t>(z) * MapHeight + static_cast<size_t>(y)) * MapWidth + static_cast<size_t>(x);
}

// Zones and tile animations are read by the windowed load only.

// One named rectangle of the city. y runs upwards: file row y has its top
// edge at 256 - y, so y1 is the lower and y2 the upper edge.
struct ZoneRecord {
    uint32_t type = 0;
    float x1 = 0.0f;
    float y1 = 0.0f;
    float x2 = 0.0f;
    float y2 = 0.0f;
    uint32_t state = 0;
    int32_t id = 0;  // position in the chunk, from 0
    std::string name;
};

// A tile that cycles through frame tiles. The two bytes after the base are
// kept as read; nothing here interprets them.
struct TileAnimation {
    uint16_t base = 0;
    uint8_t byte2 = 0;
    uint8_t byte3 = 0;
    std::vector<uint16_t> frames;
};

// Zero-filled memory taken straight from the system: pages read before they
// are written cost nothing, and clearing hands the pages back instead of
// writing zeros over them. Move-only.
class ZeroedBuffer {
public:
    ZeroedBuffer() = default;
    ~ZeroedBuffer() { release(); }
    ZeroedBuffer(ZeroedBuffer&& other) noexcept { swap(other); }
    ZeroedBuffer& operator=(ZeroedBuffer&& other) noexcept {
        if (this != &other) {
            release();
            swap(other);
        }
        return *this;
    }
    ZeroedBuffer(const ZeroedBuffer&) = delete;
    ZeroedBuffer& operator=(const ZeroedBuffer&) = delete;

    // A zeroed buffer of `bytes`; false (and empty) when no memory is left.
    bool allocate(size_t bytes);
    // Every byte back to zero.
    void zero();
    void release();
    void* data() const { return data_; }
    size_t size() const { return size_; }

private:
    void swap(ZeroedBuffer& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(mapping_, other.mapping_);
        std::swap(mappingSize_, other.mappingSize_);
    }
    void* data_ = nullptr;
    size_t size_ = 0;
    void* mapping_ = nullptr;  // null when the bytes came from the C heap
    size_t mappingSize_ = 0;
};

// The blocks of a map as its compressed chunk ("DMAP") holds them: 65536
// base entries (one per square, row by row) giving each square's column in
// words, then the word count, the columns (a height and the lowest layer in
// the first word, a block number per layer after it), the block count and
// the 12-byte block records. Reads stay inside the bytes given: a column or
// block number that points outside them leaves its layers empty.
class PackedColumns {
public:
    static constexpr size_t BaseTableBytes = 262144;

    PackedColumns() = default;
    PackedColumns(const uint8_t* data, size_t size);
    // False when the bytes are too short for the base table and the word
    // count: then no square can name a column and every square is empty.
    bool readable() const { return words_ != nullptr; }

    // Calls put(z, record) for each block of the square's column that lies
    // inside the bytes, lowest layer first; returns how many column or block
    // numbers pointing outside them were met (a column cut by the end of the
    // bytes counts once).
    template <class Put>
    size_t column(size_t square, Put&& put) const {
        uint32_t base;
        std::memcpy(&base, data_ + 4 * square, 4);
        if (base >= wordsHeld_) return 1;  // column outside the chunk: square left empty
        const uint8_t* entry = words_ + 4 * size_t(base);
        const int height = entry[0];
        const int offset = entry[1];
        // Layers past the top of the map have nowhere to go.
        const int top = std::min(height, MapDepth);
        if (offset >= top) return 0;
        // A column cut by the end of the chunk places the layers it holds.
        size_t lost = 0;
        uint64_t layers = uint64_t(top - offset);
        if (layers > wordsHeld_ - base - 1) {
            layers = wordsHeld_ - base - 1;
            lost = 1;
        }
        entry += 4;
        for (int z = offset; z < offset + int(layers); ++z, entry += 4) {
            uint32_t n;
            std::memcpy(&n, entry, 4);
            if (n >= blocks_) {  // block number outside the table: layer left empty
                ++lost;
                continue;
            }
            put(z, records_ + 12 * size_t(n));
        }
        return lost;
    }
    // The same over every square in order, put(square, z, record); returns
    // the numbers pointing outside the bytes over all squares.
    template <class Put>
    size_t everyColumn(Put&& put) const {
        size_t lost = 0;
        if (!readable()) return lost;
        for (size_t square = 0; square < size_t(MapWidth) * MapHeight; ++square)
            lost += column(square, [&](int z, const uint8_t* record) { put(square, z, record); });
        return lost;
    }
    size_t countUnplaced() const {
        return everyColumn([](size_t, int, const uint8_t*) {});
    }

private:
    const uint8_t* data_ = nullptr;
    const uint8_t* words_ = nullptr;  // null when unreadable
    uint64_t wordsHeld_ = 0;          // whole words after the word count
    uint64_t blocks_ = 0;             // whole records in the block table
    const uint8_t* records_ = nullptr;
};

class MapFile {
public:
    static constexpr size_t BlockCount = size_t(MapWidth) * MapHeight * MapDepth;

    // The store is allocated on first use and kept for the run.
    void clear();
    void release();
    // Whether the map holds blocks, in the store or packed.
    bool allocated() const { return blocks_.data() != nullptr || packed_.readable(); }
    BlockInfo* data() { unpack(); ensure(); return store(); }
    // Null when nothing was allocated; a packed map is unpacked first.
    const BlockInfo* data() const { unpack(); return store(); }
    const BlockInfo& at(int x, int y, int z) const;
    BlockInfo& at(int x, int y, int z) { return data()[blockIndex(x, y, z)]; }

    // Keeps a compressed block map as it is instead of decoding it into the
    // store: a job that draws the map once reads its squares straight from
    // it and never touches the store's 6 MiB. The store is made from it the
    // first time something asks for the store. Unreadable bytes (too short
    // for their base table) leave the map empty.
    void keepPacked(FileBytes chunk);
    bool packed() const { return packed_.readable(); }
    // The blocks of one square (y * MapWidth + x), layer 0 up; empty layers
    // are all zero. From the store, or from the packed map.
    void column(size_t square, BlockInfo (&out)[MapDepth]) const;
    // One of them.
    BlockInfo block(size_t square, int z) const;
    // Calls f(z, block) for the square's layers lowest first: all of them
    // from the store, only those the packed map holds from a packed map.
    template <class F>
    void visitColumn(size_t square, F&& f) const {
        if (const BlockInfo* s = store()) {
            for (int z = 0; z < MapDepth; ++z) f(z, s[size_t(z) * MapWidth * MapHeight + square]);
        } else if (packed_.readable()) {
            packed_.column(square, [&](int z, const uint8_t* record) {
                BlockInfo b;
                std::memcpy(static_cast<void*>(&b), record, sizeof b);
                f(z, b);
            });
        }
    }

    // Empties what a windowed load reads beside the blocks (zones, tile
    // animations, the water tile), so a load that stops early leaves nothing
    // of the level before.
    void clearExtras();

    // False outside the map; extra and slope are delivered only with flag 64.
    bool getBlock(int x, int y, int z, int flags, BlockInfo& out) const;

    MapFile() { tileToAnimation.fill(-1); }

    std::vector<ZoneRecord> zones;  // smallest area first after a load
    int selectedZone = -1;
    std::vector<TileAnimation> animations;
    std::array<int32_t, TileCount> tileToAnimation{};  // animation index by base tile, or -1
    uint32_t waterTile = 0;
    bool waterTileAnimated = false;

private:
    void ensure() const;
    void unpack() const;
    BlockInfo* store() const { return static_cast<BlockInfo*>(blocks_.data()); }
    // Made on first use, also from a const map; one thread per level.
    mutable ZeroedBuffer blocks_;
    mutable FileBytes packedBytes_;
    mutable PackedColumns packed_;
};

struct TileOrigin {
    float u = 0.0f;
    float v = 0.0f;
};

// Sprite output of the windowed style load.
struct SpritePlacement {
    uint16_t x = 0, y = 0;
    uint8_t w = 0, h = 0;
};

// `bytes` zeros in `v`. A large buffer's fresh memory is faulted in at once
// first, which costs about a quarter less than a fault for each page the
// clearing reaches.
void assignZeros(std::vector<uint8_t>& v, size_t bytes);

struct Level {
    LevelChecksum checksum;
    // 2048 x 2048 RGBA; empty when no style is loaded (reads as transparent).
    std::vector<uint8_t> tileAtlas;
    // Whether loadStyle keeps the full atlas. The headless job only needs its
    // 256 x 256 reduction, which loadStyle always makes while decoding.
    bool keepTileAtlas = true;
    std::vector<uint8_t> reducedAtlas;
    std::array<TileOrigin, TileCount> tileOrigin{};
    std::array<TileOrigin, TileCount> paddedTileOrigin{};
    std::array<uint16_t, TileCount> surfaceGroup{};
    bool waterTint = false;
    bool styleIsBil = false;

    std::vector<uint8_t> spriteAtlas;  // windowed only
    std::vector<SpritePlacement> sprites;

    MapFile map;

    void releaseTileAtlas() {
        tileAtlas.clear();
        tileAtlas.shrink_to_fit();
        reducedAtlas.clear();
        reducedAtlas.shrink_to_fit();
    }
};

}  // namespace vant
