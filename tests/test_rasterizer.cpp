// The software minimap, pixel by pixel, on hand-built levels.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "formats/level.h"
#include "minimap/rasterizer.h"

using namespace vant;

namespace {

using Px = std::array<uint8_t, 4>;

struct Canvas {
    Level level;
    Canvas() {
        level.tileAtlas.assign(AtlasBytes, 0);
        level.map.clear();
        for (int t = 0; t < TileCount; ++t)
            level.tileOrigin[size_t(t)] = TileOrigin{float(64 * (t % 32)), float(64 * (t / 32))};
    }
    void atlasSet(int x, int y, Px c) {
        const size_t at = (size_t(y) * AtlasSize + size_t(x)) * 4;
        for (int k = 0; k < 4; ++k) level.tileAtlas[at + size_t(k)] = c[size_t(k)];
    }
    // Paints the 8 x 8 atlas block behind reduced pixel (u, v) of tile t.
    void tilePixel(int t, int u, int v, Px c) {
        const int ox = int(level.tileOrigin[size_t(t)].u), oy = int(level.tileOrigin[size_t(t)].v);
        for (int j = 0; j < 8; ++j)
            for (int i = 0; i < 8; ++i) atlasSet(ox + 8 * u + i, oy + 8 * v + j, c);
    }
    void fillTile(int t, Px c) {
        for (int v = 0; v < 8; ++v)
            for (int u = 0; u < 8; ++u) tilePixel(t, u, v, c);
    }
    BlockInfo& at(int x, int y, int z) { return level.map.at(x, y, z); }
    std::vector<uint8_t> build() { return MinimapBuilder().build(level); }
};

Px pixel(const std::vector<uint8_t>& img, int x, int y) {
    const size_t at = (size_t(y) * MinimapSize + size_t(x)) * 4;
    return {img[at], img[at + 1], img[at + 2], img[at + 3]};
}

Px cellPixel(const std::vector<uint8_t>& img, int cx, int cy, int x, int y) {
    return pixel(img, cx * 8 + x, cy * 8 + y);
}

uint16_t face(int tile, int lighting = 0, int blend = 0, int flip = 0, int rotation = 0) {
    return uint16_t(tile | (lighting << 10) | (blend << 12) | (flip << 13) | (rotation << 14));
}

uint8_t slopeByte(int s, int low = 0) { return uint8_t((s << 2) | low); }

// trunc(v * shade + 0.5) as the pixel rules state it.
uint8_t shaded(int v, double shade) { return uint8_t(int(v * shade + 0.5)); }

Px grey(uint8_t v) { return {v, v, v, 255}; }

}  // namespace

TEST(Minimap, EmptyMapIsTransparentBlack) {
    Canvas c;
    c.fillTile(1, {9, 9, 9, 255});
    // Faces other than the lid are never drawn on a plain block.
    c.at(4, 4, 0).left = face(1);
    c.at(4, 4, 0).top = face(1);
    const std::vector<uint8_t> img = c.build();
    ASSERT_EQ(img.size(), size_t(2048) * 2048 * 4);
    EXPECT_EQ(img, std::vector<uint8_t>(img.size(), 0));

    // No blocks at all, no atlas at all.
    Level bare;
    const std::vector<uint8_t> none = MinimapBuilder().build(bare);
    ASSERT_EQ(none.size(), img.size());
    EXPECT_EQ(none, img);
}

TEST(Minimap, CellPositionsLightingAndSlopeShades) {
    Canvas c;
    c.fillTile(1, {200, 100, 50, 255});
    c.fillTile(2, {10, 20, 30, 0});  // alpha 0, drawn opaque
    c.at(0, 0, 0).lid = face(1);
    c.at(1, 0, 0).lid = face(1, 1);
    c.at(2, 0, 0).lid = face(1, 2);
    c.at(3, 0, 0).lid = face(1, 3);
    c.at(4, 0, 0).lid = face(1);
    c.at(4, 0, 0).slope = slopeByte(17, 3);  // bits 0 and 1 are not the slope
    c.at(5, 0, 0).lid = face(1, 2);
    c.at(5, 0, 0).slope = slopeByte(17);
    c.at(6, 0, 0).lid = face(2);
    c.at(255, 0, 0).lid = face(1);
    c.at(0, 255, 0).lid = face(1);
    c.at(17, 33, 0).lid = face(1, 3);
    // Tiles from 992 up are ordinary lids on non-diagonal blocks.
    c.fillTile(1000, {7, 8, 9, 255});
    c.at(7, 0, 0).lid = face(1000);

    // Column 0 of the slope shades, by slope type.
    const std::vector<std::pair<int, int>> shades = {
        {1, 223},  {2, 223},  {3, 188},  {4, 188},  {5, 155},  {6, 155},  {7, 255},  {8, 255},
        {9, 243},  {16, 243}, {17, 208}, {24, 208}, {25, 195}, {32, 195}, {33, 255}, {40, 255},
        {41, 223}, {42, 188}, {43, 155}, {44, 255}, {62, 255}, {63, 255}};
    for (size_t i = 0; i < shades.size(); ++i) {
        BlockInfo& b = c.at(int(i), 10, 0);
        b.lid = face(1);
        b.slope = slopeByte(shades[i].first);
    }
    const std::vector<uint8_t> img = c.build();

    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(cellPixel(img, 0, 0, x, y), (Px{200, 100, 50, 255}));
            // 13/15: 173.3, 86.7, 43.3
            EXPECT_EQ(cellPixel(img, 1, 0, x, y), (Px{173, 87, 43, 255}));
            // 12/15: 160, 80, 40
            EXPECT_EQ(cellPixel(img, 2, 0, x, y), (Px{160, 80, 40, 255}));
            // 11/15: 146.7, 73.3, 36.7
            EXPECT_EQ(cellPixel(img, 3, 0, x, y), (Px{147, 73, 37, 255}));
            // 208/255: 163.1, 81.6, 40.8
            EXPECT_EQ(cellPixel(img, 4, 0, x, y), (Px{163, 82, 41, 255}));
            // lighting wins over the slope shade
            EXPECT_EQ(cellPixel(img, 5, 0, x, y), (Px{160, 80, 40, 255}));
            EXPECT_EQ(cellPixel(img, 6, 0, x, y), (Px{10, 20, 30, 255}));
            EXPECT_EQ(cellPixel(img, 7, 0, x, y), (Px{7, 8, 9, 255}));
            EXPECT_EQ(cellPixel(img, 255, 0, x, y), (Px{200, 100, 50, 255}));
            EXPECT_EQ(cellPixel(img, 0, 255, x, y), (Px{200, 100, 50, 255}));
            EXPECT_EQ(cellPixel(img, 17, 33, x, y), (Px{147, 73, 37, 255}));
        }
    EXPECT_EQ(pixel(img, 2040, 0), (Px{200, 100, 50, 255}));
    EXPECT_EQ(pixel(img, 2039, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(pixel(img, 0, 2047), (Px{200, 100, 50, 255}));
    EXPECT_EQ(pixel(img, 136, 264), (Px{147, 73, 37, 255}));
    EXPECT_EQ(pixel(img, 135, 264), (Px{0, 0, 0, 0}));

    for (size_t i = 0; i < shades.size(); ++i) {
        const double s = shades[i].second / 255.0;
        const Px want{shaded(200, s), shaded(100, s), shaded(50, s), 255};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(cellPixel(img, int(i), 10, x, y), want) << "slope " << shades[i].first;
    }
    // Hand-worked samples of the same table.
    EXPECT_EQ(cellPixel(img, 0, 10, 0, 0), (Px{175, 87, 44, 255}));   // 223
    EXPECT_EQ(cellPixel(img, 2, 10, 0, 0), (Px{147, 74, 37, 255}));   // 188
    EXPECT_EQ(cellPixel(img, 4, 10, 0, 0), (Px{122, 61, 30, 255}));   // 155
    EXPECT_EQ(cellPixel(img, 8, 10, 0, 0), (Px{191, 95, 48, 255}));   // 243
    EXPECT_EQ(cellPixel(img, 12, 10, 0, 0), (Px{153, 76, 38, 255}));  // 195
    EXPECT_EQ(cellPixel(img, 20, 10, 0, 0), (Px{200, 100, 50, 255})); // 62
    EXPECT_EQ(cellPixel(img, 21, 10, 0, 0), (Px{200, 100, 50, 255})); // 63
}

TEST(Minimap, SlopeMasks) {
    Canvas c;
    const Px below{10, 20, 30, 255}, above{200, 150, 100, 255};
    c.fillTile(2, below);
    c.fillTile(3, above);
    const std::vector<std::pair<int, std::array<uint8_t, 8>>> masks = {
        {45, {0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF}},
        {46, {0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE, 0xFF}},
        {47, {0xFF, 0x7F, 0x3F, 0x1F, 0x0F, 0x07, 0x03, 0x01}},
        {48, {0xFF, 0xFE, 0xFC, 0xF8, 0xF0, 0xE0, 0xC0, 0x80}},
        {53, {0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0}},
        {54, {0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07}},
        {55, {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {56, {0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF}},
        {57, {0xE0, 0xE0, 0xE0, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {58, {0x07, 0x07, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {59, {0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0x07, 0x07}},
        {60, {0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0xE0, 0xE0}},
        {61, {0x00, 0x00, 0x00, 0x18, 0x18, 0x00, 0x00, 0x00}},
        {0, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {44, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {62, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {63, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (size_t i = 0; i < masks.size(); ++i) {
        c.at(int(i), 0, 0).lid = face(2);
        c.at(int(i), 0, 1).lid = face(3);
        c.at(int(i), 0, 1).slope = slopeByte(masks[i].first);
    }
    // The mask is never turned with the tile.
    c.at(30, 0, 0).lid = face(2);
    c.at(30, 0, 1).lid = face(3, 0, 0, 1, 1);
    c.at(30, 0, 1).slope = slopeByte(45);
    // A blended lid is masked too.
    c.at(31, 0, 0).lid = face(2);
    c.at(31, 0, 1).lid = face(3, 0, 1);
    c.at(31, 0, 1).slope = slopeByte(46);
    const std::vector<uint8_t> img = c.build();

    for (size_t i = 0; i < masks.size(); ++i) {
        int drawn = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool bit = masks[i].second[size_t(y)] & (0x80 >> x);
                drawn += bit;
                EXPECT_EQ(cellPixel(img, int(i), 0, x, y), bit ? above : below)
                    << "slope " << masks[i].first << " at " << x << "," << y;
            }
        if (masks[i].first == 61) {
            EXPECT_EQ(drawn, 4);
        }
        if (masks[i].first == 45) {
            EXPECT_EQ(drawn, 36);
        }
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(cellPixel(img, 30, 0, x, y), x >= 7 - y ? above : below) << x << "," << y;
            EXPECT_EQ(cellPixel(img, 31, 0, x, y), x <= y ? above : below) << x << "," << y;
        }
    // Slope 61 touches only the four centre pixels.
    EXPECT_EQ(cellPixel(img, 12, 0, 3, 3), above);
    EXPECT_EQ(cellPixel(img, 12, 0, 4, 4), above);
    EXPECT_EQ(cellPixel(img, 12, 0, 2, 3), below);
    EXPECT_EQ(cellPixel(img, 12, 0, 3, 5), below);
}

TEST(Minimap, LayersPaintUpwardsExceptTheTopOne) {
    Canvas c;
    const Px low{10, 20, 30, 255}, high{200, 150, 100, 255}, top{1, 1, 1, 255};
    c.fillTile(2, low);
    c.fillTile(3, high);
    c.fillTile(4, top);
    c.at(0, 0, 7).lid = face(4);                 // alone on the top layer
    c.at(1, 0, 0).lid = face(2);
    c.at(1, 0, 6).lid = face(3);                 // covers layer 0
    c.at(2, 0, 0).lid = face(2);
    c.at(2, 0, 3).lid = face(0, 3, 1, 1, 3);     // tile 0: nothing drawn
    c.at(2, 0, 3).slope = slopeByte(17);
    c.at(3, 0, 5).lid = face(3);
    c.at(3, 0, 7).lid = face(4);
    c.at(4, 0, 2).lid = face(2);
    c.at(4, 0, 1).lid = face(3);                 // lower layer is painted first
    const std::vector<uint8_t> img = c.build();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(cellPixel(img, 0, 0, x, y), (Px{0, 0, 0, 0}));
            EXPECT_EQ(cellPixel(img, 1, 0, x, y), high);
            EXPECT_EQ(cellPixel(img, 2, 0, x, y), low);
            EXPECT_EQ(cellPixel(img, 3, 0, x, y), high);
            EXPECT_EQ(cellPixel(img, 4, 0, x, y), low);
        }
}

TEST(Minimap, RotationAndFlipTable) {
    Canvas c;
    // Reduced tile pixel (u, v): red 10 + 20u, green 10 + 20v.
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) c.tilePixel(4, u, v, {uint8_t(10 + 20 * u), uint8_t(10 + 20 * v), 77, 255});
    for (int rot = 0; rot < 4; ++rot)
        for (int flip = 0; flip < 2; ++flip) c.at(rot * 2 + flip, 0, 0).lid = face(4, 0, 0, flip, rot);
    const std::vector<uint8_t> img = c.build();
    for (int rot = 0; rot < 4; ++rot)
        for (int flip = 0; flip < 2; ++flip)
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    int u = 0, v = 0;
                    if (rot == 0) { u = flip ? 7 - x : x; v = y; }
                    if (rot == 1) { u = y; v = flip ? x : 7 - x; }
                    if (rot == 2) { u = flip ? x : 7 - x; v = 7 - y; }
                    if (rot == 3) { u = 7 - y; v = flip ? 7 - x : x; }
                    EXPECT_EQ(cellPixel(img, rot * 2 + flip, 0, x, y),
                              (Px{uint8_t(10 + 20 * u), uint8_t(10 + 20 * v), 77, 255}))
                        << "rotation " << rot << " flip " << flip << " at " << x << "," << y;
                }
    // Rotation 1 with flip is the transpose.
    EXPECT_EQ(cellPixel(img, 3, 0, 2, 5), (Px{110, 50, 77, 255}));
    // Rotation 1 alone: cell (0, 0) shows tile pixel (0, 7).
    EXPECT_EQ(cellPixel(img, 2, 0, 0, 0), (Px{10, 150, 77, 255}));
}

TEST(Minimap, BlendedLids) {
    Canvas c;
    c.fillTile(2, grey(100));
    c.fillTile(5, {250, 250, 250, 0});
    c.fillTile(6, {200, 200, 200, 255});
    c.fillTile(7, {200, 200, 200, 128});
    for (int x = 0; x < 6; ++x) c.at(x, 0, 0).lid = face(2);
    c.at(0, 0, 1).lid = face(5, 0, 1);     // alpha 0: colour stays
    c.at(1, 0, 1).lid = face(6, 0, 1);     // alpha 255: the tile
    c.at(2, 0, 1).lid = face(7, 0, 1);     // half
    c.at(3, 0, 1).lid = face(7, 0, 1);
    c.at(3, 0, 1).slope = slopeByte(17);   // half, shaded
    c.at(4, 0, 1).lid = face(6, 2, 1);     // alpha 255 with lighting 0.8
    c.at(6, 0, 1).lid = face(5, 0, 1);     // over nothing
    const std::vector<uint8_t> img = c.build();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(cellPixel(img, 0, 0, x, y), grey(100));
            EXPECT_EQ(cellPixel(img, 1, 0, x, y), grey(200));
            // 100 * 127/255 + 200 * 128/255 + 0.5 = 150.7
            EXPECT_EQ(cellPixel(img, 2, 0, x, y), grey(150));
            // 100 * 127/255 + 200 * 208/255 * 128/255 + 0.5 = 132.2
            EXPECT_EQ(cellPixel(img, 3, 0, x, y), grey(132));
            EXPECT_EQ(cellPixel(img, 4, 0, x, y), grey(160));
            EXPECT_EQ(cellPixel(img, 5, 0, x, y), grey(100));
            EXPECT_EQ(cellPixel(img, 6, 0, x, y), (Px{0, 0, 0, 255}));
        }
}

namespace {

// Diagonal scene: layer 0 everywhere (1, 2, 3); layer 1 holds the diagonal.
// Lid tile 991 is grey 200; the wall tile 5 has red 10 + 30c, green 10 + 30r,
// blue 100 at pixel (c, r); the other wall is tile 6, which must not show.
struct DiagonalScene {
    Canvas c;
    Px below{1, 2, 3, 255};
    DiagonalScene() {
        c.fillTile(2, below);
        c.fillTile(991, grey(200));
        for (int r = 0; r < 8; ++r)
            for (int col = 0; col < 8; ++col)
                c.tilePixel(5, col, r, {uint8_t(10 + 30 * col), uint8_t(10 + 30 * r), 100, 255});
        c.fillTile(6, {250, 0, 250, 255});
        // Tile 992 and up are "no lid" markers on diagonals: never drawn there.
        c.fillTile(992, {0, 250, 0, 255});
        c.fillTile(1023, {0, 250, 0, 255});
    }
};

struct TriangleCase {
    bool covered;
    int c, r;
};

TriangleCase triangle(int s, bool withLid, int x, int y) {
    if (withLid) {
        if (s == 49) return {x + y <= 6, (6 - x + y) / 2, 6 - x - y};
        if (s == 50) return {x > y, (15 - x - y) / 2, x - y - 1};
        if (s == 51) return {x < y, (x + y + 1) / 2, y - x - 1};
        return {x + y >= 8, (x - y + 6) / 2, x + y - 8};
    }
    if (s == 49) return {x + y >= 7, (7 - x + y) / 2, 14 - x - y};
    if (s == 50) return {x <= y, (14 - x - y) / 2, 7 - (y - x)};
    if (s == 51) return {x >= y, (x + y) / 2, 7 - (x - y)};
    return {x + y <= 7, (x - y + 7) / 2, x + y};
}

}  // namespace

TEST(Minimap, DiagonalWallsWithAndWithoutLid) {
    DiagonalScene scene;
    Canvas& c = scene.c;
    // Wall shades without lighting: 49 left 220, 50 right 169, 51 left 238,
    // 52 right 186 (of 255).
    const int wallShade[4] = {220, 169, 238, 186};
    for (int s = 49; s <= 52; ++s) {
        for (int lid = 0; lid < 2; ++lid) {
            const int x = (s - 49) * 2 + lid;
            for (int z = 0; z < 1; ++z) c.at(x, 0, z).lid = face(2);
            BlockInfo& b = c.at(x, 0, 1);
            b.slope = slopeByte(s);
            b.lid = face(lid ? 991 : (s % 2 ? 992 : 1023));
            const bool left = s == 49 || s == 51;
            b.left = face(left ? 5 : 6);
            b.right = face(left ? 6 : 5);
            b.top = face(6);
            b.bottom = face(6);
        }
    }
    const std::vector<uint8_t> img = c.build();
    for (int s = 49; s <= 52; ++s) {
        const double ws = wallShade[s - 49] / 255.0;
        for (int lid = 0; lid < 2; ++lid) {
            int covered = 0;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    const TriangleCase t = triangle(s, lid == 1, x, y);
                    Px want = lid ? grey(200) : scene.below;
                    if (t.covered) {
                        ++covered;
                        want = {shaded(10 + 30 * t.c, ws), shaded(10 + 30 * t.r, ws), shaded(100, ws), 255};
                    }
                    EXPECT_EQ(cellPixel(img, (s - 49) * 2 + lid, 0, x, y), want)
                        << "slope " << s << (lid ? " with" : " without") << " lid at " << x << "," << y;
                }
            EXPECT_EQ(covered, lid ? 28 : 36) << s;
        }
    }
    // Hand-worked: slope 49 with lid, pixel (0, 0) shows wall pixel (3, 6):
    // red 100 * 220/255 = 86.3, green 190 * 220/255 = 163.9, blue 86.3.
    EXPECT_EQ(cellPixel(img, 1, 0, 0, 0), (Px{86, 164, 86, 255}));
    // Slope 50 with lid, pixel (7, 0) shows wall pixel (4, 6): 130, 190, 100
    // at 169/255 -> 86.2, 125.9, 66.3.
    EXPECT_EQ(cellPixel(img, 3, 0, 7, 0), (Px{86, 126, 66, 255}));
    // Slope 49 with lid leaves the lid at (7, 7); without lid the layer below.
    EXPECT_EQ(cellPixel(img, 1, 0, 7, 7), grey(200));
    EXPECT_EQ(cellPixel(img, 0, 0, 0, 0), scene.below);
}

TEST(Minimap, DiagonalLightingMissingFacesAndWallBits) {
    DiagonalScene scene;
    Canvas& c = scene.c;
    c.fillTile(7, grey(100));
    c.fillTile(8, {255, 255, 255, 0});
    for (int x = 0; x < 10; ++x) c.at(x, 0, 0).lid = face(2);
    auto diag = [&](int x, int s, uint16_t lid, uint16_t left, uint16_t right) {
        BlockInfo& b = c.at(x, 0, 1);
        b.slope = slopeByte(s);
        b.lid = lid;
        b.left = left;
        b.right = right;
    };
    diag(0, 49, face(991, 3), face(7), 0);       // lighting 3 on lid and wall
    diag(1, 50, face(991, 3), 0, face(7));
    diag(2, 49, face(0), face(7), 0);            // no lid tile: wall only, lid-table triangle
    diag(3, 49, face(991), 0, face(7));          // left wall missing
    diag(4, 50, face(1000), face(7), 0);         // right wall missing, no lid
    diag(5, 49, face(991), face(5, 0, 0, 0, 2), 0);  // wall turned twice
    diag(6, 50, face(1000), 0, face(8, 0, 1));   // blended wall of alpha 0
    diag(7, 51, face(991, 1), face(7), 0);
    const std::vector<uint8_t> img = c.build();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(cellPixel(img, 0, 0, x, y), grey(x + y <= 6 ? 73 : 147)) << x << "," << y;
            EXPECT_EQ(cellPixel(img, 1, 0, x, y), grey(x > y ? 73 : 147)) << x << "," << y;
            // 100 * 220/255 = 86.3
            EXPECT_EQ(cellPixel(img, 2, 0, x, y), x + y <= 6 ? grey(86) : scene.below) << x << "," << y;
            EXPECT_EQ(cellPixel(img, 3, 0, x, y), grey(200));
            EXPECT_EQ(cellPixel(img, 4, 0, x, y), scene.below);
            const TriangleCase t = triangle(49, true, x, y);
            const double ws = 220 / 255.0;
            const Px turned{shaded(10 + 30 * (7 - t.c), ws), shaded(10 + 30 * (7 - t.r), ws), shaded(100, ws), 255};
            EXPECT_EQ(cellPixel(img, 5, 0, x, y), t.covered ? turned : grey(200)) << x << "," << y;
            EXPECT_EQ(cellPixel(img, 6, 0, x, y), scene.below) << x << "," << y;
            // lighting 1 (13/15): lid 173.3, wall 86.7
            EXPECT_EQ(cellPixel(img, 7, 0, x, y), grey(x < y ? 87 : 173)) << x << "," << y;
        }
}

TEST(Minimap, ReducedAtlasRounding) {
    std::vector<uint8_t> atlas(AtlasBytes, 0);
    auto set = [&](int x, int y, int k, uint8_t v) { atlas[(size_t(y) * AtlasSize + size_t(x)) * 4 + size_t(k)] = v; };
    // Block (0, 0): byte 0 has 32 ones (0.5 rounds up), byte 1 has 31 ones,
    // byte 2 sums to 95 (1.48), byte 3 has 32 pixels of 255 (127.5).
    // Block (1, 0): byte 0 sums to 96 (1.5 -> 2), byte 1 all 255.
    int n = 0;
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i, ++n) {
            set(i, j, 0, n < 32 ? 1 : 0);
            set(i, j, 1, n < 31 ? 1 : 0);
            set(i, j, 2, n < 31 ? 3 : (n == 31 ? 2 : 0));
            set(i, j, 3, n % 2 ? 255 : 0);
            set(8 + i, j, 0, n < 32 ? 3 : 0);
            set(8 + i, j, 1, 255);
        }
    // Block (255, 255), the last one.
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i) set(2040 + i, 2040 + j, 2, uint8_t(i * 8 + j));
    const std::vector<uint8_t> reduced = reduceAtlas(atlas);
    ASSERT_EQ(reduced.size(), size_t(256) * 256 * 4);
    EXPECT_EQ(reduced[0], 1);
    EXPECT_EQ(reduced[1], 0);
    EXPECT_EQ(reduced[2], 1);
    EXPECT_EQ(reduced[3], 128);
    EXPECT_EQ(reduced[4], 2);
    EXPECT_EQ(reduced[5], 255);
    EXPECT_EQ(reduced[6], 0);
    // 0 + 1 + ... + 63 = 2016; 2016 / 64 = 31.5 -> 32.
    EXPECT_EQ(reduced[(size_t(255) * 256 + 255) * 4 + 2], 32);
    EXPECT_EQ(reduced[(size_t(255) * 256 + 254) * 4 + 2], 0);

    // The same averages reach the picture.
    Canvas c;
    c.level.tileAtlas = atlas;
    c.at(0, 0, 0).lid = face(1023);
    c.at(1, 0, 0).lid = face(32);  // tile 32 starts at atlas (0, 64)
    c.level.tileOrigin[32] = TileOrigin{0.0f, 0.0f};
    const std::vector<uint8_t> img = c.build();
    EXPECT_EQ(cellPixel(img, 1, 0, 0, 0), (Px{1, 0, 1, 255}));
    EXPECT_EQ(cellPixel(img, 1, 0, 1, 0), (Px{2, 255, 0, 255}));
    EXPECT_EQ(cellPixel(img, 0, 0, 7, 7), (Px{0, 0, 32, 255}));
}

TEST(Minimap, TileOriginsAreTruncatedThenDivided) {
    Canvas c;
    // (100.9, 37.5) -> (100, 37) -> reduced (12, 4).
    c.level.tileOrigin[8] = TileOrigin{100.9f, 37.5f};
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i) {
            c.atlasSet(96 + i, 32 + j, {11, 22, 33, 255});
            c.atlasSet(104 + i, 32 + j, {44, 55, 66, 255});
            c.atlasSet(96 + i, 40 + j, {77, 88, 99, 255});
        }
    c.at(0, 0, 0).lid = face(8);
    const std::vector<uint8_t> img = c.build();
    EXPECT_EQ(cellPixel(img, 0, 0, 0, 0), (Px{11, 22, 33, 255}));
    EXPECT_EQ(cellPixel(img, 0, 0, 1, 0), (Px{44, 55, 66, 255}));
    EXPECT_EQ(cellPixel(img, 0, 0, 0, 1), (Px{77, 88, 99, 255}));
    EXPECT_EQ(cellPixel(img, 0, 0, 2, 0), (Px{0, 0, 0, 255}));
}
