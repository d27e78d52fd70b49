// The level writers, checked against the readers: what the writers produce
// must load back into the same palettes, tiles, groups, blocks and checksum.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/runtime.h"
#include "formats/chunk_file.h"
#include "formats/level_writer.h"
#include "formats/map.h"
#include "formats/map_description.h"
#include "formats/style.h"
#include "maplist/map_list.h"

namespace fs = std::filesystem;
using namespace vant;

namespace {

// Reference CRC, bit by bit: reflected 0xEDB88320, start 0, no inversion.
uint32_t crcBitwise(uint32_t crc, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

struct CrcFeed {
    std::vector<uint8_t> bytes;
    void add(uint8_t b) { bytes.push_back(b); }
    void add16(uint16_t v) {
        add(uint8_t(v & 0xFF));
        add(uint8_t(v >> 8));
    }
    // The record written out by hand, field by field.
    void addBlock(const BlockInfo& b) {
        for (uint16_t f : {b.left, b.right, b.top, b.bottom, b.lid}) add16(f);
        add(b.extra);
        add(b.slope);
    }
    uint32_t crc() const { return crcBitwise(0, bytes.data(), bytes.size()); }
};

class TempDir {
public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() /
                (std::string("vant_writer_") + info->test_suite_name() + "_" + info->name() + "_" +
                 std::to_string(std::random_device{}()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}

// A level loaded the way the headless job loads one.
struct Loaded {
    Runtime rt;
    Level level;
    MapList maps;
    Loaded() {
        rt.headless = true;
        level.map.clear();
        level.checksum.reset();
    }
};

bool sameRecord(const BlockInfo& a, const BlockInfo& b) {
    return a.left == b.left && a.right == b.right && a.top == b.top && a.bottom == b.bottom && a.lid == b.lid &&
           a.extra == b.extra && a.slope == b.slope;
}

bool isEmpty(const BlockInfo& b) { return sameRecord(b, BlockInfo{}); }

// A colour for every (palette, index) that no two neighbours share.
Rgb testColour(int palette, int index) {
    return Rgb{uint8_t(index), uint8_t(palette * 3 + index / 2), uint8_t(255 - index)};
}

std::array<uint8_t, 4> atlasPixel(const Level& level, int x, int y) {
    const size_t at = (size_t(y) * AtlasSize + size_t(x)) * 4;
    return {level.tileAtlas[at], level.tileAtlas[at + 1], level.tileAtlas[at + 2], level.tileAtlas[at + 3]};
}

// A map with a bit of everything the block map can express: columns that
// start above layer 0, gaps inside a column, the "extra" byte, and a lot of
// repetition.
MapWriter varietyMap() {
    MapWriter map;
    for (int y = 0; y < MapHeight; ++y) {
        for (int x = 0; x < MapWidth; ++x) {
            BlockInfo ground;
            ground.lid = uint16_t(1 + (x + y) % 4);
            map.at(x, y, 1) = ground;
            if (x % 16 < 8 && y % 16 < 8) {
                BlockInfo roof;
                roof.lid = uint16_t(20 + (x / 16) % 3);
                roof.left = roof.right = 40;
                roof.slope = uint8_t(((x + y) % 64) << 2);
                map.at(x, y, 2 + (x / 16) % 4) = roof;  // a gap above the ground for taller ones
            }
        }
    }
    BlockInfo odd;
    odd.extra = 7;  // nothing but the extra byte
    map.at(5, 9, 0) = odd;
    BlockInfo high;
    high.lid = 0x8000 | 900;
    map.at(250, 3, 7) = high;
    map.at(251, 3, 3) = high;  // column of layers 3..4 with an empty top
    map.at(251, 3, 4).top = 12;
    for (int z = 0; z < MapDepth; ++z) map.at(100, 200, z) = BlockInfo{};  // an empty square
    return map;
}

}  // namespace

// ------------------------------------------------------------ container

TEST(ChunkFileWriter, HeaderAndChunksAsTheDirectoryReaderSeesThem) {
    TempDir dir;
    ChunkFileWriter w("GBST", 0x0203);
    w.add("PALX", {1, 2, 3});
    w.add("AB", {});  // short type, empty data
    w.add("TILE", {9, 8, 7, 6, 5});

    const std::vector<uint8_t> bytes = w.bytes();
    ASSERT_EQ(bytes.size(), 6u + (8 + 3) + 8 + (8 + 5));
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "GBST");
    EXPECT_EQ(bytes[4], 0x03);
    EXPECT_EQ(bytes[5], 0x02);
    EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 10), "PALX");
    EXPECT_EQ(le32(bytes, 10), 3u);
    const std::vector<uint8_t> shortType(bytes.begin() + 17, bytes.begin() + 21);
    EXPECT_EQ(shortType, (std::vector<uint8_t>{'A', 'B', 0, 0}));
    EXPECT_EQ(w.dataOffset(0), 14u);
    EXPECT_EQ(w.dataOffset(1), 25u);
    EXPECT_EQ(w.dataOffset(2), 33u);

    const std::string path = dir.file("c.sty");
    ASSERT_TRUE(saveBytes(path, bytes));
    Runtime rt;
    rt.headless = true;
    const ChunkDirectory d = readChunkDirectory(rt, path);
    ASSERT_EQ(d.status, ChunkFileStatus::Ok);
    EXPECT_EQ(d.magic, "GBST");
    EXPECT_EQ(d.version, 0x0203);
    ASSERT_EQ(d.chunks.size(), 3u);
    EXPECT_EQ(d.find("PALX").offset, 14u);
    EXPECT_EQ(d.find("PALX").size, 3u);
    EXPECT_EQ(d.find("AB").offset, 25u);
    EXPECT_EQ(d.find("AB").size, 0u);
    EXPECT_EQ(d.find("TILE").offset, 33u);
    EXPECT_EQ(d.find("TILE").size, 5u);
    EXPECT_EQ(bytes[33], 9);
    EXPECT_EQ(bytes.back(), 5);
}

TEST(ChunkFileWriter, MapFileCarriesExtraChunksAfterItsOwn) {
    TempDir dir;
    MapWriter map;
    map.at(0, 0, 0).lid = 1;
    map.addChunk("CMAP", std::vector<uint8_t>(10, 0xAB));
    map.addChunk("RGEN", {});
    const ChunkFileWriter file = map.container(BlockMapFormat::Both);
    const std::string path = dir.file("m.gmp");
    ASSERT_TRUE(saveBytes(path, file.bytes()));

    Runtime rt;
    rt.headless = true;
    const ChunkDirectory d = readChunkDirectory(rt, path);
    ASSERT_EQ(d.status, ChunkFileStatus::Ok);
    EXPECT_EQ(d.magic, "GBMP");
    EXPECT_EQ(d.find("UMAP").offset, 14u);
    EXPECT_EQ(d.find("UMAP").size, 6291456u);
    EXPECT_EQ(d.find("DMAP").offset, 14u + 6291456u + 8u);
    EXPECT_EQ(d.find("CMAP").size, 10u);
    EXPECT_TRUE(d.has("RGEN"));
    EXPECT_FALSE(d.has("ZONE"));  // none added, none written
    EXPECT_FALSE(d.has("ANIM"));
    EXPECT_EQ(d.find("CMAP").offset, file.dataOffset(2));
}

// ---------------------------------------------------------------- style

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

    // The interleaved layout: colour c of palette 70 is entry 16384 + 64c + 6.
    const std::vector<uint8_t> ppal = w.ppalChunk();
    const size_t e = (16384 + 200 * 64 + 6) * 4;
    EXPECT_EQ(ppal[e], testColour(70, 200).b);
    EXPECT_EQ(ppal[e + 1], testColour(70, 200).g);
    EXPECT_EQ(ppal[e + 2], testColour(70, 200).r);
    EXPECT_EQ(ppal[e + 3], 0);
    // Tile 17 is the second tile of page 1's top row: page byte 64 + 256y + x.
    EXPECT_EQ(w.tileChunk()[65536 + 256 * 5 + 64 + 9], index17(9, 5));

    const std::string path = dir.file("p.sty");
    ASSERT_TRUE(saveBytes(path, w.bytes()));
    Loaded l;
    ASSERT_TRUE(loadStyle(l.rt, l.level, l.maps, -1, path));

    EXPECT_EQ(l.level.tileOrigin[17].u, 320.0f);
    EXPECT_EQ(l.level.tileOrigin[17].v, 0.0f);
    EXPECT_EQ(l.level.tileOrigin[130].u, 128.0f);
    EXPECT_EQ(l.level.tileOrigin[130].v, 256.0f);
    int mismatches = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const struct {
                int tile, palette, ax, ay;
                uint8_t index;
            } cases[] = {{17, 70, 320, 0, index17(x, y)}, {130, 3, 128, 256, index130(x, y)}};
            for (const auto& c : cases) {
                const Rgb rgb = testColour(c.palette, c.index);
                const std::array<uint8_t, 4> want =
                    c.index == 0 ? std::array<uint8_t, 4>{0, 0, 0, 0} : std::array<uint8_t, 4>{rgb.r, rgb.g, rgb.b, 255};
                if (atlasPixel(l.level, c.ax + x, c.ay + y) != want) ++mismatches;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(atlasPixel(l.level, 320, 0), (std::array<uint8_t, 4>{0, 0, 0, 0}));
}

TEST(StyleWriter, SurfaceGroupsAreSeparatedByZero) {
    TempDir dir;
    StyleWriter w;
    w.setPixel(0, 0, 0, 1);  // a style needs no more than one page
    w.addToGroup(5, 0);
    w.addToGroup(7, 0);
    w.addToGroup(9, 1);
    w.addToGroup(12, 3);
    EXPECT_THROW(w.addToGroup(0, 1), std::out_of_range);

    const std::vector<uint8_t> chunk = w.specChunk();
    const std::vector<uint8_t> expected = {5, 0, 7, 0, 0, 0, 9, 0, 0, 0, 0, 0, 12, 0, 0, 0};
    EXPECT_EQ(chunk, expected);

    const std::string path = dir.file("g.sty");
    ASSERT_TRUE(saveBytes(path, w.bytes()));
    Loaded l;
    ASSERT_TRUE(loadStyle(l.rt, l.level, l.maps, -1, path));
    for (int t = 0; t < TileCount; ++t) {
        const uint16_t want = (t == 5 || t == 7) ? 0 : t == 9 ? 1 : t == 12 ? 3 : 0xFFFF;
        EXPECT_EQ(l.level.surfaceGroup[size_t(t)], want) << "tile " << t;
    }
}

TEST(StyleWriter, OptionalChunksAreWrittenOnlyWhenAsked) {
    StyleWriter w;
    EXPECT_EQ(w.container().chunks().size(), 1u);  // the palette bases alone
    w.writePaletteBases = false;
    EXPECT_TRUE(w.container().chunks().empty());

    w.setPaletteBase(0, 0x1234);
    w.writePaletteBases = true;
    w.setSpriteGraphics(std::vector<uint8_t>(65536, 1));
    w.addSprite(65536 + 256 * 3 + 10, 16, 8);
    const ChunkFileWriter file = w.container();
    std::vector<std::string> types;
    for (const Chunk& c : file.chunks()) types.push_back(c.type);
    EXPECT_EQ(types, (std::vector<std::string>{"PALB", "SPRG", "SPRX"}));
    EXPECT_EQ(w.palbChunk(), (std::vector<uint8_t>{0x34, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(file.chunks()[2].data, (std::vector<uint8_t>{0x0A, 0x03, 0x01, 0x00, 16, 8, 0, 0}));
}

// ------------------------------------------------------------------ map

TEST(MapWriter, UmapAndDmapDecodeToTheSameStore) {
    TempDir dir;
    const MapWriter map = varietyMap();
    const std::string umapPath = dir.file("u.gmp"), dmapPath = dir.file("d.gmp"), bothPath = dir.file("b.gmp");
    ASSERT_TRUE(saveBytes(umapPath, map.bytes(BlockMapFormat::Umap)));
    ASSERT_TRUE(saveBytes(dmapPath, map.bytes(BlockMapFormat::Dmap)));
    ASSERT_TRUE(saveBytes(bothPath, map.bytes(BlockMapFormat::Both)));

    Loaded fromUmap, fromDmap, fromBoth;
    ASSERT_TRUE(loadMap(fromUmap.rt, fromUmap.level, fromUmap.maps, -1, umapPath));
    ASSERT_TRUE(loadMap(fromDmap.rt, fromDmap.level, fromDmap.maps, -1, dmapPath));
    ASSERT_TRUE(loadMap(fromBoth.rt, fromBoth.level, fromBoth.maps, -1, bothPath));

    const BlockInfo* u = fromUmap.level.map.data();
    const BlockInfo* d = fromDmap.level.map.data();
    ASSERT_EQ(std::memcmp(u, d, MapFile::BlockCount * sizeof(BlockInfo)), 0);
    size_t differences = 0;
    for (size_t i = 0; i < MapFile::BlockCount; ++i)
        if (!sameRecord(u[i], map.blocks()[i])) ++differences;
    EXPECT_EQ(differences, 0u);
    EXPECT_EQ(fromDmap.level.map.at(5, 9, 0).extra, 7);
    EXPECT_EQ(fromDmap.level.map.at(250, 3, 7).lid, 0x8000 | 900);
    EXPECT_EQ(fromDmap.level.map.at(251, 3, 4).top, 12);

    // UMAP feeds every record in file order; DMAP feeds square by square,
    // each column from its lowest to its highest non-empty layer. The same
    // blocks therefore give two different checksums.
    CrcFeed umapFeed, dmapFeed;
    for (const BlockInfo& b : map.blocks()) umapFeed.addBlock(b);
    for (int y = 0; y < MapHeight; ++y) {
        for (int x = 0; x < MapWidth; ++x) {
            int low = MapDepth, high = -1;
            for (int z = 0; z < MapDepth; ++z) {
                if (!isEmpty(map.at(x, y, z))) {
                    low = std::min(low, z);
                    high = z;
                }
            }
            for (int z = low; z <= high; ++z) dmapFeed.addBlock(map.at(x, y, z));
        }
    }
    EXPECT_EQ(fromUmap.level.checksum.value(), umapFeed.crc());
    EXPECT_EQ(fromDmap.level.checksum.value(), dmapFeed.crc());
    EXPECT_NE(fromUmap.level.checksum.value(), fromDmap.level.checksum.value());
    EXPECT_EQ(fromBoth.level.checksum.value(), umapFeed.crc());  // both present: the UMAP is read
}

TEST(MapWriter, DmapSharesColumnsAndBlockRecords) {
    const MapWriter map = varietyMap();
    const std::vector<uint8_t> dmap = map.dmapChunk();
    EXPECT_LT(dmap.size() * 10, map.umapChunk().size());

    // Walk the written bytes as the layout describes them.
    ASSERT_GE(dmap.size(), 262152u);
    const uint32_t words = le32(dmap, 262144);
    const size_t columnBase = 262148, tableBase = 262152 + 4 * size_t(words);
    ASSERT_LE(tableBase, dmap.size());
    const uint32_t blockCount = le32(dmap, tableBase - 4);
    ASSERT_EQ(dmap.size(), tableBase + 12 * size_t(blockCount));

    std::set<uint32_t> columnsNamed;
    std::map<std::vector<uint32_t>, uint32_t> columnOfContent;
    std::set<std::vector<uint8_t>> distinctRecords;
    size_t blocksDescribed = 0;
    bool columnsMatch = true, equalColumnsShared = true;
    for (int y = 0; y < MapHeight; ++y) {
        for (int x = 0; x < MapWidth; ++x) {
            const uint32_t base = le32(dmap, size_t(y) * 1024 + size_t(x) * 4);
            ASSERT_LT(base, words);
            columnsNamed.insert(base);
            const size_t at = columnBase + 4 * size_t(base);
            const int height = dmap[at], offset = dmap[at + 1];
            std::vector<uint32_t> content{uint32_t(height), uint32_t(offset)};
            for (int z = 0; z < MapDepth; ++z) {
                BlockInfo got{};
                if (z >= offset && z < height) {
                    const uint32_t n = le32(dmap, at + 4 + 4 * size_t(z - offset));
                    EXPECT_LT(n, blockCount);
                    const uint8_t* r = &dmap[tableBase + 12 * size_t(n)];
                    std::memcpy(&got, r, 12);
                    distinctRecords.insert(std::vector<uint8_t>(r, r + 12));
                    content.push_back(n);
                    ++blocksDescribed;
                }
                if (!sameRecord(got, map.at(x, y, z))) columnsMatch = false;
            }
            auto [it, added] = columnOfContent.try_emplace(content, base);
            if (!added && it->second != base) equalColumnsShared = false;
        }
    }
    EXPECT_TRUE(columnsMatch);
    EXPECT_TRUE(equalColumnsShared);
    EXPECT_EQ(columnsNamed.size(), columnOfContent.size());  // no column written twice
    EXPECT_LT(columnsNamed.size(), 1000u);                    // of 65,536 squares
    EXPECT_EQ(distinctRecords.size(), blockCount);            // no record stored twice
    EXPECT_LT(size_t(blockCount) * 20, blocksDescribed);
}

TEST(MapWriter, ZonesAndAnimationsReadBackInAWindowedLoad) {
    TempDir dir;
    MapWriter map;
    map.addZone({14, 10, 20, 5, 3, "Gang"});
    map.addZone({1, 0, 0, 20, 20, "Downtown"});
    map.addZone({16, 1, 2, 0, 4, ""});
    map.addAnimation({300, 2, 1, {301, 302}});
    map.addAnimation({0, 0, 0, {}});

    EXPECT_EQ(map.zoneChunk(),
              (std::vector<uint8_t>{14, 10, 20, 5, 3, 4, 'G', 'a', 'n', 'g', 1, 0, 0, 20, 20, 8, 'D', 'o', 'w', 'n',
                                    't', 'o', 'w', 'n', 16, 1, 2, 0, 4, 0}));
    EXPECT_EQ(map.animChunk(), (std::vector<uint8_t>{0x2C, 0x01, 2, 1, 2, 0, 0x2D, 0x01, 0x2E, 0x01, 0, 0, 0, 0, 0, 0}));

    const std::string path = dir.file("z.gmp");
    ASSERT_TRUE(saveBytes(path, map.bytes(BlockMapFormat::Dmap)));
    Runtime rt;
    rt.responder = [](int, const std::string&, const std::string&) { return 0; };
    Level level;
    MapList maps;
    MapDescription entry;
    entry.gmpfile = path;
    maps.entries.push_back(entry);
    level.map.clear();
    ASSERT_TRUE(loadMap(rt, level, maps, 0, ""));

    ASSERT_EQ(level.map.animations.size(), 2u);
    EXPECT_EQ(level.map.animations[0].base, 300);
    EXPECT_EQ(level.map.animations[0].frames, (std::vector<uint16_t>{301, 302}));
    EXPECT_TRUE(level.map.animations[1].frames.empty());
    EXPECT_EQ(level.map.tileToAnimation[300], 0);

    ASSERT_EQ(level.map.zones.size(), 3u);
    const ZoneRecord* gang = nullptr;
    for (const ZoneRecord& z : level.map.zones)
        if (z.name == "Gang") gang = &z;
    ASSERT_NE(gang, nullptr);
    EXPECT_EQ(gang->type, 14u);
    EXPECT_EQ(gang->id, 0);
    EXPECT_EQ(gang->x1, 10.0f);
    EXPECT_EQ(gang->x2, 15.0f);
    EXPECT_EQ(gang->y1, 233.0f);
    EXPECT_EQ(gang->y2, 236.0f);
    EXPECT_EQ(level.map.zones.front().name, "");  // area 0 sorts first
    EXPECT_EQ(level.map.zones.back().name, "Downtown");
}

// ----------------------------------------------------- whole-level checksum

TEST(LevelWriters, ChecksumOfStyleAndMapMatchesAnIndependentCrc) {
    TempDir dir;
    constexpr int Tiles = 32;  // two pages
    constexpr int VirtualPalettes = 40;
    auto physicalOf = [](int v) { return (v * 5) % 60; };
    auto indexOf = [](int t, int x, int y) { return uint8_t((t * 37 + x * 11 + y * 5) % 97 == 0 ? 0 : (t + x * y) & 0xFF); };

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

    const std::string styPath = dir.file("level.sty"), gmpPath = dir.file("level.gmp");
    ASSERT_TRUE(saveBytes(styPath, style.bytes()));
    ASSERT_TRUE(saveBytes(gmpPath, map.bytes(BlockMapFormat::Dmap)));
    Loaded l;
    ASSERT_TRUE(loadStyle(l.rt, l.level, l.maps, -1, styPath));
    ASSERT_TRUE(loadMap(l.rt, l.level, l.maps, -1, gmpPath));

    CrcFeed feed;
    for (int v = 0; v < VirtualPalettes; ++v) feed.add16(uint16_t(physicalOf(v)));
    for (int entry = 0; entry < 16384; ++entry) {  // one page: 256 rows of 64 palettes, B G R
        const int colour = entry / 64, palette = entry % 64;
        const Rgb c = palette < 60 ? testColour(palette, colour) : Rgb{};
        feed.add(c.b);
        feed.add(c.g);
        feed.add(c.r);
    }
    for (int page = 0; page < Tiles / 16; ++page) {
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const int t = 16 * page + 4 * (y / 64) + x / 64;
                const uint8_t i = indexOf(t, x % 64, y % 64);
                const Rgb c = testColour(physicalOf(t), i);
                const uint8_t a = i == 0 ? 0 : 255;
                feed.add(a);
                feed.add(i == 0 ? 0 : c.b);
                feed.add(i == 0 ? 0 : c.g);
                feed.add(i == 0 ? 0 : c.r);
            }
        }
    }
    for (int y = 0; y < MapHeight; ++y)
        for (int x = 0; x < MapWidth; ++x) {
            int low = MapDepth, high = -1;
            for (int z = 0; z < MapDepth; ++z)
                if (!isEmpty(map.at(x, y, z))) {
                    low = std::min(low, z);
                    high = z;
                }
            for (int z = low; z <= high; ++z) feed.addBlock(map.at(x, y, z));
        }
    EXPECT_EQ(l.level.checksum.value(), feed.crc());
}

// ------------------------------------------------------------------ mmp

TEST(MapDescriptionWriter, WritesLinesTheParserReads) {
    TempDir dir;
    const std::string text = mapDescriptionText(
        {{"GMPFile", "city.gmp"}, {"STYFile", "city.sty"}, {"Description", "Harbour=Town"}, {"PlayerCount", "6"}});
    EXPECT_EQ(text,
              "[MapFiles]\r\nGMPFile=city.gmp\r\nSTYFile=city.sty\r\nDescription=Harbour=Town\r\nPlayerCount=6\r\n");

    const std::string path = dir.file("city.mmp");
    ASSERT_TRUE(saveText(path, text));
    MapDescription d;
    ASSERT_TRUE(parseMapDescription(d, path));
    const std::string folder = fs::path(path).parent_path().string() + "/";
    EXPECT_EQ(d.gmpfile, folder + "city.gmp");
    EXPECT_EQ(d.styfile, folder + "city.sty");
    EXPECT_EQ(d.description, "Harbour=Town");
    EXPECT_EQ(d.playercount, 6);
}
