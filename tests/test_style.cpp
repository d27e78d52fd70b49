// The style loader: palettes, tile atlas placement, water tint, surface groups.
#include <gtest/gtest.h>

#include "test_support.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/runtime.h"
#include "formats/level.h"
#include "formats/style.h"
#include "maplist/map_list.h"

using namespace vant;
using namespace vant::test;

namespace {

namespace fs = std::filesystem;


struct StyleFile {
    ByteVec b;
    StyleFile() {
        const char head[] = "GBST";
        b.assign(head, head + 4);
        b.push_back(0);
        b.push_back(0);
    }
    StyleFile& chunk(const std::string& type, const ByteVec& data) {
        b.insert(b.end(), type.begin(), type.end());
        const uint32_t n = uint32_t(data.size());
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(n >> (8 * i)));
        b.insert(b.end(), data.begin(), data.end());
        return *this;
    }
    void write(const std::string& path) const {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
};

ByteVec words(std::initializer_list<uint16_t> values) {
    ByteVec v;
    for (uint16_t x : values) put16(v, x);
    return v;
}

// "PPAL" pages whose entry e has blue = e & 0xFF, green = (e >> 8) & 0xFF,
// red = 0x40 + (e >> 16), so every entry of the first 65,536 is distinct.
ByteVec countingPpal(int pages) {
    ByteVec v;
    const uint32_t entries = uint32_t(pages) * 16384;
    v.reserve(entries * 4);
    for (uint32_t e = 0; e < entries; ++e) {
        v.push_back(uint8_t(e));
        v.push_back(uint8_t(e >> 8));
        v.push_back(uint8_t(0x40 + (e >> 16)));
        v.push_back(0xEE);
    }
    return v;
}

std::array<uint8_t, 4> atlasPixel(const Level& level, int x, int y) {
    const size_t at = (size_t(y) * AtlasSize + size_t(x)) * 4;
    return {level.tileAtlas[at], level.tileAtlas[at + 1], level.tileAtlas[at + 2], level.tileAtlas[at + 3]};
}

using Px = std::array<uint8_t, 4>;

uint32_t crcBits(uint32_t value, const ByteVec& bytes) {
    for (uint8_t c : bytes) {
        value ^= c;
        for (int k = 0; k < 8; ++k) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    }
    return value;
}

// What the checksum receives for one decoded page: alpha, blue, green, red
// per pixel, rows top to bottom.
void appendPageFeed(ByteVec& feed, const Level& level, int page) {
    const int ox = 256 * (page % 8), oy = 256 * (page / 8);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const Px p = atlasPixel(level, ox + x, oy + y);
            feed.push_back(p[3]);
            feed.push_back(p[2]);
            feed.push_back(p[1]);
            feed.push_back(p[0]);
        }
}

bool loadHeadless(Level& level, const std::string& path, int tintMode = 1) {
    Runtime rt;
    rt.headless = true;
    rt.waterTintMode = tintMode;
    MapList maps;
    return loadStyle(rt, level, maps, -1, path);
}

}  // namespace

TEST(StylePalettes, InterleavedPagesSwappedColoursAndChecksum) {
    TempDir dir;
    ByteVec ppal = countingPpal(2);
    // Colour 5 of physical palette 70 is entry 16384 + 5 * 64 + 6.
    const size_t special = 16384 + 5 * 64 + 6;
    ppal[special * 4 + 0] = 0x10;
    ppal[special * 4 + 1] = 0x20;
    ppal[special * 4 + 2] = 0x30;
    ppal[special * 4 + 3] = 0x40;
    ByteVec tile(65536, 0);
    tile[0] = 5;           // tile 0, pixel (0, 0)
    tile[1] = 6;           // tile 0, pixel (1, 0)
    tile[256] = 255;       // tile 0, pixel (0, 1)
    tile[64] = 5;          // tile 1, pixel (64, 0)
    const ByteVec palx = words({70, 3});
    StyleFile s;
    s.chunk("PALX", palx).chunk("PPAL", ppal).chunk("TILE", tile);
    const std::string path = dir.file("pal.sty");
    s.write(path);

    Level level;
    ASSERT_TRUE(loadHeadless(level, path));
    EXPECT_EQ(atlasPixel(level, 0, 0), (Px{0x30, 0x20, 0x10, 255}));
    // palette 70, colour 6: entry 16774 = 0x4186 -> blue 0x86, green 0x41.
    EXPECT_EQ(atlasPixel(level, 1, 0), (Px{0x40, 0x41, 0x86, 255}));
    // palette 70, colour 255: entry 32710 = 0x7FC6.
    EXPECT_EQ(atlasPixel(level, 0, 1), (Px{0x40, 0x7F, 0xC6, 255}));
    // Index 0 is transparent black.
    EXPECT_EQ(atlasPixel(level, 2, 0), (Px{0, 0, 0, 0}));
    // Tile 1 -> physical palette 3, colour 5: entry 5 * 64 + 3 = 323 = 0x143.
    EXPECT_EQ(atlasPixel(level, 64, 0), (Px{0x40, 0x01, 0x43, 255}));

    // Checksum: PALX bytes low then high, PPAL blue, green, red (not the
    // fourth byte), then the page as alpha, blue, green, red.
    ByteVec feed = palx;
    for (size_t e = 0; e < ppal.size() / 4; ++e)
        for (int k = 0; k < 3; ++k) feed.push_back(ppal[e * 4 + size_t(k)]);
    appendPageFeed(feed, level, 0);
    EXPECT_EQ(level.checksum.value(), crcBits(0, feed));
}

TEST(StylePalettes, OddPalxReadsOneMoreEntry) {
    TempDir dir;
    // Three PALX bytes: entry 0 = 2, entry 1 takes 0x05 and the first byte
    // after the chunk (the next chunk's type, 0x01): 0x0105 = 261.
    const ByteVec palx{0x02, 0x00, 0x05};
    const ByteVec ppal = countingPpal(5);
    ByteVec tile(65536, 0);
    tile[0] = 2;
    tile[64] = 2;
    StyleFile s;
    s.chunk("PALX", palx).chunk("\x01QQQ", {}).chunk("PPAL", ppal).chunk("TILE", tile);
    const std::string path = dir.file("odd.sty");
    s.write(path);

    Level level;
    ASSERT_TRUE(loadHeadless(level, path));
    // palette 2, colour 2: entry 130.
    EXPECT_EQ(atlasPixel(level, 0, 0), (Px{0x40, 0, 130, 255}));
    // palette 261 (page 4, column 5), colour 2: entry 65536 + 128 + 5.
    EXPECT_EQ(atlasPixel(level, 64, 0), (Px{0x41, 0, 133, 255}));

    ByteVec feed{0x02, 0x00, 0x05, 0x01};
    for (size_t e = 0; e < ppal.size() / 4; ++e)
        for (int k = 0; k < 3; ++k) feed.push_back(ppal[e * 4 + size_t(k)]);
    appendPageFeed(feed, level, 0);
    EXPECT_EQ(level.checksum.value(), crcBits(0, feed));
}

TEST(StyleTiles, PagesAndTileOrigins) {
    TempDir dir;
    ByteVec ppal(65536, 0);
    for (size_t e = 0; e < 16384; ++e) {
        ppal[e * 4] = 1;
        ppal[e * 4 + 1] = 2;
        ppal[e * 4 + 2] = 3;
    }
    ByteVec tile(9 * 65536, 0);
    tile[65536 + 64] = 7;           // page 1, (64, 0): tile 17's first pixel
    tile[8 * 65536 + 128] = 9;      // page 8, (128, 0): tile 130's first pixel
    tile[8 * 65536 + 65535] = 11;   // page 8, (255, 255): tile 143's last pixel
    StyleFile s;
    s.chunk("PALX", ByteVec(2 * 160, 0)).chunk("PPAL", ppal).chunk("TILE", tile);
    const std::string path = dir.file("tiles.sty");
    s.write(path);

    Level level;
    level.tileOrigin[1000] = TileOrigin{5.0f, 6.0f};
    ASSERT_TRUE(loadHeadless(level, path));
    EXPECT_EQ(atlasPixel(level, 320, 0), (Px{3, 2, 1, 255}));
    EXPECT_EQ(atlasPixel(level, 319, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(atlasPixel(level, 256, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(atlasPixel(level, 128, 256), (Px{3, 2, 1, 255}));
    EXPECT_EQ(atlasPixel(level, 255, 511), (Px{3, 2, 1, 255}));
    EXPECT_EQ(atlasPixel(level, 256, 256), (Px{0, 0, 0, 0}));

    EXPECT_EQ(level.tileOrigin[17].u, 320.0f);
    EXPECT_EQ(level.tileOrigin[17].v, 0.0f);
    EXPECT_EQ(level.tileOrigin[130].u, 128.0f);
    EXPECT_EQ(level.tileOrigin[130].v, 256.0f);
    EXPECT_EQ(level.tileOrigin[5].u, 64.0f);
    EXPECT_EQ(level.tileOrigin[5].v, 64.0f);
    EXPECT_EQ(level.tileOrigin[143].u, 192.0f);
    EXPECT_EQ(level.tileOrigin[143].v, 448.0f);
    EXPECT_EQ(level.tileOrigin[36].u, 512.0f);
    EXPECT_EQ(level.tileOrigin[36].v, 64.0f);
    // Pages the chunk does not hold keep their entries.
    EXPECT_EQ(level.tileOrigin[1000].u, 5.0f);
    EXPECT_EQ(level.tileOrigin[1000].v, 6.0f);
}

namespace {

// Tile 1 is water (group 2), tile 2 is not; palette 0 colour 1 = grey 100,
// colour 2 = grey 240.
StyleFile waterStyle(int pages, bool signature, bool spoil619) {
    ByteVec ppal(65536, 0);
    for (int k = 0; k < 3; ++k) {
        ppal[64 * 4 + size_t(k)] = 100;
        ppal[128 * 4 + size_t(k)] = 240;
    }
    ByteVec tile(size_t(pages) * 65536, 0);
    tile[64] = 1;
    tile[65] = 2;
    tile[128] = 1;
    if (signature) {
        static const uint8_t sig[12][4] = {
            {204, 201, 172, 172}, {172, 172, 172, 172}, {172, 172, 202, 204}, {223, 204, 223, 208},
            {204, 201, 204, 223}, {204, 201, 201, 208}, {223, 223, 208, 208}, {208, 211, 211, 185},
            {223, 208, 208, 211}, {204, 208, 213, 208}, {201, 202, 201, 208}, {204, 223, 223, 204},
        };
        // Tile 608 + s starts at row 64 * (s / 4), column 64 * (s % 4) of page 38.
        for (int s = 0; s < 12; ++s)
            for (int k = 0; k < 4; ++k)
                tile[38 * 65536 + size_t(s / 4) * 64 * 256 + size_t(s % 4) * 64 + size_t(k)] = sig[s][k];
        if (spoil619) tile[38 * 65536 + 2 * 64 * 256 + 3 * 64 + 3] = 205;
    }
    StyleFile s;
    s.chunk("PALX", ByteVec(2 * 16 * size_t(pages), 0))
        .chunk("PPAL", ppal)
        .chunk("SPEC", words({0, 0, 1}))
        .chunk("TILE", tile);
    return s;
}

}  // namespace

TEST(StyleTiles, WaterTintByMode) {
    TempDir dir;
    const std::string path = dir.file("water.sty");
    waterStyle(1, false, false).write(path);

    Level tinted;
    ASSERT_TRUE(loadHeadless(tinted, path, 2));
    EXPECT_TRUE(tinted.waterTint);
    EXPECT_EQ(tinted.surfaceGroup[1], 2);
    EXPECT_EQ(atlasPixel(tinted, 64, 0), (Px{67, 84, 113, 255}));
    EXPECT_EQ(atlasPixel(tinted, 65, 0), (Px{161, 202, 255, 255}));
    EXPECT_EQ(atlasPixel(tinted, 66, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(atlasPixel(tinted, 128, 0), (Px{100, 100, 100, 255}));

    Level plain;
    ASSERT_TRUE(loadHeadless(plain, path, 0));
    EXPECT_FALSE(plain.waterTint);
    EXPECT_EQ(atlasPixel(plain, 64, 0), (Px{100, 100, 100, 255}));
    EXPECT_EQ(atlasPixel(plain, 65, 0), (Px{240, 240, 240, 255}));
    // The checksum is fed the tinted colours.
    EXPECT_NE(plain.checksum.value(), tinted.checksum.value());

    // Mode 1 on a style too short to carry the signature: no tint.
    Level one;
    ASSERT_TRUE(loadHeadless(one, path, 1));
    EXPECT_FALSE(one.waterTint);
    EXPECT_EQ(atlasPixel(one, 64, 0), (Px{100, 100, 100, 255}));

    EXPECT_EQ(tintByte(100, 0.67f), 67);
    EXPECT_EQ(tintByte(100, 0.84f), 84);
    EXPECT_EQ(tintByte(100, 1.13f), 113);
    EXPECT_EQ(tintByte(240, 1.13f), 255);
    EXPECT_EQ(tintByte(0, 1.13f), 0);
}

TEST(StyleTiles, WaterSignatureDecidesModeOne) {
    TempDir dir;
    const std::string path = dir.file("sig.sty");
    waterStyle(39, true, false).write(path);
    Level match;
    ASSERT_TRUE(loadHeadless(match, path, 1));
    EXPECT_TRUE(match.waterTint);
    EXPECT_EQ(atlasPixel(match, 64, 0), (Px{67, 84, 113, 255}));

    // Tile 611 still begins 223 204 223 208, but tile 619 differs.
    waterStyle(39, true, true).write(path);
    Level spoilt;
    ASSERT_TRUE(loadHeadless(spoilt, path, 1));
    EXPECT_FALSE(spoilt.waterTint);
    EXPECT_EQ(atlasPixel(spoilt, 64, 0), (Px{100, 100, 100, 255}));

    // Mode 0 ignores a matching signature.
    waterStyle(39, true, false).write(path);
    Level never;
    ASSERT_TRUE(loadHeadless(never, path, 0));
    EXPECT_FALSE(never.waterTint);
}

TEST(StyleSurfaceGroups, GroupsSeparatorsAndSkippedValues) {
    TempDir dir;
    const std::string path = dir.file("groups.sty");
    StyleFile s;
    s.chunk("SPEC", words({5, 7, 0, 9, 0, 0, 12}));
    s.write(path);
    Level level;
    ASSERT_TRUE(loadHeadless(level, path));
    for (int t = 0; t < TileCount; ++t) {
        uint16_t want = 0xFFFF;
        if (t == 5 || t == 7) want = 0;
        if (t == 9) want = 1;
        if (t == 12) want = 3;
        EXPECT_EQ(level.surfaceGroup[size_t(t)], want) << "tile " << t;
    }

    // 2,000 is skipped without moving to another group; a tile named twice
    // keeps the last group.
    StyleFile s2;
    s2.chunk("SPEC", words({5, 2000, 7, 0, 9, 5, 1023, 1024}));
    s2.write(path);
    ASSERT_TRUE(loadHeadless(level, path));
    EXPECT_EQ(level.surfaceGroup[7], 0);
    EXPECT_EQ(level.surfaceGroup[9], 1);
    EXPECT_EQ(level.surfaceGroup[5], 1);
    EXPECT_EQ(level.surfaceGroup[1023], 1);
    EXPECT_EQ(level.surfaceGroup[12], 0xFFFF);

    // Without "SPEC" the table keeps what it held...
    const std::string none = dir.file("none.sty");
    StyleFile s3;
    s3.chunk("PALB", ByteVec(16, 0));
    s3.write(none);
    ASSERT_TRUE(loadHeadless(level, none));
    EXPECT_EQ(level.surfaceGroup[9], 1);
    EXPECT_EQ(level.surfaceGroup[12], 0xFFFF);
    // ...which, in a fresh run, is all group 0.
    Level fresh;
    ASSERT_TRUE(loadHeadless(fresh, none));
    for (int t = 0; t < TileCount; ++t) EXPECT_EQ(fresh.surfaceGroup[size_t(t)], 0) << t;
}

TEST(StyleSurfaceGroups, BilCorrections) {
    TempDir dir;
    const ByteVec groupWords = words({274, 0, 0, 565, 100, 77, 3, 470});
    const std::string bil = dir.file("BIL.STY");
    StyleFile s;
    s.chunk("SPEC", groupWords);
    s.write(bil);
    Level level;
    ASSERT_TRUE(loadHeadless(level, bil));
    EXPECT_TRUE(level.styleIsBil);
    EXPECT_EQ(level.surfaceGroup[565], 6);
    EXPECT_EQ(level.surfaceGroup[470], 6);
    EXPECT_EQ(level.surfaceGroup[479], 6);
    EXPECT_EQ(level.surfaceGroup[100], 2);
    EXPECT_EQ(level.surfaceGroup[77], 1);
    EXPECT_EQ(level.surfaceGroup[3], 5);
    EXPECT_EQ(level.surfaceGroup[274], 0);
    EXPECT_EQ(level.surfaceGroup[533], 0);
    EXPECT_EQ(level.surfaceGroup[536], 0);
    EXPECT_EQ(level.surfaceGroup[945], 0);
    EXPECT_EQ(level.surfaceGroup[256], 1);
    EXPECT_EQ(level.surfaceGroup[273], 1);
    EXPECT_EQ(level.surfaceGroup[736], 1);
    EXPECT_EQ(level.surfaceGroup[767], 1);
    EXPECT_EQ(level.surfaceGroup[779], 1);
    EXPECT_EQ(level.surfaceGroup[713], 5);
    EXPECT_EQ(level.surfaceGroup[699], 5);
    EXPECT_EQ(level.surfaceGroup[700], 5);
    EXPECT_EQ(level.surfaceGroup[998], 0xFFFF);
    EXPECT_EQ(level.surfaceGroup[674], 0xFFFF);

    // Any letter case, in any folder.
    fs::create_directories(dir.path / "maps");
    const std::string mixed = dir.file("maps/Bil.Sty");
    s.write(mixed);
    Level other;
    ASSERT_TRUE(loadHeadless(other, mixed));
    EXPECT_TRUE(other.styleIsBil);
    EXPECT_EQ(other.surfaceGroup[565], 6);

    // Another name: the chunk's groups stand.
    const std::string plain = dir.file("xbil.sty");
    s.write(plain);
    Level notBil;
    ASSERT_TRUE(loadHeadless(notBil, plain));
    EXPECT_FALSE(notBil.styleIsBil);
    EXPECT_EQ(notBil.surfaceGroup[565], 2);
    EXPECT_EQ(notBil.surfaceGroup[77], 2);
    EXPECT_EQ(notBil.surfaceGroup[274], 0);
}

TEST(StyleLoad, FailuresAreReported) {
    TempDir dir;
    Runtime rt;
    std::vector<std::string> texts;
    rt.responder = [&](int, const std::string& caption, const std::string& text) {
        texts.push_back(caption + "|" + text);
        return 0;
    };
    Level level;
    MapList maps;
    rt.headless = false;
    EXPECT_FALSE(loadStyle(rt, level, maps, 0, dir.file("x.sty")));
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "ERROR|Cannot load map");

    // With a map-list entry, an empty name takes its style path.
    MapDescription d;
    d.styfile = dir.file("gone.sty");
    maps.entries.push_back(d);
    texts.clear();
    EXPECT_FALSE(loadStyle(rt, level, maps, 0, ""));
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "ERROR|STY file was not found: \"" + d.styfile + "\"");
}
