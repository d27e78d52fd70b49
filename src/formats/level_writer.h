// Writers for the level files: the chunk container, style files (.sty), map
// files (.gmp, block map as "UMAP" or shared "DMAP") and map descriptions
// (.mmp). Tests and the sample generator build their levels with these
// instead of keeping opaque binary files around.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/level.h"

namespace vant {

// Little-endian appender.
class ByteBuffer {
public:
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void append(const void* data, size_t size);
    void append(const std::vector<uint8_t>& data) { append(data.data(), data.size()); }
    void block(const BlockInfo& b);

    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

// The 12 file bytes of a block record, in file order.
std::array<uint8_t, 12> blockBytes(const BlockInfo& b);

struct Chunk {
    std::string type;  // up to 4 characters; shorter types are padded with zero bytes
    std::vector<uint8_t> data;
};

// The container: magic, 16-bit version, then chunks back to back, each a
// 4-byte type, a 32-bit size and the data. Chunks are written in the order
// they were added; adding a type twice writes it twice.
class ChunkFileWriter {
public:
    explicit ChunkFileWriter(std::string magic, uint16_t version = 0) : magic_(std::move(magic)), version_(version) {}

    void add(std::string type, std::vector<uint8_t> data);
    void add(Chunk chunk) { chunks_.push_back(std::move(chunk)); }
    const std::vector<Chunk>& chunks() const { return chunks_; }

    // File position of the first data byte of the index-th chunk added.
    uint32_t dataOffset(size_t index) const;
    std::vector<uint8_t> bytes() const;

private:
    std::string magic_;
    uint16_t version_;
    std::vector<Chunk> chunks_;
};

// Writes the bytes to path, replacing the file. False when it cannot.
bool saveBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool saveText(const std::string& path, const std::string& text);

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// A style file under construction. Tables grow as they are written to; what
// was never set is written as zeros.
class StyleWriter {
public:
    static constexpr int PalettesPerPage = 64;
    static constexpr size_t PageBytes = 65536;

    // Virtual palette v (for tiles: the tile number) uses physical palette p.
    void setVirtualPalette(size_t v, uint16_t physical);
    uint16_t virtualPalette(size_t v) const { return v < palx_.size() ? palx_[v] : 0; }
    size_t virtualPaletteCount() const { return palx_.size(); }

    // Colour index of physical palette; "PPAL" grows by whole pages of 64.
    void setColour(int physical, int index, Rgb colour);
    Rgb colour(int physical, int index) const;
    void setPhysicalPageCount(size_t pages);
    size_t physicalPageCount() const { return ppal_.size() / PageBytes; }

    // Pixel (x, y) of tile t, 0 to 63 each; index 0 is transparent. "TILE"
    // grows by whole pages of 16 tiles.
    void setPixel(int tile, int x, int y, uint8_t index);
    uint8_t pixel(int tile, int x, int y) const;
    void setTilePageCount(size_t pages);
    size_t tilePageCount() const { return tiles_.size() / PageBytes; }

    // Surface groups. Tile 0 cannot be named: 0 separates the groups.
    void addToGroup(int tile, int group);
    const std::vector<std::vector<uint16_t>>& groups() const { return groups_; }

    void setPaletteBase(int i, uint16_t value) { palb_.at(size_t(i)) = value; }
    bool writePaletteBases = true;

    // Optional sprites: raw "SPRG" pages and "SPRX" entries.
    void setSpriteGraphics(std::vector<uint8_t> graphics) { sprg_ = std::move(graphics); }
    void addSprite(uint32_t ptr, uint8_t w, uint8_t h);

    // Any further chunk, written after the standard ones.
    void addChunk(std::string type, std::vector<uint8_t> data) { extra_.push_back({std::move(type), std::move(data)}); }

    std::vector<uint8_t> palxChunk() const;
    std::vector<uint8_t> ppalChunk() const { return ppal_; }
    std::vector<uint8_t> palbChunk() const;
    std::vector<uint8_t> tileChunk() const { return tiles_; }
    std::vector<uint8_t> specChunk() const;

    // "PALX", "PPAL", "PALB", "TILE", "SPEC", then "SPRG"/"SPRX" when there
    // are sprites, then the added chunks. Empty tables are left out.
    ChunkFileWriter container() const;
    std::vector<uint8_t> bytes() const { return container().bytes(); }

    uint16_t version = 700;

private:
    static size_t tileByte(int tile, int x, int y);

    std::vector<uint16_t> palx_;
    std::vector<uint8_t> ppal_;
    std::array<uint16_t, 8> palb_{};
    std::vector<uint8_t> tiles_;
    std::vector<std::vector<uint16_t>> groups_;
    std::vector<uint8_t> sprg_;
    std::vector<uint8_t> sprx_;
    std::vector<Chunk> extra_;
};

enum class BlockMapFormat { Umap, Dmap, Both, None };

// A "ZONE" record as stored: squares and rows in file numbering.
struct ZoneEntry {
    uint8_t type = 0;
    uint8_t x = 0, y = 0, w = 0, h = 0;
    std::string name;  // at most 255 bytes are written
};

// An "ANIM" record as stored.
struct AnimationEntry {
    uint16_t base = 0;
    uint8_t byte2 = 0, byte3 = 0;  // carried for the game, not read here
    std::vector<uint16_t> frames;  // at most 255 are written
};

// A map file under construction: the full block grid, zones, animations.
class MapWriter {
public:
    MapWriter();

    BlockInfo& at(int x, int y, int z) { return blocks_[blockIndex(x, y, z)]; }
    const BlockInfo& at(int x, int y, int z) const { return blocks_[blockIndex(x, y, z)]; }
    // Index ((z * 256) + y) * 256 + x, as the file's uncompressed map.
    const std::vector<BlockInfo>& blocks() const { return blocks_; }

    void addZone(ZoneEntry zone) { zones_.push_back(std::move(zone)); }
    void addAnimation(AnimationEntry animation) { animations_.push_back(std::move(animation)); }
    void addChunk(std::string type, std::vector<uint8_t> data) { extra_.push_back({std::move(type), std::move(data)}); }

    std::vector<uint8_t> umapChunk() const;
    // Each square's column runs from its lowest to its highest non-empty
    // layer; equal columns are written once and named by every square that
    // has them, equal block records are stored once.
    std::vector<uint8_t> dmapChunk() const;
    std::vector<uint8_t> zoneChunk() const;
    std::vector<uint8_t> animChunk() const;

    // The block map chunk(s) chosen ("Both" writes "UMAP" then "DMAP"), then
    // "ANIM" and "ZONE" when there are any, then the added chunks.
    ChunkFileWriter container(BlockMapFormat format = BlockMapFormat::Dmap) const;
    std::vector<uint8_t> bytes(BlockMapFormat format = BlockMapFormat::Dmap) const {
        return container(format).bytes();
    }

    uint16_t version = 500;

private:
    std::vector<BlockInfo> blocks_;
    std::vector<ZoneEntry> zones_;
    std::vector<AnimationEntry> animations_;
    std::vector<Chunk> extra_;
};

// A map description: "[MapFiles]" and then one key=value line per entry,
// every line ending in CR LF.
struct MmpEntry {
    std::string key;
    std::string value;
};
std::string mapDescriptionText(const std::vector<MmpEntry>& entries);

}  // namespace vant
