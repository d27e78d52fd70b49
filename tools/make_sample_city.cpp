// make_sample_city OUTDIR
//
// Writes a small, fully deterministic demo level: OUTDIR/sample.sty (palettes,
// 64 pages of procedurally drawn tiles, surface groups), OUTDIR/sample.gmp
// (a 256 x 256 x 8 city stored as a shared "DMAP", with zones and a water
// animation) and OUTDIR/sample.mmp naming both.
//
// The city is planned on the 32-square street grid: residential, mid-rise,
// downtown, industrial, plaza and parking blocks, a park with a pond and a
// hill, a river with three bridges, a canal with two, and a harbour with
// piers. Along the way it uses every slope type, every lid lighting level,
// every rotation, flips, and blended tiles with transparent pixels, so the
// level also serves as a broad check of the minimap.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "formats/level_writer.h"

using namespace vant;

namespace {

// ------------------------------------------------------------ randomness

// Our own generator: the standard distributions differ between library
// implementations, and the sample must be byte-identical everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        state_ += 0x9E3779B97F4A7C15ull;
        uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int range(int lo, int hi) { return lo + int(next() % uint64_t(hi - lo + 1)); }  // inclusive
    bool chance(int percent) { return range(0, 99) < percent; }

private:
    uint64_t state_;
};

// Position noise, for choices that must not depend on drawing order.
uint32_t hashOf(int a, int b, int c = 0) {
    uint32_t h = uint32_t(a) * 0x8DA6B343u ^ uint32_t(b) * 0xD8163841u ^ uint32_t(c) * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x85EBCA6Bu;
    h ^= h >> 16;
    return h;
}

// --------------------------------------------------------------- palettes

// Every physical palette is 16 ramps of 16 shades: index = ramp * 16 + shade.
// Palettes differ only in the Roof ramp, so one roof drawing gives several
// roof colours through the tiles' virtual palettes.
enum Ramp {
    Asphalt, Concrete, Grass, Foliage, Water, Roof, Slate, Sand,
    Wood, Brick, Glass, Yellow, White, Red, Flower, Metal,
};

struct RampEnds {
    Rgb dark, light;
};

constexpr RampEnds kRamps[16] = {
    {{28, 30, 35}, {128, 130, 138}},    // Asphalt
    {{92, 90, 86}, {222, 218, 206}},    // Concrete
    {{34, 66, 24}, {148, 196, 92}},     // Grass
    {{12, 40, 18}, {104, 168, 74}},     // Foliage
    {{14, 38, 78}, {112, 172, 214}},    // Water
    {{92, 34, 24}, {232, 136, 98}},     // Roof (terracotta in palette 0)
    {{40, 46, 58}, {152, 162, 182}},    // Slate
    {{118, 98, 62}, {242, 226, 182}},   // Sand
    {{58, 36, 20}, {192, 142, 92}},     // Wood
    {{72, 28, 20}, {204, 112, 82}},     // Brick
    {{18, 34, 60}, {150, 198, 236}},    // Glass
    {{118, 88, 0}, {255, 222, 64}},     // Yellow
    {{124, 124, 128}, {255, 255, 255}}, // White
    {{88, 10, 12}, {242, 74, 62}},      // Red
    {{96, 28, 78}, {252, 146, 206}},    // Flower
    {{48, 54, 60}, {196, 204, 210}},    // Metal
};

// Roof ramp of each physical palette.
constexpr RampEnds kRoofColours[] = {
    {{92, 34, 24}, {232, 136, 98}},    // 0 terracotta
    {{44, 54, 76}, {146, 166, 200}},   // 1 blue slate
    {{28, 78, 68}, {118, 200, 172}},   // 2 copper green
    {{98, 84, 60}, {234, 218, 184}},   // 3 sandstone
    {{26, 26, 32}, {122, 122, 134}},   // 4 graphite
    {{112, 112, 108}, {246, 246, 240}},// 5 white concrete
    {{108, 66, 18}, {242, 178, 78}},   // 6 ochre
};
constexpr int RoofPalettes = 7;

Rgb lerp(Rgb a, Rgb b, double t) {
    auto mix = [t](uint8_t x, uint8_t y) { return uint8_t(std::lround(x + (y - x) * t)); };
    return Rgb{mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

void writePalettes(StyleWriter& style) {
    for (int p = 0; p < RoofPalettes; ++p) {
        for (int r = 0; r < 16; ++r) {
            const RampEnds ends = r == Roof ? kRoofColours[p] : kRamps[r];
            for (int s = 0; s < 16; ++s) style.setColour(p, r * 16 + s, lerp(ends.dark, ends.light, s / 15.0));
        }
    }
}

// ------------------------------------------------------------------ tiles

inline uint8_t colourIndex(int ramp, int shade) {
    // Shade 0 is never used, so ramp 0 never produces the transparent index.
    return uint8_t(ramp * 16 + std::clamp(shade, 1, 15));
}

// One 64 x 64 tile being drawn.
class Canvas {
public:
    explicit Canvas(Random& rnd) : rnd_(rnd) {}

    void clear() { px_.fill(0); }
    void set(int x, int y, int ramp, int shade) {
        if (x >= 0 && x < 64 && y >= 0 && y < 64) px_[size_t(y * 64 + x)] = colourIndex(ramp, shade);
    }
    void erase(int x, int y) {
        if (x >= 0 && x < 64 && y >= 0 && y < 64) px_[size_t(y * 64 + x)] = 0;
    }
    uint8_t at(int x, int y) const { return px_[size_t(y * 64 + x)]; }
    int shadeAt(int x, int y) const { return at(x, y) & 15; }
    int rampAt(int x, int y) const { return at(x, y) >> 4; }

    // Rectangle [x0, x1) x [y0, y1) with per-pixel shade noise.
    void rect(int x0, int y0, int x1, int y1, int ramp, int shade, int noise = 0) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) set(x, y, ramp, shade + jitter(noise));
    }
    void fill(int ramp, int shade, int noise = 0) { rect(0, 0, 64, 64, ramp, shade, noise); }
    void disc(double cx, double cy, double radius, int ramp, int shade, int noise = 0) {
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                if ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) <= radius * radius)
                    set(x, y, ramp, shade + jitter(noise));
    }
    void ring(double cx, double cy, double r0, double r1, int ramp, int shade) {
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
                if (d >= r0 && d <= r1) set(x, y, ramp, shade);
            }
    }
    // Darkens or lightens what is there, keeping its ramp.
    void shadeRect(int x0, int y0, int x1, int y1, int delta) {
        for (int y = std::max(0, y0); y < std::min(64, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(64, x1); ++x)
                if (at(x, y) != 0) set(x, y, rampAt(x, y), shadeAt(x, y) + delta);
    }
    int jitter(int noise) { return noise == 0 ? 0 : rnd_.range(-noise, noise); }
    Random& rnd() { return rnd_; }

    void commit(StyleWriter& style, int tile, int palette) const {
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) style.setPixel(tile, x, y, px_[size_t(y * 64 + x)]);
        style.setVirtualPalette(size_t(tile), uint16_t(palette));
    }

private:
    std::array<uint8_t, 64 * 64> px_{};
    Random& rnd_;
};

// Tile numbers the map uses, filled in as the tiles are drawn.
struct Tiles {
    int asphalt = 0, lane = 0, zebra = 0, parking = 0, stopLane = 0;
    int pave = 0, kerb = 0, kerbCorner = 0;
    std::vector<int> plaza;
    int fountain = 0;
    std::vector<int> grass, flowers;
    int gravel = 0, flowerBed = 0, hedge = 0, sand = 0, yard = 0;
    std::vector<int> trees;
    std::vector<int> water;
    int boat = 0;
    std::array<int, 4> ship{};  // bow, two holds, stern
    int bank = 0, bankGrass = 0, pier = 0;
    std::vector<int> containers;
    std::array<int, RoofPalettes> roofEdge{}, roofCorner{}, pitch{}, ridge{};
    std::array<std::vector<int>, RoofPalettes> roofCentre;
    int helipad = 0, glassRoof = 0, metalRoof = 0, metalRoofEdge = 0;
    std::vector<int> walls;
    int glassWall = 0, railing = 0, lamp = 0, statue = 0;
    std::vector<int> awnings, cars;
    std::vector<int> noLid;  // 992 and up: a diagonal with one of these has no lid
};

class TileFactory {
public:
    TileFactory(StyleWriter& style, Random& rnd) : style_(style), c_(rnd) {}

    // Draws one tile with the painter and returns its number.
    int make(int palette, const std::function<void(Canvas&)>& paint) {
        if (next_ >= 992) return 0;
        c_.clear();
        paint(c_);
        c_.commit(style_, next_, palette);
        return next_++;
    }
    int makeAt(int tile, int palette, const std::function<void(Canvas&)>& paint) {
        c_.clear();
        paint(c_);
        c_.commit(style_, tile, palette);
        return tile;
    }
    int used() const { return next_; }

private:
    StyleWriter& style_;
    Canvas c_;
    int next_ = 1;  // tile 0 is the absent face
};

// ---- painters. Features sit on the 8-pixel grid where they matter, since
// the minimap shows each tile as 8 x 8 averages.

void paintAsphalt(Canvas& c) {
    c.fill(Asphalt, 5, 1);
    for (int i = 0; i < 40; ++i) c.set(c.rnd().range(0, 63), c.rnd().range(0, 63), Asphalt, c.rnd().range(3, 8));
}

// A lane with the centre line along its bottom edge.
void paintLane(Canvas& c, bool dashed) {
    paintAsphalt(c);
    c.rect(0, 20, 64, 26, Asphalt, 4, 1);  // worn wheel track
    c.rect(0, 42, 64, 48, Asphalt, 4, 1);
    if (dashed) {
        c.rect(6, 57, 26, 64, White, 13, 1);
        c.rect(38, 57, 58, 64, White, 13, 1);
    } else {
        c.rect(0, 57, 64, 64, Yellow, 12, 1);
    }
}

void paintZebra(Canvas& c) {
    paintAsphalt(c);
    for (int x = 4; x < 64; x += 16) c.rect(x, 2, x + 8, 62, White, 14, 1);
}

void paintParking(Canvas& c) {
    paintAsphalt(c);
    c.rect(0, 0, 4, 56, White, 13);
}

void paintPavement(Canvas& c) {
    c.fill(Concrete, 10, 1);
    for (int i = 0; i < 64; i += 16) {
        c.rect(i, 0, i + 1, 64, Concrete, 8);
        c.rect(0, i, 64, i + 1, Concrete, 8);
    }
}

// Pavement with its kerb (towards the road) along the bottom edge.
void paintKerb(Canvas& c, bool alsoRight) {
    paintPavement(c);
    c.rect(0, 56, 64, 62, Concrete, 14);
    c.rect(0, 62, 64, 64, Concrete, 5);
    if (alsoRight) {
        c.rect(56, 0, 62, 64, Concrete, 14);
        c.rect(62, 0, 64, 64, Concrete, 5);
    }
}

void paintPlaza(Canvas& c, int variant) {
    c.fill(Concrete, 11, 1);
    if (variant == 0) {
        for (int y = 0; y < 64; y += 16)
            for (int x = 0; x < 64; x += 16)
                if (((x + y) / 16) % 2 == 0) c.rect(x, y, x + 16, y + 16, Sand, 11, 1);
    } else if (variant == 1) {
        c.ring(32, 32, 18, 26, Brick, 10);
        c.ring(32, 32, 6, 10, Brick, 10);
    } else {
        for (int k = 0; k < 64; k += 8) c.rect(k, 0, k + 2, 64, Sand, 9);
    }
}

void paintGrass(Canvas& c, int variant) {
    c.fill(Grass, 8 + variant % 2, 2);
    const int tufts = 60 + 20 * variant;
    for (int i = 0; i < tufts; ++i) {
        const int x = c.rnd().range(0, 63), y = c.rnd().range(0, 63);
        c.rect(x, y, x + 2, y + 3, Grass, c.rnd().range(5, 12));
    }
}

void paintFlowers(Canvas& c, int variant) {
    paintGrass(c, 1);
    for (int i = 0; i < 70; ++i) {
        const int x = c.rnd().range(1, 61), y = c.rnd().range(1, 61);
        c.rect(x, y, x + 3, y + 3, variant == 0 ? Flower : Yellow, c.rnd().range(9, 14));
    }
}

void paintTree(Canvas& c, int variant) {
    // Transparent around the crown: drawn blended over the ground below.
    const double r = 26 + (variant % 4) * 1.5;
    const double cx = 32 + (variant % 2 ? 3 : -2), cy = 32 + (variant % 3 == 1 ? -3 : 2);
    c.disc(cx + 4, cy + 5, r, Foliage, 2, 0);  // own shadow
    c.disc(cx, cy, r, Foliage, 6, 1);
    for (int i = 0; i < 9; ++i) {
        const double a = i * 0.7 + variant, d = r * 0.55;
        c.disc(cx + std::cos(a) * d, cy + std::sin(a) * d, r * 0.38, Foliage, 8, 1);
    }
    c.disc(cx - r * 0.3, cy - r * 0.3, r * 0.35, Foliage, 11, 1);
    // Ragged edge: erase a few pixels on the rim.
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d > r - 3 && d < r + 6 && hashOf(x, y, variant) % 3 == 0) c.erase(x, y);
        }
}

void paintWater(Canvas& c, int frame) {
    c.fill(Water, 6, 1);
    for (int i = 0; i < 22; ++i) {
        const int x = (c.rnd().range(0, 63) + frame * 5) % 64, y = c.rnd().range(0, 62);
        const int len = c.rnd().range(6, 14);
        for (int k = 0; k < len; ++k) c.set((x + k) % 64, y, Water, 9 + (k % 3 == 0));
        for (int k = 1; k < len - 1; ++k) c.set((x + k) % 64, y + 1, Water, 4);
    }
}

void paintBank(Canvas& c, bool grassy) {
    // Stone embankment; the water side is the bottom edge.
    if (grassy) {
        paintGrass(c, 0);
        c.rect(0, 40, 64, 64, Concrete, 7, 1);
    } else {
        c.fill(Concrete, 8, 1);
        for (int y = 0; y < 64; y += 12) {
            c.rect(0, y, 64, y + 1, Concrete, 5);
            for (int x = (y / 12 % 2) * 10; x < 64; x += 20) c.rect(x, y, x + 1, y + 12, Concrete, 5);
        }
        c.shadeRect(0, 48, 64, 64, -3);
    }
    c.rect(0, 0, 64, 4, Concrete, 13);  // coping stones along the top
}

void paintPier(Canvas& c) {
    c.fill(Wood, 8, 1);
    for (int y = 0; y < 64; y += 8) c.rect(0, y, 64, y + 1, Wood, 4);
    for (int y = 0; y < 64; y += 8)
        for (int x = (y / 8 % 2) * 16; x < 64; x += 32) c.rect(x, y, x + 1, y + 8, Wood, 5);
}

void paintContainer(Canvas& c, int ramp) {
    c.fill(ramp, 9, 0);
    for (int x = 2; x < 64; x += 6) c.rect(x, 2, x + 2, 62, ramp, 6);
    c.rect(0, 0, 64, 2, ramp, 12);
    c.rect(0, 62, 64, 64, ramp, 4);
}

void paintBoat(Canvas& c) {
    // Small motor boat pointing up, transparent water around it.
    for (int y = 6; y < 60; ++y) {
        const double half = y < 26 ? (y - 6) * 0.6 : 12;
        c.rect(int(32 - half), y, int(32 + half), y + 1, White, 13, 1);
    }
    c.rect(24, 30, 40, 44, Glass, 8);
    c.rect(22, 56, 42, 60, Red, 8);
}

// Cargo ship, two squares wide, pointing up: these are the left halves (the
// keel runs along the right edge); the right halves are the same tiles
// mirrored. part 0 bow, 1 and 2 holds, 3 stern.
void paintShipHalf(Canvas& c, int part) {
    if (part == 0) {
        for (int y = 4; y < 64; ++y) {
            const int half = std::min(54, int((y - 4) * 1.3));
            c.rect(64 - half, y, 64, y + 1, Red, 7, 0);
            if (half > 8) c.rect(64 - half + 5, y, 64, y + 1, Metal, 9, 0);
        }
    } else if (part == 3) {
        c.rect(10, 0, 64, 54, Red, 7, 0);
        c.rect(15, 0, 64, 50, Metal, 9, 0);
        c.rect(18, 8, 64, 38, White, 14, 0);
        c.rect(22, 12, 64, 20, Glass, 6, 0);
        c.rect(50, 26, 64, 36, Asphalt, 3, 0);
    } else {
        c.rect(10, 0, 64, 64, Red, 7, 0);
        c.rect(15, 0, 64, 64, Metal, 9, 0);
        const int a = part == 1 ? Glass : Yellow, b = part == 1 ? Grass : Red;
        c.rect(18, 3, 62, 30, a, 9, 1);
        c.rect(18, 34, 62, 61, b, 9, 1);
        c.rect(18, 30, 62, 34, Metal, 6);
    }
}

// Flat roof: a light parapet along the top edge (and the left edge for a
// corner), gravel elsewhere.
void paintRoof(Canvas& c, bool top, bool left) {
    c.fill(Roof, 8, 1);
    if (top) {
        c.rect(0, 0, 64, 8, Roof, 14, 0);
        c.rect(left ? 8 : 0, 8, 64, 12, Roof, 4, 0);
    }
    if (left) {
        c.rect(0, 0, 8, 64, Roof, 14, 0);
        c.rect(8, top ? 8 : 0, 12, 64, Roof, 4, 0);
    }
}

void paintRoofCentre(Canvas& c, int variant) {
    c.fill(Roof, 8, 1);
    switch (variant % 6) {
        case 0: break;
        case 1:  // air conditioning unit
            c.rect(16, 20, 44, 44, Metal, 11, 0);
            c.rect(44, 22, 48, 46, Metal, 3);
            c.disc(30, 32, 8, Metal, 6);
            break;
        case 2:  // skylight
            c.rect(12, 12, 52, 52, Metal, 12);
            c.rect(16, 16, 48, 48, Glass, 9, 1);
            c.rect(31, 16, 33, 48, Metal, 12);
            break;
        case 3:  // water tank
            c.disc(36, 36, 16, Slate, 3);
            c.disc(32, 32, 16, Slate, 10, 1);
            c.ring(32, 32, 12, 13, Slate, 6);
            break;
        case 4:  // vents
            for (int i = 0; i < 3; ++i) c.rect(10 + 16 * i, 24, 18 + 16 * i, 40, Metal, 12);
            break;
        default:  // solar panels
            for (int y = 8; y < 56; y += 16)
                for (int x = 8; x < 56; x += 16) c.rect(x, y, x + 14, y + 14, Glass, 5, 1);
            break;
    }
}

// Pitched roof half: tile rows running left to right, ridge at the top edge.
void paintPitch(Canvas& c, bool ridge) {
    c.fill(Roof, 9, 1);
    for (int y = 0; y < 64; y += 8) {
        c.rect(0, y + 6, 64, y + 8, Roof, 5);
        for (int x = (y / 8 % 2) * 6; x < 64; x += 12) c.rect(x, y, x + 1, y + 6, Roof, 6);
    }
    if (ridge) c.rect(0, 0, 64, 6, Roof, 4);
}

void paintWall(Canvas& c, int ramp, int windowRamp) {
    c.fill(ramp, 8, 1);
    for (int y = 6; y < 64; y += 20)
        for (int x = 6; x < 64; x += 16) {
            c.rect(x, y, x + 10, y + 13, windowRamp, 7, 1);
            c.rect(x, y, x + 10, y + 2, windowRamp, 11);
        }
}

void paintGlassWall(Canvas& c) {
    c.fill(Glass, 9, 1);
    for (int x = 0; x < 64; x += 16) c.rect(x, 0, x + 2, 64, Metal, 12);
    for (int y = 0; y < 64; y += 21) c.rect(0, y, 64, y + 2, Metal, 12);
}

void paintGlassRoof(Canvas& c) {
    c.fill(Glass, 10, 1);
    for (int k = 0; k < 64; k += 16) {
        c.rect(k, 0, k + 2, 64, Metal, 13);
        c.rect(0, k, 64, k + 2, Metal, 13);
    }
}

void paintHelipad(Canvas& c) {
    c.fill(Concrete, 7, 1);
    c.ring(32, 32, 24, 29, Yellow, 12);
    c.rect(20, 16, 26, 48, White, 15);
    c.rect(38, 16, 44, 48, White, 15);
    c.rect(20, 29, 44, 35, White, 15);
}

void paintRailing(Canvas& c) {
    // Bars with gaps: drawn blended so the deck shows between them.
    for (int y = 0; y < 64; y += 8) c.rect(0, y, 64, y + 3, Metal, 12);
    c.rect(0, 0, 4, 64, Metal, 8);
    c.rect(60, 0, 64, 64, Metal, 8);
}

void paintHedge(Canvas& c) {
    c.fill(Foliage, 5, 2);
    for (int i = 0; i < 30; ++i) c.disc(c.rnd().range(0, 63), c.rnd().range(0, 63), 5, Foliage, c.rnd().range(6, 9), 1);
}

void paintLamp(Canvas& c) {
    paintPavement(c);
    c.disc(32, 32, 10, Metal, 6);
    c.disc(32, 32, 7, Yellow, 14);
}

void paintStatue(Canvas& c) {
    c.fill(Concrete, 12, 1);
    c.disc(32, 32, 12, Metal, 5);
    c.disc(30, 30, 7, Metal, 10);
}

void paintAwning(Canvas& c, int ramp) {
    for (int x = 0; x < 64; x += 16) {
        c.rect(x, 4, x + 8, 58, ramp, 10, 0);
        c.rect(x + 8, 4, x + 16, 58, White, 14, 0);
    }
    for (int x = 0; x < 64; x += 8) c.disc(x + 4, 58, 4, ramp, 8);  // scalloped edge
}

void paintCar(Canvas& c, int ramp) {
    // Pointing up, transparent around the body.
    c.rect(20, 10, 44, 54, Asphalt, 2);  // tyres and shadow
    c.rect(22, 8, 42, 56, ramp, 9, 0);
    c.rect(24, 18, 40, 26, Glass, 5);   // windscreen
    c.rect(24, 42, 40, 48, Glass, 4);   // rear window
    c.rect(24, 26, 40, 42, ramp, 11);   // roof
}

void paintFountain(Canvas& c) {
    paintPlaza(c, 0);
    c.disc(32, 32, 28, Concrete, 14);
    c.disc(32, 32, 24, Water, 8, 1);
    c.disc(32, 32, 6, White, 15);
}

void paintSand(Canvas& c) {
    c.fill(Sand, 11, 1);
    for (int i = 0; i < 50; ++i) c.set(c.rnd().range(0, 63), c.rnd().range(0, 63), Sand, 8);
}

void paintGravel(Canvas& c) {
    c.fill(Sand, 9, 2);
    for (int i = 0; i < 120; ++i) c.set(c.rnd().range(0, 63), c.rnd().range(0, 63), Concrete, c.rnd().range(6, 12));
}

void paintFlowerBed(Canvas& c) {
    c.fill(Wood, 5, 1);
    for (int y = 4; y < 64; y += 12)
        for (int x = 4; x < 64; x += 10) c.disc(x + (y / 12 % 2) * 5, y, 4, y % 24 < 12 ? Flower : Red, 12, 1);
    c.rect(0, 0, 64, 3, Concrete, 12);
    c.rect(0, 61, 64, 64, Concrete, 12);
}

void paintYard(Canvas& c) {
    c.fill(Concrete, 7, 2);
    for (int i = 0; i < 14; ++i) {
        const int x = c.rnd().range(0, 60), y = c.rnd().range(0, 60);
        c.rect(x, y, x + c.rnd().range(3, 10), y + 2, Asphalt, 5);
    }
}

void paintMetalRoof(Canvas& c, bool edge) {
    c.fill(Slate, 9, 0);
    for (int x = 0; x < 64; x += 8) c.rect(x, 0, x + 2, 64, Slate, 12);
    if (edge) c.rect(0, 0, 64, 6, Slate, 4);
}

// Scaffolding-like tiles for the numbers 992 and up.
void paintScaffold(Canvas& c, int k) {
    c.fill(Concrete, 6, 1);
    for (int i = -64; i < 64; i += 12)
        for (int t = 0; t < 64; ++t) {
            c.set(t, t + i + k % 12, Wood, 9);
            c.set(t, 63 - t + i, Metal, 10);
        }
}

Tiles drawTiles(StyleWriter& style) {
    Random rnd(0x5A3C17E5ull);
    TileFactory f(style, rnd);
    Tiles t;

    t.asphalt = f.make(0, paintAsphalt);
    t.lane = f.make(0, [](Canvas& c) { paintLane(c, true); });
    t.stopLane = f.make(0, [](Canvas& c) { paintLane(c, false); });
    t.zebra = f.make(0, paintZebra);
    t.parking = f.make(0, paintParking);
    t.pave = f.make(0, paintPavement);
    t.kerb = f.make(0, [](Canvas& c) { paintKerb(c, false); });
    t.kerbCorner = f.make(0, [](Canvas& c) { paintKerb(c, true); });
    for (int v = 0; v < 3; ++v) t.plaza.push_back(f.make(0, [v](Canvas& c) { paintPlaza(c, v); }));
    t.fountain = f.make(0, paintFountain);
    for (int v = 0; v < 4; ++v) t.grass.push_back(f.make(0, [v](Canvas& c) { paintGrass(c, v); }));
    for (int v = 0; v < 2; ++v) t.flowers.push_back(f.make(0, [v](Canvas& c) { paintFlowers(c, v); }));
    t.gravel = f.make(0, paintGravel);
    t.flowerBed = f.make(0, paintFlowerBed);
    t.hedge = f.make(0, paintHedge);
    t.sand = f.make(0, paintSand);
    t.yard = f.make(0, paintYard);
    for (int v = 0; v < 4; ++v) t.trees.push_back(f.make(0, [v](Canvas& c) { paintTree(c, v); }));
    for (int v = 0; v < 4; ++v) t.water.push_back(f.make(0, [v](Canvas& c) { paintWater(c, v); }));
    t.boat = f.make(0, paintBoat);
    for (int part = 0; part < 4; ++part) t.ship[size_t(part)] = f.make(0, [part](Canvas& c) { paintShipHalf(c, part); });
    t.bank = f.make(0, [](Canvas& c) { paintBank(c, false); });
    t.bankGrass = f.make(0, [](Canvas& c) { paintBank(c, true); });
    t.pier = f.make(0, paintPier);
    for (int ramp : {Red, Glass, Yellow, Grass, Slate})
        t.containers.push_back(f.make(0, [ramp](Canvas& c) { paintContainer(c, ramp); }));
    for (int p = 0; p < RoofPalettes; ++p) {
        t.roofEdge[size_t(p)] = f.make(p, [](Canvas& c) { paintRoof(c, true, false); });
        t.roofCorner[size_t(p)] = f.make(p, [](Canvas& c) { paintRoof(c, true, true); });
        t.pitch[size_t(p)] = f.make(p, [](Canvas& c) { paintPitch(c, false); });
        t.ridge[size_t(p)] = f.make(p, [](Canvas& c) { paintPitch(c, true); });
        for (int v = 0; v < 6; ++v)
            t.roofCentre[size_t(p)].push_back(f.make(p, [v](Canvas& c) { paintRoofCentre(c, v); }));
    }
    t.helipad = f.make(0, paintHelipad);
    t.glassRoof = f.make(0, paintGlassRoof);
    t.metalRoof = f.make(0, [](Canvas& c) { paintMetalRoof(c, false); });
    t.metalRoofEdge = f.make(0, [](Canvas& c) { paintMetalRoof(c, true); });
    const int wallRamps[][2] = {{Brick, Glass}, {Concrete, Glass}, {Sand, Asphalt}, {White, Glass}, {Slate, Yellow}};
    for (const auto& w : wallRamps) t.walls.push_back(f.make(0, [w](Canvas& c) { paintWall(c, w[0], w[1]); }));
    t.glassWall = f.make(0, paintGlassWall);
    t.railing = f.make(0, paintRailing);
    t.lamp = f.make(0, paintLamp);
    t.statue = f.make(0, paintStatue);
    for (int ramp : {Red, Glass, Flower}) t.awnings.push_back(f.make(0, [ramp](Canvas& c) { paintAwning(c, ramp); }));
    for (int ramp : {Red, Glass, White, Yellow, Grass, Slate, Metal})
        t.cars.push_back(f.make(0, [ramp](Canvas& c) { paintCar(c, ramp); }));

    // The rest of the 992 ordinary tiles: more variants of what the city
    // shows most, so the pages are full and the map has variety to pick from.
    for (int k = 0; f.used() < 992; ++k) {
        const int palette = int(hashOf(k, 7) % RoofPalettes);
        switch (k % 8) {
            case 0:
            case 1:
            case 2:
                t.roofCentre[size_t(palette)].push_back(
                    f.make(palette, [k](Canvas& c) { paintRoofCentre(c, k / 8); }));
                break;
            case 3: t.grass.push_back(f.make(0, [k](Canvas& c) { paintGrass(c, k / 8 % 4); })); break;
            case 4: t.trees.push_back(f.make(0, [k](Canvas& c) { paintTree(c, k / 8 % 4); })); break;
            case 5: t.water.push_back(f.make(0, [k](Canvas& c) { paintWater(c, k / 8); })); break;
            case 6: t.plaza.push_back(f.make(0, [k](Canvas& c) { paintPlaza(c, k / 8 % 3); })); break;
            default: {
                const auto& w = wallRamps[size_t(k / 8) % 5];
                t.walls.push_back(f.make(0, [w](Canvas& c) { paintWall(c, w[0], w[1]); }));
                break;
            }
        }
    }
    for (int k = 992; k < 1024; ++k) t.noLid.push_back(f.makeAt(k, 0, [k](Canvas& c) { paintScaffold(c, k); }));

    // Surface groups: 0 ground, 1 road, 2 water, 3 pavement.
    for (int g : t.grass) style.addToGroup(g, 0);
    for (int g : t.flowers) style.addToGroup(g, 0);
    for (int g : {t.gravel, t.hedge, t.sand, t.flowerBed}) style.addToGroup(g, 0);
    for (int g : {t.asphalt, t.lane, t.stopLane, t.zebra, t.parking}) style.addToGroup(g, 1);
    for (int g : t.water) style.addToGroup(g, 2);
    for (int g : {t.pave, t.kerb, t.kerbCorner, t.fountain, t.pier, t.yard}) style.addToGroup(g, 3);
    for (int g : t.plaza) style.addToGroup(g, 3);
    return t;
}

// -------------------------------------------------------------------- map

enum Slope : int {
    RampNorthLow = 1, RampNorthHigh = 2, RampSouthLow = 3, RampSouthHigh = 4,
    RampEastLow = 5, RampEastHigh = 6, RampWestLow = 7, RampWestHigh = 8,
    GentleWest = 9, GentleSouth = 17, GentleEast = 25, GentleNorth = 33,
    SteepNorth = 41, SteepSouth = 42, SteepEast = 43, SteepWest = 44,
    TriangleBottomRight = 45, TriangleBottomLeft = 46, TriangleTopRight = 47, TriangleTopLeft = 48,
    DiagonalTopLeft = 49, DiagonalTopRight = 50, DiagonalBottomLeft = 51, DiagonalBottomRight = 52,
    StripLeft = 53, StripRight = 54, StripTop = 55, StripBottom = 56,
    CornerTopLeft = 57, CornerTopRight = 58, CornerBottomRight = 59, CornerBottomLeft = 60,
    Centre = 61, FlatAlso = 62, FlatToo = 63,
};

uint16_t face(int tile, int rotation = 0, bool flip = false, bool blend = false, int lighting = 0) {
    return uint16_t((tile & 0x3FF) | ((lighting & 3) << 10) | (int(blend) << 12) | (int(flip) << 13) |
                    ((rotation & 3) << 14));
}

constexpr int Ground = 1;  // street level; water lies one layer lower

enum class Use : uint8_t { Free, Street, Water, Bank, Park, Built, Plaza, Bridge };

class CityBuilder {
public:
    CityBuilder(MapWriter& map, const Tiles& tiles) : map_(map), t_(tiles), rnd_(0xC17F00Dull) {
        use_.fill(Use::Free);
        top_.fill(Ground);
    }

    void build() {
        planWater();
        layStreets();
        layWaterAndBanks();
        layBlocks();
        layPark();
        layRiverside();
        layBridges();
        layHarbour();
        addStreetTrees();
        addTraffic();
        castShadows();
        addZones();
    }

private:
    // ---- plan helpers

    static bool inside(int x, int y) { return x >= 0 && x < 256 && y >= 0 && y < 256; }
    Use& use(int x, int y) { return use_[size_t(y * 256 + x)]; }
    Use useAt(int x, int y) const { return inside(x, y) ? use_[size_t(y * 256 + x)] : Use::Free; }
    int& top(int x, int y) { return top_[size_t(y * 256 + x)]; }
    int topAt(int x, int y) const { return inside(x, y) ? top_[size_t(y * 256 + x)] : Ground; }
    bool water(int x, int y) const { return inside(x, y) && water_[size_t(y * 256 + x)]; }

    BlockInfo& at(int x, int y, int z) { return map_.at(x, y, z); }
    void lid(int x, int y, int z, uint16_t f, int slope = 0) {
        BlockInfo& b = at(x, y, z);
        b.lid = f;
        b.slope = uint8_t(slope << 2);
    }
    int pick(const std::vector<int>& v, int x, int y, int salt = 0) const {
        return v[hashOf(x, y, salt) % v.size()];
    }
    // Ground tiles get a random turn and mirror so repetition does not show.
    uint16_t scattered(int tile, int x, int y) const {
        const uint32_t h = hashOf(x, y, 99);
        return face(tile, int(h & 3), (h >> 2) & 1);
    }
    void groundLid(int x, int y, uint16_t f) { lid(x, y, Ground, f); }

    static bool inPark(int x, int y) { return x >= 68 && x <= 127 && y >= 36 && y <= 95; }
    static bool inHarbour(int x, int y) { return x >= 197 && y >= 168; }

    void planWater() {
        water_.fill(false);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const bool river = y >= 168 && y <= 187;
                const bool canal = x >= 143 && x <= 148 && y >= 102 && y <= 167;
                const bool pond = x >= 106 && x <= 121 && y >= 42 && y <= 55;
                const bool pier = x >= 200 && x <= 239 && ((y >= 204 && y <= 206) || (y >= 228 && y <= 230));
                if (river || canal || pond || (inHarbour(x, y) && !pier)) water_[size_t(y * 256 + x)] = true;
            }
    }

    // ---- streets

    enum Lane { P0, L0, L1, P1 };  // position across a 4-square street

    void layStreets() {
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                if (water(x, y) || inPark(x, y)) continue;
                const bool vertical = x % 32 < 4, horizontal = y % 32 < 4;
                if (!vertical && !horizontal) continue;
                // Streets stop at the river and at the harbour; three carry
                // on over bridges, laid later.
                if (y >= 164 && y <= 191 && !(vertical && bridged(x / 32))) continue;
                if (x >= 196 && y >= 164) continue;
                use(x, y) = Use::Street;
                groundLid(x, y, streetFace(x, y, vertical, horizontal));
            }
    }

    static bool bridged(int k) { return k == 1 || k == 3 || k == 6; }

    uint16_t streetFace(int x, int y, bool vertical, bool horizontal) const {
        const int cx = x % 32, cy = y % 32;
        if (vertical && horizontal) {
            const bool laneX = cx == L0 || cx == L1, laneY = cy == L0 || cy == L1;
            if (laneX && laneY) return face(t_.asphalt);
            if (laneX) return face(t_.zebra, 0);   // crossing over the vertical road
            if (laneY) return face(t_.zebra, 1);   // crossing over the horizontal road
            // Pavement corner: kerbs towards both roads.
            if (cx == P0 && cy == P0) return face(t_.kerbCorner, 0);
            if (cx == P1 && cy == P0) return face(t_.kerbCorner, 0, true);
            if (cx == P1 && cy == P1) return face(t_.kerbCorner, 2);
            return face(t_.kerbCorner, 3);
        }
        if (horizontal) {
            // A street ending at a crossing street runs on as plain road;
            // the dashes stop a square early so the junction stays clear.
            switch (cy) {
                case P0: return face(t_.kerb, 0);
                case L0: return face(t_.lane, 0);
                case L1: return face(t_.lane, 2);
                default: return face(t_.kerb, 2);
            }
        }
        switch (cx) {
            case P0: return face(t_.kerb, 3);
            case L0: return face(t_.lane, 3);
            case L1: return face(t_.lane, 1);
            default: return face(t_.kerb, 1);
        }
    }

    // ---- water

    void layWaterAndBanks() {
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                if (water(x, y)) {
                    use(x, y) = Use::Water;
                    top(x, y) = 0;
                    lid(x, y, 0, scattered(pick(t_.water, x, y), x, y));
                    // A water square with land on two sides gets a rounded
                    // corner of land laid over it.
                    const bool n = !water(x, y - 1) && inside(x, y - 1), s = !water(x, y + 1) && inside(x, y + 1);
                    const bool w = !water(x - 1, y) && inside(x - 1, y), e = !water(x + 1, y) && inside(x + 1, y);
                    int tri = 0;
                    if (n && w && !s && !e) tri = TriangleTopLeft;
                    if (n && e && !s && !w) tri = TriangleTopRight;
                    if (s && w && !n && !e) tri = TriangleBottomLeft;
                    if (s && e && !n && !w) tri = TriangleBottomRight;
                    if (tri) lid(x, y, Ground, face(t_.bank), tri);
                    continue;
                }
                const bool n = water(x, y - 1), s = water(x, y + 1), w = water(x - 1, y), e = water(x + 1, y);
                const int sides = int(n) + int(s) + int(w) + int(e);
                if (sides == 0) continue;
                use(x, y) = Use::Bank;
                top(x, y) = 0;
                // The bank slopes down towards the water; its tile's water
                // side is the bottom edge, turned to face the water.
                int slope = SteepSouth, rotation = 0;
                if (n) slope = SteepNorth, rotation = 2;
                if (e) slope = SteepEast, rotation = 3;
                if (w) slope = SteepWest, rotation = 1;
                if (s) slope = SteepSouth, rotation = 0;
                const bool grassy = inPark(x, y);
                if (sides >= 2) {
                    // A point of land between two waters: water below, a
                    // triangle of land on the dry side.
                    lid(x, y, 0, scattered(pick(t_.water, x, y), x, y));
                    int tri = TriangleTopLeft;
                    if (s && e) tri = TriangleTopLeft;
                    if (s && w) tri = TriangleTopRight;
                    if (n && e) tri = TriangleBottomLeft;
                    if (n && w) tri = TriangleBottomRight;
                    lid(x, y, Ground, face(grassy ? t_.bankGrass : t_.bank), tri);
                    continue;
                }
                lid(x, y, 0, face(grassy ? t_.bankGrass : t_.bank, rotation), slope);
            }
    }

    // ---- city blocks

    enum class BlockKind { Residential, MidRise, Downtown, Industrial, Plaza, Parking, Canal, None };

    BlockKind kindOf(int bx, int by) const {
        static const char* kLayout[8] = {
            // bx: 01234567
            "RRMMMMPM",  // by 0
            "RZ..DDMI",  // by 1   (. = park)
            "RM..DDMM",  // by 2
            "RMMMCDPM",  // by 3
            "MMRMCZMI",  // by 4
            "~~~~~~~~",  // by 5   river
            "RRZMMI~~",  // by 6
            "RMIPMI~~",  // by 7
        };
        switch (kLayout[by][bx]) {
            case 'R': return BlockKind::Residential;
            case 'M': return BlockKind::MidRise;
            case 'D': return BlockKind::Downtown;
            case 'I': return BlockKind::Industrial;
            case 'Z': return BlockKind::Plaza;
            case 'P': return BlockKind::Parking;
            case 'C': return BlockKind::Canal;
            default: return BlockKind::None;
        }
    }

    void layBlocks() {
        for (int by = 0; by < 8; ++by)
            for (int bx = 0; bx < 8; ++bx) {
                const int x0 = 32 * bx + 4, y0 = 32 * by + 4, x1 = 32 * bx + 31, y1 = 32 * by + 31;
                if (by == 7 && bx >= 6) continue;
                switch (kindOf(bx, by)) {
                    case BlockKind::Residential: residential(x0, y0, x1, y1); break;
                    case BlockKind::MidRise: midRise(x0, y0, x1, y1); break;
                    case BlockKind::Downtown: downtown(x0, y0, x1, y1, bx * 8 + by); break;
                    case BlockKind::Industrial: industrial(x0, y0, x1, y1); break;
                    case BlockKind::Plaza: plaza(x0, y0, x1, y1); break;
                    case BlockKind::Parking: parking(x0, y0, x1, y1); break;
                    case BlockKind::Canal: canalSide(x0, y0, x1, y1); break;
                    case BlockKind::None: break;
                }
            }
    }

    void fillGround(int x0, int y0, int x1, int y1, const std::function<uint16_t(int, int)>& f, Use u) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                if (!inside(x, y) || useAt(x, y) == Use::Water || useAt(x, y) == Use::Bank) continue;
                use(x, y) = u;
                groundLid(x, y, f(x, y));
            }
    }

    // A flat-roofed building: walls on every storey, lids 0 below the roof
    // (the roof covers them), a parapet around the roof. chamfer puts
    // diagonal corners on the top storey: with a roof (lid tile below 992)
    // or open (a lid of 992 and up marks a diagonal without lid).
    enum class Corners { Square, Chamfered, Open };

    void building(int x0, int y0, int x1, int y1, int floors, int palette, int wall, Corners corners = Corners::Square,
                  int centreSlope = 0) {
        const int roofZ = Ground + floors;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                if (useAt(x, y) == Use::Water || useAt(x, y) == Use::Bank) continue;
                use(x, y) = Use::Built;
                top(x, y) = roofZ;
                groundLid(x, y, face(t_.pave));
                for (int z = Ground + 1; z <= roofZ; ++z) {
                    BlockInfo& b = at(x, y, z);
                    b = BlockInfo{};
                    if (x == x0) b.left = face(wall);
                    if (x == x1) b.right = face(wall, 0, true);
                    if (y == y0) b.top = face(wall);
                    if (y == y1) b.bottom = face(wall);
                }
                const bool l = x == x0, r = x == x1, tp = y == y0, bt = y == y1;
                uint16_t roof;
                if (tp && l) roof = face(t_.roofCorner[size_t(palette)], 0);
                else if (tp && r) roof = face(t_.roofCorner[size_t(palette)], 1);
                else if (bt && r) roof = face(t_.roofCorner[size_t(palette)], 2);
                else if (bt && l) roof = face(t_.roofCorner[size_t(palette)], 3);
                else if (tp) roof = face(t_.roofEdge[size_t(palette)], 0);
                else if (r) roof = face(t_.roofEdge[size_t(palette)], 1);
                else if (bt) roof = face(t_.roofEdge[size_t(palette)], 2);
                else if (l) roof = face(t_.roofEdge[size_t(palette)], 3);
                else if (hashOf(x, y, 13) % 100 < 78) roof = scattered(t_.roofCentre[size_t(palette)][0], x, y);
                else roof = scattered(pick(t_.roofCentre[size_t(palette)], x, y, palette), x, y);
                BlockInfo& b = at(x, y, roofZ);
                b.lid = roof;
                if (!(l || r || tp || bt)) b.slope = uint8_t(centreSlope << 2);
            }
        if (corners == Corners::Square) return;
        const struct {
            int x, y, slope;
        } cs[] = {{x0, y0, DiagonalTopLeft}, {x1, y0, DiagonalTopRight}, {x0, y1, DiagonalBottomLeft},
                  {x1, y1, DiagonalBottomRight}};
        for (const auto& c : cs) {
            for (int z = Ground + 1; z <= roofZ; ++z) {
                BlockInfo& b = at(c.x, c.y, z);
                b.slope = uint8_t(c.slope << 2);
                b.left = face(wall);
                b.right = face(wall, 2);
                if (z < roofZ) b.lid = 0;
            }
            BlockInfo& b = at(c.x, c.y, roofZ);
            if (corners == Corners::Open) b.lid = face(t_.noLid[hashOf(c.x, c.y) % t_.noLid.size()]);
            else b.lid = face(t_.roofEdge[size_t(palette)], 0);
            if (corners == Corners::Open) {
                // Below an open corner the ground shows through.
                use(c.x, c.y) = Use::Plaza;
                top(c.x, c.y) = Ground;
                for (int z = Ground + 1; z < roofZ; ++z) at(c.x, c.y, z) = BlockInfo{};
            }
        }
    }

    // Houses with pitched roofs in gardens. Roofs run east-west (north and
    // south halves) or north-south (west and east halves).
    void residential(int x0, int y0, int x1, int y1) {
        fillGround(x0, y0, x1, y1, [this](int x, int y) { return scattered(pick(t_.grass, x, y), x, y); }, Use::Park);
        const int housePalettes[] = {0, 0, 1, 3, 6, 4};
        for (int hy = y0 + 1; hy + 4 <= y1; hy += 7) {
            for (int hx = x0 + 1; hx + 4 <= x1; hx += 7) {
                const uint32_t h = hashOf(hx, hy, 5);
                const int palette = housePalettes[h % 6];
                const bool eastWest = (h >> 4) & 1;
                const int w = eastWest ? 5 : 4, d = eastWest ? 4 : 5;
                for (int y = hy; y < hy + d; ++y)
                    for (int x = hx; x < hx + w; ++x) {
                        use(x, y) = Use::Built;
                        top(x, y) = Ground + 1;
                        BlockInfo& b = at(x, y, Ground + 1);
                        if (x == hx) b.left = face(t_.walls[0]);
                        if (x == hx + w - 1) b.right = face(t_.walls[0]);
                        int slope, rotation;
                        bool ridge;
                        if (eastWest) {
                            const bool north = y - hy < d / 2;
                            slope = north ? SteepNorth : SteepSouth;
                            rotation = north ? 2 : 0;
                            ridge = y - hy == d / 2 - 1 || y - hy == d / 2;
                        } else {
                            const bool west = x - hx < w / 2;
                            slope = west ? SteepWest : SteepEast;
                            rotation = west ? 1 : 3;
                            ridge = x - hx == w / 2 - 1 || x - hx == w / 2;
                        }
                        b.lid = face(ridge ? t_.ridge[size_t(palette)] : t_.pitch[size_t(palette)], rotation);
                        b.slope = uint8_t(slope << 2);
                    }
                // A driveway to the street-facing side and a garden tree.
                for (int y = hy + d; y <= std::min(y1, hy + d + 1); ++y) groundLid(hx + 1, y, face(t_.gravel));
                if ((h >> 8) % 3 != 0) tree(hx + w + 1, hy + 1 + int(h >> 12) % 3);
                if ((h >> 10) % 2) lid(hx + w, hy + d, Ground, face(t_.flowers[h % 2]));
            }
        }
        hedgeRow(x0, y1, x1, y1);
    }

    void hedgeRow(int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (useAt(x, y) == Use::Park && at(x, y, Ground + 1).lid == 0) lid(x, y, Ground + 1, face(t_.hedge), StripBottom);
    }

    void tree(int x, int y) {
        if (!inside(x, y) || useAt(x, y) == Use::Built || useAt(x, y) == Use::Water) return;
        BlockInfo& b = at(x, y, Ground + 1);
        if (b.lid != 0) return;
        const uint32_t h = hashOf(x, y, 31);
        b.lid = face(pick(t_.trees, x, y, 3), int(h & 3), (h >> 2) & 1, true);
    }

    // Four lots around a cross of alleys.
    void midRise(int x0, int y0, int x1, int y1) {
        fillGround(x0, y0, x1, y1, [this](int, int) { return face(t_.pave); }, Use::Plaza);
        const int mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
        const int lots[4][4] = {{x0, y0, mx - 1, my - 1}, {mx + 2, y0, x1, my - 1}, {x0, my + 2, mx - 1, y1}, {mx + 2, my + 2, x1, y1}};
        for (int i = 0; i < 4; ++i) {
            const uint32_t h = hashOf(x0, y0, i);
            const int floors = 2 + int(h % 3);
            const int palette = int((h >> 4) % RoofPalettes);
            const int wall = t_.walls[(h >> 8) % t_.walls.size()];
            const int* l = lots[i];
            if ((h >> 12) % 3 == 0) {
                // Two buildings of different heights side by side.
                const int split = (l[0] + l[2]) / 2;
                building(l[0], l[1], split, l[3], floors, palette, wall);
                building(split + 1, l[1], l[2], l[3], std::max(1, floors - 1), (palette + 3) % RoofPalettes, wall);
            } else if ((h >> 12) % 3 == 1) {
                // A building set back behind a small forecourt with trees.
                building(l[0] + 1, l[1] + 1, l[2] - 1, l[3] - 1, floors, palette, wall);
                for (int x = l[0]; x <= l[2]; x += 3) tree(x, l[1] == y0 ? l[1] : l[3]);
            } else {
                building(l[0], l[1], l[2], l[3], floors, palette, wall, Corners::Square, (h >> 16) % 4 == 0 ? FlatAlso : 0);
            }
        }
    }

    // A podium with a tower; the tallest towers get chamfered corners and a
    // helipad.
    void downtown(int x0, int y0, int x1, int y1, int salt) {
        fillGround(x0, y0, x1, y1, [this](int x, int y) { return face(pick(t_.plaza, x, y)); }, Use::Plaza);
        const uint32_t h = hashOf(salt, 77);
        const int palette = int(h % 2 ? 5 : 4);
        building(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 2, 3, t_.walls[1]);
        const int tx0 = x0 + 6 + int(h >> 4) % 4, ty0 = y0 + 6 + int(h >> 8) % 4;
        const int size = 11 + int(h >> 12) % 3;
        // Tower and a narrower crown, both with cut corners.
        building(tx0, ty0, tx0 + size, ty0 + size, 4, palette, t_.glassWall, Corners::Chamfered, FlatToo);
        building(tx0 + 3, ty0 + 3, tx0 + size - 3, ty0 + size - 3, 5, 1 + int(h >> 16) % 2 * 4, t_.glassWall,
                 Corners::Chamfered, FlatToo);
        const int cx = tx0 + size / 2, cy = ty0 + size / 2;
        at(cx, cy, Ground + 5).lid = face(t_.helipad);
        at(cx, cy, Ground + 5).slope = 0;
        // A mast above the roof, on the layer the minimap never draws.
        at(cx + 2, cy + 2, 7).lid = face(t_.asphalt);
        // Trees along the podium's front.
        for (int x = x0; x <= x1; x += 4) tree(x, y0);
    }

    void industrial(int x0, int y0, int x1, int y1) {
        fillGround(x0, y0, x1, y1, [this](int, int) { return face(t_.yard); }, Use::Plaza);
        // Two sheds with ridged metal roofs and a container yard.
        for (int s = 0; s < 2; ++s) {
            const int sx0 = x0 + 1, sy0 = y0 + 1 + s * 10, sx1 = x0 + 16, sy1 = sy0 + 7;
            for (int y = sy0; y <= sy1; ++y)
                for (int x = sx0; x <= sx1; ++x) {
                    use(x, y) = Use::Built;
                    top(x, y) = Ground + 2;
                    BlockInfo& low = at(x, y, Ground + 1);
                    if (x == sx0) low.left = face(t_.walls[4]);
                    if (x == sx1) low.right = face(t_.walls[4]);
                    BlockInfo& b = at(x, y, Ground + 2);
                    b.lid = y == sy0 ? face(t_.metalRoofEdge) : y == sy1 ? face(t_.metalRoofEdge, 2) : face(t_.metalRoof);
                    if (x == sx0) b.left = face(t_.walls[4]);
                    if (x == sx1) b.right = face(t_.walls[4]);
                }
        }
        for (int y = y0 + 1; y <= y1 - 1; y += 2)
            for (int x = x0 + 19; x <= x1 - 1; ++x) {
                if (hashOf(x / 2, y, 9) % 5 == 0) continue;
                use(x, y) = Use::Built;
                top(x, y) = Ground + 1;
                lid(x, y, Ground + 1, face(t_.containers[hashOf(x / 2, y, 2) % t_.containers.size()], 1));
            }
    }

    void plaza(int x0, int y0, int x1, int y1) {
        fillGround(x0, y0, x1, y1, [this](int x, int y) { return face(t_.plaza[(x + y) % 2 ? 0 : 2]); }, Use::Plaza);
        const int cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
        // A fountain basin ringed by flower beds, statues at its corners.
        for (int y = cy - 4; y <= cy + 4; ++y)
            for (int x = cx - 4; x <= cx + 4; ++x) {
                const int d = std::max(std::abs(x - cx), std::abs(y - cy));
                if (d == 0) groundLid(x, y, face(t_.fountain));
                else if (d <= 2) groundLid(x, y, scattered(pick(t_.water, x, y), x, y));
                else if (d == 3) groundLid(x, y, face(t_.kerb, y < cy - 2 ? 2 : y > cy + 2 ? 0 : x < cx ? 1 : 3));
                else groundLid(x, y, face(t_.flowerBed, std::abs(x - cx) == 4 ? 1 : 0));
            }
        for (const auto& s : {std::array<int, 2>{cx - 5, cy - 5}, {cx + 5, cy - 5}, {cx - 5, cy + 5}, {cx + 5, cy + 5}})
            lid(s[0], s[1], Ground + 1, face(t_.statue), Centre);
        for (int x = x0; x <= x1; x += 3) {
            lid(x, y0, Ground + 1, face(t_.lamp), Centre);
            lid(x, y1, Ground + 1, face(t_.lamp), Centre);
        }
        // Market awnings, blended so the paving shows through the gaps.
        for (int y = y0 + 2; y <= y0 + 6; y += 2)
            for (int x = x0 + 2; x <= x0 + 9; ++x)
                lid(x, y, Ground + 1, face(t_.awnings[size_t((x - x0) / 3) % t_.awnings.size()], y % 4 ? 0 : 2, false, true));
        // An open-cornered glass pavilion.
        building(x1 - 9, y1 - 9, x1 - 3, y1 - 3, 1, 5, t_.glassWall, Corners::Open);
        for (int y = y1 - 8; y <= y1 - 4; ++y)
            for (int x = x1 - 8; x <= x1 - 4; ++x) at(x, y, Ground + 1).lid = face(t_.glassRoof);
        for (int y = y0 + 10; y <= y1 - 1; y += 3) {
            tree(x0 + 1, y);
            tree(x0 + 4, y);
        }
        for (int x = x0 + 7; x <= x1 - 12; x += 3) tree(x, y1 - 1);
    }

    void parking(int x0, int y0, int x1, int y1) {
        fillGround(x0, y0, x1, y1, [this](int, int) { return face(t_.asphalt); }, Use::Plaza);
        // Rows of bays facing a drive aisle, cars in about half of them.
        for (int y = y0 + 1; y <= y1 - 1; ++y) {
            const int row = (y - y0 - 1) % 5;
            if (row == 2) continue;  // aisle
            for (int x = x0 + 1; x <= x1 - 12; ++x) {
                groundLid(x, y, face(t_.parking, row < 2 ? 2 : 0));
                const uint32_t h = hashOf(x, y, 41);
                if (h % 100 < 55) lid(x, y, Ground + 1, face(pick(t_.cars, x, y), row < 2 ? 0 : 2, false, true));
            }
        }
        // A two-storey car park with cars on its roof.
        const int px0 = x1 - 10, py0 = y0 + 1, px1 = x1, py1 = y1 - 1;
        for (int y = py0; y <= py1; ++y)
            for (int x = px0; x <= px1; ++x) {
                use(x, y) = Use::Built;
                top(x, y) = Ground + 2;
                for (int z = Ground + 1; z <= Ground + 2; ++z) {
                    BlockInfo& b = at(x, y, z);
                    b = BlockInfo{};
                    if (x == px0) b.left = face(t_.walls[1]);
                    if (x == px1) b.right = face(t_.walls[1]);
                }
                const bool edge = x == px0 || x == px1 || y == py0 || y == py1;
                lid(x, y, Ground + 2, face(edge ? t_.roofEdge[5] : t_.parking, edge ? (y == py0 ? 0 : y == py1 ? 2 : x == px0 ? 3 : 1) : 1),
                    edge ? 0 : FlatToo);
                if (!edge && hashOf(x, y, 43) % 100 < 35) lid(x, y, Ground + 3, face(pick(t_.cars, x, y), 1, false, true));
            }
    }

    // Narrow lofts along the canal, with a quay between them and the water.
    void canalSide(int x0, int y0, int x1, int y1) {
        fillGround(x0, y0, x1, y1, [this](int, int) { return face(t_.pave); }, Use::Plaza);
        for (int y = y0 + 1; y + 5 <= y1; y += 7) {
            const uint32_t h = hashOf(x0, y, 8);
            building(x0 + 1, y, x0 + 7, y + 5, 2 + int(h % 3), int(h >> 3) % RoofPalettes, t_.walls[0]);
            building(x1 - 7, y, x1 - 1, y + 5, 2 + int((h >> 6) % 3), int(h >> 9) % RoofPalettes, t_.walls[2]);
        }
        for (int y = y0; y <= y1; y += 4) {
            lid(141, y, Ground + 1, face(t_.lamp), Centre);
            lid(150, y, Ground + 1, face(t_.lamp), Centre);
        }
    }

    // ---- park: lawns, paths, trees, a pond, a hill, a bandstand, hedges

    void layPark() {
        const int x0 = 68, y0 = 36, x1 = 127, y1 = 95;
        fillGround(x0, y0, x1, y1, [this](int x, int y) {
            if (hashOf(x / 3, y / 3, 17) % 11 == 0) return scattered(t_.flowers[hashOf(x, y) % 2], x, y);
            return scattered(pick(t_.grass, x, y), x, y);
        }, Use::Park);
        const int px = 97, py = 65;  // path cross
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                if (useAt(x, y) == Use::Water || useAt(x, y) == Use::Bank) continue;
                const bool path = (x == px || x == px + 1 || y == py || y == py + 1);
                const bool ring = std::max(std::abs(x - px), std::abs(y - py)) == 4;
                if (path || ring) groundLid(x, y, face(t_.gravel));
                if (ring && !path && hashOf(x, y) % 2) groundLid(x, y, face(t_.flowerBed, (x < px) ^ (y < py) ? 1 : 0));
            }
        lid(px, py, Ground + 1, face(t_.statue), Centre);

        // The hill: a 4 x 4 top on layer 2, eight-square gentle slopes on
        // each side, each side's squares numbered from the foot up.
        const int hx0 = 80, hy0 = 78, hx1 = 83, hy1 = 81;
        for (int y = hy0 - 8; y <= hy1 + 8; ++y)
            for (int x = hx0 - 8; x <= hx1 + 8; ++x) {
                const int dx = x < hx0 ? hx0 - x : x > hx1 ? x - hx1 : 0;
                const int dy = y < hy0 ? hy0 - y : y > hy1 ? y - hy1 : 0;
                if (dx > 8 || dy > 8 || (dx == 0 && dy == 0 && false)) continue;
                if (x == px || x == px + 1 || y == py || y == py + 1) continue;
                int slope = 0;
                if (dx == 0 && dy == 0) slope = 0;
                else if (dy >= dx) slope = (y < hy0 ? GentleNorth : GentleSouth) + (8 - dy);
                else slope = (x < hx0 ? GentleWest : GentleEast) + (8 - dx);
                top(x, y) = Ground + 1;
                lid(x, y, Ground + 1, scattered(pick(t_.grass, x, y, 4), x, y), slope);
            }
        lid(81, 79, Ground + 2, face(t_.statue), Centre);

        // Trees in clumps over the lawns.
        for (int y = y0 + 1; y <= y1 - 1; ++y)
            for (int x = x0 + 1; x <= x1 - 1; ++x) {
                if (useAt(x, y) != Use::Park || at(x, y, Ground + 1).lid != 0) continue;
                const int clump = int(hashOf(x / 5, y / 5, 23) % 100);
                if (std::abs(x - px) <= 5 && std::abs(y - py) <= 5) continue;
                if (int(hashOf(x, y, 29) % 100) < (clump > 45 ? 75 : 6)) tree(x, y);
            }

        // Bandstand with open diagonal corners.
        building(74, 42, 79, 47, 1, 2, t_.walls[3], Corners::Open);

        // Hedge around the park, with gaps where the paths leave it.
        for (int x = x0; x <= x1; ++x) {
            if (x == px || x == px + 1) continue;
            parkFence(x, y0, x == x0 ? CornerTopLeft : x == x1 ? CornerTopRight : StripTop);
            parkFence(x, y1, x == x0 ? CornerBottomLeft : x == x1 ? CornerBottomRight : StripBottom);
        }
        for (int y = y0 + 1; y < y1; ++y) {
            if (y == py || y == py + 1) continue;
            parkFence(x0, y, StripLeft);
            parkFence(x1, y, StripRight);
        }
    }

    void parkFence(int x, int y, int slope) { lid(x, y, Ground + 1, face(t_.hedge), slope); }

    // ---- river banks, promenades, harbour

    void layRiverside() {
        for (int y = 164; y <= 191; ++y)
            for (int x = 0; x < 256; ++x) {
                if (useAt(x, y) != Use::Free) continue;
                if (x >= 196 && y >= 164 && y < 168) {
                    groundLid(x, y, face(t_.pave));
                    use(x, y) = Use::Plaza;
                    continue;
                }
                use(x, y) = Use::Plaza;
                const bool edgeRow = y == 166 || y == 189;
                groundLid(x, y, edgeRow ? face(pick(t_.plaza, x, y)) : scattered(pick(t_.grass, x, y, 6), x, y));
                if (edgeRow && x % 6 == 0) lid(x, y, Ground + 1, face(t_.lamp), Centre);
                if (!edgeRow && (y == 164 || y == 191) && x % 4 == 2) tree(x, y);
            }
        // Beach strip on the harbour's south-west corner.
        for (int y = 232; y <= 255; ++y)
            for (int x = 197; x <= 199; ++x)
                if (water(x, y)) lid(x, y, Ground, face(t_.sand), x == 199 ? StripLeft : 0);
    }

    // Bridges: a deck one layer above the street, reached by two-square
    // ramps, with railings on the pavements and piers below.
    void layBridges() {
        for (int k : {1, 3, 6}) {
            const int x0 = 32 * k;
            for (int y = 164; y <= 191; ++y)
                for (int i = 0; i < 4; ++i) {
                    const int x = x0 + i;
                    const bool vertical = true, horizontal = false;
                    const uint16_t f = streetFace(x, y, vertical, horizontal);
                    int slope = 0;
                    if (y == 164) slope = RampNorthLow;
                    if (y == 165) slope = RampNorthHigh;
                    if (y == 190) slope = RampSouthHigh;
                    if (y == 191) slope = RampSouthLow;
                    if (useAt(x, y) == Use::Free || useAt(x, y) == Use::Plaza) groundLid(x, y, f);
                    use(x, y) = Use::Bridge;
                    top(x, y) = Ground + 1;
                    lid(x, y, Ground + 1, f, slope);
                    if (slope == 0 && (i == 0 || i == 3))
                        lid(x, y, Ground + 2, face(t_.railing, 0, false, true), i == 0 ? StripLeft : StripRight);
                    if (water(x, y) && y % 6 == 0) {
                        BlockInfo& pier = at(x, y, Ground);
                        pier.left = pier.right = pier.top = pier.bottom = face(t_.walls[1]);
                        pier.lid = 0;  // under the deck: nothing to see from above
                    }
                }
        }
        for (int y0 : {128, 160}) {
            for (int x = 139; x <= 152; ++x)
                for (int j = 0; j < 4; ++j) {
                    const int y = y0 + j;
                    const uint16_t f = streetFace(x, y, false, true);
                    int slope = 0;
                    if (x == 139) slope = RampWestLow;
                    if (x == 140) slope = RampWestHigh;
                    if (x == 151) slope = RampEastHigh;
                    if (x == 152) slope = RampEastLow;
                    use(x, y) = Use::Bridge;
                    top(x, y) = Ground + 1;
                    lid(x, y, Ground + 1, f, slope);
                    if (slope == 0 && (j == 0 || j == 3))
                        lid(x, y, Ground + 2, face(t_.railing, 1, false, true), j == 0 ? StripTop : StripBottom);
                }
        }
    }

    void layHarbour() {
        // Piers: planks over the water, containers and cranes' rails.
        for (int y = 0; y < 256; ++y)
            for (int x = 197; x < 256; ++x) {
                const bool pier = x >= 200 && x <= 239 && ((y >= 204 && y <= 206) || (y >= 228 && y <= 230));
                const bool pierLink = x >= 197 && x <= 199 && ((y >= 204 && y <= 206) || (y >= 228 && y <= 230));
                if (!(pier || pierLink)) continue;
                use(x, y) = Use::Plaza;
                top(x, y) = Ground;
                at(x, y, 0) = BlockInfo{};
                lid(x, y, 0, scattered(pick(t_.water, x, y), x, y));
                lid(x, y, Ground, face(t_.pier, (y % 2) * 2));
                if (pier && x >= 206 && x <= 236 && y % 12 == 5 && hashOf(x / 2, y) % 4 != 0) {
                    lid(x, y, Ground + 1, face(t_.containers[hashOf(x / 2, y, 1) % t_.containers.size()], 1));
                    top(x, y) = Ground + 1;
                }
            }
        // A breakwater with a light at its end.
        for (int x = 224; x < 256; ++x) {
            lid(x, 190, Ground, face(t_.bank, 0), 0);
            lid(x, 191, Ground, face(t_.bank, 2), 0);
            top(x, 190) = top(x, 191) = Ground;
            use(x, 190) = use(x, 191) = Use::Plaza;
        }
        lid(224, 190, Ground + 1, face(t_.statue), CornerBottomLeft);
        lid(225, 190, Ground + 1, face(t_.lamp), Centre);

        // Ships and boats, blended over the water.
        const struct {
            int x, y, length, rotation;
        } ships[] = {{210, 194, 6, 1}, {212, 215, 5, 3}, {246, 200, 7, 0}, {214, 238, 6, 1}, {250, 232, 4, 2},
                     {40, 176, 4, 3}, {160, 171, 5, 1}};
        for (const auto& s : ships) ship(s.x, s.y, s.length, s.rotation);
        const int boats[][3] = {{206, 176, 2}, {232, 222, 1}, {252, 212, 0}, {236, 246, 3}, {80, 181, 1},
                                {120, 173, 3}, {146, 140, 0}, {145, 112, 2}, {110, 47, 1}, {186, 182, 3}};
        for (const auto& b : boats)
            if (water(b[0], b[1])) lid(b[0], b[1], Ground, face(t_.boat, b[2], false, true));
    }

    // A ship two squares wide and length long whose bounding box starts at
    // (x, y), turned clockwise by rotation. The right half of the hull is
    // the left half mirrored: after a quarter turn that mirror is taken
    // with the opposite quarter turn.
    void ship(int x, int y, int length, int rotation) {
        for (int i = 0; i < length; ++i)
            for (int side = 0; side < 2; ++side) {
                const int part = i == 0 ? 0 : i == length - 1 ? 3 : 1 + i % 2;
                int c = side, r = i, w = 2, h = length;
                for (int k = 0; k < rotation; ++k) {
                    const int nc = h - 1 - r, nr = c;
                    c = nc;
                    r = nr;
                    std::swap(w, h);
                }
                uint16_t f;
                if (side == 0) f = face(t_.ship[size_t(part)], rotation, false, true);
                else f = face(t_.ship[size_t(part)], rotation % 2 ? (rotation + 2) % 4 : rotation, true, true);
                if (water(x + c, y + r)) lid(x + c, y + r, Ground, f);
            }
    }

    // Trees on the pavements, clear of crossings and bridges.
    void addStreetTrees() {
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                if (useAt(x, y) != Use::Street) continue;
                const int cx = x % 32, cy = y % 32;
                const bool vertical = cx < 4, horizontal = cy < 4;
                if (vertical == horizontal) continue;
                const int across = vertical ? cx : cy, along = vertical ? cy : cx;
                if ((across == P0 || across == P1) && along % 5 == 2 && along > 5 && along < 30) tree(x, y);
            }
    }

    // Cars on the streets, blended over the road.
    void addTraffic() {
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                if (useAt(x, y) != Use::Street && useAt(x, y) != Use::Bridge) continue;
                const int cx = x % 32, cy = y % 32;
                const bool vertical = cx < 4, horizontal = cy < 4;
                if (vertical == horizontal) continue;  // junctions stay clear
                const int lane = vertical ? cx : cy;
                if (lane != L0 && lane != L1) continue;
                if (hashOf(x, y, 57) % 100 >= 7) continue;
                // Traffic keeps to the right.
                int rotation;
                if (horizontal) rotation = lane == L0 ? 3 : 1;
                else rotation = lane == L0 ? 2 : 0;
                const int z = top(x, y) + 1;
                if (z > 6 || at(x, y, z).lid != 0) continue;
                lid(x, y, z, face(pick(t_.cars, x, y, 5), rotation, false, true));
            }
    }

    // Light comes from the top left: squares below and right of anything
    // taller are lit less, the nearer the darker.
    void castShadows() {
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const int h = topAt(x, y);
                int level = 0;
                for (int d = 1; d <= 4; ++d) {
                    const int rise = std::max({topAt(x - d, y - d), topAt(x - d, y - d + 1), topAt(x - d + 1, y - d)}) - h;
                    if (rise >= d) level = std::max(level, d == 1 ? 3 : d == 2 ? 2 : 1);
                }
                if (level == 0) continue;
                BlockInfo& b = at(x, y, h);
                if ((b.lid & 0x3FF) == 0 || (b.lid & 0x0C00) != 0) continue;
                const int slope = b.slope >> 2;
                if (slope >= 45 && slope != FlatAlso && slope != FlatToo) continue;  // keep masks and diagonals as drawn
                b.lid = uint16_t(b.lid | (level << 10));
            }
    }

    void addZones() {
        const struct {
            uint8_t type, x, y, w, h;
            const char* name;
        } zones[] = {
            {1, 128, 32, 64, 64, "Downtown"},     {1, 68, 36, 56, 56, "Central Park"},
            {1, 0, 0, 64, 160, "Old Town"},        {1, 132, 96, 28, 64, "Canal Quarter"},
            {1, 196, 164, 60, 92, "Harbour"},      {1, 0, 164, 196, 28, "River"},
            {16, 94, 62, 4, 4, "restart_park"},    {16, 200, 204, 6, 3, "restart_harbour"},
            {14, 0, 196, 64, 60, "gang_south"},    {14, 160, 32, 64, 64, "gang_downtown"},
            {2, 128, 128, 4, 4, "lights_1"},       {2, 96, 96, 4, 4, "lights_2"},
        };
        for (const auto& z : zones) map_.addZone({z.type, z.x, z.y, z.w, z.h, z.name});
        map_.addAnimation({uint16_t(t_.water[0]), 8, 0,
                           {uint16_t(t_.water[0]), uint16_t(t_.water[1]), uint16_t(t_.water[2]), uint16_t(t_.water[3])}});
    }

    MapWriter& map_;
    const Tiles& t_;
    Random rnd_;
    std::array<Use, 65536> use_{};
    std::array<int, 65536> top_{};
    std::array<bool, 65536> water_{};
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_city OUTDIR\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";

    StyleWriter style;
    writePalettes(style);
    const Tiles tiles = drawTiles(style);
    style.setTilePageCount(64);

    MapWriter map;
    CityBuilder(map, tiles).build();

    std::vector<MmpEntry> description;
    description.push_back({"styfile", "sample.sty"});
    description.push_back({"gmpfile", "sample.gmp"});
    description.push_back({"description", "Sample City"});
    description.push_back({"playercount", "6"});
    bool ok = saveBytes(dir + "sample.sty", style.bytes());
    ok = saveBytes(dir + "sample.gmp", map.bytes()) && ok;
    ok = saveText(dir + "sample.mmp", mapDescriptionText(description)) && ok;
    if (!ok) {
        std::fprintf(stderr, "make_sample_city: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
