// The style loader: odd palette index sizes, water tint, surface groups
// (its failures: MapLoad.NoBlockMapOrABadFileAndStyleFailures).

#include "test_support.h"

#include <algorithm>

using namespace vant;
using namespace vant::test;

namespace {

using Px = ByteVec;

// "PPAL" pages whose entry e has blue = e & 0xFF, green = (e >> 8) & 0xFF,
// red = 0x40 + (e >> 16), so every entry of the first 65,536 is distinct.
ByteVec countingPpal(int pages) {
    ByteVec v;
    for (uint32_t e = 0; e < uint32_t(pages) * 16384; ++e)
        v.insert(v.end(), {uint8_t(e), uint8_t(e >> 8), uint8_t(0x40 + (e >> 16)), 0xEE});
    return v;
}

// A style file of these chunks, in order, loaded headless.
struct Styles : LevelFiles {
    bool load(const std::string& name, const std::vector<RawChunk>& chunks, int tintMode = 1) {
        rt.headless = true;
        rt.waterTintMode = tintMode;
        EXPECT_TRUE(saveBytes(dir.file(name), rawChunkFile("GBST", chunks)));
        return loadStyle(rt, level, maps, -1, dir.file(name));
    }
};

}  // namespace

// Page layout, colour order and the checksum are covered by
// StyleWriter.AtlasAndChecksumMatchAnIndependentDecode.
TEST(StylePalettes, OddPalxSizeReadsOneByteBeyondTheChunk) {
    // Entry 1 takes 0x05 and the first byte after the chunk (the next chunk's
    // type, 0x01): palette 0x0105 = 261, page 4, column 5.
    ByteVec tile(65536, 0);
    tile[0] = tile[64] = 2;  // colour 2 at the first pixel of tiles 0 and 1
    Styles s;
    ASSERT_TRUE(s.load("odd.sty", {{"PALX", {2, 0, 5}}, {"\x01QQQ", {}}, {"PPAL", countingPpal(5)}, {"TILE", tile}}));
    const Level& level = s.level;
    EXPECT_EQ(atlasPixel(level, 0, 0), (Px{0x40, 0, 130, 255}));   // palette 2, colour 2: entry 2 * 64 + 2
    EXPECT_EQ(atlasPixel(level, 64, 0), (Px{0x41, 0, 133, 255}));  // entry 4 * 16384 + 2 * 64 + 5
}

TEST(StyleWater, TintByModeAndSignature) {
    // Tile 1 is water (group 2), tile 2 is not; both show colour 1 of palette
    // 0, grey 100. Tiles 608 to 619 may carry the signature.
    auto water = [&](int pages, bool signature, bool spoil619, int mode, Styles& s) {
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
        ASSERT_TRUE(s.load("water.sty", {{"PALX", palx}, {"PPAL", ppal}, {"SPEC", u16s({0, 0, 1})}, {"TILE", tile}}, mode));
    };
    const Px tinted{67, 84, 113, 255}, plain{100, 100, 100, 255};  // 100 times 0.67, 0.84, 1.13
    struct Case { int pages; bool signature, spoil; int mode; bool tint; };
    const std::vector<Case> cases = {{1, false, false, 2, true},  {1, false, false, 1, false},
                                     {39, true, false, 1, true},  {39, true, true, 1, false},
                                     {39, true, false, 0, false}};
    std::vector<uint32_t> checksums;
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.pages) + " pages, mode " + std::to_string(k.mode));
        Styles s;
        water(k.pages, k.signature, k.spoil, k.mode, s);
        const Level& level = s.level;
        EXPECT_EQ(level.waterTint, k.tint);
        EXPECT_EQ(atlasPixel(level, 64, 0), k.tint ? tinted : plain);
        EXPECT_EQ(atlasPixel(level, 128, 0), plain);  // tile 2 is not water
        checksums.push_back(level.checksum.value());
    }
    EXPECT_NE(checksums[0], checksums[1]) << "the checksum is fed the tinted colours";
    EXPECT_EQ(tintByte(240, 1.13f), 255);
}

TEST(StyleSurfaceGroups, SkippedValuesMissingChunkAndBilCorrections) {
    // 0 separates groups; 2,000 is skipped without moving to another group;
    // a tile named twice keeps the last group. Only "bil.sty" itself is corrected.
    Styles s;
    const Level& level = s.level;
    ASSERT_TRUE(s.load("xbil.sty", {{"SPEC", u16s({5, 2000, 7, 0, 9, 5, 1023, 1024})}}));
    EXPECT_FALSE(level.styleIsBil);
    const std::vector<std::pair<int, int>> groups = {{7, 0}, {9, 1}, {5, 1}, {1023, 1}, {12, 0xFFFF}};
    for (auto [t, g] : groups) EXPECT_EQ(level.surfaceGroup[size_t(t)], g) << t;
    // Without "SPEC" the table keeps what it held.
    ASSERT_TRUE(s.load("none.sty", {{"PALB", ByteVec(16, 0)}}));
    for (auto [t, g] : groups) EXPECT_EQ(level.surfaceGroup[size_t(t)], g) << t;

    // Any letter case, in any folder. {tile, group} after the corrections:
    // named tiles, range ends and tiles left alone.
    std::filesystem::create_directories(s.dir.path / "maps");
    ASSERT_TRUE(s.load("maps/Bil.Sty", {{"SPEC", u16s({0, 0, 565, 100, 77, 3})}}));
    EXPECT_TRUE(level.styleIsBil);
    for (auto [t, g] : std::vector<std::pair<int, int>>{
             {565, 6}, {77, 1}, {3, 5}, {945, 0}, {256, 1}, {273, 1}, {100, 2}, {998, 0xFFFF}})
        EXPECT_EQ(level.surfaceGroup[size_t(t)], g) << t;
}
