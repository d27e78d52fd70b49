// The level writers, checked against layouts derived here and against the
// readers: what they write must load back into the same palettes, tiles,
// groups, blocks and checksum.
#include <gtest/gtest.h>

#include "test_support.h"

#include <array>
#include <cstring>
#include <map>
#include <set>

#include "app/runtime.h"
#include "formats/chunk_file.h"
#include "formats/level_writer.h"
#include "formats/map.h"
#include "formats/map_description.h"
#include "formats/style.h"
#include "maplist/map_list.h"

using namespace vant;
using namespace vant::test;

namespace {

std::vector<std::string> typesOf(const ChunkFileWriter& file) {
    std::vector<std::string> types;
    for (const Chunk& c : file.chunks()) types.push_back(c.type);
    return types;
}

bool same(const BlockInfo& a, const BlockInfo& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A block record written out field by field.
void feedBlock(ByteVec& feed, const BlockInfo& b) {
    for (uint16_t f : {b.left, b.right, b.top, b.bottom, b.lid}) put16(feed, f);
    feed.push_back(b.extra);
    feed.push_back(b.slope);
}

// What a DMAP load feeds the checksum: square by square, each column from
// its lowest to its highest non-empty layer.
ByteVec dmapFeed(const MapWriter& map) {
    ByteVec feed;
    for (int y = 0; y < MapHeight; ++y) {
        for (int x = 0; x < MapWidth; ++x) {
            int low = MapDepth, high = -1;
            for (int z = 0; z < MapDepth; ++z) {
                if (same(map.at(x, y, z), BlockInfo{})) continue;
                low = std::min(low, z);
                high = z;
            }
            for (int z = low; z <= high; ++z) feedBlock(feed, map.at(x, y, z));
        }
    }
    return feed;
}

// A colour for every (palette, index) that no two neighbours share.
Rgb testColour(int palette, int index) {
    return Rgb{uint8_t(index), uint8_t(palette * 3 + index / 2), uint8_t(255 - index)};
}

// A fresh level, loaded the way the headless job loads one.
struct Loaded {
    Runtime rt;
    Level level;
    MapList maps;
    Loaded() { rt.headless = true; }
    bool sty(const std::string& path) { return loadStyle(rt, level, maps, -1, path); }
    bool gmp(const std::string& path) { return loadMap(rt, level, maps, -1, path); }
    std::array<uint8_t, 4> pixel(int x, int y) const {
        const size_t at = (size_t(y) * AtlasSize + size_t(x)) * 4;
        return {level.tileAtlas[at], level.tileAtlas[at + 1], level.tileAtlas[at + 2], level.tileAtlas[at + 3]};
    }
};

// A map with a bit of everything the block map can express: columns that
// start above layer 0, gaps inside a column, the "extra" byte, and a lot of
// repetition.
MapWriter varietyMap() {
    MapWriter map;
    for (int y = 0; y < MapHeight; ++y) {
        for (int x = 0; x < MapWidth; ++x) {
            map.at(x, y, 1).lid = uint16_t(1 + (x + y) % 4);
            if (x % 16 < 8 && y % 16 < 8) {
                BlockInfo& roof = map.at(x, y, 2 + (x / 16) % 4);  // a gap above the ground for taller ones
                roof.lid = uint16_t(20 + (x / 16) % 3);
                roof.left = roof.right = 40;
                roof.slope = uint8_t(((x + y) % 64) << 2);
            }
        }
    }
    map.at(5, 9, 0).extra = 7;  // nothing but the extra byte
    map.at(250, 3, 7).lid = 0x8000 | 900;
    map.at(251, 3, 3).lid = 0x8000 | 900;  // a column of layers 3 and 4
    map.at(251, 3, 4).top = 12;
    for (int z = 0; z < MapDepth; ++z) map.at(100, 200, z) = BlockInfo{};  // an empty square
    return map;
}

}  // namespace

TEST(ChunkFileWriter, HeaderAndChunksByteForByte) {
    ChunkFileWriter w("GBST", 0x0203);
    w.add("PALX", {1, 2, 3});
    w.add("AB", {});  // a short type is padded with zeros
    w.add("TILE", {9, 8, 7, 6, 5});
    EXPECT_EQ(w.bytes(), (ByteVec{'G', 'B', 'S', 'T', 3, 2, 'P', 'A', 'L', 'X', 3, 0, 0, 0, 1, 2, 3, 'A', 'B', 0, 0,
                                  0, 0, 0, 0, 'T', 'I', 'L', 'E', 5, 0, 0, 0, 9, 8, 7, 6, 5}));
    EXPECT_EQ(w.dataOffset(0), 14u);
    EXPECT_EQ(w.dataOffset(1), 25u);
    EXPECT_EQ(w.dataOffset(2), 33u);

    TempDir dir;
    ASSERT_TRUE(saveBytes(dir.file("c.sty"), w.bytes()));
    Runtime rt;
    const ChunkDirectory d = readChunkDirectory(rt, dir.file("c.sty"));
    EXPECT_EQ(d.version, 0x0203);
    EXPECT_EQ(d.find("AB").offset, 25u);
    EXPECT_EQ(d.find("TILE").offset, 33u);
    EXPECT_EQ(d.find("TILE").size, 5u);
}

TEST(StyleWriter, PalettesAndTilePixelsLoadIntoTheAtlas) {
    TempDir dir;
    StyleWriter w;
    for (int c = 0; c < 256; ++c) {
        w.setColour(3, c, testColour(3, c));
        w.setColour(70, c, testColour(70, c));  // page 1, column 6
    }
    w.setVirtualPalette(17, 70);
    w.setVirtualPalette(130, 3);
    auto index17 = [](int x, int y) { return uint8_t((x * 7 + y * 3) & 0xFF); };  // 0 at (0, 0)
    auto index130 = [](int x, int y) { return uint8_t(x == y ? 0 : 1 + (x * 64 + y) % 255); };
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            w.setPixel(17, x, y, index17(x, y));
            w.setPixel(130, x, y, index130(x, y));
        }
    }
    EXPECT_EQ(w.physicalPageCount(), 2u);
    EXPECT_EQ(w.tilePageCount(), 9u);
    // Colour c of palette 70 is entry 16384 + 64c + 6, stored B, G, R, 0.
    EXPECT_EQ(w.ppalChunk()[(16384 + 200 * 64 + 6) * 4 + 2], testColour(70, 200).r);

    ASSERT_TRUE(saveBytes(dir.file("p.sty"), w.bytes()));
    Loaded l;
    ASSERT_TRUE(l.sty(dir.file("p.sty")));
    EXPECT_EQ(l.level.tileOrigin[17].u, 320.0f);
    EXPECT_EQ(l.level.tileOrigin[17].v, 0.0f);
    EXPECT_EQ(l.level.tileOrigin[130].u, 128.0f);
    EXPECT_EQ(l.level.tileOrigin[130].v, 256.0f);
    int mismatches = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const struct {
                int palette, ax, ay;
                uint8_t index;
            } cases[] = {{70, 320, 0, index17(x, y)}, {3, 128, 256, index130(x, y)}};
            for (const auto& c : cases) {
                const Rgb rgb = testColour(c.palette, c.index);
                const std::array<uint8_t, 4> want =
                    c.index == 0 ? std::array<uint8_t, 4>{0, 0, 0, 0} : std::array<uint8_t, 4>{rgb.r, rgb.g, rgb.b, 255};
                if (l.pixel(c.ax + x, c.ay + y) != want) ++mismatches;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(StyleWriter, SurfaceGroupsAndOptionalChunks) {
    TempDir dir;
    StyleWriter w;
    EXPECT_EQ(typesOf(w.container()), std::vector<std::string>{"PALB"});
    w.writePaletteBases = false;
    EXPECT_TRUE(w.container().chunks().empty());
    w.writePaletteBases = true;
    w.setPaletteBase(0, 0x1234);
    EXPECT_EQ(w.palbChunk(), (ByteVec{0x34, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    w.setPixel(0, 0, 0, 1);
    w.addToGroup(5, 0);
    w.addToGroup(7, 0);
    w.addToGroup(9, 1);
    w.addToGroup(12, 3);
    EXPECT_THROW(w.addToGroup(0, 1), std::out_of_range);  // 0 separates the groups
    EXPECT_EQ(w.specChunk(), (ByteVec{5, 0, 7, 0, 0, 0, 9, 0, 0, 0, 0, 0, 12, 0, 0, 0}));
    w.setSpriteGraphics(ByteVec(65536, 1));
    w.addSprite(65536 + 256 * 3 + 10, 16, 8);
    const ChunkFileWriter file = w.container();
    EXPECT_EQ(typesOf(file), (std::vector<std::string>{"PALB", "TILE", "SPEC", "SPRG", "SPRX"}));
    EXPECT_EQ(file.chunks()[4].data, (ByteVec{0x0A, 0x03, 0x01, 0x00, 16, 8, 0, 0}));
    const ByteVec bytes = file.bytes();
    EXPECT_EQ(ByteVec(bytes.begin(), bytes.begin() + 6), (ByteVec{'G', 'B', 'S', 'T', 0xBC, 0x02}));  // version 700

    ASSERT_TRUE(saveBytes(dir.file("g.sty"), bytes));
    Loaded l;
    ASSERT_TRUE(l.sty(dir.file("g.sty")));
    std::array<uint16_t, TileCount> groups;
    groups.fill(0xFFFF);
    groups[5] = groups[7] = 0;
    groups[9] = 1;
    groups[12] = 3;
    EXPECT_EQ(l.level.surfaceGroup, groups);
}

TEST(MapWriter, ChunkOrderAndZoneAndAnimationRecords) {
    MapWriter map;
    map.addChunk("CMAP", ByteVec(10, 0xAB));
    EXPECT_EQ(typesOf(map.container(BlockMapFormat::Both)), (std::vector<std::string>{"UMAP", "DMAP", "CMAP"}));
    const ByteVec bytes = map.bytes(BlockMapFormat::Umap);  // version 500; UMAP size 256 * 256 * 8 * 12
    EXPECT_EQ(ByteVec(bytes.begin(), bytes.begin() + 14),
              (ByteVec{'G', 'B', 'M', 'P', 0xF4, 0x01, 'U', 'M', 'A', 'P', 0x00, 0x00, 0x60, 0x00}));

    map.addZone({14, 10, 20, 5, 3, "Gang"});
    map.addZone({16, 1, 2, 0, 4, ""});
    map.addAnimation({300, 2, 1, {301, 302}});
    map.addAnimation({0, 0, 0, {}});
    EXPECT_EQ(typesOf(map.container(BlockMapFormat::None)), (std::vector<std::string>{"ANIM", "ZONE", "CMAP"}));
    EXPECT_EQ(map.zoneChunk(), (ByteVec{14, 10, 20, 5, 3, 4, 'G', 'a', 'n', 'g', 16, 1, 2, 0, 4, 0}));
    EXPECT_EQ(map.animChunk(), (ByteVec{0x2C, 0x01, 2, 1, 2, 0, 0x2D, 0x01, 0x2E, 0x01, 0, 0, 0, 0, 0, 0}));
}

TEST(MapWriter, UmapAndDmapDecodeToTheSameStore) {
    TempDir dir;
    const MapWriter map = varietyMap();
    Loaded fromUmap, fromDmap, fromBoth;
    ASSERT_TRUE(saveBytes(dir.file("u.gmp"), map.bytes(BlockMapFormat::Umap)));
    ASSERT_TRUE(saveBytes(dir.file("d.gmp"), map.bytes(BlockMapFormat::Dmap)));
    ASSERT_TRUE(saveBytes(dir.file("b.gmp"), map.bytes(BlockMapFormat::Both)));
    ASSERT_TRUE(fromUmap.gmp(dir.file("u.gmp")));
    ASSERT_TRUE(fromDmap.gmp(dir.file("d.gmp")));
    ASSERT_TRUE(fromBoth.gmp(dir.file("b.gmp")));

    const BlockInfo* u = fromUmap.level.map.data();
    ASSERT_EQ(std::memcmp(u, fromDmap.level.map.data(), MapFile::BlockCount * sizeof(BlockInfo)), 0);
    size_t differences = 0;
    for (size_t i = 0; i < MapFile::BlockCount; ++i) differences += same(u[i], map.blocks()[i]) ? 0 : 1;
    EXPECT_EQ(differences, 0u);
    EXPECT_EQ(fromDmap.level.map.at(5, 9, 0).extra, 7);
    EXPECT_EQ(fromDmap.level.map.at(251, 3, 4).top, 12);

    // UMAP feeds every record in file order, DMAP column by column: the same
    // blocks give two checksums. With both chunks the UMAP is read.
    ByteVec umapFeed;
    for (const BlockInfo& b : map.blocks()) feedBlock(umapFeed, b);
    const uint32_t umapCrc = crcBitwise(umapFeed);
    EXPECT_EQ(fromUmap.level.checksum.value(), umapCrc);
    EXPECT_EQ(fromDmap.level.checksum.value(), crcBitwise(dmapFeed(map)));
    EXPECT_NE(fromUmap.level.checksum.value(), fromDmap.level.checksum.value());
    EXPECT_EQ(fromBoth.level.checksum.value(), umapCrc);
}

TEST(MapWriter, DmapSharesColumnsAndBlockRecords) {
    const MapWriter map = varietyMap();
    const ByteVec dmap = map.dmapChunk();
    EXPECT_LT(dmap.size() * 10, map.umapChunk().size());

    // Walk the written bytes: base table, W, column words, B, block records.
    ASSERT_GE(dmap.size(), 262152u);
    const uint32_t words = get32(dmap, 262144);
    const size_t tableBase = 262152 + 4 * size_t(words);
    ASSERT_LE(tableBase, dmap.size());
    const uint32_t blockCount = get32(dmap, tableBase - 4);
    ASSERT_EQ(dmap.size(), tableBase + 12 * size_t(blockCount));

    std::map<std::vector<uint32_t>, uint32_t> columnOfContent;
    std::set<uint32_t> columnsNamed;
    std::set<ByteVec> distinctRecords;
    size_t blocksDescribed = 0, wrongBlocks = 0, unsharedColumns = 0;
    for (int y = 0; y < MapHeight; ++y) {
        for (int x = 0; x < MapWidth; ++x) {
            const uint32_t base = get32(dmap, size_t(y) * 1024 + size_t(x) * 4);
            ASSERT_LT(base, words);
            columnsNamed.insert(base);
            const size_t at = 262148 + 4 * size_t(base);
            const int height = dmap[at], offset = dmap[at + 1];
            std::vector<uint32_t> content{uint32_t(height), uint32_t(offset)};
            for (int z = 0; z < MapDepth; ++z) {
                BlockInfo got{};
                if (z >= offset && z < height) {
                    const uint32_t n = get32(dmap, at + 4 + 4 * size_t(z - offset));
                    ASSERT_LT(n, blockCount);
                    const uint8_t* r = &dmap[tableBase + 12 * size_t(n)];
                    std::memcpy(&got, r, 12);
                    distinctRecords.insert(ByteVec(r, r + 12));
                    content.push_back(n);
                    ++blocksDescribed;
                }
                wrongBlocks += same(got, map.at(x, y, z)) ? 0 : 1;
            }
            auto [it, added] = columnOfContent.try_emplace(content, base);
            unsharedColumns += !added && it->second != base ? 1 : 0;
        }
    }
    EXPECT_EQ(wrongBlocks, 0u);
    EXPECT_EQ(unsharedColumns, 0u);
    EXPECT_EQ(columnsNamed.size(), columnOfContent.size());  // no column written twice
    EXPECT_LT(columnsNamed.size(), 1000u);                    // of 65,536 squares
    EXPECT_EQ(distinctRecords.size(), blockCount);            // no record stored twice
    EXPECT_LT(size_t(blockCount) * 20, blocksDescribed);
}

TEST(LevelWriters, ChecksumOfStyleAndMapMatchesAnIndependentCrc) {
    constexpr int Tiles = 32;  // two pages
    constexpr int VirtualPalettes = 40;
    auto physicalOf = [](int v) { return (v * 5) % 60; };
    auto indexOf = [](int t, int x, int y) {
        return uint8_t((t * 37 + x * 11 + y * 5) % 97 == 0 ? 0 : (t + x * y) & 0xFF);
    };
    StyleWriter style;
    for (int v = 0; v < VirtualPalettes; ++v) style.setVirtualPalette(size_t(v), uint16_t(physicalOf(v)));
    for (int p = 0; p < 60; ++p)
        for (int c = 0; c < 256; ++c) style.setColour(p, c, testColour(p, c));
    for (int t = 0; t < Tiles; ++t)
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) style.setPixel(t, x, y, indexOf(t, x, y));
    MapWriter map;
    for (int y = 0; y < MapHeight; y += 3)
        for (int x = 0; x < MapWidth; x += 5) {
            map.at(x, y, 1).lid = uint16_t((x + y) % Tiles);
            map.at(x, y, 2 + x % 3).slope = uint8_t((y % 64) << 2);
        }
    TempDir dir;
    ASSERT_TRUE(saveBytes(dir.file("level.sty"), style.bytes()));
    ASSERT_TRUE(saveBytes(dir.file("level.gmp"), map.bytes(BlockMapFormat::Dmap)));
    Loaded l;
    ASSERT_TRUE(l.sty(dir.file("level.sty")));
    ASSERT_TRUE(l.gmp(dir.file("level.gmp")));

    // PALX, then the palette page as 256 rows of 64 palettes (B, G, R), then
    // the decoded tile pages (A, B, G, R; index 0 all zero), then the blocks.
    ByteVec feed;
    for (int v = 0; v < VirtualPalettes; ++v) put16(feed, uint16_t(physicalOf(v)));
    for (int entry = 0; entry < 16384; ++entry) {
        const Rgb c = entry % 64 < 60 ? testColour(entry % 64, entry / 64) : Rgb{};
        feed.insert(feed.end(), {c.b, c.g, c.r});
    }
    for (int page = 0; page < Tiles / 16; ++page) {
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const int t = 16 * page + 4 * (y / 64) + x / 64;
                const uint8_t i = indexOf(t, x % 64, y % 64);
                const Rgb c = i == 0 ? Rgb{} : testColour(physicalOf(t), i);
                feed.insert(feed.end(), {uint8_t(i == 0 ? 0 : 255), c.b, c.g, c.r});
            }
        }
    }
    const ByteVec blocks = dmapFeed(map);
    feed.insert(feed.end(), blocks.begin(), blocks.end());
    EXPECT_EQ(l.level.checksum.value(), crcBitwise(feed));
}

TEST(MapDescriptionWriter, WritesLinesTheParserReads) {
    TempDir dir;
    const std::string text = mapDescriptionText(
        {{"GMPFile", "city.gmp"}, {"STYFile", "city.sty"}, {"Description", "Harbour=Town"}, {"PlayerCount", "6"}});
    EXPECT_EQ(text,
              "[MapFiles]\r\nGMPFile=city.gmp\r\nSTYFile=city.sty\r\nDescription=Harbour=Town\r\nPlayerCount=6\r\n");
    ASSERT_TRUE(saveText(dir.file("city.mmp"), text));
    MapDescription d;
    ASSERT_TRUE(parseMapDescription(d, dir.file("city.mmp")));
    EXPECT_EQ(d.gmpfile, dir.folder() + "city.gmp");
    EXPECT_EQ(d.styfile, dir.folder() + "city.sty");
    EXPECT_EQ(d.description, "Harbour=Town");
    EXPECT_EQ(d.playercount, 6);
}
