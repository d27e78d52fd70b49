// The map loader: which block map is read, the order of its records, the
// checksum, files without a usable block map; zones, tile animations and the
// water tile of a windowed load. That clearing the store leaves only zeros
// shows in HostileDmap.*, which clears before each decode.

#include "test_support.h"

#include <algorithm>
#include <array>
#include <tuple>

using namespace vant;
using namespace vant::test;

namespace {

// A 12-byte record with distinct face words.
ByteVec record(uint16_t seed) {
    ByteVec r;
    for (int i = 0; i < 5; ++i) put16(r, uint16_t(seed + i));
    r.push_back(uint8_t(seed * 3));
    r.push_back(uint8_t(seed >> 4));
    return r;
}

ByteVec bytesOf(const BlockInfo& b) {
    const auto* p = reinterpret_cast<const uint8_t*>(&b);
    return ByteVec(p, p + sizeof b);
}

class MapLoad : public ::testing::Test, public LevelFiles {
protected:
    bool load(const MapWriter& writer) { return loadWindowed("city.gmp", writer.bytes()); }
};

TEST_F(MapLoad, UmapWinsOverDmapAndHoldsTheBlocksInFileOrder) {
    MapWriter filled;  // a DMAP that would fill layer 0 if it were read
    for (int i = 0; i < 65536; ++i) filled.at(i % 256, i / 256, 0).lid = 7;

    // Record ((z * 256) + y) * 256 + x is block (x, y, z); this chunk stops
    // after block (5, 3, 2) and 5 bytes of a record, which the chunk behind
    // it would complete if read.
    const size_t whole = (size_t(2 * 256 + 3) * 256 + 5 + 1) * 12;
    ByteVec umap(whole + 5, 0xAB);
    std::fill_n(umap.begin(), whole, 0);
    const ByteVec first = record(0x111), second = record(0x333), last = record(0x222);
    std::copy(first.begin(), first.end(), umap.begin());
    std::copy(second.begin(), second.end(), umap.begin() + 12);
    std::copy(last.begin(), last.end(), umap.begin() + long(whole) - 12);
    level.checksum.feed("abc", 3);  // what the style fed before
    ASSERT_TRUE(loadHeadless("m.gmp", rawChunkFile("GBMP", {{"DMAP", filled.dmapChunk()}, {"UMAP", umap},
                                                            {"PSXM", ByteVec(64, 0x40)}})));
    EXPECT_EQ(bytesOf(level.map.at(0, 0, 0)), first);
    EXPECT_EQ(bytesOf(level.map.at(1, 0, 0)), second);
    EXPECT_EQ(bytesOf(level.map.at(5, 3, 2)), last);
    for (const auto& [x, y, z] : std::vector<std::array<int, 3>>{{2, 0, 0}, {0, 1, 0}, {6, 3, 2}, {5, 3, 3}})
        EXPECT_EQ(bytesOf(level.map.at(x, y, z)), ByteVec(12, 0)) << x << "," << y << "," << z;
    EXPECT_EQ(level.checksum.value(), crcBitwise(crcBitwise(ByteVec{'a', 'b', 'c'}), umap.data(), whole));
}

TEST_F(MapLoad, NoBlockMapOrABadFileAndStyleFailures) {
    level.checksum.feed("x", 1);
    const uint32_t before = level.checksum.value();
    ASSERT_TRUE(loadHeadless("m.gmp", rawChunkFile("GBMP", {{"CMAP", record(0x55)}, {"ZONE", {1, 1, 1}}})));
    for (int z = 0; z < MapDepth; ++z) EXPECT_EQ(bytesOf(level.map.at(0, 0, z)), ByteVec(12, 0));
    EXPECT_EQ(level.checksum.value(), before);

    EXPECT_FALSE(loadMap(rt, level, maps, -1, dir.file("missing.gmp")));
    EXPECT_FALSE(loadHeadless("m.gmp", rawChunkFile("GBMX", {{"UMAP", record(1)}})));

    // Windowed, an index outside the map list is refused; an empty style
    // name takes the list entry's path.
    rt.headless = false;
    EXPECT_FALSE(loadMap(rt, level, maps, 7, dir.file("m.gmp")));
    EXPECT_FALSE(loadStyle(rt, level, maps, 7, dir.file("m.sty")));
    maps.entries[0].styfile = dir.file("gone.sty");
    EXPECT_FALSE(loadStyle(rt, level, maps, 0, ""));
    EXPECT_EQ(boxes, (std::vector<std::string>{"ERROR|Cannot load map", "ERROR|Cannot load map",
                                               "ERROR|STY file was not found: \"" + dir.file("gone.sty") + "\""}));
}

TEST_F(MapLoad, ZonesInZoneCoordinatesSortedByArea) {
    MapWriter writer;
    writer.addZone({1, 0, 0, 10, 10, "big"});                 // area 100
    writer.addZone({14, 10, 20, 5, 3, "mid"});                // area 15
    writer.addZone({0, 0, 0, 2, 3, "a"});                     // area 6
    writer.addZone({0, 5, 5, 3, 2, std::string("b\0c", 3)});  // area 6, the name stops at the zero
    writer.addZone({16, 3, 3, 0, 9, ""});                     // area 0
    ASSERT_TRUE(load(writer));

    std::string order;  // equal areas keep their file order
    for (const ZoneRecord& z : level.map.zones) order += z.name + ":" + std::to_string(z.id) + " ";
    EXPECT_EQ(order, ":4 a:2 b:3 mid:1 big:0 ");
    // Row y has its top edge at 256 - y: y1 is the lower edge, y2 the upper.
    const ZoneRecord& mid = level.map.zones[3];
    EXPECT_EQ(std::vector<float>({mid.x1, mid.y1, mid.x2, mid.y2}), std::vector<float>({10, 233, 15, 236}));
    EXPECT_EQ(mid.type, 14u);
    EXPECT_EQ(level.map.selectedZone, -1);
    // The last zone type that has a name, and one past it.
    EXPECT_NE(zoneTypeName(20), nullptr);
    EXPECT_EQ(zoneTypeName(21), nullptr);
}

TEST_F(MapLoad, AnimationsFillListAndTileTableEachLoadAnew) {
    MapWriter writer;
    writer.addZone({0, 1, 1, 1, 1, "old"});
    writer.addAnimation({20, 3, 4, {100, 101, 102}});
    writer.addAnimation({0, 0, 0, {5}});  // listed, never entered
    writer.addAnimation({20, 1, 2, {}});  // the later one wins
    writer.addAnimation({1023, 0, 0, {7, 8}});
    writer.addAnimation({1024, 0, 0, {9}});  // outside the table
    ASSERT_TRUE(load(writer));
    ASSERT_EQ(level.map.animations.size(), 5u);
    EXPECT_EQ(level.map.animations[0].frames, (std::vector<uint16_t>{100, 101, 102}));
    for (int t = 0; t < TileCount; ++t)
        EXPECT_EQ(level.map.tileToAnimation[size_t(t)], t == 20 ? 2 : t == 1023 ? 3 : -1) << t;

    // The next load replaces zones (an empty chunk: none) and animations.
    MapWriter next;
    next.addAnimation({50, 0, 0, {1}});
    next.addChunk("ZONE", {});
    ASSERT_TRUE(load(next));
    EXPECT_TRUE(level.map.zones.empty());
    EXPECT_EQ(level.map.animations.size(), 1u);
    EXPECT_EQ(level.map.tileToAnimation[20], -1);
    EXPECT_EQ(level.map.tileToAnimation[50], 0);

    // Animated water, then a load that stops at a bad header after the
    // fresh start: no water tile is left pointing at a gone animation.
    level.surfaceGroup[50] = 2;
    MapWriter water;
    water.addAnimation({50, 0, 0, {1}});
    water.at(3, 3, 0).lid = 50;
    ASSERT_TRUE(load(water));
    ASSERT_EQ(std::make_pair(level.map.waterTile, level.map.waterTileAnimated), std::make_pair(50u, true));
    level.map.clearExtras();
    ByteVec bad = water.bytes();
    bad[2] = '0';
    EXPECT_FALSE(loadWindowed("bad.gmp", bad));
    EXPECT_EQ(std::make_pair(level.map.waterTile, level.map.waterTileAnimated), std::make_pair(0u, false));
    EXPECT_EQ(level.map.tileToAnimation[50], -1);
}

// The water tile: the animated water lid used most on layers 0 to 6, else
// the most used lid; the first tile to reach the best count keeps it.
TEST(WaterTile, ChosenFromTheLidsAsCounted) {
    // Runs of {layer, lid, squares} are laid square by square from row 255
    // down, as counted.
    const struct {
        std::vector<uint16_t> water, animated;
        std::vector<std::tuple<int, uint16_t, int>> runs;
        uint32_t tile;
        bool isAnimated;
    } cases[] = {
        // Lighting bits above the tile number are ignored; layer 7 never counts.
        {{300, 301}, {300, 301}, {{0, 5, 10000}, {1, 300, 40}, {6, 0x400 | 301, 50}, {7, 300, 500}}, 301, true},
        {{300}, {301}, {{0, 300, 30}, {0, 301, 20}, {3, 9, 31}}, 9, false},
        {{}, {}, {{0, 70, 1}, {0, 71, 2}, {0, 70, 1}}, 71, false},
        {{}, {}, {{0, 81, 1}, {0, 0, 65279}, {0, 80, 1}}, 81, false},  // row 255 first, row 0 last
        {{}, {}, {}, 0, false},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        Level level;
        level.map.clear();
        level.map.waterTile = 55;
        level.surfaceGroup.fill(0xFFFF);
        for (uint16_t t : cases[i].water) level.surfaceGroup[t] = 2;
        for (uint16_t t : cases[i].animated) level.map.tileToAnimation[t] = 0;
        std::array<int, MapDepth> next{};
        for (const auto& [z, tile, squares] : cases[i].runs)
            for (int n = 0; n < squares; ++n, ++next[z]) level.map.at(next[z] % 256, 255 - next[z] / 256, z).lid = tile;
        chooseWaterTile(level);
        EXPECT_EQ(std::make_pair(level.map.waterTile, level.map.waterTileAnimated),
                  std::make_pair(cases[i].tile, cases[i].isAnimated));
    }
}

}  // namespace
