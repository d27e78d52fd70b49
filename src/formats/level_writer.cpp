#include "formats/level_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

namespace vant {

void ByteBuffer::u16(uint16_t v) {
    bytes_.push_back(uint8_t(v));
    bytes_.push_back(uint8_t(v >> 8));
}

void ByteBuffer::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(uint8_t(v >> (8 * i)));
}

void ByteBuffer::append(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
}

std::array<uint8_t, 12> blockBytes(const BlockInfo& b) {
    // Field by field rather than a memcpy, so the file layout does not hang
    // on the host's byte order.
    const uint16_t faces[5] = {b.left, b.right, b.top, b.bottom, b.lid};
    std::array<uint8_t, 12> out{};
    for (size_t i = 0; i < 5; ++i) {
        out[2 * i] = uint8_t(faces[i]);
        out[2 * i + 1] = uint8_t(faces[i] >> 8);
    }
    out[10] = b.extra;
    out[11] = b.slope;
    return out;
}

void ByteBuffer::block(const BlockInfo& b) {
    const auto bytes = blockBytes(b);
    append(bytes.data(), bytes.size());
}

// ---------------------------------------------------------------- container

static void appendFourCC(ByteBuffer& out, const std::string& text) {
    for (size_t i = 0; i < 4; ++i) out.u8(i < text.size() ? uint8_t(text[i]) : 0);
}

void ChunkFileWriter::add(std::string type, std::vector<uint8_t> data) {
    chunks_.push_back({std::move(type), std::move(data)});
}

uint32_t ChunkFileWriter::dataOffset(size_t index) const {
    uint64_t at = 6;
    for (size_t i = 0; i < index && i < chunks_.size(); ++i) at += 8 + chunks_[i].data.size();
    return uint32_t(at + 8);
}

std::vector<uint8_t> ChunkFileWriter::bytes() const {
    ByteBuffer out;
    appendFourCC(out, magic_);
    out.u16(version_);
    for (const Chunk& c : chunks_) {
        if (c.data.size() > 0xFFFFFFFFull) throw std::length_error("chunk larger than its 32-bit size field");
        appendFourCC(out, c.type);
        out.u32(uint32_t(c.data.size()));
        out.append(c.data);
    }
    return out.take();
}

bool saveBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool saveText(const std::string& path, const std::string& text) {
    return saveBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// -------------------------------------------------------------------- style

void StyleWriter::setVirtualPalette(size_t v, uint16_t physical) {
    if (v >= palx_.size()) palx_.resize(v + 1, 0);
    palx_[v] = physical;
}

static size_t ppalEntry(int physical, int index) {
    // 64 palettes per page, interleaved by colour: row c holds colour c of
    // the page's 64 palettes.
    const size_t p = size_t(physical);
    return (p / 64) * 16384 + size_t(index) * 64 + (p % 64);
}

void StyleWriter::setPhysicalPageCount(size_t pages) { ppal_.resize(pages * PageBytes, 0); }

void StyleWriter::setColour(int physical, int index, Rgb c) {
    if (physical < 0 || index < 0 || index > 255) throw std::out_of_range("palette colour");
    const size_t pages = size_t(physical) / PalettesPerPage + 1;
    if (physicalPageCount() < pages) setPhysicalPageCount(pages);
    uint8_t* e = &ppal_[ppalEntry(physical, index) * 4];
    e[0] = c.b;
    e[1] = c.g;
    e[2] = c.r;
    e[3] = 0;
}

Rgb StyleWriter::colour(int physical, int index) const {
    const size_t at = ppalEntry(physical, index) * 4;
    if (at + 4 > ppal_.size()) return Rgb{};
    return Rgb{ppal_[at + 2], ppal_[at + 1], ppal_[at]};
}

size_t StyleWriter::tileByte(int tile, int x, int y) {
    const size_t page = size_t(tile) / 16, t = size_t(tile) % 16;
    return page * PageBytes + (64 * (t / 4) + size_t(y)) * 256 + 64 * (t % 4) + size_t(x);
}

void StyleWriter::setTilePageCount(size_t pages) { tiles_.resize(pages * PageBytes, 0); }

void StyleWriter::setPixel(int tile, int x, int y, uint8_t index) {
    if (tile < 0 || x < 0 || x > 63 || y < 0 || y > 63) throw std::out_of_range("tile pixel");
    const size_t pages = size_t(tile) / 16 + 1;
    if (tilePageCount() < pages) setTilePageCount(pages);
    tiles_[tileByte(tile, x, y)] = index;
}

uint8_t StyleWriter::pixel(int tile, int x, int y) const {
    const size_t at = tileByte(tile, x, y);
    return at < tiles_.size() ? tiles_[at] : 0;
}

void StyleWriter::addToGroup(int tile, int group) {
    if (tile <= 0 || tile > 0xFFFF || group < 0) throw std::out_of_range("surface group");
    if (size_t(group) >= groups_.size()) groups_.resize(size_t(group) + 1);
    groups_[size_t(group)].push_back(uint16_t(tile));
}

void StyleWriter::addSprite(uint32_t ptr, uint8_t w, uint8_t h) {
    ByteBuffer out;
    out.u32(ptr);
    out.u8(w);
    out.u8(h);
    out.u16(0);
    sprx_.insert(sprx_.end(), out.bytes().begin(), out.bytes().end());
}

std::vector<uint8_t> StyleWriter::palxChunk() const {
    ByteBuffer out;
    for (uint16_t v : palx_) out.u16(v);
    return out.take();
}

std::vector<uint8_t> StyleWriter::palbChunk() const {
    ByteBuffer out;
    for (uint16_t v : palb_) out.u16(v);
    return out.take();
}

std::vector<uint8_t> StyleWriter::specChunk() const {
    ByteBuffer out;
    for (const auto& group : groups_) {
        for (uint16_t t : group) out.u16(t);
        out.u16(0);  // closes the group; a trailing separator names no tile
    }
    return out.take();
}

ChunkFileWriter StyleWriter::container() const {
    ChunkFileWriter file("GBST", version);
    if (!palx_.empty()) file.add("PALX", palxChunk());
    if (!ppal_.empty()) file.add("PPAL", ppalChunk());
    if (writePaletteBases) file.add("PALB", palbChunk());
    if (!tiles_.empty()) file.add("TILE", tileChunk());
    if (!groups_.empty()) file.add("SPEC", specChunk());
    if (!sprg_.empty()) file.add("SPRG", sprg_);
    if (!sprx_.empty()) file.add("SPRX", sprx_);
    for (const Chunk& c : extra_) file.add(c);
    return file;
}

// ---------------------------------------------------------------------- map

MapWriter::MapWriter() : blocks_(MapFile::BlockCount) {}

std::vector<uint8_t> MapWriter::umapChunk() const {
    ByteBuffer out;
    for (const BlockInfo& b : blocks_) out.block(b);
    return out.take();
}

namespace {

struct BytesHash {
    size_t operator()(const std::string& s) const { return std::hash<std::string_view>()(s); }
};

bool isEmptyRecord(const std::array<uint8_t, 12>& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t v) { return v == 0; });
}

}  // namespace

std::vector<uint8_t> MapWriter::dmapChunk() const {
    // Words of all distinct columns, and the distinct block records.
    std::vector<uint32_t> columnWords;
    std::vector<std::array<uint8_t, 12>> records;
    std::unordered_map<std::string, uint32_t, BytesHash> columnAt;  // column words -> first word
    std::unordered_map<std::string, uint32_t, BytesHash> recordAt;  // record bytes -> block number
    std::vector<uint32_t> base(size_t(MapWidth) * MapHeight);

    std::vector<uint32_t> column;
    for (int y = 0; y < MapHeight; ++y) {
        for (int x = 0; x < MapWidth; ++x) {
            std::array<std::array<uint8_t, 12>, MapDepth> layer;
            int low = MapDepth, high = -1;
            for (int z = 0; z < MapDepth; ++z) {
                layer[size_t(z)] = blockBytes(at(x, y, z));
                // Any non-zero byte, "extra" included, keeps a block in its
                // column, so the store reads back byte for byte.
                if (!isEmptyRecord(layer[size_t(z)])) {
                    low = std::min(low, z);
                    high = z;
                }
            }
            column.clear();
            if (high < 0) {
                column.push_back(0);  // height 0, offset 0: describes nothing
            } else {
                column.push_back(uint32_t(high + 1) | (uint32_t(low) << 8));
                for (int z = low; z <= high; ++z) {
                    const auto& bytes = layer[size_t(z)];
                    std::string key(reinterpret_cast<const char*>(bytes.data()), bytes.size());
                    auto [it, added] = recordAt.try_emplace(std::move(key), uint32_t(records.size()));
                    if (added) records.push_back(bytes);
                    column.push_back(it->second);
                }
            }
            std::string key(reinterpret_cast<const char*>(column.data()), column.size() * 4);
            auto [it, added] = columnAt.try_emplace(std::move(key), uint32_t(columnWords.size()));
            if (added) columnWords.insert(columnWords.end(), column.begin(), column.end());
            base[size_t(y) * MapWidth + size_t(x)] = it->second;
        }
    }

    ByteBuffer out;
    for (uint32_t b : base) out.u32(b);
    out.u32(uint32_t(columnWords.size()));
    for (uint32_t w : columnWords) out.u32(w);
    out.u32(uint32_t(records.size()));
    for (const auto& r : records) out.append(r.data(), r.size());
    return out.take();
}

std::vector<uint8_t> MapWriter::zoneChunk() const {
    ByteBuffer out;
    for (const ZoneEntry& z : zones_) {
        const size_t n = std::min<size_t>(z.name.size(), 255);
        out.u8(z.type);
        out.u8(z.x);
        out.u8(z.y);
        out.u8(z.w);
        out.u8(z.h);
        out.u8(uint8_t(n));
        out.append(z.name.data(), n);
    }
    return out.take();
}

std::vector<uint8_t> MapWriter::animChunk() const {
    ByteBuffer out;
    for (const AnimationEntry& a : animations_) {
        const size_t n = std::min<size_t>(a.frames.size(), 255);
        out.u16(a.base);
        out.u8(a.byte2);
        out.u8(a.byte3);
        out.u8(uint8_t(n));
        out.u8(0);
        for (size_t i = 0; i < n; ++i) out.u16(a.frames[i]);
    }
    return out.take();
}

ChunkFileWriter MapWriter::container(BlockMapFormat format) const {
    ChunkFileWriter file("GBMP", version);
    if (format == BlockMapFormat::Umap || format == BlockMapFormat::Both) file.add("UMAP", umapChunk());
    if (format == BlockMapFormat::Dmap || format == BlockMapFormat::Both) file.add("DMAP", dmapChunk());
    if (!animations_.empty()) file.add("ANIM", animChunk());
    if (!zones_.empty()) file.add("ZONE", zoneChunk());
    for (const Chunk& c : extra_) file.add(c);
    return file;
}

// ---------------------------------------------------------------------- mmp

std::string mapDescriptionText(const std::vector<MmpEntry>& entries) {
    std::string text = "[MapFiles]\r\n";
    for (const MmpEntry& e : entries) text += e.key + "=" + e.value + "\r\n";
    return text;
}

}  // namespace vant
