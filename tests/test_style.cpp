// The style loader: palettes, tile atlas placement, water tint, surface groups.
#include <gtest/gtest.h>

#include "test_support.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "app/runtime.h"
#include "formats/level.h"
#include "formats/level_writer.h"
#include "formats/style.h"
#include "maplist/map_list.h"

using namespace vant;
using namespace vant::test;

namespace {

using Px = std::array<uint8_t, 4>;

ByteVec words(std::initializer_list<uint16_t> values) {
    ByteVec v;
    for (uint16_t x : values) put16(v, x);
    return v;
}

// "PPAL" pages whose entry e has blue = e & 0xFF, green = (e >> 8) & 0xFF,
// red = 0x40 + (e >> 16), so every entry of the first 65,536 is distinct.
ByteVec countingPpal(int pages) {
    ByteVec v;
    for (uint32_t e = 0; e < uint32_t(pages) * 16384; ++e)
        v.insert(v.end(), {uint8_t(e), uint8_t(e >> 8), uint8_t(0x40 + (e >> 16)), 0xEE});
    return v;
}

Px atlasPixel(const Level& level, int x, int y) {
    const size_t at = (size_t(y) * AtlasSize + size_t(x)) * 4;
    return {level.tileAtlas[at], level.tileAtlas[at + 1], level.tileAtlas[at + 2], level.tileAtlas[at + 3]};
}

// Writes a style file of these chunks, in order, and loads it headless.
bool load(Level& level, const std::string& path, const std::vector<Chunk>& chunks, int tintMode = 1) {
    ChunkFileWriter file("GBST");
    for (const Chunk& c : chunks) file.add(c);
    EXPECT_TRUE(saveBytes(path, file.bytes()));
    Runtime rt;
    rt.headless = true;
    rt.waterTintMode = tintMode;
    MapList maps;
    return loadStyle(rt, level, maps, -1, path);
}

// The checksum of a palette-and-one-page style: CRC bits (start 0, no final
// inversion) over the PALX bytes as read, each PPAL entry's blue, green, red,
// then page 0 as alpha, blue, green, red per pixel.
uint32_t expectedChecksum(ByteVec feed, const ByteVec& ppal, const Level& level) {
    for (size_t e = 0; e < ppal.size(); e += 4) feed.insert(feed.end(), &ppal[e], &ppal[e + 3]);
    for (int i = 0; i < 256 * 256; ++i) {
        const Px p = atlasPixel(level, i % 256, i / 256);
        feed.insert(feed.end(), {p[3], p[2], p[1], p[0]});
    }
    uint32_t value = 0;
    for (uint8_t c : feed) {
        value ^= c;
        for (int k = 0; k < 8; ++k) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    }
    return value;
}

}  // namespace

TEST(StylePalettes, InterleavedPagesSwappedColoursAndChecksum) {
    TempDir dir;
    ByteVec ppal = countingPpal(2);
    // Colour 5 of physical palette 70 is entry 16384 + 5 * 64 + 6.
    std::copy_n(ByteVec{0x10, 0x20, 0x30, 0x40}.begin(), 4, &ppal[(16384 + 5 * 64 + 6) * 4]);
    ByteVec tile(65536, 0);
    tile[0] = 5;      // tile 0, pixel (0, 0)
    tile[1] = 6;      // tile 0, pixel (1, 0)
    tile[256] = 255;  // tile 0, pixel (0, 1)
    tile[64] = 5;     // tile 1, pixel (64, 0)
    const ByteVec palx = words({70, 3});
    Level level;
    ASSERT_TRUE(load(level, dir.file("pal.sty"), {{"PALX", palx}, {"PPAL", ppal}, {"TILE", tile}}));
    EXPECT_EQ(atlasPixel(level, 0, 0), (Px{0x30, 0x20, 0x10, 255}));
    EXPECT_EQ(atlasPixel(level, 1, 0), (Px{0x40, 0x41, 0x86, 255}));   // palette 70, colour 6: entry 0x4186
    EXPECT_EQ(atlasPixel(level, 0, 1), (Px{0x40, 0x7F, 0xC6, 255}));   // colour 255: entry 0x7FC6
    EXPECT_EQ(atlasPixel(level, 2, 0), (Px{0, 0, 0, 0}));              // index 0 is transparent black
    EXPECT_EQ(atlasPixel(level, 64, 0), (Px{0x40, 0x01, 0x43, 255}));  // palette 3, colour 5: entry 5 * 64 + 3
    EXPECT_EQ(level.checksum.value(), expectedChecksum(palx, ppal, level));

    // An odd PALX size reads one more entry: entry 1 takes 0x05 and the first
    // byte after the chunk (the next chunk's type, 0x01), 0x0105 = 261.
    ppal = countingPpal(5);
    tile[1] = tile[256] = 0;
    tile[0] = tile[64] = 2;
    Level odd;
    ASSERT_TRUE(load(odd, dir.file("odd.sty"), {{"PALX", {2, 0, 5}}, {"\x01QQQ", {}}, {"PPAL", ppal}, {"TILE", tile}}));
    EXPECT_EQ(atlasPixel(odd, 0, 0), (Px{0x40, 0, 130, 255}));   // palette 2, colour 2: entry 130
    EXPECT_EQ(atlasPixel(odd, 64, 0), (Px{0x41, 0, 133, 255}));  // palette 261 (page 4, column 5)
    EXPECT_EQ(odd.checksum.value(), expectedChecksum({2, 0, 5, 1}, ppal, odd));
}

TEST(StyleTiles, PagesAndTileOrigins) {
    TempDir dir;
    ByteVec ppal(65536, 0);
    for (size_t e = 0; e < 16384; ++e) std::copy_n(ByteVec{1, 2, 3}.begin(), 3, ppal.begin() + long(e * 4));
    ByteVec tile(9 * 65536, 0);
    tile[65536 + 64] = 7;          // page 1, (64, 0): tile 17's first pixel
    tile[8 * 65536 + 128] = 9;     // page 8, (128, 0): tile 130's first pixel
    tile[8 * 65536 + 65535] = 11;  // page 8, (255, 255): tile 143's last pixel
    Level level;
    level.tileOrigin[1000] = TileOrigin{5.0f, 6.0f};  // pages the chunk lacks keep their entries
    ASSERT_TRUE(load(level, dir.file("tiles.sty"), {{"PALX", ByteVec(2 * 160, 0)}, {"PPAL", ppal}, {"TILE", tile}}));
    // {x, y, set}: set pixels are colour 3, 2, 1; the others clear.
    for (auto [x, y, set] : std::vector<std::array<int, 3>>{
             {320, 0, 1}, {319, 0, 0}, {256, 0, 0}, {128, 256, 1}, {255, 511, 1}, {256, 256, 0}})
        EXPECT_EQ(atlasPixel(level, x, y), (set ? Px{3, 2, 1, 255} : Px{0, 0, 0, 0})) << x << "," << y;
    const std::vector<std::array<float, 3>> origins = {
        {17, 320, 0}, {130, 128, 256}, {5, 64, 64}, {143, 192, 448}, {36, 512, 64}, {1000, 5, 6}};
    for (const auto& [t, u, v] : origins) {
        EXPECT_EQ(level.tileOrigin[size_t(t)].u, u) << t;
        EXPECT_EQ(level.tileOrigin[size_t(t)].v, v) << t;
    }
}

TEST(StyleTiles, WaterTintByModeAndSignature) {
    TempDir dir;
    // Tile 1 is water (group 2), tile 2 is not; both show colour 1 of palette
    // 0, grey 100. Tiles 608 to 619 may carry the signature.
    auto water = [&](int pages, bool signature, bool spoil619, int mode, Level& level) {
        ByteVec ppal(65536, 0);
        std::fill_n(&ppal[64 * 4], 3, 100);
        ByteVec tile(size_t(pages) * 65536, 0);
        tile[64] = tile[128] = 1;
        static const uint8_t sig[12][4] = {
            {204, 201, 172, 172}, {172, 172, 172, 172}, {172, 172, 202, 204}, {223, 204, 223, 208},
            {204, 201, 204, 223}, {204, 201, 201, 208}, {223, 223, 208, 208}, {208, 211, 211, 185},
            {223, 208, 208, 211}, {204, 208, 213, 208}, {201, 202, 201, 208}, {204, 223, 223, 204}};
        // Tile 608 + s starts at row 64 * (s / 4), column 64 * (s % 4) of page 38.
        for (size_t s = 0; signature && s < 12; ++s)
            std::copy_n(sig[s], 4, &tile[38 * 65536 + (s / 4) * 64 * 256 + (s % 4) * 64]);
        if (spoil619) tile[38 * 65536 + 2 * 64 * 256 + 3 * 64 + 3] = 205;  // 611 still matches
        const ByteVec palx(32 * size_t(pages), 0);
        ASSERT_TRUE(load(level, dir.file("water.sty"),
                         {{"PALX", palx}, {"PPAL", ppal}, {"SPEC", words({0, 0, 1})}, {"TILE", tile}}, mode));
    };
    const Px tinted{67, 84, 113, 255}, plain{100, 100, 100, 255};  // 100 times 0.67, 0.84, 1.13
    struct Case { int pages; bool signature, spoil; int mode; bool tint; };
    const std::vector<Case> cases = {{1, false, false, 2, true}, {1, false, false, 0, false}, {1, false, false, 1, false},
                                     {39, true, false, 1, true}, {39, true, true, 1, false}, {39, true, false, 0, false}};
    std::vector<uint32_t> checksums;
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.pages) + " pages, mode " + std::to_string(k.mode));
        Level level;
        water(k.pages, k.signature, k.spoil, k.mode, level);
        EXPECT_EQ(level.waterTint, k.tint);
        EXPECT_EQ(level.surfaceGroup[1], 2);
        EXPECT_EQ(atlasPixel(level, 64, 0), k.tint ? tinted : plain);
        EXPECT_EQ(atlasPixel(level, 128, 0), plain);  // tile 2 is not water
        checksums.push_back(level.checksum.value());
    }
    EXPECT_NE(checksums[0], checksums[1]) << "the checksum is fed the tinted colours";
    for (auto [value, factor, want] : std::vector<std::tuple<int, float, int>>{
             {100, 0.67f, 67}, {100, 0.84f, 84}, {100, 1.13f, 113}, {240, 1.13f, 255}, {0, 1.13f, 0}})
        EXPECT_EQ(tintByte(uint8_t(value), factor), want) << value << " * " << factor;
}

TEST(StyleSurfaceGroups, SkippedValuesAndMissingChunk) {
    TempDir dir;
    // 0 separates groups; 2,000 is skipped without moving to another group;
    // a tile named twice keeps the last group.
    Level level;
    ASSERT_TRUE(load(level, dir.file("groups.sty"), {{"SPEC", words({5, 2000, 7, 0, 9, 5, 1023, 1024})}}));
    const std::vector<std::pair<int, int>> groups = {{7, 0}, {9, 1}, {5, 1}, {1023, 1}, {12, 0xFFFF}};
    for (auto [t, g] : groups) EXPECT_EQ(level.surfaceGroup[size_t(t)], g) << t;
    // Without "SPEC" the table keeps what it held, which in a fresh run is group 0.
    ASSERT_TRUE(load(level, dir.file("none.sty"), {{"PALB", ByteVec(16, 0)}}));
    for (auto [t, g] : groups) EXPECT_EQ(level.surfaceGroup[size_t(t)], g) << t;
    Level fresh;
    ASSERT_TRUE(load(fresh, dir.file("none.sty"), {{"PALB", ByteVec(16, 0)}}));
    for (int t = 0; t < TileCount; ++t) EXPECT_EQ(fresh.surfaceGroup[size_t(t)], 0) << t;
}

TEST(StyleSurfaceGroups, BilCorrections) {
    TempDir dir;
    const std::vector<Chunk> chunks = {{"SPEC", words({274, 0, 0, 565, 100, 77, 3, 470})}};
    // {tile, group} after the corrections.
    const std::vector<std::pair<int, int>> corrected = {
        {565, 6}, {470, 6}, {479, 6}, {100, 2}, {77, 1},  {3, 5},   {274, 0},  {533, 0},     {536, 0},     {945, 0},
        {256, 1}, {273, 1}, {736, 1}, {767, 1}, {779, 1}, {713, 5}, {699, 5}, {700, 5}, {998, 0xFFFF}, {674, 0xFFFF}};
    // Any letter case, in any folder.
    std::filesystem::create_directories(dir.path / "maps");
    for (const char* name : {"BIL.STY", "maps/Bil.Sty"}) {
        Level level;
        ASSERT_TRUE(load(level, dir.file(name), chunks));
        EXPECT_TRUE(level.styleIsBil) << name;
        for (auto [t, g] : corrected) EXPECT_EQ(level.surfaceGroup[size_t(t)], g) << name << " tile " << t;
    }
    // Another name: the chunk's groups stand.
    Level other;
    ASSERT_TRUE(load(other, dir.file("xbil.sty"), chunks));
    EXPECT_FALSE(other.styleIsBil);
    EXPECT_EQ(other.surfaceGroup[565], 2);
    EXPECT_EQ(other.surfaceGroup[77], 2);
    EXPECT_EQ(other.surfaceGroup[274], 0);
}

TEST(StyleLoad, FailuresAreReported) {
    TempDir dir;
    RecordedBoxes r(false);
    Level level;
    MapList maps;
    EXPECT_FALSE(loadStyle(r.rt, level, maps, 0, dir.file("x.sty")));
    // With a map-list entry, an empty name takes its style path.
    maps.entries.push_back(MapDescription{});
    maps.entries[0].styfile = dir.file("gone.sty");
    EXPECT_FALSE(loadStyle(r.rt, level, maps, 0, ""));
    EXPECT_EQ(r.boxes, (std::vector<std::string>{"ERROR|Cannot load map",
                                                 "ERROR|STY file was not found: \"" + dir.file("gone.sty") + "\""}));
}
