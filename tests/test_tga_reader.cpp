
#include <tuple>

#include "image/tga_reader.h"
#include "test_support.h"

using namespace vant;
using namespace vant::test;

namespace {

std::string header(int type, int w, int h, int depth, int descriptor = 0) {
    return {0, 0, char(type), 0, 0, 0, 0, 0, 0, 0, 0, 0,
            char(w), char(w >> 8), char(h), char(h >> 8), char(depth), char(descriptor)};
}

std::string bytes(std::initializer_list<int> values) { return std::string(values.begin(), values.end()); }

// Reads the content (no file when null) through readTga.
struct Reader : RecordedBoxes {
    TempDir dir;
    TextureRecord record;
    bool ok = false;
    explicit Reader(const std::string* content, bool headless = false) : RecordedBoxes(headless) {
        record.textureName = 77;  // the caller's, kept across reads
        if (content) saveText(dir.file("picture.tga"), *content);
        ok = readTga(rt, record, dir.file("picture.tga"));
    }
};

}  // namespace

TEST(TgaReader, PixelsBecomeRedGreenBlueInFileRowOrder) {
    struct Case { std::string content; std::vector<uint8_t> pixels; int width, height; };
    const std::vector<Case> cases = {
        {header(2, 2, 1, 24) + bytes({1, 2, 3, 4, 5, 6}), {3, 2, 1, 6, 5, 4}, 2, 1},
        // The descriptor says top-left origin: rows stay as stored all the same.
        {header(2, 1, 2, 32, 0x28) + bytes({10, 20, 30, 40, 50, 60, 70, 80}), {30, 20, 10, 40, 70, 60, 50, 80}, 1, 2},
        // Run length: a run of four; a raw packet of two 32-bit pixels, then a run of one.
        {header(10, 4, 1, 24) + bytes({0x83, 10, 20, 30}), {30, 20, 10, 30, 20, 10, 30, 20, 10, 30, 20, 10}, 4, 1},
        {header(10, 3, 1, 32) + bytes({0x01, 1, 2, 3, 4, 5, 6, 7, 8, 0x80, 9, 10, 11, 12}),
         {3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12}, 3, 1}};
    for (const Case& k : cases) {
        Reader r(&k.content);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.record.pixels, k.pixels);
        EXPECT_EQ(std::make_tuple(r.record.width, r.record.height, r.record.textureName),
                  std::make_tuple(k.width, k.height, 77u));
        EXPECT_TRUE(r.boxes.empty());
    }
}

TEST(TgaReader, EveryFailureShowsOneErrorBox) {
    const std::string invalid = "Invalid texture information", data = "Could not read image data";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {std::string(11, '\0'), "Could not read file header"},
        {header(2, 1, 1, 24).substr(0, 15), "Could not read info header"},
        {header(2, 1, 1, 24) + bytes({1, 2}), data},
        {header(1, 1, 1, 8) + bytes({1}), "TGA file be type 2 or type 10 "},
        {header(2, 1, 1, 16) + bytes({1, 2}), invalid},
        {header(2, 0, 4, 24), invalid},
        {header(2, 65535, 65535, 32), "Could not allocate memory for image"},
        // A run-length packet that overflows is refused before writing.
        {header(10, 4, 1, 24) + bytes({0x84, 10, 20, 30}), "Too many pixels read"},
        {header(10, 4, 1, 24) + bytes({0x81, 1, 2, 3}), "Could not read RLE header"},
        {header(10, 4, 1, 24) + bytes({0x83, 1, 2}), "Could not read from file"},
        {header(10, 4, 1, 24) + bytes({0x03, 1, 2, 3, 4, 5}), data}};
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        Reader r(&cases[i].first);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.record.pixels.empty());
        EXPECT_EQ(r.boxes, std::vector<std::string>{"ERROR|" + cases[i].second});
    }
    EXPECT_EQ(Reader(nullptr).boxes, std::vector<std::string>{"ERROR|Could not open texture file"});
    // Headless reads fail silently.
    const std::string bad = header(2, 1, 1, 16);
    Reader headless(&bad, true);
    EXPECT_FALSE(headless.ok);
    EXPECT_TRUE(headless.boxes.empty());
}
