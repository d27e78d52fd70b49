// Zones, tile animations and the water tile of a windowed map load.
#include <gtest/gtest.h>

#include "app/runtime.h"
#include "formats/level_writer.h"
#include "formats/map.h"
#include "maplist/map_list.h"
#include "work_folder.h"

using namespace vant;
using vant::test::WorkFolder;

namespace {

class MapExtras : public ::testing::Test {
protected:
    MapExtras() { rt.responder = [](int, const std::string&, const std::string&) { return AnswerNone; }; }

    // Writes the map and loads it as the windowed program does.
    bool load(const MapWriter& writer) { return loadBytes(writer.bytes()); }
    bool loadBytes(const std::vector<uint8_t>& bytes) {
        const std::string path = folder / "city.gmp";
        EXPECT_TRUE(saveBytes(path, bytes));
        MapDescription entry;
        entry.gmpfile = path;
        maps.clear();
        appendMap(maps, entry);
        return loadMap(rt, level, maps, 0, std::string());
    }

    // A map file whose only extra chunk is `type` with these bytes, followed
    // by a chunk that must never be read as part of it.
    std::vector<uint8_t> mapWithRawChunk(const std::string& type, std::vector<uint8_t> data) {
        MapWriter writer;
        writer.addChunk(type, std::move(data));
        writer.addChunk("LGHT", std::vector<uint8_t>(64, 0x41));
        return writer.bytes(BlockMapFormat::Umap);
    }

    WorkFolder folder;
    Runtime rt;
    MapList maps;
    Level level;
};

TEST_F(MapExtras, ZoneEdgesInZoneCoordinatesAndSortedByArea) {
    MapWriter writer;
    writer.addZone({1, 0, 0, 10, 10, "big"});   // area 100
    writer.addZone({14, 10, 20, 5, 3, "mid"});   // area 15
    writer.addZone({2, 7, 7, 2, 2, "small"});    // area 4
    writer.addZone({16, 3, 3, 0, 9, "flat"});    // area 0
    ASSERT_TRUE(load(writer));

    const auto& zones = level.map.zones;
    ASSERT_EQ(zones.size(), 4u);
    EXPECT_EQ(zones[0].name, "flat");
    EXPECT_EQ(zones[1].name, "small");
    EXPECT_EQ(zones[2].name, "mid");
    EXPECT_EQ(zones[3].name, "big");
    EXPECT_EQ(zones[1].id, 2);
    EXPECT_EQ(zones[3].id, 0);
    EXPECT_EQ(level.map.selectedZone, -1);

    const ZoneRecord& mid = zones[2];
    EXPECT_EQ(mid.type, 14u);
    EXPECT_FLOAT_EQ(mid.x1, 10.0f);
    EXPECT_FLOAT_EQ(mid.x2, 15.0f);
    EXPECT_FLOAT_EQ(mid.y1, 233.0f);
    EXPECT_FLOAT_EQ(mid.y2, 236.0f);
    EXPECT_EQ(mid.state, 0u);
    EXPECT_STREQ(zoneTypeName(mid.type), "Gang");
    EXPECT_STREQ(zoneTypeName(0), "General purpose");
    EXPECT_STREQ(zoneTypeName(20), "Arrest restart");
    EXPECT_EQ(zoneTypeName(21), nullptr);
}

TEST_F(MapExtras, EqualAreasKeepFileOrderAndSortSelectsById) {
    MapWriter writer;
    writer.addZone({0, 0, 0, 2, 3, "a"});
    writer.addZone({0, 5, 5, 3, 2, "b"});
    writer.addZone({0, 9, 9, 1, 1, "c"});
    ASSERT_TRUE(load(writer));
    ASSERT_EQ(level.map.zones.size(), 3u);
    EXPECT_EQ(level.map.zones[0].name, "c");
    EXPECT_EQ(level.map.zones[1].name, "a");
    EXPECT_EQ(level.map.zones[2].name, "b");

    sortZonesByArea(level.map, 1);
    EXPECT_EQ(level.map.selectedZone, 2);
    sortZonesByArea(level.map, 7);
    EXPECT_EQ(level.map.selectedZone, -1);
}

TEST_F(MapExtras, ZoneNamesStopAtZeroByte) {
    MapWriter writer;
    writer.addZone({0, 1, 1, 1, 1, ""});
    writer.addZone({0, 1, 1, 2, 2, std::string("ab\0cd", 5)});
    ASSERT_TRUE(load(writer));
    ASSERT_EQ(level.map.zones.size(), 2u);
    EXPECT_EQ(level.map.zones[0].name, "");
    EXPECT_EQ(level.map.zones[1].name, "ab");
}

TEST_F(MapExtras, ZoneRecordCutByChunkEndIsDropped) {
    // One whole record, then a header announcing a 40-byte name of which the
    // chunk holds 3 bytes; the bytes after the chunk must not complete it.
    std::vector<uint8_t> data = {8, 1, 2, 3, 4, 2, 'o', 'k', 8, 1, 2, 3, 4, 40, 'c', 'u', 't'};
    ASSERT_TRUE(loadBytes(mapWithRawChunk("ZONE", data)));
    ASSERT_EQ(level.map.zones.size(), 1u);
    EXPECT_EQ(level.map.zones[0].name, "ok");

    // A header that is itself incomplete.
    ASSERT_TRUE(loadBytes(mapWithRawChunk("ZONE", {8, 1, 2, 3, 4, 0, 9, 9})));
    EXPECT_EQ(level.map.zones.size(), 1u);
}

TEST_F(MapExtras, MissingOrEmptyZoneChunkLeavesNoZones) {
    MapWriter withZone;
    withZone.addZone({0, 1, 1, 1, 1, "old"});
    ASSERT_TRUE(load(withZone));
    ASSERT_EQ(level.map.zones.size(), 1u);

    ASSERT_TRUE(load(MapWriter()));
    EXPECT_TRUE(level.map.zones.empty());
    EXPECT_EQ(level.map.selectedZone, -1);

    ASSERT_TRUE(loadBytes(mapWithRawChunk("ZONE", {})));
    EXPECT_TRUE(level.map.zones.empty());
}

TEST_F(MapExtras, HeadlessLoadReadsNeitherZonesNorAnimations) {
    MapWriter writer;
    writer.addZone({0, 1, 1, 1, 1, "z"});
    writer.addAnimation({20, 0, 0, {21, 22}});
    rt.headless = true;
    ASSERT_TRUE(load(writer));
    EXPECT_TRUE(level.map.zones.empty());
    EXPECT_TRUE(level.map.animations.empty());
    EXPECT_EQ(level.map.tileToAnimation[20], -1);
}

TEST_F(MapExtras, AnimationsFillListAndTileTable) {
    MapWriter writer;
    writer.addAnimation({20, 3, 4, {100, 101, 102}});
    writer.addAnimation({0, 0, 0, {5}});
    writer.addAnimation({20, 1, 2, {}});
    writer.addAnimation({1023, 0, 0, {7, 8}});
    ASSERT_TRUE(load(writer));

    const auto& list = level.map.animations;
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].base, 20);
    EXPECT_EQ(list[0].byte2, 3);
    EXPECT_EQ(list[0].byte3, 4);
    EXPECT_EQ(list[0].frames, (std::vector<uint16_t>{100, 101, 102}));
    EXPECT_TRUE(list[2].frames.empty());
    EXPECT_EQ(list[3].frames, (std::vector<uint16_t>{7, 8}));

    EXPECT_EQ(level.map.tileToAnimation[20], 2);  // the later one wins
    EXPECT_EQ(level.map.tileToAnimation[0], -1);  // listed, never entered
    EXPECT_EQ(level.map.tileToAnimation[1023], 3);
    EXPECT_EQ(level.map.tileToAnimation[100], -1);
}

TEST_F(MapExtras, AnimationCutByChunkEndIsDroppedAndBadBaseNotEntered) {
    // Base 1024 (outside the table), one frame; then base 30 announcing 9
    // frames of which the chunk holds one.
    std::vector<uint8_t> data = {0x00, 0x04, 0, 0, 1, 0, 5, 0, 30, 0, 0, 0, 9, 0, 1, 0};
    ASSERT_TRUE(loadBytes(mapWithRawChunk("ANIM", data)));
    ASSERT_EQ(level.map.animations.size(), 1u);
    EXPECT_EQ(level.map.animations[0].base, 1024);
    EXPECT_EQ(level.map.tileToAnimation[30], -1);
    for (int32_t entry : level.map.tileToAnimation) EXPECT_EQ(entry, -1);
}

TEST_F(MapExtras, LoadingAgainReplacesAnimations) {
    MapWriter first;
    first.addAnimation({40, 0, 0, {1}});
    ASSERT_TRUE(load(first));
    MapWriter second;
    second.addAnimation({50, 0, 0, {1}});
    ASSERT_TRUE(load(second));
    ASSERT_EQ(level.map.animations.size(), 1u);
    EXPECT_EQ(level.map.tileToAnimation[40], -1);
    EXPECT_EQ(level.map.tileToAnimation[50], 0);
}

// The water tile is chosen from the block store as it stands.
class WaterTile : public ::testing::Test {
protected:
    WaterTile() {
        level.map.clear();
        level.surfaceGroup.fill(0xFFFF);
    }
    // Puts lid tile t on the next n squares of layer z, walking rows from
    // the bottom of the file up, as the count visits them.
    void lids(int z, uint16_t t, int n) {
        for (int i = 0; i < n; ++i, ++next_[z]) {
            const int y = MapHeight - 1 - next_[z] / MapWidth;
            const int x = next_[z] % MapWidth;
            level.map.at(x, y, z).lid = t;
        }
    }
    void animatedWater(uint16_t t) {
        level.surfaceGroup[t] = 2;
        level.map.tileToAnimation[t] = static_cast<int32_t>(level.map.animations.size());
        level.map.animations.push_back({t, 0, 0, {t}});
    }

    Level level;
    std::array<int, MapDepth> next_{};
};

TEST_F(WaterTile, MostUsedAnimatedWaterBeatsAnyOtherLid) {
    animatedWater(300);
    animatedWater(301);
    lids(0, 5, 10000);
    lids(1, 300, 40);
    lids(2, 301, 50);
    lids(6, 0x0400 | 302, 1);  // lighting bits above the tile number are ignored
    chooseWaterTile(level);
    EXPECT_EQ(level.map.waterTile, 301u);
    EXPECT_TRUE(level.map.waterTileAnimated);
}

TEST_F(WaterTile, WithoutAnimatedWaterTheMostUsedLidWins) {
    level.surfaceGroup[300] = 2;  // water, but not animated
    level.map.tileToAnimation[301] = 0;  // animated, but not water
    level.map.animations.push_back({301, 0, 0, {}});
    lids(0, 300, 30);
    lids(0, 301, 20);
    lids(3, 9, 31);
    chooseWaterTile(level);
    EXPECT_EQ(level.map.waterTile, 9u);
    EXPECT_FALSE(level.map.waterTileAnimated);
}

TEST_F(WaterTile, TopLayerNeverCounts) {
    animatedWater(300);
    lids(7, 300, 500);
    lids(7, 12, 500);
    lids(0, 13, 2);
    chooseWaterTile(level);
    EXPECT_EQ(level.map.waterTile, 13u);
    EXPECT_FALSE(level.map.waterTileAnimated);
}

TEST_F(WaterTile, FirstToReachTheBestCountKeepsIt) {
    // Visit order: A, B, B, A. B reaches 2 first.
    lids(0, 70, 1);
    lids(0, 71, 2);
    lids(0, 70, 1);
    chooseWaterTile(level);
    EXPECT_EQ(level.map.waterTile, 71u);

    // Rows are visited from 255 down: a lid on row 0 comes last.
    level.map.clear();
    level.map.at(0, 0, 0).lid = 80;
    level.map.at(5, 255, 0).lid = 81;
    chooseWaterTile(level);
    EXPECT_EQ(level.map.waterTile, 81u);
}

TEST_F(WaterTile, EmptyMapKeepsTileZero) {
    level.map.waterTile = 55;
    chooseWaterTile(level);
    EXPECT_EQ(level.map.waterTile, 0u);
    EXPECT_FALSE(level.map.waterTileAnimated);
}

}  // namespace
