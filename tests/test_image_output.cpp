// Image writers and the minimap output: TGA and BMP byte for byte, JPEG as
// libgd encodes it; the box filter, the final path, the detail centre.
#include <gtest/gtest.h>

#include "test_support.h"

#include <array>

#include "image/byte_sink.h"
#include "image/image_writer.h"
#include "minimap/output.h"
#include "minimap/rasterizer.h"

using namespace vant;
using namespace vant::test;
namespace fs = std::filesystem;

namespace {

ByteVec counting(size_t n, uint8_t start = 1) {
    ByteVec v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(start + i);
    return v;
}

ByteVec slice(const ByteVec& v, size_t from, size_t n) {
    return ByteVec(v.begin() + long(from), v.begin() + long(from + n));
}

template <typename Writer>
ByteVec written(Writer write, const ByteVec& px, int w, int h, int bpp, bool bottomUp) {
    VectorSink sink;
    EXPECT_TRUE(write(sink, ImageView{px.data(), w, h, bpp, bottomUp}));
    return sink.bytes;
}

ByteVec uniformMinimap(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    const uint8_t px[4] = {r, g, b, a};
    ByteVec m(MinimapBytes);
    for (size_t i = 0; i < m.size(); i += 4) std::copy_n(px, 4, &m[i]);
    return m;
}

void setPixel(ByteVec& m, int x, int y, std::array<uint8_t, 4> c) {
    std::copy(c.begin(), c.end(), &m[(size_t(y) * MinimapSize + size_t(x)) * 4]);
}

}  // namespace

TEST(TgaWriter, HeaderAndDataAsGiven) {
    const ByteVec px = counting(3 * 2 * 3);
    ByteVec want{0, 0, 2, 0, 0, 0, 0, 32, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0x20};
    want.insert(want.end(), px.begin(), px.end());
    EXPECT_EQ(written(writeTga, px, 3, 2, 3, false), want);
    want[17] = 0;  // bottom-up: the same data, origin bit clear
    EXPECT_EQ(written(writeTga, px, 3, 2, 3, true), want);
    // Wider than 255, four bytes per pixel.
    const ByteVec wide = counting(300 * 1 * 4);
    const ByteVec w = written(writeTga, wide, 300, 1, 4, false);
    ASSERT_EQ(w.size(), 18u + 1200u);
    EXPECT_EQ(slice(w, 12, 5), (ByteVec{0x2C, 0x01, 1, 0, 32}));
    EXPECT_EQ(slice(w, 18, 1200), wide);
}

TEST(BmpWriter, HeaderPaddingAndRowOrder) {
    const ByteVec header{'B', 'M', 78, 0, 0, 0, 'V', 'A', 'N', 'T', 54, 0, 0, 0, 40, 0, 0, 0,
                         3,   0,   0,  0, 2, 0, 0, 0, 1,   0,   24,  0,  0, 0, 0, 0, 24, 0,
                         0,   0,   0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(header.size(), 54u);
    // {width, height, bytes per pixel, stored row size}: file size at 2, width
    // at 18, bits at 28, data size at 34; rows bottom first, zero padded.
    const std::vector<std::array<int, 4>> shapes = {{3, 2, 3, 12}, {4, 3, 3, 12}, {5, 2, 1, 8}, {3, 1, 4, 12}};
    for (const auto& [w, h, bpp, stride] : shapes) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + " x " + std::to_string(bpp));
        const ByteVec in = counting(size_t(w * h * bpp), 50);
        for (bool bottomUp : {false, true}) {
            const ByteVec out = written(writeBmp, in, w, h, bpp, bottomUp);
            ASSERT_EQ(out.size(), size_t(54 + stride * h));
            if (w == 3 && h == 2) { EXPECT_EQ(slice(out, 0, 54), header); }
            EXPECT_EQ(out[2], 54 + stride * h);
            EXPECT_EQ(out[28], 8 * bpp);
            EXPECT_EQ(out[34], stride * h);
            for (int r = 0; r < h; ++r) {
                ByteVec row = slice(in, size_t((bottomUp ? r : h - 1 - r) * w * bpp), size_t(w * bpp));
                row.resize(size_t(stride), 0);
                EXPECT_EQ(slice(out, size_t(54 + r * stride), size_t(stride)), row) << "stored row " << r;
            }
        }
    }
}

TEST(ImageWriters, SaveImageChoosesByExtension) {
    TempDir dir;
    RecordedBoxes r;
    const ByteVec px = counting(2 * 2 * 3);
    const ImageView view{px.data(), 2, 2, 3, false};
    EXPECT_TRUE(saveImage(r.rt, dir.file("Out.TGA"), view, 95));
    EXPECT_EQ(readFileBytes(dir.file("Out.TGA")), written(writeTga, px, 2, 2, 3, false));
    EXPECT_TRUE(r.boxes.empty());

    // Unknown extensions, lower-cased in the message; a folder with a dot
    // does not give the file an extension.
    fs::create_directories(dir.path / "v1.tga");
    const std::vector<std::pair<std::string, std::string>> refused = {{"v1.tga/picture", ""}, {"out.JPEG", "jpeg"}};
    for (const auto& [name, ext] : refused) {
        r.boxes.clear();
        EXPECT_FALSE(saveImage(r.rt, dir.file(name), view, 95)) << name;
        EXPECT_EQ(r.boxes, std::vector<std::string>{"ERROR|Cannot save image: Unknown image format \"" + ext + "\""});
        EXPECT_FALSE(fs::exists(dir.path / name));
    }
    // Headless: the refusal is silent but still a refusal.
    r.rt.headless = true;
    r.boxes.clear();
    EXPECT_FALSE(saveImage(r.rt, dir.file("x.gif"), view, 95));
    EXPECT_TRUE(r.boxes.empty());
}

TEST(JpegWriter, LibgdBytesAtTheGivenQualityAndColoursBackThroughIt) {
    TempDir dir;
    RecordedBoxes r;
    r.rt.jpegQuality = 40;
    // Blue 10, green 20, red 30 in the buffer: libgd's own bytes for that
    // picture; quality -1 takes the run's.
    ByteVec px;
    for (int i = 0; i < 40 * 24; ++i) px.insert(px.end(), {10, 20, 30});
    const ImageView view{px.data(), 40, 24, 3, false};
    auto uniform = [](int q) { return gdJpeg(40, 24, [](int, int) { return gdTrueColor(30, 20, 10); }, q); };
    ASSERT_NE(uniform(40), uniform(70));
    for (auto [name, quality] : std::vector<std::pair<std::string, int>>{{"a.jpg", -1}, {"b.JPG", 70}}) {
        EXPECT_TRUE(saveImage(r.rt, dir.file(name), view, quality));
        EXPECT_EQ(readFileBytes(dir.file(name)), uniform(quality < 0 ? 40 : 70)) << name;
    }

    // Four bytes per pixel: the fourth is skipped. Top half red, bottom half
    // blue; written bottom-up, the picture comes out the other way round.
    ByteVec px4;
    for (int i = 0; i < 32 * 32; ++i)
        px4.insert(px4.end(), {uint8_t(i < 512 ? 0 : 220), 0, uint8_t(i < 512 ? 220 : 0), 99});
    for (bool bottomUp : {false, true}) {
        EXPECT_TRUE(saveImage(r.rt, dir.file("four.jpg"), ImageView{px4.data(), 32, 32, 4, bottomUp}, 95));
        const ByteVec want = gdJpeg(32, 32, [&](int, int y) {
            return (y < 16) != bottomUp ? gdTrueColor(220, 0, 0) : gdTrueColor(0, 0, 220); }, 95);
        EXPECT_EQ(readFileBytes(dir.file("four.jpg")), want) << bottomUp;
    }
    EXPECT_TRUE(r.boxes.empty());
}

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

TEST(MinimapOutput, ShiftsPastElevenGiveOnePixel) {
    TempDir dir;
    RecordedBoxes r(true);
    // Shifts of 11 and above give one pixel; small values keep every float
    // sum exact at any summing order.
    for (int shift : {11, 12}) {
        ByteVec m = uniformMinimap(1, 2, 4, 99);
        const std::string path = dir.file("one" + std::to_string(shift) + ".tga");
        EXPECT_TRUE(saveMinimap(r.rt, m, 2, shift, path, true, true));
        const ByteVec want{0, 0, 2, 0, 0, 0, 0, 32, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0x20, 4, 2, 1};
        EXPECT_EQ(readFileBytes(path), want) << shift;
        EXPECT_TRUE(m.empty()) << "the minimap is consumed";
    }
    EXPECT_TRUE(r.boxes.empty());
}

TEST(MinimapOutput, FinalPathAndRefusals) {
    TempDir dir;
    RecordedBoxes r(false);
    ByteVec m = uniformMinimap(1, 1, 1);
    // Format numbers above 3 are refused before anything else, here a
    // missing folder. The pixels are left alone.
    EXPECT_FALSE(saveMinimap(r.rt, m, 4, 3, dir.file("nope/y.tga"), true, true));
    EXPECT_EQ(m.size(), MinimapBytes);

    // Colon and question mark become underscores; the writer follows the
    // path's own extension, not the format number.
    EXPECT_TRUE(saveMinimap(r.rt, m, 3, 3, dir.file("a:b?c.tga"), true, true));
    EXPECT_FALSE(fs::exists(dir.path / "a:b?c.tga"));
    EXPECT_EQ(readFileBytes(dir.file("a_b_c.tga")).at(2), 2);
    EXPECT_TRUE(m.empty());
    // Backslashes separate folders too. Overwrite off and the file exists:
    // nothing happens.
    m = uniformMinimap(1, 1, 1);
    EXPECT_TRUE(saveMinimap(r.rt, m, 1, 3, dir.path.string() + "\\back.bmp", false, true));
    const ByteVec before = readFileBytes(dir.file("back.bmp"));
    EXPECT_TRUE(saveMinimap(r.rt, m = uniformMinimap(1, 1, 1), 1, 2, dir.file("back.bmp"), false, true));
    EXPECT_EQ(readFileBytes(dir.file("back.bmp")), before);
    EXPECT_EQ(m.size(), MinimapBytes);
    EXPECT_TRUE(r.boxes.empty());
    // No pixels in memory.
    ByteVec none;
    EXPECT_TRUE(saveMinimap(r.rt, none, 2, 3, dir.file("none.tga"), true, true));
    EXPECT_EQ(r.boxes, std::vector<std::string>{"|ERROR, couldnt read minimap pixels from memory!"});
    EXPECT_FALSE(fs::exists(dir.path / "none.tga"));
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
    // libgd's JPEG of the uniform picture: red 30, green 20, blue 10.
    auto uniformJpeg = [](int side, int q) { return gdJpeg(side, side, [](int, int) { return gdTrueColor(30, 20, 10); }, q); };
    ASSERT_NE(uniformJpeg(256, 95), uniformJpeg(256, 10));
    // Shift 3 gives the thumbnail size, 256; 512 is another size.
    for (auto [rt, shift] :
         std::vector<std::pair<Runtime*, int>>{{&windowed.rt, 3}, {&windowed.rt, 2}, {&headless.rt, 3}}) {
        ByteVec m = uniformMinimap(30, 20, 10);
        ASSERT_TRUE(saveMinimap(*rt, m, 3, shift, dir.file("t.jpg"), true, true, options));
        EXPECT_EQ(readFileBytes(dir.file("t.jpg")), uniformJpeg(2048 >> shift, shift == 3 ? 95 : 10)) << shift;
    }
    EXPECT_EQ(stored, (std::vector<std::pair<float, float>>{{127.0f, 129.0f}}));
}
