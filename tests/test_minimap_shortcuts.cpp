// The job's shortcuts: it never builds the full tile atlas (only its
// reduction), skips what a higher opaque lid covers, and draws straight at
// the saved size, a band of rows at a time, as bytes or as libgd words. Each
// must give the bytes of drawing the whole picture the plain way and
// filtering it.

#include <random>

#include "image/byte_sink.h"
#include "minimap/output.h"
#include "minimap/rasterizer.h"
#include "test_support.h"

using namespace vant;
using namespace vant::test;

namespace {

class SampleCity : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempFolder;
        makeSampleCity(dir_->path().string());
    }
    static void TearDownTestSuite() { delete dir_; }
    // Loaded as the job loads it, with or without the full tile atlas.
    static void load(Level& level, bool keepAtlas = false) {
        Runtime rt;
        rt.headless = true;
        level.keepTileAtlas = keepAtlas;
        level.map.clear();
        ASSERT_TRUE(loadStyle(rt, level, MapList(), -1, (*dir_ / "sample.sty").string()));
        ASSERT_TRUE(loadMap(rt, level, MapList(), -1, (*dir_ / "sample.gmp").string()));
    }
    static TempFolder* dir_;
};
TempFolder* SampleCity::dir_ = nullptr;

// The libgd words (0x00RRGGBB) of a blue-green-red picture.
std::vector<int> words(const std::vector<uint8_t>& bgr) {
    std::vector<int> w(bgr.size() / 3);
    for (size_t i = 0; i < w.size(); ++i) w[i] = bgr[3 * i + 2] << 16 | bgr[3 * i + 1] << 8 | bgr[3 * i];
    return w;
}

TEST_F(SampleCity, EveryWayOfDrawingGivesThePlainPicture) {
    Level plain, quick;
    quick.checksum.setEnabled(false);  // as the job does: its loaders skip the sum
    load(plain, true);
    load(quick);
    ASSERT_EQ(plain.tileAtlas.size(), AtlasBytes);
    EXPECT_TRUE(quick.tileAtlas.empty());
    EXPECT_NE(plain.checksum.value(), 0u);
    EXPECT_EQ(quick.checksum.value(), 0u);
    EXPECT_EQ(reduceAtlas(plain.tileAtlas), quick.reducedAtlas);

    MinimapBuilder slow, fast;
    slow.skipHidden = false;
    plain.reducedAtlas.clear();  // force the reduction from the full atlas
    const std::vector<uint8_t> full = slow.build(plain);
    EXPECT_TRUE(full == fast.build(quick));
    for (int side : {2048, 1024, 512, 256, 128, 16}) {
        SCOPED_TRACE(side);
        const std::vector<uint8_t> filtered = boxFilter(full.data(), 4, side);
        MinimapBuilder scaled;
        EXPECT_TRUE(scaled.buildScaled(quick, side) == filtered);
        // Pulled through nextTrueColor, as libgd takes the rows.
        auto rows = scaledMinimapRows(fast, quick, side);
        std::vector<int> picture(size_t(side) * size_t(side), -1);
        std::vector<int*> band(size_t(rows->bandRows()));
        for (int y = 0; y < side; y += rows->bandRows()) {
            for (size_t r = 0; r < band.size(); ++r) band[r] = &picture[(size_t(y) + r) * size_t(side)];
            ASSERT_TRUE(rows->nextTrueColor(band.data()));
        }
        EXPECT_FALSE(rows->nextTrueColor(band.data()));
        EXPECT_TRUE(picture == words(filtered));
    }
    // The sample is a real city: most of the picture is drawn.
    size_t drawn = 0;
    for (size_t i = 3; i < full.size(); i += 4) drawn += full[i] == 255;
    EXPECT_GT(drawn, full.size() / 4 * 9 / 10);
}

TEST_F(SampleCity, ReductionWithoutTheAtlasMatchesWithTintOnAndOff) {
    // Without atlas or checksum the reduction is summed straight from the
    // colour numbers, tinted water tiles through their own colours.
    std::vector<uint8_t> reductions[2];
    for (int mode : {0, 2}) {
        Level full, quick;
        quick.checksum.setEnabled(false);
        for (Level* level : {&full, &quick}) {
            Runtime rt;
            rt.headless = true;
            rt.waterTintMode = mode;
            level->keepTileAtlas = level == &full;
            level->map.clear();
            ASSERT_TRUE(loadStyle(rt, *level, MapList{}, -1, dir_->path().string() + "/sample.sty"));
        }
        EXPECT_EQ(reduceAtlas(full.tileAtlas), quick.reducedAtlas) << mode;
        reductions[mode / 2] = quick.reducedAtlas;
    }
    EXPECT_NE(reductions[0], reductions[1]) << "the sample has water to tint";
}

TEST_F(SampleCity, StreamedJpegEqualsLibgdsOwnInMemoryEncoding) {
    Level level;
    load(level);
    MinimapBuilder builder;
    const std::vector<int> picture = words(builder.buildScaled(level, 512));
    const ByteVec expected = gdJpeg(512, 512, [&](int x, int y) { return picture[size_t(y) * 512 + size_t(x)]; }, 95);
    auto rows = scaledMinimapRows(builder, level, 512);
    VectorSink sink;
    ASSERT_TRUE(encodeJpegRows(*rows, 95, sink));
    EXPECT_TRUE(sink.bytes == expected);
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
    for (int z = 0; z < MapDepth; ++z)
        for (int k = 0; k < 64 * 64; ++k) {
            if (rng() % 3 == 0) continue;
            BlockInfo& b = level.map.at(k % 64, k / 64, z);
            b.lid = uint16_t(rng());
            b.left = uint16_t(rng());
            b.right = uint16_t(rng());
            const uint32_t pick = rng() % 4;
            b.slope = uint8_t(pick == 0 ? (49 + rng() % 4) << 2 : (pick == 1 ? 0 : rng() % 64) << 2);
        }
    MinimapBuilder slow, fast;
    slow.skipHidden = false;
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
