// The minimap output: the box filter, the detail centre, the thumbnail as
// libgd encodes it. The job's files are checked whole in Cli.*.

#include "test_support.h"

#include <array>

#include "minimap/output.h"
#include "minimap/rasterizer.h"

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

void setPixel(ByteVec& m, int x, int y, std::array<uint8_t, 4> c) {
    std::copy(c.begin(), c.end(), &m[(size_t(y) * MinimapSize + size_t(x)) * 4]);
}

}  // namespace

TEST(MinimapOutput, BoxFilterRoundsHalfUpAndReversesChannels) {
    ByteVec m(MinimapBytes, 0);
    for (int n = 0; n < 64; ++n) {
        // red: 32 ones (0.5 -> 1); green: all 255; blue: 31 ones (0.48 -> 0)
        setPixel(m, n % 8, n / 8, {uint8_t(n % 2), 255, uint8_t(n < 31 ? 1 : 0), 77});
        setPixel(m, 8 + n % 8, n / 8, {0, 0, 5, 0});  // the next output pixel
    }
    const ByteVec out = boxFilter(m.data(), 4, 256);
    ASSERT_EQ(out.size(), size_t(256) * 256 * 3);
    EXPECT_EQ(ByteVec(out.begin(), out.begin() + 9), (ByteVec{0, 255, 1, 5, 0, 0, 0, 0, 0}));
}

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
    // A checkerboard: every neighbourhood holds 5 and 4 of 0 and 255,
    // S = 20 * 255 = 5100, d = 141.7 -> 142 >= 128: nothing counts.
    for (size_t i = 0; i < pic.size(); ++i) pic[i] = (i / 3 % size + i / 3 / size) % 2 ? 255 : 0;
    EXPECT_EQ(centre(size), middle);
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
