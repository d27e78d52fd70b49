// Interface pictures: the TGA files they are read from, conversions,
// patterns, the padded tile atlas, the loading background.
#include <algorithm>
#include <array>
#include <tuple>

#include "image/interface_pictures.h"
#include "image/tga_reader.h"
#include "test_support.h"

using namespace vant;

namespace {

std::string header(int type, int w, int h, int depth, int descriptor = 0) {
    const test::ByteVec v = test::tgaFile(uint8_t(type), uint16_t(w), uint16_t(h), uint8_t(depth), uint8_t(descriptor));
    return std::string(v.begin(), v.end());
}

std::string bytes(std::initializer_list<int> values) { return std::string(values.begin(), values.end()); }

// Reads the content (no file when null) through readTga.
struct Reader : test::RecordedBoxes {
    test::TempDir dir;
    TextureRecord record;
    bool ok = false;
    explicit Reader(const std::string* content, bool headless = false) : RecordedBoxes(headless) {
        record.textureName = 77;  // the caller's, kept across reads
        if (content) saveText(dir.file("picture.tga"), *content);
        ok = readTga(rt, record, dir.file("picture.tga"));
    }
};


using Bytes = std::vector<uint8_t>;

TextureRecord picture(int width, int height, int bytesPerPixel, Bytes pixels) {
    return {.pixels = std::move(pixels), .bitsPerPixel = uint32_t(bytesPerPixel * 8), .width = width,
            .height = height, .format = bytesPerPixel == 3 ? PixelFormatRgb : PixelFormatRgba};
}

using Px = std::array<uint8_t, 4>;

Px px(const Bytes& rgba, int width, int x, int y) {
    const uint8_t* p = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// An atlas in which every pixel tells where it is: red = x, green = y (low
// bytes), blue = x / 256 * 16 + y / 256, alpha = 255.
Px atlasPixel(int x, int y) { return {uint8_t(x), uint8_t(y), uint8_t(x / 256 * 16 + y / 256), 255}; }
Bytes positionAtlas() {
    Bytes atlas(AtlasBytes);
    for (int i = 0; i < AtlasSize * AtlasSize; ++i) {
        const Px p = atlasPixel(i % AtlasSize, i / AtlasSize);
        std::copy(p.begin(), p.end(), &atlas[size_t(i) * 4]);
    }
    return atlas;
}

}  // namespace

TEST(InterfacePictures, ConversionsShortSourcesAndPatterns) {
    using C = PictureConversion;
    const std::vector<std::tuple<TextureRecord, C, Bytes>> cases = {
        // Red for all four bytes, rows reversed: top row (200, 10, 10), bottom (7, 8, 9).
        {picture(1, 2, 3, {200, 10, 10, 7, 8, 9}), C::RedEverywhere, {7, 7, 7, 7, 200, 200, 200, 200}},
        // Pure blue becomes faint white, everything else opaque.
        {picture(3, 1, 3, {0, 0, 255, 0, 0, 254, 10, 20, 30}), C::SelectedTile,
         {255, 255, 255, 50, 0, 0, 254, 255, 10, 20, 30, 255}},
        {picture(2, 1, 3, {90, 1, 2, 0, 5, 6}), C::Loading, {255, 255, 255, 90, 255, 255, 255, 0}},  // alpha = red
        {picture(1, 2, 4, {1, 2, 3, 4, 5, 6, 7, 8}), C::Copy32, {1, 2, 3, 4, 5, 6, 7, 8}},        // rows kept
        // Too short for what is read: nothing, instead of reading past it.
        {picture(2, 2, 3, Bytes(12)), C::Copy32, {}},
        // A 32-bit file read as 24 bits stays inside it.
        {picture(2, 2, 4, Bytes(16, 9)), C::RedEverywhere, Bytes(16, 9)}};
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(convertInterfacePicture(std::get<0>(cases[i]), std::get<1>(cases[i])), std::get<2>(cases[i])) << i;

    // Patterns. Checkerboard: grey 217 in the top-left and bottom-right quarters, white
    // elsewhere, row and column 8 included. Stripes: white, opaque where
    // (x + y) mod 16 < 8, clear elsewhere.
    const Px white{255, 255, 255, 255}, grey{217, 217, 217, 255}, clear{255, 255, 255, 0};
    const Bytes checker = makeCheckerboard(), stripes = makeStripes();
    ASSERT_TRUE(checker.size() == 1024 && stripes.size() == 1024);
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y) {
            EXPECT_EQ(px(checker, 16, x, y), (x < 8 && y < 8) || (x > 8 && y > 8) ? grey : white) << x << "," << y;
            EXPECT_EQ(px(stripes, 16, x, y), (x + y) % 16 < 8 ? white : clear) << x << "," << y;
        }
}

TEST(PaddedTileAtlas, EveryCellIsItsTileMirrored) {
    const auto origins = paddedTileOrigins();
    // Tile 130: page 8 (second block row), column 2, row 0 of its page.
    for (auto [t, u, v] : std::vector<std::tuple<int, float, float>>{{0, 32, 32}, {130, 288, 544}})
        EXPECT_EQ(std::make_pair(origins[size_t(t)].u, origins[size_t(t)].v), std::make_pair(u, v)) << t;
    const Bytes atlas = positionAtlas();
    const PaddedTileAtlas padded = buildPaddedTileAtlas(atlas);
    const int W = 4096;
    ASSERT_EQ(padded.pixels.size(), size_t(W) * W * 4);
    // Each cell pixel (i, j) holds tile pixel m(i - 32), m(j - 32) where m
    // mirrors -1 -> 0 and 64 -> 63.
    auto mirror = [](int k) { return k < 0 ? -1 - k : k > 63 ? 127 - k : k; };
    for (int cell : {0, 32 * 17 + 9, 32 * 32 - 1}) {
        const int c = cell % 32, r = cell / 32;
        for (int j = 0; j < 128; ++j)
            for (int i = 0; i < 128; ++i)
                ASSERT_EQ(px(padded.pixels, W, 128 * c + i, 128 * r + j),
                          atlasPixel(64 * c + mirror(i - 32), 64 * r + mirror(j - 32)))
                    << "cell " << cell << " (" << i << ", " << j << ")";
    }
    EXPECT_EQ(buildPaddedTileAtlas({}).pixels, Bytes(size_t(W) * W * 4, 0));  // no tile atlas: clear
}

// The copy inside both pictures is checked pixel by pixel in
// GlContext.ALoadUploadsTheAtlasesBackgroundAndMinimap; here, its edges.
TEST(LoadingBackground, TileCopiesStayInsideBothPictures) {
    const Bytes atlas = positionAtlas();
    std::array<TileOrigin, TileCount> origins{};
    origins[3] = TileOrigin{2000.0f, 2000.0f};  // runs off the atlas
    Bytes pic(256 * 256 * 4, 0);
    copyTileFlipped(pic, atlas, 256, AtlasSize, 224, 224, 3, origins);  // and off the picture
    // Tile row 0 would land on row 224 + 63; row 255 takes tile row 32, and
    // rows 48..63 lie below the atlas.
    EXPECT_EQ(px(pic, 256, 224, 255), atlasPixel(2000, 2032));
    EXPECT_EQ(px(pic, 256, 255, 240), atlasPixel(2031, 2047));
    EXPECT_EQ(px(pic, 256, 255, 239), (Px{0, 0, 0, 0}));
    // No atlas at all: nothing is copied.
    Bytes untouched(256 * 256 * 4, 0);
    copyTileFlipped(untouched, {}, 256, AtlasSize, 0, 0, 3, origins);
    EXPECT_EQ(untouched, Bytes(256 * 256 * 4, 0));
}

TEST(LoadingBackground, AnimatedWaterUsesRandomFrames) {
    Level level;
    level.map.waterTile = 300;
    level.map.animations.push_back(TileAnimation{300, 0, 0, {301, 302, 303}});
    level.map.tileToAnimation[300] = 0;
    static int draws = 0;
    auto draw = [] { return draws++; };
    // Still: not animated, or animated in an untinted style.
    for (bool animated : {false, true})
        for (int t : loadingBackgroundTiles(level, animated, draw)) EXPECT_EQ(t, 300);
    EXPECT_EQ(draws, 0);
    level.waterTint = true;
    const auto tiles = loadingBackgroundTiles(level, true, draw);
    EXPECT_EQ(draws, 16);
    for (size_t i = 0; i < tiles.size(); ++i) EXPECT_EQ(tiles[i], 301 + int(i % 3));
}

// Each file is read into red, green, blue (and alpha) in file row order, or
// fails with one error box and no pixels.
TEST(TgaReader, PixelsInFileRowOrderOrOneErrorBox) {
    const std::string invalid = "Invalid texture information", data = "Could not read image data";
    struct Case { std::string content; Bytes pixels; int width = 0, height = 0; std::string error = ""; };
    const std::vector<Case> cases = {
        {header(2, 2, 1, 24) + bytes({1, 2, 3, 4, 5, 6}), {3, 2, 1, 6, 5, 4}, 2, 1},
        // The descriptor says top-left origin: rows stay as stored all the same.
        {header(2, 1, 2, 32, 0x28) + bytes({10, 20, 30, 40, 50, 60, 70, 80}), {30, 20, 10, 40, 70, 60, 50, 80}, 1, 2},
        // Run length: a run of four; a raw packet of two 32-bit pixels, then a run of one.
        {header(10, 4, 1, 24) + bytes({0x83, 10, 20, 30}), {30, 20, 10, 30, 20, 10, 30, 20, 10, 30, 20, 10}, 4, 1},
        {header(10, 3, 1, 32) + bytes({0x01, 1, 2, 3, 4, 5, 6, 7, 8, 0x80, 9, 10, 11, 12}),
         {3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12}, 3, 1},
        {std::string(11, '\0'), {}, 0, 0, "Could not read file header"},
        {header(2, 1, 1, 24).substr(0, 15), {}, 0, 0, "Could not read info header"},
        {header(2, 1, 1, 24) + bytes({1, 2}), {}, 0, 0, data}, {header(2, 0, 4, 24), {}, 0, 0, invalid},
        {header(1, 1, 1, 8) + bytes({1}), {}, 0, 0, "TGA file be type 2 or type 10 "},
        {header(2, 1, 1, 16) + bytes({1, 2}), {}, 0, 0, invalid},
        {header(2, 65535, 65535, 32), {}, 0, 0, "Could not allocate memory for image"},
        // A run-length packet that overflows is refused before writing.
        {header(10, 4, 1, 24) + bytes({0x84, 10, 20, 30}), {}, 0, 0, "Too many pixels read"},
        {header(10, 4, 1, 24) + bytes({0x81, 1, 2, 3}), {}, 0, 0, "Could not read RLE header"},
        {header(10, 4, 1, 24) + bytes({0x83, 1, 2}), {}, 0, 0, "Could not read from file"},
        {header(10, 4, 1, 24) + bytes({0x03, 1, 2, 3, 4, 5}), {}, 0, 0, data}};
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const Case& k = cases[i];
        Reader r(&k.content);
        EXPECT_EQ(r.ok, k.error.empty());
        EXPECT_EQ(r.record.pixels, k.pixels);
        EXPECT_EQ(r.boxes, k.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{"ERROR|" + k.error});
        if (r.ok) {
            EXPECT_EQ(std::make_tuple(r.record.width, r.record.height, r.record.textureName),
                      std::make_tuple(k.width, k.height, 77u));
        }
    }
    EXPECT_EQ(Reader(nullptr).boxes, std::vector<std::string>{"ERROR|Could not open texture file"});
    // Headless reads fail silently.
    const std::string bad = header(2, 1, 1, 16);
    Reader headless(&bad, true);
    EXPECT_FALSE(headless.ok);
    EXPECT_TRUE(headless.boxes.empty());
}
