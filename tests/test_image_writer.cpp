// TGA, BMP and JPEG writers, byte for byte where the format allows.
#include <gtest/gtest.h>

#include "test_support.h"

#include <array>
#include <functional>
#include <filesystem>
#include <gd.h>
#include <string>
#include <vector>

#include "base/runtime.h"
#include "image/byte_sink.h"
#include "image/image_writer.h"

using namespace vant;
using namespace vant::test;

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

// libgd's own JPEG of a w x h picture whose pixel (x, y) is rgb(x, y).
ByteVec gdJpeg(int w, int h, const std::function<int(int, int)>& rgb, int quality) {
    gdImagePtr im = gdImageCreateTrueColor(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) gdImageSetPixel(im, x, y, rgb(x, y));
    int n = 0;
    void* data = gdImageJpegPtr(im, &n, quality);
    ByteVec out(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
    gdFree(data);
    gdImageDestroy(im);
    return out;
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
    std::filesystem::create_directories(dir.path / "v1.tga");
    const std::vector<std::pair<std::string, std::string>> refused = {{"v1.tga/picture", ""}, {"out.JPEG", "jpeg"}};
    for (const auto& [name, ext] : refused) {
        r.boxes.clear();
        EXPECT_FALSE(saveImage(r.rt, dir.file(name), view, 95)) << name;
        EXPECT_EQ(r.boxes, std::vector<std::string>{"ERROR|Cannot save image: Unknown image format \"" + ext + "\""});
        EXPECT_FALSE(std::filesystem::exists(dir.path / name));
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
