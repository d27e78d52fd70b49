// The level writers, checked against layouts derived here and against the
// readers: what they write must load back into the same palettes, tiles,
// blocks and checksum.
#include <gtest/gtest.h>

#include "test_support.h"

#include <array>
#include <cstring>
#include <set>

using namespace vant;
using namespace vant::test;

namespace {

std::vector<std::string> typesOf(const ChunkFileWriter& file) {
    std::vector<std::string> types;
    for (const Chunk& c : file.chunks()) types.push_back(c.type);
    return types;
}

bool same(const BlockInfo& a, const BlockInfo& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A block record written out field by field.
void feedBlock(ByteVec& feed, const BlockInfo& b) {
    for (uint16_t f : {b.left, b.right, b.top, b.bottom, b.lid}) put16(feed, f);
    feed.push_back(b.extra);
    feed.push_back(b.slope);
}

// What a DMAP load feeds the checksum: square by square, each column from
// its lowest to its highest non-empty layer.
ByteVec dmapFeed(const MapWriter& map) {
    ByteVec feed;
    for (int y = 0; y < MapHeight; ++y) {
        for (int x = 0; x < MapWidth; ++x) {
            int low = MapDepth, high = -1;
            for (int z = 0; z < MapDepth; ++z) {
                if (same(map.at(x, y, z), BlockInfo{})) continue;
                low = std::min(low, z);
                high = z;
            }
            for (int z = low; z <= high; ++z) feedBlock(feed, map.at(x, y, z));
        }
    }
    return feed;
}

// A colour for every (palette, index) that no two neighbours share.
Rgb testColour(int palette, int index) {
    return Rgb{uint8_t(index), uint8_t(palette * 3 + index / 2), uint8_t(255 - index)};
}

// A map with a bit of everything the block map can express: columns that
// start above layer 0, gaps inside a column, the "extra" byte, and a lot of
// repetition.
MapWriter varietyMap() {
    MapWriter map;
    for (int y = 0; y < MapHeight; ++y) {
        for (int x = 0; x < MapWidth; ++x) {
            map.at(x, y, 1).lid = uint16_t(1 + (x + y) % 4);
            if (x % 16 < 8 && y % 16 < 8) {
                BlockInfo& roof = map.at(x, y, 2 + (x / 16) % 4);  // a gap above the ground for taller ones
                roof.lid = uint16_t(20 + (x / 16) % 3);
                roof.left = roof.right = 40;
                roof.slope = uint8_t(((x + y) % 64) << 2);
            }
        }
    }
    map.at(5, 9, 0).extra = 7;  // nothing but the extra byte
    map.at(250, 3, 7).lid = 0x8000 | 900;
    map.at(251, 3, 3).lid = 0x8000 | 900;  // a column of layers 3 and 4
    map.at(251, 3, 4).top = 12;
    for (int z = 0; z < MapDepth; ++z) map.at(100, 200, z) = BlockInfo{};  // an empty square
    return map;
}

}  // namespace

TEST(ChunkFileWriter, HeaderAndChunksByteForByte) {
    ChunkFileWriter w("GBST", 0x0203);
    w.add("PALX", {1, 2, 3});
    w.add("AB", {});  // a short type is padded with zeros
    w.add("TILE", {9, 8, 7, 6, 5});
    const ByteVec expected = {'G', 'B', 'S', 'T', 3, 2,                 // magic, version 0x0203
                              'P', 'A', 'L', 'X', 3, 0, 0, 0, 1, 2, 3,  // type, size, data
                              'A', 'B', 0,   0,   0, 0, 0, 0,           //
                              'T', 'I', 'L', 'E', 5, 0, 0, 0, 9, 8, 7, 6, 5};
    EXPECT_EQ(w.bytes(), expected);
    EXPECT_EQ((std::vector<uint32_t>{w.dataOffset(0), w.dataOffset(1), w.dataOffset(2)}),
              (std::vector<uint32_t>{14, 25, 33}));
}

TEST(StyleWriter, SurfaceGroupsAndOptionalChunks) {
    StyleWriter w;
    EXPECT_EQ(typesOf(w.container()), std::vector<std::string>{"PALB"});
    w.writePaletteBases = false;
    EXPECT_TRUE(w.container().chunks().empty());
    w.writePaletteBases = true;
    w.setPaletteBase(0, 0x1234);
    EXPECT_EQ(w.palbChunk(), (ByteVec{0x34, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    w.setPixel(0, 0, 0, 1);
    w.addToGroup(5, 0);
    w.addToGroup(7, 0);
    w.addToGroup(9, 1);
    w.addToGroup(12, 3);
    EXPECT_THROW(w.addToGroup(0, 1), std::out_of_range);  // 0 separates the groups
    EXPECT_EQ(w.specChunk(), (ByteVec{5, 0, 7, 0, 0, 0, 9, 0, 0, 0, 0, 0, 12, 0, 0, 0}));
    w.setSpriteGraphics(ByteVec(65536, 1));
    w.addSprite(65536 + 256 * 3 + 10, 16, 8);
    const ChunkFileWriter file = w.container();
    EXPECT_EQ(typesOf(file), (std::vector<std::string>{"PALB", "TILE", "SPEC", "SPRG", "SPRX"}));
    EXPECT_EQ(file.chunks()[4].data, (ByteVec{0x0A, 0x03, 0x01, 0x00, 16, 8, 0, 0}));
    const ByteVec bytes = file.bytes();
    EXPECT_EQ(ByteVec(bytes.begin(), bytes.begin() + 6), (ByteVec{'G', 'B', 'S', 'T', 0xBC, 0x02}));  // version 700
}

TEST(MapWriter, ChunkOrderAndZoneAndAnimationRecords) {
    MapWriter map;
    map.addChunk("CMAP", ByteVec(10, 0xAB));
    EXPECT_EQ(typesOf(map.container(BlockMapFormat::Both)), (std::vector<std::string>{"UMAP", "DMAP", "CMAP"}));
    const ByteVec bytes = map.bytes(BlockMapFormat::Umap);  // version 500; UMAP size 256 * 256 * 8 * 12
    EXPECT_EQ(ByteVec(bytes.begin(), bytes.begin() + 14),
              (ByteVec{'G', 'B', 'M', 'P', 0xF4, 0x01, 'U', 'M', 'A', 'P', 0x00, 0x00, 0x60, 0x00}));

    map.addZone({14, 10, 20, 5, 3, "Gang"});
    map.addZone({16, 1, 2, 0, 4, ""});
    map.addAnimation({300, 2, 1, {301, 302}});
    map.addAnimation({0, 0, 0, {}});
    EXPECT_EQ(typesOf(map.container(BlockMapFormat::None)), (std::vector<std::string>{"ANIM", "ZONE", "CMAP"}));
    EXPECT_EQ(map.zoneChunk(), (ByteVec{14, 10, 20, 5, 3, 4, 'G', 'a', 'n', 'g', 16, 1, 2, 0, 4, 0}));
    EXPECT_EQ(map.animChunk(), (ByteVec{0x2C, 0x01, 2, 1, 2, 0, 0x2D, 0x01, 0x2E, 0x01, 0, 0, 0, 0, 0, 0}));
}

TEST(MapWriter, UmapAndSharedDmapDecodeToTheSameStore) {
    const MapWriter map = varietyMap();
    LevelFiles u, d;
    ASSERT_TRUE(u.loadHeadless("u.gmp", map.bytes(BlockMapFormat::Umap)));
    ASSERT_TRUE(d.loadHeadless("d.gmp", map.bytes(BlockMapFormat::Dmap)));
    const Level &fromUmap = u.level, &fromDmap = d.level;
    const size_t storeBytes = MapFile::BlockCount * sizeof(BlockInfo);
    EXPECT_EQ(std::memcmp(fromUmap.map.data(), map.blocks().data(), storeBytes), 0);
    EXPECT_EQ(std::memcmp(fromDmap.map.data(), map.blocks().data(), storeBytes), 0);

    // UMAP feeds every record in file order, DMAP column by column: the same
    // blocks give two checksums.
    ByteVec umapFeed;
    for (const BlockInfo& b : map.blocks()) feedBlock(umapFeed, b);
    EXPECT_EQ(fromUmap.checksum.value(), crcBitwise(umapFeed));
    EXPECT_EQ(fromDmap.checksum.value(), crcBitwise(dmapFeed(map)));
    EXPECT_NE(fromUmap.checksum.value(), fromDmap.checksum.value());

    const ByteVec dmap = map.dmapChunk();
    EXPECT_LT(dmap.size() * 10, map.umapChunk().size());

    // Base table, W and the column words, B and the block records.
    ASSERT_GE(dmap.size(), 262152u);
    const size_t words = get32(dmap, 262144), columnBase = 262148, tableBase = 262152 + 4 * words;
    ASSERT_LE(tableBase, dmap.size());
    const size_t blockCount = get32(dmap, tableBase - 4);
    ASSERT_EQ(dmap.size(), tableBase + 12 * blockCount);
    std::set<ByteVec> records, columns;
    for (size_t n = 0; n < blockCount; ++n)
        records.insert(ByteVec(dmap.begin() + long(tableBase + 12 * n), dmap.begin() + long(tableBase + 12 * n + 12)));
    EXPECT_EQ(records.size(), blockCount);
    // Columns back to back: height and offset, then a block number per layer.
    std::set<uint32_t> starts, named;
    for (size_t at = 0; at < words;) {
        const auto column = dmap.begin() + long(columnBase + 4 * at);
        const size_t length = 1 + size_t(column[0] - column[1]);
        starts.insert(uint32_t(at));
        columns.insert(ByteVec(column, column + long(4 * length)));
        at += length;
    }
    EXPECT_EQ(columns.size(), starts.size());
    for (size_t i = 0; i < 65536; ++i) named.insert(get32(dmap, 4 * i));
    EXPECT_EQ(named, starts);
    EXPECT_LT(named.size(), 1000u);  // of 65,536 squares
}

TEST(StyleWriter, AtlasAndChecksumMatchAnIndependentDecode) {
    constexpr int Tiles = 144, Palettes = 80;  // nine tile pages, two palette pages
    auto physicalOf = [](int t) { return (t * 5) % Palettes; };
    auto indexOf = [](int t, int x, int y) {
        return uint8_t((t * 37 + x * 11 + y * 5) % 97 == 0 ? 0 : (t + x * y) & 0xFF);
    };
    StyleWriter style;
    for (int t = 0; t < Tiles; ++t) style.setVirtualPalette(size_t(t), uint16_t(physicalOf(t)));
    for (int p = 0; p < Palettes; ++p)
        for (int c = 0; c < 256; ++c) style.setColour(p, c, testColour(p, c));
    for (int t = 0; t < Tiles; ++t)
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) style.setPixel(t, x, y, indexOf(t, x, y));
    EXPECT_EQ(style.physicalPageCount(), 2u);
    EXPECT_EQ(style.tilePageCount(), 9u);
    LevelFiles files;
    ASSERT_TRUE(files.loadHeadless("level.sty", style.bytes()));
    const Level& level = files.level;

    // The checksum is fed PALX, then each palette page as 256 rows of 64
    // palettes (B, G, R), then the decoded tile pages (A, B, G, R; index 0
    // all zero). Tile pages lie eight to a row of the atlas.
    ByteVec feed;
    for (int t = 0; t < Tiles; ++t) put16(feed, uint16_t(physicalOf(t)));
    for (int entry = 0; entry < 2 * 16384; ++entry) {
        const int palette = entry / 16384 * 64 + entry % 64;
        const Rgb c = palette < Palettes ? testColour(palette, entry % 16384 / 64) : Rgb{};
        feed.insert(feed.end(), {c.b, c.g, c.r});
    }
    int mismatches = 0;
    for (int page = 0; page < Tiles / 16; ++page) {
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const int t = 16 * page + 4 * (y / 64) + x / 64;
                const uint8_t i = indexOf(t, x % 64, y % 64), a = i == 0 ? 0 : 255;
                const Rgb c = i == 0 ? Rgb{} : testColour(physicalOf(t), i);
                feed.insert(feed.end(), {a, c.b, c.g, c.r});
                const size_t at = (size_t(page / 8 * 256 + y) * AtlasSize + size_t(page % 8 * 256 + x)) * 4;
                mismatches +=
                    ByteVec(&level.tileAtlas[at], &level.tileAtlas[at + 4]) == ByteVec{c.r, c.g, c.b, a} ? 0 : 1;
            }
        }
    }
    EXPECT_EQ(level.checksum.value(), crcBitwise(feed));
    EXPECT_EQ(mismatches, 0);
    const TileOrigin t17 = level.tileOrigin[17], t130 = level.tileOrigin[130];  // pages 1 and 8
    EXPECT_EQ(std::vector<float>({t17.u, t17.v, t130.u, t130.v}), std::vector<float>({320, 0, 128, 256}));
}

TEST(MapDescriptionWriter, HeaderThenOneLinePerEntry) {
    EXPECT_EQ(mapDescriptionText({{"GMPFile", "city.gmp"}, {"Description", "Harbour=Town"}, {"PlayerCount", "6"}}),
              "[MapFiles]\r\nGMPFile=city.gmp\r\nDescription=Harbour=Town\r\nPlayerCount=6\r\n");
}
