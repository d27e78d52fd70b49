// The software minimap, pixel by pixel, on hand-built levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <tuple>
#include <vector>

#include "formats/level.h"
#include "minimap/rasterizer.h"

using namespace vant;

namespace {

using Px = std::array<uint8_t, 4>;

struct Canvas {
    Level level;
    std::vector<uint8_t> img;
    Canvas() {
        level.tileAtlas.assign(AtlasBytes, 0);
        level.map.clear();
        for (int t = 0; t < TileCount; ++t)
            level.tileOrigin[size_t(t)] = TileOrigin{float(64 * (t % 32)), float(64 * (t / 32))};
    }
    // Pixel n (0 to 63, row by row) of the 8 x 8 atlas block that reduces to
    // pixel (bx, by); block() paints all 64.
    void blockPixel(int bx, int by, int n, Px c) {
        const size_t at = (size_t(by * 8 + n / 8) * AtlasSize + size_t(bx * 8 + n % 8)) * 4;
        std::copy(c.begin(), c.end(), &level.tileAtlas[at]);
    }
    void block(int bx, int by, Px c) {
        for (int n = 0; n < 64; ++n) blockPixel(bx, by, n, c);
    }
    // Tile t's reduced pixel (u, v) becomes paint(u, v).
    void paintTile(int t, const std::function<Px(int, int)>& paint) {
        const int bx = int(level.tileOrigin[size_t(t)].u) / 8, by = int(level.tileOrigin[size_t(t)].v) / 8;
        for (int k = 0; k < 64; ++k) block(bx + k % 8, by + k / 8, paint(k % 8, k / 8));
    }
    void fillTile(int t, Px c) { paintTile(t, [c](int, int) { return c; }); }
    BlockInfo& at(int x, int y, int z, uint16_t lid, int slope = 0) {
        BlockInfo& b = level.map.at(x, y, z);
        b.lid = lid;
        b.slope = uint8_t(slope << 2);
        return b;
    }
    void build() { img = MinimapBuilder().build(level); }
    Px pixel(int x, int y) const {
        const size_t i = (size_t(y) * MinimapSize + size_t(x)) * 4;
        return {img[i], img[i + 1], img[i + 2], img[i + 3]};
    }
    // Every pixel of cell (cx, cy) against want(x, y).
    void expectCell(int cx, int cy, const std::function<Px(int, int)>& want) const {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(pixel(cx * 8 + x, cy * 8 + y), want(x, y))
                    << "cell " << cx << "," << cy << " at " << x << "," << y;
    }
    void expectCell(int cx, int cy, Px want) const { expectCell(cx, cy, [want](int, int) { return want; }); }
};

uint16_t face(int tile, int lighting = 0, int blend = 0, int flip = 0, int rotation = 0) {
    return uint16_t(tile | (lighting << 10) | (blend << 12) | (flip << 13) | (rotation << 14));
}

// trunc(v * shade + 0.5), the pixel rule.
uint8_t shaded(int v, double shade) { return uint8_t(int(v * shade + 0.5)); }
Px grey(int v) { return {uint8_t(v), uint8_t(v), uint8_t(v), 255}; }
const Px Clear{0, 0, 0, 0};

}  // namespace

TEST(Minimap, CellPositionsLightingAndSlopeShades) {
    // No blocks and no atlas: transparent black.
    EXPECT_EQ(MinimapBuilder().build(Level{}), std::vector<uint8_t>(MinimapBytes, 0));
    Canvas c;
    c.fillTile(1, {200, 100, 50, 255});
    c.fillTile(2, {10, 20, 30, 0});    // alpha 0, still drawn opaque
    c.fillTile(1000, {7, 8, 9, 255});  // from 992 up: ordinary lids off diagonals
    struct Case { int x, y; uint16_t lid; int slope; Px want; };
    const std::vector<Case> cases = {
        {0, 0, face(1), 0, {200, 100, 50, 255}},   {1, 0, face(1, 1), 0, {173, 87, 43, 255}},  // 13/15
        {3, 0, face(1, 3), 0, {147, 73, 37, 255}},                                             // 11/15
        {4, 0, face(1), 17, {163, 82, 41, 255}},   {5, 0, face(1, 2), 17, {160, 80, 40, 255}},  // lighting wins
        {6, 0, face(2), 0, {10, 20, 30, 255}},     {7, 0, face(1000), 0, {7, 8, 9, 255}},
        {255, 0, face(1), 0, {200, 100, 50, 255}}, {0, 255, face(1), 0, {200, 100, 50, 255}},
        // Slope shades (of 255): 1 is 223, 9 is 243, 43 is 155; 7 and 62 (read as 0) are unshaded.
        {0, 10, face(1), 1, {175, 87, 44, 255}},   {1, 10, face(1), 9, {191, 95, 48, 255}},
        {2, 10, face(1), 43, {122, 61, 30, 255}},  {3, 10, face(1), 7, {200, 100, 50, 255}},
        {4, 10, face(1), 62, {200, 100, 50, 255}}};
    for (const Case& k : cases) c.at(k.x, k.y, 0, k.lid, k.slope);
    c.level.map.at(4, 0, 0).slope |= 3;  // bits 0 and 1 are not the slope
    c.build();
    for (const Case& k : cases) c.expectCell(k.x, k.y, k.want);
    EXPECT_EQ(c.pixel(2039, 0), Clear);
}

TEST(Minimap, SlopeMasks) {
    Canvas c;
    const Px below{10, 20, 30, 255}, above{200, 150, 100, 255};
    c.fillTile(2, below);
    c.fillTile(3, above);
    // The drawn area of the cell, by slope type: one of each shape.
    auto full = [](int, int) { return true; };
    const std::vector<std::pair<int, std::function<bool(int, int)>>> masks = {
        {45, [](int x, int y) { return x + y >= 7; }}, {54, [](int x, int) { return x >= 5; }},
        {59, [](int x, int y) { return x >= 5 && y >= 5; }},
        {61, [](int x, int y) { return (x == 3 || x == 4) && (y == 3 || y == 4); }}, {44, full}, {62, full}};
    for (int x = 0; x < 32; ++x) c.at(x, 0, 0, face(2));
    for (size_t i = 0; i < masks.size(); ++i) c.at(int(i), 0, 1, face(3), masks[i].first);
    c.at(30, 0, 1, face(3, 0, 0, 1, 1), 45);  // the mask is never turned with the tile
    c.at(31, 0, 1, face(3, 0, 1), 45);        // a blended lid is masked too
    c.build();
    auto masked = [&](size_t i) { return [&, i](int x, int y) { return masks[i].second(x, y) ? above : below; }; };
    for (size_t i = 0; i < masks.size(); ++i) c.expectCell(int(i), 0, masked(i));
    for (int x : {30, 31}) c.expectCell(x, 0, masked(0));
}

TEST(Minimap, LayersPaintUpwardsAndBlend) {
    Canvas c;
    const Px low = grey(100), high{200, 150, 100, 255};
    c.fillTile(2, low);
    c.fillTile(3, high);
    c.fillTile(4, {1, 1, 1, 255});
    c.fillTile(5, {250, 250, 250, 0});
    c.fillTile(6, grey(200));
    c.fillTile(7, {200, 200, 200, 128});
    // {x, z, lid, slope type} on row 0.
    const std::vector<std::tuple<int, int, uint16_t, int>> blocks = {
        {0, 0, face(2), 0},  {0, 6, face(3), 0},     // covers layer 0
        {1, 0, face(2), 0},  {1, 3, face(0, 3, 1, 1, 3), 17},  // tile 0: nothing drawn
        {2, 5, face(3), 0},  {2, 7, face(4), 0},     // the top layer is never drawn
        {3, 2, face(2), 0},  {3, 1, face(3), 0},     // the lower layer is painted first
        {4, 0, face(2), 0},  {4, 1, face(5, 0, 1), 0},   // blended, alpha 0: the colour below stays
        {5, 0, face(2), 0},  {5, 1, face(7, 0, 1), 0},   // 100 * 127/255 + 200 * 128/255 + 0.5 = 150.7
        {6, 0, face(2), 0},  {6, 1, face(7, 0, 1), 17},  // 100 * 127/255 + 200 * 208/255 * 128/255 + 0.5
        {7, 0, face(2), 0},  {7, 1, face(6, 2, 1), 0},   // alpha 255 at lighting 0.8
        {8, 1, face(5, 0, 1), 0}};                   // over nothing
    for (const auto& [x, z, lid, slope] : blocks) c.at(x, 0, z, lid, slope);
    c.level.map.at(1, 0, 3).left = c.level.map.at(1, 0, 3).top = face(4);  // only diagonals draw a wall
    c.build();
    const Px want[] = {high, low, high, low, low, grey(150), grey(132), grey(160), {0, 0, 0, 255}};
    for (int x = 0; x < 9; ++x) c.expectCell(x, 0, want[x]);
}

TEST(Minimap, RotationAndFlipTable) {
    Canvas c;
    // Reduced tile pixel (u, v): red 10 + 20u, green 10 + 20v.
    auto colour = [](int u, int v) { return Px{uint8_t(10 + 20 * u), uint8_t(10 + 20 * v), 77, 255}; };
    c.paintTile(4, colour);
    for (int rf = 0; rf < 8; ++rf) c.at(rf, 0, 0, face(4, 0, 0, rf % 2, rf / 2));
    c.build();
    // The picture as the face word says: turned clockwise a quarter at a
    // time, then mirrored left to right. pic[y][x].
    for (int rf = 0; rf < 8; ++rf) {
        std::array<std::array<Px, 8>, 8> pic;
        for (int k = 0; k < 64; ++k) pic[size_t(k / 8)][size_t(k % 8)] = colour(k % 8, k / 8);
        for (int turn = 0; turn < rf / 2; ++turn) {
            const auto before = pic;  // the left column, bottom up, becomes the top row
            for (size_t k = 0; k < 64; ++k) pic[k / 8][k % 8] = before[7 - k % 8][k / 8];
        }
        if (rf % 2)
            for (auto& row : pic) std::reverse(row.begin(), row.end());
        c.expectCell(rf, 0, [&](int x, int y) { return pic[size_t(y)][size_t(x)]; });
    }
}

namespace {

// Which pixels a diagonal wall covers and which wall pixel (c, r) each shows.
struct TriangleCase { bool covered; int c, r; };

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

// Wall tile 5 at pixel (c, r): red 10 + 30c, green 10 + 30r, blue 100.
Px wall(int c, int r, double s) { return {shaded(10 + 30 * c, s), shaded(10 + 30 * r, s), shaded(100, s), 255}; }

}  // namespace

TEST(Minimap, DiagonalWalls) {
    Canvas c;
    // Layer 0 is tile 2; lid tile 991 is grey 200; tile 6 must never show,
    // nor 992 and up ("no lid" markers on diagonals).
    const Px below{1, 2, 3, 255};
    c.fillTile(2, below);
    c.fillTile(991, grey(200));
    c.paintTile(5, [](int u, int v) { return wall(u, v, 1.0); });
    c.fillTile(6, {250, 0, 250, 255});
    for (int t : {992, 1023}) c.fillTile(t, {0, 250, 0, 255});
    c.fillTile(7, grey(100));
    c.fillTile(8, {255, 255, 255, 0});
    for (int k = 0; k < 16; ++k) c.at(k % 8, k / 8, 0, face(2));
    // Row 0: each slope without and with lid; the visible wall is the left
    // one for 49 and 51, the right one for 50 and 52.
    for (int s = 49; s <= 52; ++s)
        for (int lid = 0; lid < 2; ++lid) {
            BlockInfo& b = c.at((s - 49) * 2 + lid, 0, 1, face(lid ? 991 : (s % 2 ? 992 : 1023)), s);
            b.left = face(s % 2 ? 5 : 6);
            b.right = face(s % 2 ? 6 : 5);
            b.top = b.bottom = face(6);
        }
    // Row 1: lighting, missing faces and wall bits.
    for (auto [x, s, lid, left, right] : std::vector<std::tuple<int, int, uint16_t, uint16_t, uint16_t>>{
             {0, 49, face(991, 3), face(7), 0},            // lighting 3 on lid and wall
             {2, 49, face(0), face(7), 0},                 // no lid tile: wall only, lid-table triangle
             {3, 49, face(991), 0, face(7)},               // left wall missing
             {5, 49, face(991), face(5, 0, 0, 0, 2), 0},   // wall turned twice
             {6, 50, face(1000), 0, face(8, 0, 1)}}) {     // blended wall of alpha 0
        BlockInfo& b = c.at(x, 1, 1, lid, s);
        b.left = left;
        b.right = right;
    }
    c.build();

    // Wall shades without lighting: 49 left 220, 50 right 169, 51 left 238, 52 right 186.
    const int wallShade[4] = {220, 169, 238, 186};
    for (int s = 49; s <= 52; ++s)
        for (int lid = 0; lid < 2; ++lid)
            c.expectCell((s - 49) * 2 + lid, 0, [&](int x, int y) {
                const TriangleCase t = triangle(s, lid == 1, x, y);
                return t.covered ? wall(t.c, t.r, wallShade[s - 49] / 255.0) : lid ? grey(200) : below;
            });
    // By hand: slope 49 with lid, (0, 0) shows wall pixel (3, 6) at 220/255.
    EXPECT_EQ(c.pixel(8, 0), (Px{86, 164, 86, 255}));

    c.expectCell(0, 1, [](int x, int y) { return grey(x + y <= 6 ? 73 : 147); });
    c.expectCell(2, 1, [&](int x, int y) { return x + y <= 6 ? grey(86) : below; });  // 100 * 220/255
    c.expectCell(3, 1, grey(200));
    c.expectCell(5, 1, [](int x, int y) {
        const TriangleCase t = triangle(49, true, x, y);
        return t.covered ? wall(7 - t.c, 7 - t.r, 220 / 255.0) : grey(200);
    });
    c.expectCell(6, 1, below);
}

TEST(Minimap, ReducedAtlasRoundingAndTileOrigins) {
    Canvas c;
    // Block (0, 0): byte 0 has 32 ones (0.5 rounds up), byte 1 has 31 ones,
    // byte 3 all 255. The last block: byte 2 sums to 0 + 1 + ... + 63 = 2016
    // (31.5 -> 32).
    for (int n = 0; n < 64; ++n) {
        c.blockPixel(0, 0, n, {uint8_t(n < 32), uint8_t(n < 31), 0, 255});
        c.blockPixel(255, 255, n, {0, 0, uint8_t(n), 0});
    }
    const std::vector<uint8_t> reduced = reduceAtlas(c.level.tileAtlas);
    ASSERT_EQ(reduced.size(), size_t(256) * 256 * 4);
    EXPECT_EQ(std::vector<uint8_t>(reduced.begin(), reduced.begin() + 5), (std::vector<uint8_t>{1, 0, 0, 255, 0}));
    EXPECT_EQ(reduced[(size_t(255) * 256 + 255) * 4 + 2], 32);

    // The averages reach the picture. Tile 8's origin (100.9, 37.5) is
    // truncated to (100, 37), then divided: reduced (12, 4).
    c.level.tileOrigin[8] = TileOrigin{100.9f, 37.5f};
    c.block(12, 4, {11, 22, 33, 255});
    c.block(12, 5, {77, 88, 99, 255});
    c.at(0, 0, 0, face(1023));
    c.at(1, 0, 0, face(8));
    c.build();
    EXPECT_EQ(c.pixel(7, 7), (Px{0, 0, 32, 255}));
    EXPECT_EQ(c.pixel(8, 0), (Px{11, 22, 33, 255}));
    EXPECT_EQ(c.pixel(8, 1), (Px{77, 88, 99, 255}));
}
