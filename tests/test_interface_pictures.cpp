#include <gtest/gtest.h>

#include <cstring>

#include "image/interface_pictures.h"

using namespace vant;

namespace {

TextureRecord picture(int width, int height, int bytesPerPixel, std::vector<uint8_t> pixels) {
    TextureRecord r;
    r.width = width;
    r.height = height;
    r.bitsPerPixel = uint32_t(bytesPerPixel * 8);
    r.format = bytesPerPixel == 3 ? PixelFormatRgb : PixelFormatRgba;
    r.pixels = std::move(pixels);
    return r;
}

std::vector<uint8_t> px(const std::vector<uint8_t>& rgba, int width, int x, int y) {
    const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 4;
    return {rgba[at], rgba[at + 1], rgba[at + 2], rgba[at + 3]};
}

// An atlas in which every pixel tells where it is: red = x, green = y (low
// bytes), blue = x / 256 * 16 + y / 256, alpha = 255.
std::vector<uint8_t> positionAtlas() {
    std::vector<uint8_t> atlas(AtlasBytes);
    for (int y = 0; y < AtlasSize; ++y)
        for (int x = 0; x < AtlasSize; ++x) {
            uint8_t* p = &atlas[(size_t(y) * AtlasSize + size_t(x)) * 4];
            p[0] = uint8_t(x);
            p[1] = uint8_t(y);
            p[2] = uint8_t((x / 256) * 16 + y / 256);
            p[3] = 255;
        }
    return atlas;
}

std::vector<uint8_t> atlasPixel(const std::vector<uint8_t>& atlas, int x, int y) { return px(atlas, AtlasSize, x, y); }

}  // namespace

TEST(InterfacePictures, ZoneRectTakesRedForAllFourBytesRowsReversed) {
    // 1 x 2: top row (200, 10, 10), bottom row (7, 8, 9).
    const auto out = convertInterfacePicture(picture(1, 2, 3, {200, 10, 10, 7, 8, 9}), PictureConversion::RedEverywhere);
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(px(out, 1, 0, 0), (std::vector<uint8_t>{7, 7, 7, 7}));
    EXPECT_EQ(px(out, 1, 0, 1), (std::vector<uint8_t>{200, 200, 200, 200}));
}

TEST(InterfacePictures, SelectedTileBlueBecomesFaintWhite) {
    const auto out = convertInterfacePicture(picture(3, 1, 3, {0, 0, 255, 0, 0, 254, 10, 20, 30}),
                                             PictureConversion::SelectedTile);
    EXPECT_EQ(px(out, 3, 0, 0), (std::vector<uint8_t>{255, 255, 255, 50}));
    EXPECT_EQ(px(out, 3, 1, 0), (std::vector<uint8_t>{0, 0, 254, 255}));
    EXPECT_EQ(px(out, 3, 2, 0), (std::vector<uint8_t>{10, 20, 30, 255}));
}

TEST(InterfacePictures, LoadingPictureIsWhiteThroughRedAlpha) {
    const auto out = convertInterfacePicture(picture(2, 1, 3, {90, 1, 2, 0, 5, 6}), PictureConversion::Loading);
    EXPECT_EQ(px(out, 2, 0, 0), (std::vector<uint8_t>{255, 255, 255, 90}));
    EXPECT_EQ(px(out, 2, 1, 0), (std::vector<uint8_t>{255, 255, 255, 0}));
}

TEST(InterfacePictures, SoundSpriteCopiesAllFourBytesRowsKept) {
    const std::vector<uint8_t> source = {1, 2, 3, 4, 5, 6, 7, 8};
    const auto out = convertInterfacePicture(picture(1, 2, 4, source), PictureConversion::Copy32);
    EXPECT_EQ(out, source);
}

TEST(InterfacePictures, ShortSourceGivesNothingInsteadOfReadingPastIt) {
    // A 24-bit file where 32 bits are read, and a record without pixels.
    EXPECT_TRUE(convertInterfacePicture(picture(2, 2, 3, std::vector<uint8_t>(12)), PictureConversion::Copy32).empty());
    EXPECT_TRUE(convertInterfacePicture(picture(4, 4, 3, {}), PictureConversion::RedEverywhere).empty());
    // A 32-bit file read as 24 bits stays inside it.
    EXPECT_EQ(convertInterfacePicture(picture(2, 2, 4, std::vector<uint8_t>(16, 9)), PictureConversion::RedEverywhere)
                  .size(),
              16u);
}

TEST(InterfacePictures, Patterns) {
    const auto checker = makeCheckerboard();
    ASSERT_EQ(checker.size(), 16u * 16u * 4u);
    EXPECT_EQ(px(checker, 16, 8, 8), (std::vector<uint8_t>{255, 255, 255, 255}));
    EXPECT_EQ(px(checker, 16, 9, 9), (std::vector<uint8_t>{217, 217, 217, 255}));
    EXPECT_EQ(px(checker, 16, 7, 7), (std::vector<uint8_t>{217, 217, 217, 255}));
    EXPECT_EQ(px(checker, 16, 7, 9), (std::vector<uint8_t>{255, 255, 255, 255}));
    EXPECT_EQ(px(checker, 16, 15, 8), (std::vector<uint8_t>{255, 255, 255, 255}));

    const auto stripes = makeStripes();
    EXPECT_EQ(px(stripes, 16, 0, 0), (std::vector<uint8_t>{255, 255, 255, 255}));
    EXPECT_EQ(px(stripes, 16, 3, 4), (std::vector<uint8_t>{255, 255, 255, 255}));
    EXPECT_EQ(px(stripes, 16, 4, 4), (std::vector<uint8_t>{255, 255, 255, 0}));
    EXPECT_EQ(px(stripes, 16, 15, 15), (std::vector<uint8_t>{255, 255, 255, 0}));
    EXPECT_EQ(px(stripes, 16, 15, 1), (std::vector<uint8_t>{255, 255, 255, 255}));  // (16 mod 16) = 0
}

TEST(PaddedTileAtlas, SizesAndOrigins) {
    EXPECT_EQ(PaddedTileAtlas::CellSize, 128);
    EXPECT_EQ(PaddedTileAtlas::side(), 4096);
    const auto origins = paddedTileOrigins();
    EXPECT_FLOAT_EQ(origins[0].u, 32.0f);
    EXPECT_FLOAT_EQ(origins[0].v, 32.0f);
    EXPECT_FLOAT_EQ(origins[17].u, 672.0f);
    EXPECT_FLOAT_EQ(origins[17].v, 32.0f);
    // Tile 130: page 8 (second block row), column 2, row 0 of its page.
    EXPECT_FLOAT_EQ(origins[130].u, 128.0f * 0 + 32.0f + 128.0f * 2);
    EXPECT_FLOAT_EQ(origins[130].v, 128.0f * 4 + 32.0f);
}

TEST(PaddedTileAtlas, TileCornersAreMirroredAcrossEveryEdge) {
    const auto atlas = positionAtlas();
    const PaddedTileAtlas padded = buildPaddedTileAtlas(atlas);
    const int W = PaddedTileAtlas::side();
    ASSERT_EQ(padded.pixels.size(), size_t(W) * W * 4);
    auto at = [&](int x, int y) { return px(padded.pixels, W, x, y); };

    const auto first = atlasPixel(atlas, 0, 0);
    EXPECT_EQ(at(32, 32), first);
    EXPECT_EQ(at(31, 32), first);
    EXPECT_EQ(at(32, 31), first);
    EXPECT_EQ(at(31, 31), first);
    const auto last = atlasPixel(atlas, 63, 63);
    EXPECT_EQ(at(95, 95), last);
    EXPECT_EQ(at(96, 95), last);
    EXPECT_EQ(at(95, 96), last);
    EXPECT_EQ(at(96, 96), last);
    // The cell's outer corner (0, 0) is the tile pixel (31, 31).
    EXPECT_EQ(at(0, 0), atlasPixel(atlas, 31, 31));
    EXPECT_EQ(at(127, 127), atlasPixel(atlas, 32, 32));
}

TEST(PaddedTileAtlas, EveryCellIsItsTileMirrored) {
    const auto atlas = positionAtlas();
    const PaddedTileAtlas padded = buildPaddedTileAtlas(atlas);
    const int W = PaddedTileAtlas::side();
    // Each cell pixel (i, j) holds tile pixel m(i - 32), m(j - 32) where m
    // mirrors -1 -> 0 and 64 -> 63.
    auto mirror = [](int k) { return k < 0 ? -1 - k : k > 63 ? 127 - k : k; };
    for (int cell : {0, 5, 31, 32 * 17 + 9, 32 * 32 - 1}) {
        const int c = cell % 32, r = cell / 32;
        for (int j = 0; j < 128; ++j)
            for (int i = 0; i < 128; ++i) {
                const auto want = atlasPixel(atlas, 64 * c + mirror(i - 32), 64 * r + mirror(j - 32));
                ASSERT_EQ(px(padded.pixels, W, 128 * c + i, 128 * r + j), want) << "cell " << cell << " (" << i << ", " << j << ")";
            }
    }
}

TEST(PaddedTileAtlas, EmptyTileAtlasGivesClearPixels) {
    const PaddedTileAtlas padded = buildPaddedTileAtlas({});
    ASSERT_EQ(padded.pixels.size(), size_t(4096) * 4096 * 4);
    EXPECT_EQ(px(padded.pixels, 4096, 32, 32), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(LoadingBackground, TilesAreCopiedUpsideDown) {
    const auto atlas = positionAtlas();
    std::array<TileOrigin, TileCount> origins{};
    origins[17] = TileOrigin{320.0f, 0.0f};
    std::vector<uint8_t> picture(256 * 256 * 4, 0);
    copyTileFlipped(picture, atlas, 256, AtlasSize, 64, 128, 17, origins);
    // Tile row 0 lands on row 128 + 63, tile row 63 on row 128.
    EXPECT_EQ(px(picture, 256, 64, 191), atlasPixel(atlas, 320, 0));
    EXPECT_EQ(px(picture, 256, 127, 128), atlasPixel(atlas, 383, 63));
    EXPECT_EQ(px(picture, 256, 63, 191), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(px(picture, 256, 64, 192), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(LoadingBackground, CopiesStayInsideBothPictures) {
    const auto atlas = positionAtlas();
    std::array<TileOrigin, TileCount> origins{};
    origins[3] = TileOrigin{2000.0f, 2000.0f};  // runs off the atlas
    std::vector<uint8_t> picture(256 * 256 * 4, 0);
    copyTileFlipped(picture, atlas, 256, AtlasSize, 224, 224, 3, origins);  // runs off the picture
    // Destination row 255 takes tile row 32; tile rows 0..31 would land
    // below the picture, tile rows 48..63 lie below the atlas.
    EXPECT_EQ(px(picture, 256, 224, 255), atlasPixel(atlas, 2000, 2032));
    EXPECT_EQ(px(picture, 256, 255, 240), atlasPixel(atlas, 2031, 2047));
    EXPECT_EQ(px(picture, 256, 255, 239), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(px(picture, 256, 223, 250), (std::vector<uint8_t>{0, 0, 0, 0}));
    // No atlas at all: nothing is copied.
    std::vector<uint8_t> untouched(256 * 256 * 4, 0);
    copyTileFlipped(untouched, {}, 256, AtlasSize, 0, 0, 3, origins);
    EXPECT_EQ(untouched, std::vector<uint8_t>(256 * 256 * 4, 0));
}

TEST(LoadingBackground, AnimatedWaterUsesRandomFrames) {
    Level level;
    level.map.waterTile = 300;
    level.map.animations.push_back(TileAnimation{300, 0, 0, {301, 302, 303}});
    level.map.tileToAnimation[300] = 0;

    auto tiles = loadingBackgroundTiles(level, false, nullptr);
    for (int t : tiles) EXPECT_EQ(t, 300);

    static int draws = 0;
    draws = 0;
    level.waterTint = false;  // an animated tile in an untinted style stays still
    tiles = loadingBackgroundTiles(level, true, [] { return draws++; });
    for (int t : tiles) EXPECT_EQ(t, 300);
    EXPECT_EQ(draws, 0);

    level.waterTint = true;
    tiles = loadingBackgroundTiles(level, true, [] { return draws++; });
    EXPECT_EQ(draws, 16);
    for (size_t i = 0; i < tiles.size(); ++i) EXPECT_EQ(tiles[i], 301 + int(i % 3));
}

TEST(TextureTable, RecordsAreTakenInOrderAndNeverPastTheEnd) {
    TextureTable table;
    EXPECT_EQ(table.take(), 0);
    EXPECT_EQ(table.take(), 1);
    table.markRestartPoint();
    EXPECT_EQ(table.take(), 2);
    table.tileTextures = {2};
    table.restart();
    EXPECT_EQ(table.counter(), 2);
    EXPECT_TRUE(table.tileTextures.empty());
    while (table.take() >= 0) {
    }
    EXPECT_EQ(table.counter(), TextureTable::Capacity);
    EXPECT_EQ(table.take(), -1);
    EXPECT_FALSE(table.valid(TextureTable::Capacity));
    EXPECT_THROW(table.at(TextureTable::Capacity), std::out_of_range);
}
