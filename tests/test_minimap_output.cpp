// The minimap output. The job's shortcuts: it never builds the full tile
// atlas (only its reduction), skips what a higher opaque lid covers, and draws
// straight at the saved size, a band of rows at a time, as bytes or as libgd
// words; each must give the bytes of drawing the whole picture the plain way
// and filtering it (the filter's rounding and channel order show in the job's
// whole files, Cli.*). The detail centre, the thumbnail as libgd encodes it.

#include <array>
#include <random>

#include "image/byte_sink.h"
#include "minimap/output.h"
#include "minimap/rasterizer.h"
#include "test_support.h"

using namespace vant;
using namespace vant::test;

namespace {

// Red 30, green 20, blue 10 over a bottom half of blue 200.
ByteVec twoToneMinimap() {
    ByteVec m(MinimapBytes);
    for (size_t i = 0; i < m.size(); i += 4) {
        const uint8_t px[4] = {30, 20, uint8_t(i < MinimapBytes / 2 ? 10 : 200), 255};
        std::copy_n(px, 4, &m[i]);
    }
    return m;
}

// The libgd words (0x00RRGGBB) of a blue-green-red picture.
std::vector<int> words(const std::vector<uint8_t>& bgr) {
    std::vector<int> w(bgr.size() / 3);
    for (size_t i = 0; i < w.size(); ++i) w[i] = bgr[3 * i + 2] << 16 | bgr[3 * i + 1] << 8 | bgr[3 * i];
    return w;
}

TEST(SampleCity, EveryWayOfDrawingGivesThePlainPicture) {
    TempFolder dir;
    ASSERT_EQ(makeSampleCity(dir.path()).status, 0);
    // Loaded as the job loads it, with or without the full tile atlas; the
    // job's loaders skip the checksum, and without it keep the map packed.
    auto load = [&](Level& level, bool keepAtlas, int tintMode = 1) {
        Runtime rt;
        rt.headless = true;
        rt.waterTintMode = tintMode;
        level.keepTileAtlas = keepAtlas;
        level.checksum.setEnabled(keepAtlas);
        level.map.clear();
        return loadStyle(rt, level, MapList(), -1, (dir / "sample.sty").string()) &&
               loadMap(rt, level, MapList(), -1, (dir / "sample.gmp").string());
    };
    Level plain, quick;
    ASSERT_TRUE(load(plain, true) && load(quick, false));
    ASSERT_EQ(plain.tileAtlas.size(), AtlasBytes);
    EXPECT_TRUE(quick.tileAtlas.empty());
    EXPECT_NE(plain.checksum.value(), 0u);
    EXPECT_EQ(quick.checksum.value(), 0u);
    EXPECT_EQ(reduceAtlas(plain.tileAtlas), quick.reducedAtlas);
    EXPECT_FALSE(plain.map.packed());
    ASSERT_TRUE(quick.map.packed());

    MinimapBuilder slow, fast;
    slow.skipHidden = false;
    plain.reducedAtlas.clear();  // force the reduction from the full atlas
    const std::vector<uint8_t> full = slow.build(plain);
    // Drawn straight at the size from the packed map (the sizes from 256
    // up), and from the store made of it (below, and the plain drawing).
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
        if (side != 512) continue;
        // Streamed as JPEG: libgd's own encoding of the picture in memory.
        VectorSink sink;
        ASSERT_TRUE(encodeJpegRows(*scaledMinimapRows(fast, quick, side), 95, sink));
        EXPECT_TRUE(sink.bytes == gdJpeg(side, side, [&](int x, int y) { return picture[size_t(y * side + x)]; }, 95));
    }
    EXPECT_FALSE(quick.map.packed());
    EXPECT_TRUE(full == fast.build(quick));
    // The sample is a real city: most of the picture is drawn.
    size_t drawn = 0;
    for (size_t i = 3; i < full.size(); i += 4) drawn += full[i] == 255;
    EXPECT_GT(drawn, full.size() / 4 * 9 / 10);

    // Without atlas or checksum the reduction is summed straight from the
    // colour numbers, tinted water tiles through their own colours: also
    // with the tint off and always on.
    std::vector<uint8_t> reductions[2];
    for (int mode : {0, 2}) {
        Level withAtlas, without;
        ASSERT_TRUE(load(withAtlas, true, mode) && load(without, false, mode));
        EXPECT_EQ(reduceAtlas(withAtlas.tileAtlas), without.reducedAtlas) << mode;
        reductions[mode / 2] = without.reducedAtlas;
    }
    EXPECT_NE(reductions[0], reductions[1]) << "the sample has water to tint";
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

TEST(MinimapOutput, DetailCentre) {
    const int size = 256;
    ByteVec pic(size_t(size) * size * 3);
    auto centre = [&](int n) {
        const std::array<float, 3> c = detailCentre(pic.data(), n);
        return std::array<float, 2>{c[0], c[1]};
    };
    const std::array<float, 2> middle{127.0f, 129.0f};  // nothing counts
    // The map extent, not the picture size, flips y.
    EXPECT_EQ(centre(16), middle);

    // One pixel at (100, 50) on black. Grey is the rounded mean of the bytes:
    // (3, 3, 2) is 3. Its nine neighbourhoods hold one 3 and eight 0s, S = 24,
    // d = 0.67 + 0.5 -> 1: each counts. sumX = 127 + 3 * (99 + 100 + 101) =
    // 1027, sumY = 127 + 3 * 150 = 577, count 10: x = 102.7 -> 103,
    // y = 256 - 57.7 -> 256 - 58 = 198. (2, 2, 3) is 2, S = 16, d -> 0: none do.
    const std::vector<std::pair<std::array<uint8_t, 3>, std::array<float, 2>>> single = {
        {{3, 3, 2}, {103.0f, 198.0f}}, {{2, 2, 3}, middle}};
    for (const auto& [colour, want] : single) {
        std::fill(pic.begin(), pic.end(), 0);
        std::copy(colour.begin(), colour.end(), &pic[(50 * size + 100) * 3]);
        EXPECT_EQ(centre(size), want) << int(colour[0]) << "," << int(colour[1]) << "," << int(colour[2]);
    }
    // A checkerboard over rows 0 to 127: inside, each neighbourhood holds 5
    // and 4 of 0 and 255, S = 20 * 255, d = 141.7 -> 142; those on row 127
    // hold 3 and 6, S = 18 * 255, d = 127.5 -> 128. Both are negative as
    // signed bytes: only row 128 counts (S of 8 or 14 times 255).
    for (size_t i = 0; i < pic.size(); ++i) pic[i] = i / 3 / size < 128 && (i / 3 % size + i / 3 / size) % 2 ? 255 : 0;
    EXPECT_EQ(centre(size), (std::array<float, 2>{127.0f, 128.0f}));
}

TEST(MinimapOutput, ThumbnailsTakeQuality95AndOnlyWindowedOnesAreCentred) {
    TempDir dir;
    std::vector<std::pair<float, float>> stored;
    SaveMinimapOptions options;
    options.detailCentring = true;
    options.storeCentre = [&](float x, float y) { stored.push_back({x, y}); };
    RecordedBoxes windowed(false), headless(true);
    windowed.rt.jpegQuality = headless.rt.jpegQuality = 10;
    // libgd's own JPEG of the picture: channels and rows in order.
    auto want = [](int side, int q) {
        return gdJpeg(side, side, [side](int, int y) { return gdTrueColor(30, 20, y < side / 2 ? 10 : 200); }, q);
    };
    ASSERT_NE(want(256, 95), want(256, 10));
    // Shift 3 gives the thumbnail size, 256; 512 is another size.
    for (auto [rt, shift] :
         std::vector<std::pair<Runtime*, int>>{{&windowed.rt, 3}, {&windowed.rt, 2}, {&headless.rt, 3}}) {
        ByteVec m = twoToneMinimap();
        ASSERT_TRUE(saveMinimap(*rt, m, 3, shift, dir.file("t.jpg"), true, true, options));
        EXPECT_EQ(readFileBytes(dir.file("t.jpg")), want(2048 >> shift, shift == 3 ? 95 : 10)) << shift;
    }
    EXPECT_EQ(stored.size(), 1u);  // where: MinimapOutput.DetailCentre
}

TEST(MinimapOutput, JpegOfADrawingThatStopsOrFailsPartWay) {
    // Bands of 8 rows, each its own grey; drawing ends at the third band,
    // by running out or by an exception.
    struct Bands : RowSource {
        bool throws = false;
        int drawn = 0;
        int width() const override { return 64; }
        int height() const override { return 64; }
        int bandRows() const override { return 8; }
        bool next(uint8_t* band) override {
            if (drawn == 3 && throws) throw std::bad_alloc();
            if (drawn == 3) return false;
            std::fill_n(band, 64 * 8 * 3, uint8_t(40 * ++drawn));
            return true;
        }
    };
    // libgd's encoding of the bands drawn, black below them.
    const ByteVec want = gdJpeg(64, 64, [](int, int y) { return y < 24 ? 0x010101 * (40 * (y / 8 + 1)) : 0; }, 95);
    Bands stops, fails;
    VectorSink sink;
    ASSERT_TRUE(encodeJpegRows(stops, 95, sink));
    EXPECT_EQ(sink.bytes, want);
    fails.throws = true;
    EXPECT_THROW(encodeJpegRows(fails, 95, sink), std::bad_alloc);
}
