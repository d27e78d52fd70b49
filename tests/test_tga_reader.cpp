#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/runtime.h"
#include "image/tga_reader.h"
#include "run_binary.h"

using namespace vant;
using vant::test::TempFolder;
using vant::test::writeFile;

namespace {

std::string header(int type, int width, int height, int depth, int descriptor = 0) {
    std::string h(18, '\0');
    h[2] = char(type);
    h[12] = char(width & 255);
    h[13] = char(width >> 8);
    h[14] = char(height & 255);
    h[15] = char(height >> 8);
    h[16] = char(depth);
    h[17] = char(descriptor);
    return h;
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(char(v));
    return s;
}

// Reads a file through readTga with a runtime that records its boxes.
struct Reader {
    TempFolder folder;
    Runtime rt;
    std::vector<std::string> captions, texts;
    Reader() {
        rt.responder = [this](int type, const std::string& caption, const std::string& text) {
            EXPECT_EQ(type, BoxOk);
            captions.push_back(caption);
            texts.push_back(text);
            return AnswerOk;
        };
    }
    bool read(const std::string& content, TextureRecord& record) {
        const std::string path = (folder / "picture.tga").string();
        writeFile(path, content);
        return readTga(rt, record, path);
    }
    // The one message of a failed read.
    std::string failure(const std::string& content) {
        TextureRecord record;
        EXPECT_FALSE(read(content, record));
        EXPECT_TRUE(record.pixels.empty());
        EXPECT_EQ(texts.size(), 1u);
        if (texts.empty()) return {};
        EXPECT_EQ(captions.back(), "ERROR");
        return texts.back();
    }
};

}  // namespace

TEST(TgaReader, UncompressedPixelsBecomeRedGreenBlue) {
    Reader r;
    TextureRecord record;
    record.textureName = 77;
    ASSERT_TRUE(r.read(header(2, 2, 1, 24) + bytes({1, 2, 3, 4, 5, 6}), record));
    EXPECT_EQ(record.pixels, (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
    EXPECT_EQ(record.width, 2);
    EXPECT_EQ(record.height, 1);
    EXPECT_EQ(record.bitsPerPixel, 24u);
    EXPECT_EQ(record.format, PixelFormatRgb);
    EXPECT_EQ(record.textureName, 77u);  // left alone
    EXPECT_TRUE(r.texts.empty());
}

TEST(TgaReader, ThirtyTwoBitsKeepAlphaAndFileRowOrder) {
    Reader r;
    TextureRecord record;
    // 1 x 2, the descriptor says top-left origin: rows stay as stored.
    ASSERT_TRUE(r.read(header(2, 1, 2, 32, 0x28) + bytes({10, 20, 30, 40, 50, 60, 70, 80}), record));
    EXPECT_EQ(record.pixels, (std::vector<uint8_t>{30, 20, 10, 40, 70, 60, 50, 80}));
    EXPECT_EQ(record.format, PixelFormatRgba);
    EXPECT_EQ(record.bitsPerPixel, 32u);
}

TEST(TgaReader, RunLengthRunsAndRawPackets) {
    Reader r;
    TextureRecord record;
    ASSERT_TRUE(r.read(header(10, 4, 1, 24) + bytes({0x83, 10, 20, 30}), record));
    EXPECT_EQ(record.pixels, (std::vector<uint8_t>{30, 20, 10, 30, 20, 10, 30, 20, 10, 30, 20, 10}));

    TextureRecord mixed;
    // A raw packet of two 32-bit pixels, then a run of one.
    ASSERT_TRUE(r.read(header(10, 3, 1, 32) + bytes({0x01, 1, 2, 3, 4, 5, 6, 7, 8, 0x80, 9, 10, 11, 12}), mixed));
    EXPECT_EQ(mixed.pixels, (std::vector<uint8_t>{3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12}));
    EXPECT_TRUE(r.texts.empty());
}

TEST(TgaReader, RunLengthOverflowIsRefusedBeforeWriting) {
    Reader r;
    EXPECT_EQ(r.failure(header(10, 4, 1, 24) + bytes({0x84, 10, 20, 30})), "Too many pixels read");
    Reader raw;
    EXPECT_EQ(raw.failure(header(10, 2, 1, 24) + bytes({0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9})), "Too many pixels read");
}

TEST(TgaReader, RunLengthShortFiles) {
    Reader a;
    EXPECT_EQ(a.failure(header(10, 4, 1, 24) + bytes({0x81, 1, 2, 3})), "Could not read RLE header");
    Reader b;
    EXPECT_EQ(b.failure(header(10, 4, 1, 24) + bytes({0x83, 1, 2})), "Could not read from file");
    Reader c;
    EXPECT_EQ(c.failure(header(10, 4, 1, 24) + bytes({0x03, 1, 2, 3, 4, 5})), "Could not read image data");
}

TEST(TgaReader, HeaderFailures) {
    Reader missing;
    TextureRecord record;
    EXPECT_FALSE(readTga(missing.rt, record, (missing.folder / "absent.tga").string()));
    ASSERT_EQ(missing.texts.size(), 1u);
    EXPECT_EQ(missing.texts[0], "Could not open texture file");

    EXPECT_EQ(Reader().failure(std::string(11, '\0')), "Could not read file header");
    EXPECT_EQ(Reader().failure(header(2, 1, 1, 24).substr(0, 15)), "Could not read info header");
    EXPECT_EQ(Reader().failure(header(2, 1, 1, 24) + bytes({1, 2})), "Could not read image data");
}

TEST(TgaReader, OnlyPlainTrueColourHeadersAreAccepted) {
    const std::string expected = "TGA file be type 2 or type 10 ";
    std::string withId = header(2, 1, 1, 24) + bytes({1, 2, 3});
    withId[0] = 1;
    EXPECT_EQ(Reader().failure(withId), expected);
    std::string colourMap = header(2, 1, 1, 24) + bytes({1, 2, 3});
    colourMap[1] = 1;
    EXPECT_EQ(Reader().failure(colourMap), expected);
    std::string origin = header(2, 1, 1, 24) + bytes({1, 2, 3});
    origin[8] = 5;
    EXPECT_EQ(Reader().failure(origin), expected);
    EXPECT_EQ(Reader().failure(header(1, 1, 1, 8) + bytes({1})), expected);
}

TEST(TgaReader, SizeAndDepthAreChecked) {
    EXPECT_EQ(Reader().failure(header(2, 1, 1, 16) + bytes({1, 2})), "Invalid texture information");
    EXPECT_EQ(Reader().failure(header(10, 1, 1, 8) + bytes({0x80, 1})), "Invalid texture information");
    EXPECT_EQ(Reader().failure(header(2, 0, 4, 24)), "Invalid texture information");
    EXPECT_EQ(Reader().failure(header(2, 4, 0, 24)), "Invalid texture information");
    EXPECT_EQ(Reader().failure(header(2, 65535, 65535, 32)), "Could not allocate memory for image");
}

TEST(TgaReader, HeadlessReadsFailSilently) {
    Reader r;
    r.rt.headless = true;
    TextureRecord record;
    EXPECT_FALSE(r.read(header(2, 1, 1, 16), record));
    EXPECT_TRUE(r.texts.empty());
}
