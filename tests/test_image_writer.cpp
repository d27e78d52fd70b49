// TGA, BMP and JPEG writers, byte for byte where the format allows.
#include <gtest/gtest.h>

#include "test_support.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <gd.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/runtime.h"
#include "image/byte_sink.h"
#include "image/image_writer.h"

using namespace vant;
using namespace vant::test;

namespace {

namespace fs = std::filesystem;


ByteVec readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteVec(std::istreambuf_iterator<char>(in), {});
}

ByteVec counting(size_t n, uint8_t start = 1) {
    ByteVec v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(start + i);
    return v;
}

ByteVec concat(ByteVec a, const ByteVec& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

ByteVec slice(const ByteVec& v, size_t from, size_t n) { return ByteVec(v.begin() + long(from), v.begin() + long(from + n)); }

struct RecordingRuntime {
    Runtime rt;
    std::vector<std::string> boxes;
    RecordingRuntime() {
        rt.headless = false;
        rt.responder = [this](int, const std::string& caption, const std::string& text) {
            boxes.push_back(caption + "|" + text);
            return 0;
        };
    }
};

}  // namespace

TEST(TgaWriter, HeaderAndDataAsGiven) {
    const ByteVec px = counting(3 * 2 * 3);
    VectorSink top;
    writeTga(top, ImageView{px.data(), 3, 2, 3, false});
    const ByteVec header{0, 0, 2, 0, 0, 0, 0, 32, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0x20};
    EXPECT_EQ(top.bytes, concat(header, px));

    VectorSink bottom;
    writeTga(bottom, ImageView{px.data(), 3, 2, 3, true});
    ByteVec header0 = header;
    header0[17] = 0;
    EXPECT_EQ(bottom.bytes, concat(header0, px));

    // Wider than 255, four bytes per pixel.
    const ByteVec wide = counting(300 * 1 * 4);
    VectorSink w;
    writeTga(w, ImageView{wide.data(), 300, 1, 4, false});
    ASSERT_EQ(w.bytes.size(), 18u + 1200u);
    EXPECT_EQ(w.bytes[12], 0x2C);
    EXPECT_EQ(w.bytes[13], 0x01);
    EXPECT_EQ(w.bytes[14], 1);
    EXPECT_EQ(w.bytes[15], 0);
    EXPECT_EQ(w.bytes[16], 32);
    EXPECT_EQ(slice(w.bytes, 18, 1200), wide);
}

TEST(BmpWriter, HeaderPaddingAndRowOrder) {
    // 3 pixels of 3 bytes: rows of 9 bytes padded to 12.
    const ByteVec px = counting(3 * 2 * 3);
    VectorSink top;
    writeBmp(top, ImageView{px.data(), 3, 2, 3, false});
    const ByteVec header{'B', 'M', 78, 0, 0, 0, 'V', 'A', 'N', 'T', 54, 0, 0, 0, 40, 0, 0, 0,
                         3,   0,   0,  0, 2, 0, 0, 0, 1,   0,   24,  0,  0, 0, 0, 0, 24, 0,
                         0,   0,   0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(header.size(), 54u);
    const ByteVec pad{0, 0, 0};
    const ByteVec row0 = slice(px, 0, 9), row1 = slice(px, 9, 9);
    EXPECT_EQ(top.bytes, concat(concat(concat(concat(header, row1), pad), row0), pad));

    VectorSink bottom;
    writeBmp(bottom, ImageView{px.data(), 3, 2, 3, true});
    EXPECT_EQ(bottom.bytes, concat(concat(concat(concat(header, row0), pad), row1), pad));

    // 4 pixels of 3 bytes: no padding; bottom-up data is the buffer as-is.
    const ByteVec four = counting(4 * 3 * 3, 50);
    VectorSink asIs;
    writeBmp(asIs, ImageView{four.data(), 4, 3, 3, true});
    ASSERT_EQ(asIs.bytes.size(), 54u + 36u);
    EXPECT_EQ(asIs.bytes[2], 90);
    EXPECT_EQ(asIs.bytes[34], 36);
    EXPECT_EQ(slice(asIs.bytes, 54, 36), four);
    VectorSink flipped;
    writeBmp(flipped, ImageView{four.data(), 4, 3, 3, false});
    EXPECT_EQ(slice(flipped.bytes, 54, 12), slice(four, 24, 12));
    EXPECT_EQ(slice(flipped.bytes, 66, 12), slice(four, 12, 12));
    EXPECT_EQ(slice(flipped.bytes, 78, 12), slice(four, 0, 12));

    // One byte per pixel, 5 wide: rows of 8 bytes.
    const ByteVec grey = counting(5 * 2, 100);
    VectorSink g;
    writeBmp(g, ImageView{grey.data(), 5, 2, 1, true});
    ASSERT_EQ(g.bytes.size(), 54u + 16u);
    EXPECT_EQ(g.bytes[2], 70);
    EXPECT_EQ(g.bytes[28], 8);
    EXPECT_EQ(g.bytes[34], 16);
    EXPECT_EQ(slice(g.bytes, 54, 8), (ByteVec{100, 101, 102, 103, 104, 0, 0, 0}));
    EXPECT_EQ(slice(g.bytes, 62, 8), (ByteVec{105, 106, 107, 108, 109, 0, 0, 0}));

    // Four bytes per pixel are written as they stand.
    const ByteVec rgba = counting(3 * 1 * 4);
    VectorSink four4;
    writeBmp(four4, ImageView{rgba.data(), 3, 1, 4, false});
    ASSERT_EQ(four4.bytes.size(), 54u + 12u);
    EXPECT_EQ(four4.bytes[28], 32);
    EXPECT_EQ(slice(four4.bytes, 54, 12), rgba);
}

TEST(ImageWriters, SaveImageChoosesByExtension) {
    TempDir dir;
    RecordingRuntime r;
    const ByteVec px = counting(2 * 2 * 3);
    const ImageView view{px.data(), 2, 2, 3, false};

    EXPECT_TRUE(saveImage(r.rt, dir.file("Out.TGA"), view, 95));
    ByteVec tga = readAll(dir.file("Out.TGA"));
    ASSERT_EQ(tga.size(), 18u + 12u);
    EXPECT_EQ(tga[2], 2);
    EXPECT_EQ(tga[17], 0x20);

    EXPECT_TRUE(saveImage(r.rt, dir.file("pic.Bmp"), view, 95));
    ByteVec bmp = readAll(dir.file("pic.Bmp"));
    ASSERT_EQ(bmp.size(), 54u + 16u);
    EXPECT_EQ(bmp[0], 'B');

    // A folder with a dot does not give the file an extension.
    fs::create_directories(dir.path / "v1.tga");
    r.boxes.clear();
    EXPECT_FALSE(saveImage(r.rt, dir.file("v1.tga/picture"), view, 95));
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0], "ERROR|Cannot save image: Unknown image format \"\"");

    for (const char* name : {"out.jpeg", "out.png", "out.RAW", "out.JPEG"}) {
        r.boxes.clear();
        EXPECT_FALSE(saveImage(r.rt, dir.file(name), view, 95)) << name;
        std::string ext = fs::path(name).extension().string().substr(1);
        for (char& ch : ext) ch = char(std::tolower(static_cast<unsigned char>(ch)));
        ASSERT_EQ(r.boxes.size(), 1u) << name;
        EXPECT_EQ(r.boxes[0], "ERROR|Cannot save image: Unknown image format \"" + ext + "\"");
        EXPECT_FALSE(fs::exists(dir.path / name));
    }

    // Headless: the refusal is silent but still a refusal.
    r.rt.headless = true;
    r.boxes.clear();
    EXPECT_FALSE(saveImage(r.rt, dir.file("x.gif"), view, 95));
    EXPECT_TRUE(r.boxes.empty());
}

TEST(ImageWriters, FormatNumbers) {
    EXPECT_EQ(imageFormatFromExtension("bmp"), 1);
    EXPECT_EQ(imageFormatFromExtension("tga"), 2);
    EXPECT_EQ(imageFormatFromExtension("jpg"), 3);
    EXPECT_EQ(imageFormatFromExtension("jpeg"), 3);
    EXPECT_EQ(imageFormatFromExtension("png"), 1);
    EXPECT_EQ(imageFormatFromExtension(""), 1);
    EXPECT_EQ(imageFormatFromExtension("raw"), 1);
    // Case-sensitive: callers lower-case first.
    EXPECT_EQ(imageFormatFromExtension("TGA"), 1);
    EXPECT_EQ(imageFormatFromExtension("JPG"), 1);
    EXPECT_EQ(imageFormatExtension(0), "raw");
    EXPECT_EQ(imageFormatExtension(1), "bmp");
    EXPECT_EQ(imageFormatExtension(2), "tga");
    EXPECT_EQ(imageFormatExtension(3), "jpg");
}

namespace {

struct Decoded {
    int width = 0, height = 0;
    std::vector<int> pixels;  // libgd true colours
    int red(int x, int y) const { return gdTrueColorGetRed(pixels[size_t(y * width + x)]); }
    int green(int x, int y) const { return gdTrueColorGetGreen(pixels[size_t(y * width + x)]); }
    int blue(int x, int y) const { return gdTrueColorGetBlue(pixels[size_t(y * width + x)]); }
};

Decoded decodeJpeg(const ByteVec& bytes) {
    Decoded d;
    if (bytes.empty()) return d;
    gdImagePtr im = gdImageCreateFromJpegPtr(int(bytes.size()), const_cast<uint8_t*>(bytes.data()));
    if (!im) return d;
    d.width = gdImageSX(im);
    d.height = gdImageSY(im);
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x) d.pixels.push_back(gdImageGetTrueColorPixel(im, x, y));
    gdImageDestroy(im);
    return d;
}

ByteVec gdUniformJpeg(int w, int h, int r, int g, int b, int quality) {
    gdImagePtr im = gdImageCreateTrueColor(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) gdImageSetPixel(im, x, y, gdTrueColor(r, g, b));
    int n = 0;
    void* data = gdImageJpegPtr(im, &n, quality);
    ByteVec out(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
    gdFree(data);
    gdImageDestroy(im);
    return out;
}

}  // namespace

TEST(JpegWriter, DecodesToTheGivenColours) {
    TempDir dir;
    RecordingRuntime r;
    // Blue 10, green 20, red 30 in the buffer.
    ByteVec px;
    for (int i = 0; i < 40 * 24; ++i) px.insert(px.end(), {10, 20, 30});
    const std::string path = dir.file("c.jpg");
    EXPECT_TRUE(saveImage(r.rt, path, ImageView{px.data(), 40, 24, 3, false}, 95));
    Decoded d = decodeJpeg(readAll(path));
    ASSERT_EQ(d.width, 40);
    ASSERT_EQ(d.height, 24);
    for (int y = 0; y < 24; y += 5)
        for (int x = 0; x < 40; x += 7) {
            EXPECT_NEAR(d.red(x, y), 30, 3);
            EXPECT_NEAR(d.green(x, y), 20, 3);
            EXPECT_NEAR(d.blue(x, y), 10, 3);
        }

    // Four bytes per pixel: the fourth is skipped. Top half red, bottom half
    // blue; written bottom-up, the picture comes out the other way round.
    ByteVec px4;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            if (y < 16) px4.insert(px4.end(), {0, 0, 220, 99});
            else px4.insert(px4.end(), {220, 0, 0, 99});
        }
    EXPECT_TRUE(saveImage(r.rt, dir.file("top.jpg"), ImageView{px4.data(), 32, 32, 4, false}, 95));
    EXPECT_TRUE(saveImage(r.rt, dir.file("flip.jpg"), ImageView{px4.data(), 32, 32, 4, true}, 95));
    Decoded top = decodeJpeg(readAll(dir.file("top.jpg")));
    Decoded flip = decodeJpeg(readAll(dir.file("flip.jpg")));
    ASSERT_EQ(top.width, 32);
    ASSERT_EQ(flip.width, 32);
    EXPECT_NEAR(top.red(16, 4), 220, 12);
    EXPECT_NEAR(top.blue(16, 4), 0, 12);
    EXPECT_NEAR(top.blue(16, 28), 220, 12);
    EXPECT_NEAR(flip.blue(16, 4), 220, 12);
    EXPECT_NEAR(flip.red(16, 4), 0, 12);
    EXPECT_NEAR(flip.red(16, 28), 220, 12);
    EXPECT_TRUE(r.boxes.empty());
}

TEST(JpegWriter, QualityMinusOneTakesTheRunQuality) {
    TempDir dir;
    RecordingRuntime r;
    r.rt.jpegQuality = 40;
    ByteVec px;
    for (int i = 0; i < 16 * 16; ++i) px.insert(px.end(), {10, 20, 30});
    const ImageView view{px.data(), 16, 16, 3, false};
    ASSERT_NE(gdUniformJpeg(16, 16, 30, 20, 10, 40), gdUniformJpeg(16, 16, 30, 20, 10, 70));
    EXPECT_TRUE(saveImage(r.rt, dir.file("a.jpg"), view, -1));
    EXPECT_EQ(readAll(dir.file("a.jpg")), gdUniformJpeg(16, 16, 30, 20, 10, 40));
    EXPECT_TRUE(saveImage(r.rt, dir.file("b.JPG"), view, 70));
    EXPECT_EQ(readAll(dir.file("b.JPG")), gdUniformJpeg(16, 16, 30, 20, 10, 70));
}
