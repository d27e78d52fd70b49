// The job takes two shortcuts: it never builds the full tile atlas (only its
// reduction) and it skips drawing what a higher opaque lid covers. Both must
// leave every byte of the picture as the plain way makes it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "base/runtime.h"
#include "formats/map.h"
#include "formats/style.h"
#include "maplist/map_list.h"
#include "minimap/output.h"
#include "minimap/rasterizer.h"
#include "run_binary.h"
#include "test_support.h"

using namespace vant;
using namespace vant::test;

namespace {

TEST(MinimapShortcuts, SampleCityIsDrawnTheSameEitherWay) {
    TempFolder dir;
    makeSampleCity(dir.path().string());

    Level plain, quick;
    quick.checksum.setEnabled(false);  // as the job does: its loaders skip the sum
    loadSampleCity(dir.path().string(), plain, true);
    loadSampleCity(dir.path().string(), quick, false);
    ASSERT_EQ(plain.tileAtlas.size(), AtlasBytes);
    EXPECT_TRUE(quick.tileAtlas.empty());
    EXPECT_NE(plain.checksum.value(), 0u);
    EXPECT_EQ(quick.checksum.value(), 0u);
    EXPECT_EQ(reduceAtlas(plain.tileAtlas), quick.reducedAtlas);

    MinimapBuilder slow;
    slow.skipHidden = false;
    plain.reducedAtlas.clear();  // force the reduction from the full atlas
    const std::vector<uint8_t> a = slow.build(plain);
    MinimapBuilder fast;
    const std::vector<uint8_t> b = fast.build(quick);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_TRUE(a == b);
    // Drawn a cell at a time straight at the saved size: the same bytes as
    // filtering the whole picture.
    for (int size : {2048, 1024, 512, 256, 128}) {
        MinimapBuilder scaled;
        EXPECT_TRUE(scaled.buildScaled(quick, size) == boxFilter(b.data(), 4, size)) << size;
    }
    // The sample is a real city: most of the picture is drawn.
    size_t drawn = 0;
    for (size_t i = 3; i < b.size(); i += 4) drawn += b[i] == 255;
    EXPECT_GT(drawn, b.size() / 4 * 9 / 10);
}

TEST(MinimapShortcuts, RandomStacksWithBlendedWallsMatch) {
    // Random stacks of lids, masks, diagonals and blended walls, drawn over
    // a tile atlas with partly transparent tiles: the scratch tile carries
    // state from one blended wall to the next, across hidden cells too.
    Level level;
    level.tileAtlas.assign(AtlasBytes, 0);
    std::mt19937 rng(12345);
    for (size_t i = 0; i < level.tileAtlas.size(); i += 4) {
        const uint32_t r = rng();
        level.tileAtlas[i] = uint8_t(r);
        level.tileAtlas[i + 1] = uint8_t(r >> 8);
        level.tileAtlas[i + 2] = uint8_t(r >> 16);
        level.tileAtlas[i + 3] = (r >> 24) < 96 ? 0 : ((r >> 24) < 160 ? uint8_t(r >> 13) : 255);
    }
    for (int t = 0; t < TileCount; ++t)
        level.tileOrigin[size_t(t)] = TileOrigin{float((t % 32) * 64), float((t / 32) * 64)};
    level.map.clear();
    for (int z = 0; z < MapDepth; ++z) {
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                if (rng() % 3 == 0) continue;
                BlockInfo& b = level.map.at(x, y, z);
                b.lid = uint16_t(rng());
                b.left = uint16_t(rng());
                b.right = uint16_t(rng());
                const uint32_t pick = rng() % 4;
                b.slope = uint8_t(pick == 0 ? (49 + rng() % 4) << 2 : (pick == 1 ? 0 : rng() % 64) << 2);
            }
        }
    }
    MinimapBuilder slow;
    slow.skipHidden = false;
    MinimapBuilder fast;
    const std::vector<uint8_t> picture = slow.build(level);
    EXPECT_TRUE(picture == fast.build(level));
    EXPECT_EQ(slow.scratch(), fast.scratch());
    for (int size : {2048, 512, 256}) {
        MinimapBuilder scaled;
        EXPECT_TRUE(scaled.buildScaled(level, size) == boxFilter(picture.data(), 4, size)) << size;
        EXPECT_EQ(scaled.scratch(), slow.scratch()) << size;
    }
}

}  // namespace
