// The level writers, checked against layouts derived here and against the
// readers: what they write must load back into the same palettes, tiles,
// blocks and checksum.

#include "test_support.h"

#include <cstring>

using namespace vant;
using namespace vant::test;

namespace {

// What a DMAP load feeds the checksum: square by square, each column from
// its lowest to its highest non-empty layer.
ByteVec dmapFeed(const MapWriter& map) {
    ByteVec feed;
    const BlockInfo empty{};
    for (int y = 0; y < MapHeight; ++y) {
        for (int x = 0; x < MapWidth; ++x) {
            int low = MapDepth, high = -1;
            for (int z = 0; z < MapDepth; ++z) {
                if (std::memcmp(&map.at(x, y, z), &empty, sizeof empty) == 0) continue;
                low = std::min(low, z);
                high = z;
            }
            for (int z = low; z <= high; ++z) {
                const auto* record = reinterpret_cast<const uint8_t*>(&map.at(x, y, z));
                feed.insert(feed.end(), record, record + 12);
            }
        }
    }
    return feed;
}

// A colour for every (palette, index) that no two neighbours share.
Rgb testColour(int palette, int index) {
    return Rgb{uint8_t(index), uint8_t(palette * 3 + index / 2), uint8_t(255 - index)};
}

// A map with a bit of everything the block map can express: columns that
// start above layer 0, gaps inside a column (roofs over layer 1), the "extra"
// byte alone, an empty square, and a lot of repetition.
MapWriter varietyMap() {
    MapWriter map;
    for (int y = 0; y < MapHeight; ++y) {
        for (int x = 0; x < MapWidth; ++x) {
            map.at(x, y, 1).lid = uint16_t(1 + (x + y) % 4);
            if (x % 16 < 8 && y % 16 < 8)
                map.at(x, y, 2 + x / 16 % 4) = {40, 40, 0, 0, uint16_t(20 + x / 16 % 3), 0, uint8_t((x + y) % 64 << 2)};
        }
    }
    map.at(5, 9, 0).extra = 7;
    map.at(250, 3, 7).lid = 0x8000 | 900;
    for (int z = 0; z < MapDepth; ++z) map.at(100, 200, z) = BlockInfo{};
    return map;
}

}  // namespace

TEST(MapWriter, UmapAndSharedDmapDecodeToTheSameStore) {
    const MapWriter map = varietyMap();
    LevelFiles u, d;
    ASSERT_TRUE(u.loadHeadless("u.gmp", map.bytes(BlockMapFormat::Umap)));
    ASSERT_TRUE(d.loadHeadless("d.gmp", map.bytes(BlockMapFormat::Dmap)));
    const size_t storeBytes = MapFile::BlockCount * sizeof(BlockInfo);
    EXPECT_EQ(std::memcmp(u.level.map.data(), map.blocks().data(), storeBytes), 0);
    EXPECT_EQ(std::memcmp(d.level.map.data(), map.blocks().data(), storeBytes), 0);
    EXPECT_EQ(d.level.checksum.value(), crcBitwise(dmapFeed(map)));
    // Equal columns and equal records are stored once.
    EXPECT_LT(map.dmapChunk().size() * 10, map.umapChunk().size());

    // Zone and animation records, whose layout no reader test builds by hand.
    MapWriter extras;
    extras.addZone({14, 10, 20, 5, 3, "Gang"});
    extras.addZone({16, 1, 2, 0, 4, ""});
    extras.addAnimation({300, 2, 1, {301, 302}});
    extras.addAnimation({0, 0, 0, {}});
    EXPECT_EQ(extras.zoneChunk(), (ByteVec{14, 10, 20, 5, 3, 4, 'G', 'a', 'n', 'g', 16, 1, 2, 0, 4, 0}));
    EXPECT_EQ(extras.animChunk(), (ByteVec{0x2C, 0x01, 2, 1, 2, 0, 0x2D, 0x01, 0x2E, 0x01, 0, 0, 0, 0, 0, 0}));
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
}
