// The map loader: block map format choice, DMAP columns, checksum feeding,
// and damaged data that must be survived.
#include <gtest/gtest.h>

#include "test_support.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/runtime.h"
#include "formats/level.h"
#include "formats/map.h"
#include "maplist/map_list.h"

using namespace vant;
using namespace vant::test;

namespace {

namespace fs = std::filesystem;


void set32(ByteVec& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(x >> (8 * i));
}

struct MapBytes {
    ByteVec b;
    MapBytes() {
        const char head[] = "GBMP";
        b.assign(head, head + 4);
        b.push_back(1);
        b.push_back(0);
    }
    MapBytes& chunk(const std::string& type, const ByteVec& data) {
        b.insert(b.end(), type.begin(), type.end());
        put32(b, uint32_t(data.size()));
        b.insert(b.end(), data.begin(), data.end());
        return *this;
    }
    void write(const std::string& path) const {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
};

// A 12-byte record with distinct face words.
ByteVec record(uint16_t seed, uint8_t slope = 0) {
    ByteVec r;
    for (int i = 0; i < 5; ++i) put16(r, uint16_t(seed + i));
    r.push_back(uint8_t(seed * 3));
    r.push_back(slope);
    return r;
}

ByteVec bytesOf(const BlockInfo& b) {
    ByteVec r(12);
    std::memcpy(r.data(), &b, 12);
    return r;
}

bool isEmpty(const BlockInfo& b) { return bytesOf(b) == ByteVec(12, 0); }

uint32_t crcBits(uint32_t value, const ByteVec& bytes) {
    for (uint8_t c : bytes) {
        value ^= c;
        for (int k = 0; k < 8; ++k) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    }
    return value;
}

// A DMAP chunk: base table (all squares naming column word `defaultColumn`),
// the column words, then the block table.
struct Dmap {
    std::vector<uint32_t> base = std::vector<uint32_t>(65536, 0);
    std::vector<uint32_t> columnWords;
    std::vector<ByteVec> blocks;

    uint32_t column(uint8_t height, uint8_t offset, std::initializer_list<uint32_t> numbers) {
        const uint32_t at = uint32_t(columnWords.size());
        columnWords.push_back(uint32_t(height) | (uint32_t(offset) << 8));
        for (uint32_t n : numbers) columnWords.push_back(n);
        return at;
    }
    ByteVec bytes() const {
        ByteVec v;
        for (uint32_t e : base) put32(v, e);
        put32(v, uint32_t(columnWords.size()));
        for (uint32_t w : columnWords) put32(v, w);
        put32(v, uint32_t(blocks.size()));
        for (const ByteVec& r : blocks) v.insert(v.end(), r.begin(), r.end());
        return v;
    }
};

bool loadHeadless(Level& level, const std::string& path) {
    Runtime rt;
    rt.headless = true;
    MapList maps;
    level.map.clear();
    return loadMap(rt, level, maps, -1, path);
}

}  // namespace

TEST(MapLoad, DmapColumnsAndSharedBlocks) {
    TempDir dir;
    Dmap d;
    d.blocks = {record(0x100), record(0x200, 0x47), record(0x300)};
    const uint32_t empty = d.column(0, 0, {});
    const uint32_t twoLayers = d.column(5, 3, {0, 1});
    const uint32_t sameBounds = d.column(4, 4, {});
    const uint32_t ground = d.column(1, 0, {2});
    std::fill(d.base.begin(), d.base.end(), empty);
    d.base[20 * 256 + 10] = twoLayers;
    d.base[20 * 256 + 11] = twoLayers;  // shares the column
    d.base[0] = sameBounds;
    d.base[255 * 256 + 255] = ground;
    const std::string path = dir.file("d.gmp");
    MapBytes().chunk("DMAP", d.bytes()).write(path);

    Level level;
    ASSERT_TRUE(loadHeadless(level, path));
    for (int x : {10, 11}) {
        for (int z = 0; z < 8; ++z) {
            const ByteVec got = bytesOf(level.map.at(x, 20, z));
            if (z == 3) EXPECT_EQ(got, d.blocks[0]) << x;
            else if (z == 4) EXPECT_EQ(got, d.blocks[1]) << x;
            else EXPECT_EQ(got, ByteVec(12, 0)) << x << "," << z;
        }
    }
    for (int z = 0; z < 8; ++z) EXPECT_TRUE(isEmpty(level.map.at(0, 0, z))) << z;
    EXPECT_EQ(bytesOf(level.map.at(255, 255, 0)), d.blocks[2]);
    EXPECT_TRUE(isEmpty(level.map.at(255, 255, 1)));
    EXPECT_TRUE(isEmpty(level.map.at(12, 20, 3)));
    EXPECT_TRUE(isEmpty(level.map.at(10, 21, 3)));
    // The slope byte survives as stored.
    EXPECT_EQ(level.map.at(10, 20, 4).slope, 0x47);
    EXPECT_EQ(slopeType(level.map.at(10, 20, 4)), 0x11);

    // Square by square (y, then x), bottom-up: the shared column twice.
    ByteVec feed;
    for (int i = 0; i < 2; ++i) {
        feed.insert(feed.end(), d.blocks[0].begin(), d.blocks[0].end());
        feed.insert(feed.end(), d.blocks[1].begin(), d.blocks[1].end());
    }
    feed.insert(feed.end(), d.blocks[2].begin(), d.blocks[2].end());
    EXPECT_EQ(level.checksum.value(), crcBits(0, feed));
}

TEST(MapLoad, UmapWinsOverDmapAndRecordOrder) {
    TempDir dir;
    Dmap d;
    d.blocks = {record(0x700)};
    const uint32_t c = d.column(1, 0, {0});
    std::fill(d.base.begin(), d.base.end(), c);

    // UMAP record ((z * 256) + y) * 256 + x is block (x, y, z); the chunk
    // here stops after block (5, 3, 2).
    const size_t target = (size_t(2) * 256 + 3) * 256 + 5;
    ByteVec umap((target + 1) * 12, 0);
    const ByteVec first = record(0x111), last = record(0x222), second = record(0x333);
    std::copy(first.begin(), first.end(), umap.begin());
    std::copy(second.begin(), second.end(), umap.begin() + 12);
    std::copy(last.begin(), last.end(), umap.begin() + long(target * 12));

    const std::string both = dir.file("both.gmp");
    MapBytes().chunk("DMAP", d.bytes()).chunk("UMAP", umap).write(both);
    Level level;
    ASSERT_TRUE(loadHeadless(level, both));
    EXPECT_EQ(bytesOf(level.map.at(0, 0, 0)), first);
    EXPECT_EQ(bytesOf(level.map.at(1, 0, 0)), second);
    EXPECT_EQ(bytesOf(level.map.at(5, 3, 2)), last);
    EXPECT_TRUE(isEmpty(level.map.at(2, 0, 0)));
    EXPECT_TRUE(isEmpty(level.map.at(0, 1, 0)));
    EXPECT_TRUE(isEmpty(level.map.at(6, 3, 2)));
    EXPECT_TRUE(isEmpty(level.map.at(5, 3, 3)));
    EXPECT_EQ(level.checksum.value(), crcBits(0, umap));

    // Only DMAP: decoded from it.
    const std::string only = dir.file("only.gmp");
    MapBytes().chunk("DMAP", d.bytes()).write(only);
    Level fromDmap;
    ASSERT_TRUE(loadHeadless(fromDmap, only));
    EXPECT_EQ(bytesOf(fromDmap.map.at(0, 0, 0)), d.blocks[0]);
    EXPECT_EQ(bytesOf(fromDmap.map.at(255, 255, 0)), d.blocks[0]);
}

TEST(MapLoad, ShortUmapKeepsWholeRecordsOnly) {
    TempDir dir;
    ByteVec umap = record(0x10);
    const ByteVec r2 = record(0x20);
    umap.insert(umap.end(), r2.begin(), r2.end());
    umap.insert(umap.end(), 6, 0x5A);  // half a record
    const std::string path = dir.file("short.gmp");
    // Bytes after the chunk must not be taken as blocks.
    MapBytes().chunk("UMAP", umap).chunk("ZZZZ", ByteVec(100, 0x77)).write(path);
    Level level;
    ASSERT_TRUE(loadHeadless(level, path));
    EXPECT_EQ(bytesOf(level.map.at(0, 0, 0)), record(0x10));
    EXPECT_EQ(bytesOf(level.map.at(1, 0, 0)), r2);
    for (int x = 3; x < 20; ++x) EXPECT_TRUE(isEmpty(level.map.at(x, 0, 0))) << x;
    EXPECT_TRUE(isEmpty(level.map.at(0, 1, 0)));
}

TEST(MapLoad, NoBlockMapAndBadFiles) {
    TempDir dir;
    const std::string cmap = dir.file("c.gmp");
    MapBytes().chunk("CMAP", record(0x55)).chunk("ZONE", ByteVec(3, 1)).write(cmap);
    Level level;
    level.checksum.feed("x", 1);
    const uint32_t before = level.checksum.value();
    EXPECT_TRUE(loadHeadless(level, cmap));
    for (int z = 0; z < 8; ++z) EXPECT_TRUE(isEmpty(level.map.at(0, 0, z)));
    EXPECT_EQ(level.checksum.value(), before);

    EXPECT_FALSE(loadHeadless(level, dir.file("missing.gmp")));
    const std::string wrong = dir.file("wrong.gmp");
    MapBytes m;
    m.b[3] = 'X';
    m.chunk("UMAP", record(1)).write(wrong);
    EXPECT_FALSE(loadHeadless(level, wrong));
    EXPECT_TRUE(isEmpty(level.map.at(0, 0, 0)));

    // Windowed: an index outside the map list is refused.
    Runtime rt;
    std::vector<std::string> boxes;
    rt.responder = [&](int, const std::string& caption, const std::string& text) {
        boxes.push_back(caption + "|" + text);
        return 0;
    };
    MapList maps;
    EXPECT_FALSE(loadMap(rt, level, maps, -1, cmap));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "ERROR|Cannot load map");
}

TEST(MapLoad, GetBlockBoundsAndFlags) {
    MapFile map;
    map.clear();
    BlockInfo& b = map.at(3, 4, 5);
    b.lid = 0x1234;
    b.left = 7;
    b.extra = 9;
    b.slope = 0x80;
    BlockInfo out;
    out.extra = 1;
    out.slope = 2;
    EXPECT_TRUE(map.getBlock(3, 4, 5, 32, out));
    EXPECT_EQ(out.lid, 0x1234);
    EXPECT_EQ(out.left, 7);
    EXPECT_EQ(out.extra, 1);
    EXPECT_EQ(out.slope, 2);
    EXPECT_TRUE(map.getBlock(3, 4, 5, 64, out));
    EXPECT_EQ(out.extra, 9);
    EXPECT_EQ(out.slope, 0x80);
    EXPECT_FALSE(map.getBlock(-1, 0, 0, 0, out));
    EXPECT_FALSE(map.getBlock(256, 0, 0, 0, out));
    EXPECT_FALSE(map.getBlock(0, 256, 0, 0, out));
    EXPECT_FALSE(map.getBlock(0, 0, 8, 0, out));
    EXPECT_FALSE(map.getBlock(0, 0, -1, 0, out));
    EXPECT_TRUE(map.getBlock(255, 255, 7, 0, out));

    // Face word fields.
    const uint16_t w = uint16_t(0x3FF | (2 << 10) | (1 << 12) | (0 << 13) | (3 << 14));
    EXPECT_EQ(faceTile(w), 1023);
    EXPECT_EQ(faceLighting(w), 2);
    EXPECT_EQ(faceBlend(w), 1);
    EXPECT_EQ(faceFlip(w), 0);
    EXPECT_EQ(faceRotation(w), 3);
    EXPECT_EQ(faceFlip(uint16_t(1 << 13)), 1);
}

TEST(MapLoad, LyingDmapNumbersStayInsideTheData) {
    // Every block that lands in the store must be one of the real records.
    const std::vector<ByteVec> real = {record(0x900), record(0xA00)};
    auto onlyRealBlocks = [&](const MapFile& map) {
        for (int z = 0; z < 8; ++z)
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x) {
                    const ByteVec got = bytesOf(map.at(x, y, z));
                    if (got != ByteVec(12, 0) && got != real[0] && got != real[1]) return false;
                }
        return true;
    };

    {
        Dmap d;
        d.blocks = real;
        const uint32_t tall = d.column(200, 6, {0, 1, 0, 1});        // height far above 8
        const uint32_t wild = d.column(3, 0, {0, 0xFFFFFFFFu, 5});    // block numbers past B
        const uint32_t endless = d.column(255, 0, {1});               // runs off the chunk
        std::fill(d.base.begin(), d.base.end(), tall);
        d.base[1] = 0xFFFFFFFFu;   // column far outside
        d.base[2] = 0x40000000u;   // 4 * base wraps 32 bits
        d.base[3] = wild;
        d.base[65535] = endless;
        ByteVec bytes = d.bytes();
        MapFile map;
        map.clear();
        LevelChecksum sum;
        decodeDmap(bytes.data(), bytes.size(), map, sum);
        EXPECT_TRUE(onlyRealBlocks(map));

        // W claims more words than the chunk holds.
        set32(bytes, 262144, 0x7FFFFFFFu);
        map.clear();
        decodeDmap(bytes.data(), bytes.size(), map, sum);
        EXPECT_TRUE(onlyRealBlocks(map));
        set32(bytes, 262144, 0xFFFFFFFFu);
        map.clear();
        decodeDmap(bytes.data(), bytes.size(), map, sum);
        EXPECT_TRUE(onlyRealBlocks(map));
    }

    // Chunks cut short anywhere, including inside the base table.
    Dmap d;
    d.blocks = real;
    const uint32_t c = d.column(2, 0, {0, 1});
    std::fill(d.base.begin(), d.base.end(), c);
    const ByteVec full = d.bytes();
    for (size_t cut : {size_t(0), size_t(3), size_t(1000), size_t(262144), size_t(262146), size_t(262148),
                       size_t(262152), full.size() - 13, full.size() - 1}) {
        ByteVec part(full.begin(), full.begin() + long(cut));
        MapFile map;
        map.clear();
        LevelChecksum sum;
        decodeDmap(part.data(), part.size(), map, sum);
        EXPECT_TRUE(onlyRealBlocks(map)) << cut;
    }

    // The same through the loader, with a chunk size that runs past the file.
    TempDir dir;
    const std::string path = dir.file("lie.gmp");
    MapBytes m;
    m.chunk("DMAP", ByteVec(full.begin(), full.begin() + 300000));
    set32(m.b, 10, 0x7FFFFFF0u);
    m.write(path);
    Level level;
    EXPECT_TRUE(loadHeadless(level, path));
    EXPECT_TRUE(onlyRealBlocks(level.map));

    // A UMAP chunk claiming more than the file holds.
    MapBytes u;
    u.chunk("UMAP", record(0x900));
    set32(u.b, 10, 0xFFFFFFFFu);
    u.write(path);
    Level level2;
    EXPECT_TRUE(loadHeadless(level2, path));
    EXPECT_EQ(bytesOf(level2.map.at(0, 0, 0)), real[0]);
    EXPECT_TRUE(onlyRealBlocks(level2.map));
}

TEST(MapLoad, ChecksumContinuesFromTheStyle) {
    TempDir dir;
    const ByteVec umap = record(0x42);
    const std::string path = dir.file("u.gmp");
    MapBytes().chunk("UMAP", umap).write(path);
    Level level;
    level.checksum.feed("abc", 3);
    Runtime rt;
    rt.headless = true;
    MapList maps;
    level.map.clear();
    ASSERT_TRUE(loadMap(rt, level, maps, -1, path));
    ByteVec feed{'a', 'b', 'c'};
    feed.insert(feed.end(), umap.begin(), umap.end());
    EXPECT_EQ(level.checksum.value(), crcBits(0, feed));
}
