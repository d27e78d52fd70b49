// Minimap output: box filter, channel order, final path, detail centre.
#include <gtest/gtest.h>

#include "test_support.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <gd.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/runtime.h"
#include "minimap/output.h"
#include "minimap/rasterizer.h"

using namespace vant;
using namespace vant::test;

namespace {

namespace fs = std::filesystem;


std::vector<uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Box {
    std::string caption, text;
};

struct RecordingRuntime {
    Runtime rt;
    std::vector<Box> boxes;
    explicit RecordingRuntime(bool headless = false) {
        rt.headless = headless;
        rt.responder = [this](int, const std::string& caption, const std::string& text) {
            boxes.push_back({caption, text});
            return 0;
        };
    }
};

std::vector<uint8_t> uniformMinimap(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    std::vector<uint8_t> m(MinimapBytes);
    for (size_t i = 0; i < m.size(); i += 4) {
        m[i] = r;
        m[i + 1] = g;
        m[i + 2] = b;
        m[i + 3] = a;
    }
    return m;
}

void setPixel(std::vector<uint8_t>& m, int x, int y, std::array<uint8_t, 4> c) {
    const size_t at = (size_t(y) * MinimapSize + size_t(x)) * 4;
    for (int k = 0; k < 4; ++k) m[at + size_t(k)] = c[size_t(k)];
}

// A reference JPEG of a uniform picture, made with libgd directly.
std::vector<uint8_t> gdUniformJpeg(int size, int r, int g, int b, int quality) {
    gdImagePtr im = gdImageCreateTrueColor(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) gdImageSetPixel(im, x, y, gdTrueColor(r, g, b));
    int n = 0;
    void* data = gdImageJpegPtr(im, &n, quality);
    std::vector<uint8_t> out(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
    gdFree(data);
    gdImageDestroy(im);
    return out;
}

}  // namespace

TEST(MinimapOutput, BoxFilterRoundsHalfUpAndReversesChannels) {
    std::vector<uint8_t> m(MinimapBytes, 0);
    int n = 0;
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i, ++n) {
            // red: 32 ones (0.5 -> 1); green: all 255; blue: 31 ones (0.48 -> 0)
            setPixel(m, i, j, {uint8_t(n % 2), 255, uint8_t(n < 31 ? 1 : 0), 77});
            // next block: red sums to 96 (1.5 -> 2), blue sums to 160 (2.5 -> 3)
            setPixel(m, 8 + i, j, {uint8_t(n < 32 ? 3 : 0), 0, uint8_t(n < 32 ? 5 : 0), 0});
        }
    const std::vector<uint8_t> out = boxFilter(m.data(), 4, 256);
    ASSERT_EQ(out.size(), size_t(256) * 256 * 3);
    EXPECT_EQ(out[0], 0);    // blue
    EXPECT_EQ(out[1], 255);  // green
    EXPECT_EQ(out[2], 1);    // red
    EXPECT_EQ(out[3], 3);
    EXPECT_EQ(out[4], 0);
    EXPECT_EQ(out[5], 2);
    EXPECT_EQ(out[6], 0);

    // Three bytes per pixel in (the read-back layout) gives the same.
    std::vector<uint8_t> rgb(size_t(2048) * 2048 * 3);
    for (size_t p = 0; p < size_t(2048) * 2048; ++p)
        for (int k = 0; k < 3; ++k) rgb[p * 3 + size_t(k)] = m[p * 4 + size_t(k)];
    EXPECT_EQ(boxFilter(rgb.data(), 3, 256), out);

    // Side 2048: a copy with red and blue exchanged.
    setPixel(m, 5, 7, {1, 2, 3, 4});
    setPixel(m, 2047, 2047, {250, 251, 252, 253});
    const std::vector<uint8_t> full = boxFilter(m.data(), 4, 2048);
    ASSERT_EQ(full.size(), size_t(2048) * 2048 * 3);
    const size_t at = (size_t(7) * 2048 + 5) * 3;
    EXPECT_EQ(full[at], 3);
    EXPECT_EQ(full[at + 1], 2);
    EXPECT_EQ(full[at + 2], 1);
    EXPECT_EQ(full[full.size() - 3], 252);
    EXPECT_EQ(full[full.size() - 1], 250);

}

TEST(MinimapOutput, ShiftsDownToOnePixel) {
    TempDir dir;
    RecordingRuntime r(true);
    // Small values keep every float sum exact at any summing order.
    for (int shift : {11, 12, 40}) {
        std::vector<uint8_t> m = uniformMinimap(1, 2, 4, 99);
        const std::string path = dir.file("one" + std::to_string(shift) + ".tga");
        EXPECT_TRUE(saveMinimap(r.rt, m, 2, shift, path, true, true));
        const std::vector<uint8_t> want{0, 0, 2, 0, 0, 0, 0, 32, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0x20, 4, 2, 1};
        EXPECT_EQ(readAll(path), want) << shift;
        EXPECT_TRUE(m.empty()) << "the minimap is consumed";
    }
    // Shift 3: 256 pixels.
    std::vector<uint8_t> m = uniformMinimap(9, 8, 7);
    const std::string path = dir.file("small.tga");
    EXPECT_TRUE(saveMinimap(r.rt, m, 1, 3, path, true, true));
    const std::vector<uint8_t> bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 18u + 256 * 256 * 3);
    EXPECT_EQ(bytes[12], 0);
    EXPECT_EQ(bytes[13], 1);
    EXPECT_EQ(bytes[18], 7);
    EXPECT_EQ(bytes[19], 8);
    EXPECT_EQ(bytes[20], 9);
}

TEST(MinimapOutput, FullSizeBmpIsBottomUpWithoutPadding) {
    TempDir dir;
    RecordingRuntime r(true);
    std::vector<uint8_t> m(MinimapBytes, 0);
    setPixel(m, 0, 0, {40, 50, 60, 255});
    setPixel(m, 0, 2047, {10, 20, 30, 255});
    setPixel(m, 2047, 2047, {1, 2, 3, 255});
    const std::string path = dir.file("full.bmp");
    ASSERT_TRUE(saveMinimap(r.rt, m, 1, 0, path, true, true));
    const std::vector<uint8_t> bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 54u + 6144u * 2048u);
    // First stored row is the bottom row of the picture.
    EXPECT_EQ(bytes[54], 30);
    EXPECT_EQ(bytes[55], 20);
    EXPECT_EQ(bytes[56], 10);
    EXPECT_EQ(bytes[54 + 6141], 3);
    EXPECT_EQ(bytes[54 + 6143], 1);
    const size_t lastRow = 54 + size_t(6144) * 2047;
    EXPECT_EQ(bytes[lastRow], 60);
    EXPECT_EQ(bytes[lastRow + 1], 50);
    EXPECT_EQ(bytes[lastRow + 2], 40);
}

TEST(MinimapOutput, FinalPathAndRefusals) {
    TempDir dir;
    RecordingRuntime r;

    // Missing folder.
    std::vector<uint8_t> m = uniformMinimap(1, 1, 1);
    const std::string missing = dir.file("nope/x.tga");
    EXPECT_FALSE(saveMinimap(r.rt, m, 2, 3, missing, true, true));
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].caption, "ERROR");
    EXPECT_EQ(r.boxes[0].text, "Cannot open directory \"" + dir.file("nope/") + "\" for reading.");
    EXPECT_EQ(m.size(), MinimapBytes) << "untouched";

    // A bare file name is its own directory.
    r.boxes.clear();
    const std::string bare = "vant_bare_" + std::to_string(::getpid()) + ".tga";
    EXPECT_FALSE(saveMinimap(r.rt, m, 2, 3, bare, true, true));
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].text, "Cannot open directory \"" + bare + "\" for reading.");
    EXPECT_FALSE(fs::exists(bare));
    EXPECT_EQ(m.size(), MinimapBytes);

    // Format numbers above 3 are refused before anything else.
    r.boxes.clear();
    EXPECT_FALSE(saveMinimap(r.rt, m, 4, 3, dir.file("nope/y.tga"), true, true));
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(m.size(), MinimapBytes);

    // Colon and question mark become underscores; the writer follows the
    // path's own extension, not the format number.
    EXPECT_TRUE(saveMinimap(r.rt, m, 3, 3, dir.file("a:b?c.tga"), true, true));
    EXPECT_TRUE(fs::exists(dir.path / "a_b_c.tga"));
    EXPECT_FALSE(fs::exists(dir.path / "a:b?c.tga"));
    EXPECT_EQ(readAll(dir.file("a_b_c.tga"))[2], 2);
    EXPECT_TRUE(m.empty());

    // Backslashes separate folders too.
    m = uniformMinimap(1, 1, 1);
    EXPECT_TRUE(saveMinimap(r.rt, m, 1, 3, dir.path.string() + "\\back.bmp", true, true));
    EXPECT_TRUE(fs::exists(dir.path / "back.bmp"));

    // Overwrite off and the file exists: nothing happens.
    m = uniformMinimap(1, 1, 1);
    const auto before = readAll(dir.file("back.bmp"));
    EXPECT_TRUE(saveMinimap(r.rt, m, 1, 2, dir.file("back.bmp"), false, true));
    EXPECT_EQ(readAll(dir.file("back.bmp")), before);
    EXPECT_EQ(m.size(), MinimapBytes);

    // No pixels in memory.
    r.boxes.clear();
    std::vector<uint8_t> none;
    EXPECT_TRUE(saveMinimap(r.rt, none, 2, 3, dir.file("none.tga"), true, true));
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].caption, "");
    EXPECT_EQ(r.boxes[0].text, "ERROR, couldnt read minimap pixels from memory!");
    EXPECT_FALSE(fs::exists(dir.path / "none.tga"));

    // Unknown extension: the image writer's message, no file, pixels consumed.
    r.boxes.clear();
    EXPECT_TRUE(saveMinimap(r.rt, m, 1, 3, dir.file("pic.png"), true, true));
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].caption, "ERROR");
    EXPECT_EQ(r.boxes[0].text, "Cannot save image: Unknown image format \"png\"");
    EXPECT_FALSE(fs::exists(dir.path / "pic.png"));
    EXPECT_TRUE(m.empty());
}

TEST(MinimapOutput, DetailCentre) {
    const int size = 256;
    std::vector<uint8_t> pic(size_t(size) * size * 3, 90);
    std::array<float, 3> c = detailCentre(pic.data(), size);
    EXPECT_EQ(c[0], 127.0f);
    EXPECT_EQ(c[1], 129.0f);
    EXPECT_EQ(c[2], 0.0f);

    // One white pixel at (100, 50) on black: its nine neighbourhoods hold one
    // 255 and eight 0s, S = 8 * 255 = 2040, d = 56.7 + 0.5 -> 57 (counts).
    // sumX = 127 + 3 * (99 + 100 + 101) = 1027, sumY = 127 + 3 * 150 = 577,
    // count 10: x = 102.7 -> 103, y = 256 - 57.7 -> 256 - 58 = 198.
    std::fill(pic.begin(), pic.end(), 0);
    for (int k = 0; k < 3; ++k) pic[(size_t(50) * size + 100) * 3 + size_t(k)] = 255;
    c = detailCentre(pic.data(), size);
    EXPECT_EQ(c[0], 103.0f);
    EXPECT_EQ(c[1], 198.0f);

    // A checkerboard: every neighbourhood holds 5 and 4 of 0 and 255,
    // S = 20 * 255 = 5100, d = 141.7 -> 142 >= 128: nothing counts.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            for (int k = 0; k < 3; ++k) pic[(size_t(y) * size + size_t(x)) * 3 + size_t(k)] = (x + y) % 2 ? 255 : 0;
    c = detailCentre(pic.data(), size);
    EXPECT_EQ(c[0], 127.0f);
    EXPECT_EQ(c[1], 129.0f);

    // Grey is the rounded mean of the three bytes. On black, a pixel (3, 3, 2)
    // has grey 2.67 -> 3: S = 8 * 3 = 24, d = 0.67 + 0.5 -> 1, it counts
    // (same nine pixels as above). A pixel (2, 2, 3) has grey 2.33 -> 2:
    // S = 16, d = 0.44 + 0.5 -> 0, nothing counts.
    std::fill(pic.begin(), pic.end(), 0);
    uint8_t* p = &pic[(size_t(50) * size + 100) * 3];
    p[0] = 3;
    p[1] = 3;
    p[2] = 2;
    c = detailCentre(pic.data(), size);
    EXPECT_EQ(c[0], 103.0f);
    EXPECT_EQ(c[1], 198.0f);
    p[0] = 2;
    p[1] = 2;
    p[2] = 3;
    c = detailCentre(pic.data(), size);
    EXPECT_EQ(c[0], 127.0f);
    EXPECT_EQ(c[1], 129.0f);

    // The map extent, not the picture size, flips y.
    std::vector<uint8_t> small(16 * 16 * 3, 5);
    c = detailCentre(small.data(), 16);
    EXPECT_EQ(c[0], 127.0f);
    EXPECT_EQ(c[1], 129.0f);
}

TEST(MinimapOutput, DetailCentringOnlyForWindowedThumbnails) {
    TempDir dir;
    int calls = 0;
    float gotX = -1, gotY = -1;
    SaveMinimapOptions options;
    options.detailCentring = true;
    options.storeCentre = [&](float x, float y) {
        ++calls;
        gotX = x;
        gotY = y;
    };
    RecordingRuntime windowed(false);
    std::vector<uint8_t> m = uniformMinimap(5, 5, 5);
    EXPECT_TRUE(saveMinimap(windowed.rt, m, 2, 3, dir.file("a.tga"), true, true, options));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(gotX, 127.0f);
    EXPECT_EQ(gotY, 129.0f);

    m = uniformMinimap(5, 5, 5);
    EXPECT_TRUE(saveMinimap(windowed.rt, m, 2, 2, dir.file("b.tga"), true, true, options));
    EXPECT_EQ(calls, 1) << "512 pixels is not the thumbnail size";

    RecordingRuntime headless(true);
    m = uniformMinimap(5, 5, 5);
    EXPECT_TRUE(saveMinimap(headless.rt, m, 2, 3, dir.file("c.tga"), true, true, options));
    EXPECT_EQ(calls, 1) << "headless runs do not centre";
}

TEST(MinimapOutput, JpegQualityByOutputSize) {
    TempDir dir;
    RecordingRuntime r(true);
    r.rt.jpegQuality = 10;
    // The thumbnail size always uses quality 95.
    std::vector<uint8_t> m = uniformMinimap(30, 20, 10);
    const std::string thumb = dir.file("t.jpg");
    ASSERT_TRUE(saveMinimap(r.rt, m, 3, 3, thumb, true, true));
    const std::vector<uint8_t> q95 = gdUniformJpeg(256, 30, 20, 10, 95);
    ASSERT_NE(q95, gdUniformJpeg(256, 30, 20, 10, 10));
    EXPECT_EQ(readAll(thumb), q95);

    // Other sizes use the run's quality.
    m = uniformMinimap(30, 20, 10);
    const std::string big = dir.file("b.jpg");
    ASSERT_TRUE(saveMinimap(r.rt, m, 3, 2, big, true, true));
    EXPECT_EQ(readAll(big), gdUniformJpeg(512, 30, 20, 10, 10));
}
