// Level files from strangers: size fields that lie, records cut off by their
// chunk, numbers pointing outside every table. The readers must stay inside
// the file and their fixed stores, allocate no more than the file can fill,
// and always finish.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/runtime.h"
#include "formats/checksum.h"
#include "formats/chunk_file.h"
#include "formats/file_reader.h"
#include "formats/level_writer.h"
#include "formats/map.h"
#include "formats/style.h"
#include "image/tga_reader.h"
#include "maplist/map_list.h"
#include "run_binary.h"

// ---------------------------------------------------------------------------
// Allocation watch: the largest single request made through operator new
// while a Watch is alive. Everything goes to malloc/free, so sanitizer builds
// still see matching pairs.
namespace {
std::atomic<bool> gWatching{false};
std::atomic<size_t> gLargest{0};

void* allocate(size_t size) {
    if (gWatching.load(std::memory_order_relaxed)) {
        size_t seen = gLargest.load(std::memory_order_relaxed);
        while (size > seen && !gLargest.compare_exchange_weak(seen, size)) {
        }
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

using namespace vant;
namespace fs = std::filesystem;
using vant::test::TempFolder;

namespace {

struct Watch {
    Watch() {
        gLargest = 0;
        gWatching = true;
    }
    ~Watch() { gWatching = false; }
    size_t largest() const { return gLargest.load(); }
};

// A container whose chunks carry the size fields given, not their real sizes.
struct RawChunk {
    std::string type;
    uint32_t claimed;
    std::vector<uint8_t> data;
};
RawChunk honest(const std::string& type, std::vector<uint8_t> data) {
    const uint32_t size = uint32_t(data.size());
    return {type, size, std::move(data)};
}
std::vector<uint8_t> container(const std::string& magic, const std::vector<RawChunk>& chunks) {
    ByteBuffer out;
    for (size_t i = 0; i < 4; ++i) out.u8(uint8_t(magic[i]));
    out.u16(1);
    for (const RawChunk& c : chunks) {
        for (size_t i = 0; i < 4; ++i) out.u8(i < c.type.size() ? uint8_t(c.type[i]) : 0);
        out.u32(c.claimed);
        out.append(c.data);
    }
    return out.take();
}
std::vector<uint8_t> u16s(const std::vector<uint16_t>& values) {
    ByteBuffer b;
    for (uint16_t v : values) b.u16(v);
    return b.take();
}
std::vector<uint8_t> u32s(const std::vector<uint32_t>& values) {
    ByteBuffer b;
    for (uint32_t v : values) b.u32(v);
    return b.take();
}

// Runs fn in a child process; true when it ended normally within the time.
template <typename Fn>
bool finishesWithin(std::chrono::seconds limit, Fn fn) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        fn();
        ::_exit(0);
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return false;
}

class Hostile : public ::testing::Test {
protected:
    void SetUp() override {
        rt.responder = [this](int, const std::string& caption, const std::string& text) {
            messages.push_back(caption + ": " + text);
            return AnswerNone;
        };
    }
    std::string save(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = (folder / name).string();
        EXPECT_TRUE(saveBytes(path, bytes));
        return path;
    }
    // A windowed load (sprites, zones, animations and all) from a map list.
    bool loadStyleWindowed(const std::string& path) {
        rt.headless = false;
        maps.clear();
        MapDescription e;
        e.styfile = path;
        maps.entries.push_back(e);
        return loadStyle(rt, level, maps, 0, std::string());
    }
    bool loadMapWindowed(const std::string& path) {
        rt.headless = false;
        maps.clear();
        MapDescription e;
        e.gmpfile = path;
        maps.entries.push_back(e);
        level.map.clear();
        return loadMap(rt, level, maps, 0, std::string());
    }
    const uint8_t* atlasPixel(int x, int y) const { return &level.tileAtlas[(size_t(y) * AtlasSize + size_t(x)) * 4]; }

    TempFolder folder;
    Runtime rt;
    Level level;
    MapList maps;
    std::vector<std::string> messages;
};

// ---------------------------------------------------------------------------
// Size fields up to 0xFFFFFFFF never make a buffer larger than the file.

TEST_F(Hostile, ChunkReaderBuffersNoMoreThanTheFileHolds) {
    const std::string path = save("hundred.bin", std::vector<uint8_t>(100, 7));
    ChunkReader reader(path);
    ASSERT_TRUE(reader.open());
    EXPECT_EQ(reader.length(), 100u);
    Watch watch;
    const std::vector<uint8_t> tail = reader.read(10, 0xFFFFFFFFull);
    EXPECT_EQ(tail.size(), 90u);
    EXPECT_LE(watch.largest(), 90u);
    EXPECT_TRUE(reader.read(100, 0xFFFFFFFFull).empty());
    EXPECT_TRUE(reader.read(0xFFFFFFF0ull, 16).empty());
    uint8_t buffer[8] = {};
    EXPECT_EQ(reader.readInto(96, buffer, sizeof buffer), 4u);
    EXPECT_EQ(reader.readInto(1000, buffer, sizeof buffer), 0u);
}

TEST_F(Hostile, LyingStyleChunkSizesAllocateOnlyTheFixedStores) {
    // Each lying chunk is the last one: its size runs 4 GiB past the end.
    const std::vector<uint8_t> some(3000, 5);
    const std::vector<std::vector<RawChunk>> files = {
        {{"PALX", 0xFFFFFFFFu, some}},
        {{"PPAL", 0xFFFFFFFFu, some}},
        {{"TILE", 0xFFFFFFFFu, some}},
        {{"SPEC", 0xFFFFFFFFu, some}},
        {honest("PALB", u16s({0})), {"SPRG", 0xFFFFFFFFu, some}},
        {honest("PPAL", some), honest("PALB", u16s({0})), honest("SPRG", some), {"SPRX", 0xFFFFFFFFu, some}},
    };
    for (size_t i = 0; i < files.size(); ++i) {
        const std::vector<uint8_t> bytes = container("GBST", files[i]);
        const std::string path = save("lying" + std::to_string(i) + ".sty", bytes);
        Watch watch;
        EXPECT_TRUE(loadStyleWindowed(path)) << i;
        // The largest stores a style load has are the two 2048 x 2048 atlases.
        EXPECT_LE(watch.largest(), std::max(AtlasBytes, bytes.size())) << "file " << i;
    }
}

TEST_F(Hostile, LyingMapChunkSizesAllocateNoMoreThanTheFile) {
    const std::vector<uint8_t> some(5000, 1);
    level.map.clear();  // the block store is the run's, made before any load
    for (const char* type : {"DMAP", "UMAP", "ZONE", "ANIM"}) {
        const std::vector<uint8_t> bytes = container("GBMP", {{type, 0xFFFFFFFFu, some}});
        const std::string path = save(std::string(type) + ".gmp", bytes);
        Watch watch;
        EXPECT_TRUE(loadMapWindowed(path)) << type;
        // The block maps are read as they stand; zones and animations are
        // kept as records a few times larger than their bytes in the file,
        // so their lists grow with the file, never with the size claimed.
        const bool records = std::string(type) == "ZONE" || std::string(type) == "ANIM";
        EXPECT_LE(watch.largest(), records ? 32 * bytes.size() : bytes.size()) << type;
    }
}

// ---------------------------------------------------------------------------
// Variable-length records stop at their chunk's end.

TEST_F(Hostile, ZoneAndAnimationRecordsStopAtTheChunkEnd) {
    MapWriter writer;
    writer.addZone({1, 10, 20, 5, 3, "Dock"});
    writer.addZone({2, 0, 0, 2, 2, "Lights"});
    writer.addAnimation({20, 0, 0, {21, 22}});
    writer.addAnimation({30, 0, 0, {31, 32, 33}});
    std::vector<uint8_t> zone = writer.zoneChunk(), anim = writer.animChunk();
    zone.pop_back();  // the last name loses its last byte
    anim.pop_back();  // the last animation loses half a frame
    // What follows each chunk would complete its last record if read.
    const std::vector<uint8_t> filler(64, 0x40);
    const std::string path = save("cut.gmp", container("GBMP", {honest("ZONE", zone), honest("PSXM", filler),
                                                               honest("ANIM", anim), honest("LGHT", filler)}));
    ASSERT_TRUE(loadMapWindowed(path));
    ASSERT_EQ(level.map.zones.size(), 1u);
    EXPECT_EQ(level.map.zones[0].name, "Dock");
    ASSERT_EQ(level.map.animations.size(), 1u);
    EXPECT_EQ(level.map.animations[0].base, 20);
    EXPECT_EQ(level.map.tileToAnimation[30], -1);

    // Records that claim more than the whole file holds.
    const std::string lying =
        save("lying.gmp", container("GBMP", {{"ZONE", 0xFFFFFFFFu, {1, 2, 3, 4, 5, 250, 'a', 'b'}}}));
    ASSERT_TRUE(loadMapWindowed(lying));
    EXPECT_TRUE(level.map.zones.empty());
    const std::string lyingAnim =
        save("lying_anim.gmp", container("GBMP", {{"ANIM", 0x80000000u, {7, 0, 0, 0, 255, 0, 1, 0, 2, 0}}}));
    ASSERT_TRUE(loadMapWindowed(lyingAnim));
    EXPECT_TRUE(level.map.animations.empty());
    EXPECT_EQ(level.map.tileToAnimation[7], -1);
}

TEST_F(Hostile, SpriteIndexStopsAtTheChunkEndAndTheGraphics) {
    StyleWriter writer;
    writer.setVirtualPalette(0, 0);
    writer.setColour(0, 1, Rgb{10, 20, 30});
    writer.setSpriteGraphics(std::vector<uint8_t>(2 * 256, 1));
    writer.addSprite(0, 2, 2);
    writer.addSprite(256 + 255, 200, 200);  // runs off its page and off the graphics
    writer.addSprite(512, 1, 1);            // ptr at the end of the graphics: dropped
    // After the index: bytes that would read as one more good entry.
    writer.addChunk("XTRA", u32s({0, 0x00000101u}));
    ASSERT_TRUE(loadStyleWindowed(save("sprites.sty", writer.bytes())));
    ASSERT_EQ(level.sprites.size(), 2u);
    EXPECT_EQ(level.sprites[1].x, 255);
    EXPECT_EQ(level.sprites[1].y, 1);
    ASSERT_EQ(level.spriteAtlas.size(), AtlasBytes);
    const uint8_t* p = &level.spriteAtlas[0];
    EXPECT_EQ(p[0], 10);
    EXPECT_EQ(p[3], 255);

    // An index claiming 4 GiB of entries reads only what the file holds.
    const std::string lying = save(
        "lying_sprites.sty",
        container("GBST", {honest("PPAL", std::vector<uint8_t>(1024, 9)), honest("PALB", u16s({0})),
                           honest("SPRG", std::vector<uint8_t>(300, 2)),
                           {"SPRX", 0xFFFFFFFFu, u32s({0, 0x00000202u, 299, 0x0000FFFFu, 300, 0x00000101u, 7})}}));
    ASSERT_TRUE(loadStyleWindowed(lying));
    EXPECT_EQ(level.sprites.size(), 2u);  // the third has ptr 300, the fourth is cut off
}

// ---------------------------------------------------------------------------
// No input makes a reader loop forever.

TEST_F(Hostile, ReadersFinishOnInputsBuiltToLoop) {
    // A size that takes the next header back to the start of the file when
    // positions are counted in 32 bits.
    const std::vector<uint8_t> wrap = container("GBMP", {{"ZONE", 0xFFFFFFFFu - 13, std::vector<uint8_t>(20, 0)}});
    // Tens of thousands of empty chunks and empty records.
    std::vector<RawChunk> empties;
    for (int i = 0; i < 20000; ++i) empties.push_back(honest(i % 2 ? "ABCD" : "EFGH", {}));
    empties.push_back(honest("ZONE", std::vector<uint8_t>(6 * 5000, 0)));
    empties.push_back(honest("ANIM", std::vector<uint8_t>(6 * 5000, 0)));
    const std::string wrapPath = save("wrap.gmp", wrap);
    const std::string emptyPath = save("empties.gmp", container("GBMP", empties));

    EXPECT_TRUE(finishesWithin(std::chrono::seconds(20), [&] {
        const ChunkDirectory dir = readChunkDirectory(rt, wrapPath);
        if (dir.chunks.size() != 1) std::_Exit(3);
    }));
    EXPECT_TRUE(finishesWithin(std::chrono::seconds(20), [&] {
        if (!loadMapWindowed(emptyPath)) std::_Exit(3);
        if (level.map.zones.size() != 5000 || level.map.animations.size() != 5000) std::_Exit(4);
    }));

    // A run-length picture whose packets end long before it is filled.
    ByteBuffer tga;
    for (int i = 0; i < 12; ++i) tga.u8(i == 2 ? 10 : 0);
    tga.u16(4000);
    tga.u16(4000);
    tga.u8(24);
    tga.u8(0);
    for (int i = 0; i < 1000; ++i) tga.append(std::vector<uint8_t>{0xFF, 1, 2, 3});
    const std::string tgaPath = save("endless.tga", tga.take());
    EXPECT_TRUE(finishesWithin(std::chrono::seconds(20), [&] {
        TextureRecord record;
        if (readTga(rt, record, tgaPath) || !record.pixels.empty()) std::_Exit(3);
    }));
}

// ---------------------------------------------------------------------------
// DMAP numbers that point anywhere.

class HostileDmap : public ::testing::Test {
protected:
    static constexpr size_t BaseBytes = 65536 * 4;

    // A chunk with every base entry `base`, then W and the words, B and the
    // block records, held in a buffer of exactly its size.
    std::vector<uint8_t> chunk(uint32_t base, const std::vector<uint32_t>& words, const std::vector<BlockInfo>& blocks,
                               int64_t wordCount = -1) {
        ByteBuffer b;
        for (size_t i = 0; i < 65536; ++i) b.u32(base);
        b.u32(wordCount < 0 ? uint32_t(words.size()) : uint32_t(wordCount));
        for (uint32_t w : words) b.u32(w);
        b.u32(uint32_t(blocks.size()));
        for (const BlockInfo& block : blocks) b.block(block);
        return b.take();
    }
    void decode(const std::vector<uint8_t>& data) {
        map.clear();
        checksum.reset();
        // An exact copy, so that a read past the chunk is a read past the buffer.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[data.size()]);
        if (!data.empty()) std::memcpy(exact.get(), data.data(), data.size());
        decodeDmap(exact.get(), data.size(), map, checksum);
    }
    static uint32_t column(int height, int offset) { return uint32_t(height) | (uint32_t(offset) << 8); }
    size_t filledBlocks() const {
        size_t n = 0;
        for (int z = 0; z < MapDepth; ++z)
            for (int y = 0; y < MapHeight; ++y)
                for (int x = 0; x < MapWidth; ++x) n += map.at(x, y, z).lid != 0 ? 1 : 0;
        return n;
    }
    static BlockInfo lid(uint16_t tile) {
        BlockInfo b;
        b.lid = tile;
        return b;
    }

    MapFile map;
    LevelChecksum checksum;
};

TEST_F(HostileDmap, BaseEntriesPastTheColumnsLeaveTheirSquaresEmpty) {
    // 0x40000000 words is 0 bytes in 32-bit arithmetic, and 0x3FFFFFFF lands
    // on the word count: both must count as far past the chunk.
    for (uint32_t base : {100u, 0x3FFFFFFFu, 0x40000000u, 0xFFFFFFFFu}) {
        decode(chunk(base, {column(1, 0), 0}, {lid(5)}));
        EXPECT_EQ(filledBlocks(), 0u) << base;
        EXPECT_EQ(checksum.value(), 0u);
    }
    decode(chunk(0, {column(1, 0), 0}, {lid(5)}));
    EXPECT_EQ(filledBlocks(), 65536u);
}

TEST_F(HostileDmap, ColumnsTallerThanTheMapFillOnlyItsEightLayers) {
    std::vector<uint32_t> words{column(255, 0)};
    for (int i = 0; i < 300; ++i) words.push_back(0);
    decode(chunk(0, words, {lid(9)}));
    EXPECT_EQ(filledBlocks(), 65536u * 8);
    // Layers that start above the map have nowhere to go.
    decode(chunk(0, {column(255, 250), 0, 0}, {lid(9)}));
    EXPECT_EQ(filledBlocks(), 0u);
    EXPECT_EQ(checksum.value(), 0u);
    // A column whose block numbers would run past the chunk's end: the chunk
    // ends right after its first word, with no count and no table.
    ByteBuffer cut;
    for (size_t i = 0; i < 65536; ++i) cut.u32(0);
    cut.u32(1);
    cut.u32(column(255, 0));
    decode(cut.take());
    EXPECT_EQ(filledBlocks(), 0u);
}

TEST_F(HostileDmap, BlockNumbersPastTheTableLeaveTheirLayersEmpty) {
    decode(chunk(0, {column(4, 0), 0, 1, 0xFFFFFFFFu, 0x15555556u}, {lid(3), lid(4)}));
    EXPECT_EQ(map.at(7, 7, 0).lid, 3);
    EXPECT_EQ(map.at(7, 7, 1).lid, 4);
    EXPECT_EQ(map.at(7, 7, 2).lid, 0);  // 0xFFFFFFFF x 12 bytes lies far past the chunk
    EXPECT_EQ(map.at(7, 7, 3).lid, 0);  // wraps to a small offset in 32-bit arithmetic
}

TEST_F(HostileDmap, WordCountsThatLieLeaveTheMapEmpty) {
    // W far past the chunk, and W whose byte count wraps to 0 in 32 bits.
    for (uint32_t w : {0xFFFFFFFFu, 0x40000000u, 0x3FFFFFFFu}) {
        decode(chunk(0, {column(1, 0), 0}, {lid(5)}, w));
        EXPECT_EQ(filledBlocks(), 0u) << w;
        EXPECT_EQ(checksum.value(), 0u) << w;
    }
    // Chunks too short for a base table or W: nothing placed, nothing read.
    for (size_t size : {size_t(0), size_t(4), BaseBytes, BaseBytes + 3}) {
        std::vector<uint8_t> data(size, 0);
        decode(data);
        EXPECT_EQ(filledBlocks(), 0u) << size;
    }
}

TEST_F(Hostile, ShortUmapKeepsOnlyItsWholeRecords) {
    std::vector<uint8_t> umap;
    for (int i = 0; i < 700; ++i) {
        BlockInfo b;
        b.lid = uint16_t(1 + i % 1000);
        const auto bytes = blockBytes(b);
        umap.insert(umap.end(), bytes.begin(), bytes.end());
    }
    umap.insert(umap.end(), {0xAB, 0xCD, 0xEF, 0x01, 0x23});  // a partial record
    const std::vector<uint8_t> next(64, 0x77);             // would complete it
    level.checksum.reset();
    ASSERT_TRUE(loadMapWindowed(save("short.gmp", container("GBMP", {honest("UMAP", umap), honest("RGEN", next)}))));
    EXPECT_EQ(level.map.at(699 % 256, 699 / 256, 0).lid, 700);
    const BlockInfo& partial = level.map.at(700 % 256, 700 / 256, 0);
    EXPECT_EQ(partial.left, 0);
    EXPECT_EQ(partial.lid, 0);
    EXPECT_EQ(level.checksum.value(), crc32TableUpdate(0, umap.data(), 700 * 12));
}

// ---------------------------------------------------------------------------
// Palettes and tiles past the fixed stores.

class HostileStyle : public Hostile {
protected:
    // One tile page: tile t is filled with palette index 1.
    static std::vector<uint8_t> tilePages(size_t pages, uint8_t index = 1) {
        return std::vector<uint8_t>(pages * 65536, index);
    }
    static std::vector<uint8_t> ppal(size_t pages, int palette, uint8_t blue, uint8_t green, uint8_t red) {
        std::vector<uint8_t> bytes(pages * 65536, 0);
        const size_t entry = size_t(palette / 64) * 16384 + 1 * 64 + size_t(palette % 64);
        bytes[4 * entry] = blue;
        bytes[4 * entry + 1] = green;
        bytes[4 * entry + 2] = red;
        return bytes;
    }
};

TEST_F(HostileStyle, VirtualPalettesPastThePhysicalStoreReadAsBlack) {
    const std::string path = save(
        "palx.sty", container("GBST", {honest("PALX", u16s({320, 319, 65535})), honest("PPAL", ppal(5, 319, 3, 2, 1)),
                                       honest("TILE", tilePages(1))}));
    rt.headless = true;
    ASSERT_TRUE(loadStyle(rt, level, maps, -1, path));
    const uint8_t* t0 = atlasPixel(0, 0);
    const uint8_t* t1 = atlasPixel(64, 0);
    const uint8_t* t2 = atlasPixel(128, 0);
    EXPECT_EQ(std::vector<uint8_t>(t0, t0 + 4), (std::vector<uint8_t>{0, 0, 0, 255}));
    EXPECT_EQ(std::vector<uint8_t>(t1, t1 + 4), (std::vector<uint8_t>{1, 2, 3, 255}));
    EXPECT_EQ(std::vector<uint8_t>(t2, t2 + 4), (std::vector<uint8_t>{0, 0, 0, 255}));
}

TEST_F(HostileStyle, PhysicalPalettesPastTheFifthPageAreNotRead) {
    // Six pages: palette 320 would be colour 1 of page 5, column 0.
    std::vector<uint8_t> six = ppal(6, 320, 9, 9, 9);
    const std::string path = save("ppal6.sty", container("GBST", {honest("PALX", u16s({0})), honest("PPAL", six),
                                                                  honest("TILE", tilePages(1))}));
    rt.headless = true;
    level.checksum.reset();
    ASSERT_TRUE(loadStyle(rt, level, maps, -1, path));
    const uint32_t withSix = level.checksum.value();
    six.resize(5 * 65536);
    const std::string five = save("ppal5.sty", container("GBST", {honest("PALX", u16s({0})), honest("PPAL", six),
                                                                  honest("TILE", tilePages(1))}));
    level.checksum.reset();
    ASSERT_TRUE(loadStyle(rt, level, maps, -1, five));
    EXPECT_EQ(level.checksum.value(), withSix);
}

TEST_F(HostileStyle, TilePagesPastTheSixtyFourthAreNotDrawn) {
    std::vector<uint8_t> tiles = tilePages(65, 1);
    std::fill(tiles.begin() + 64 * 65536, tiles.end(), uint8_t(2));
    const std::vector<uint8_t> palettes = ppal(1, 0, 50, 60, 70);
    const std::string many = save("65.sty", container("GBST", {honest("PPAL", palettes), honest("TILE", tiles)}));
    tiles.resize(64 * 65536);
    const std::string all = save("64.sty", container("GBST", {honest("PPAL", palettes), honest("TILE", tiles)}));

    rt.headless = true;
    level.checksum.reset();
    ASSERT_TRUE(loadStyle(rt, level, maps, -1, many));
    const std::vector<uint8_t> atlas65 = level.tileAtlas;
    const uint32_t checksum65 = level.checksum.value();
    level.checksum.reset();
    ASSERT_TRUE(loadStyle(rt, level, maps, -1, all));
    EXPECT_EQ(level.checksum.value(), checksum65);
    EXPECT_TRUE(level.tileAtlas == atlas65);
    EXPECT_EQ(atlasPixel(2047, 2047)[0], 70);

    // A 65-page claim over a file that holds a few bytes draws what is there.
    const std::string claim = save("claim.sty", container("GBST", {{"TILE", 65u * 65536u, std::vector<uint8_t>(10, 1)}}));
    ASSERT_TRUE(loadStyle(rt, level, maps, -1, claim));
    EXPECT_EQ(atlasPixel(9, 0)[3], 255);
    EXPECT_EQ(atlasPixel(10, 0)[3], 0);
}

TEST_F(HostileStyle, MissingPalettesGiveOpaqueBlackAndNoSprites) {
    const std::vector<uint8_t> sprites(256, 1);
    const std::vector<std::vector<RawChunk>> files = {
        {honest("PPAL", ppal(1, 0, 50, 60, 70)), honest("TILE", tilePages(1))},               // no PALX
        {honest("PALX", u16s({0})), honest("TILE", tilePages(1)), honest("PALB", u16s({0})),  // no PPAL
         honest("SPRG", sprites), honest("SPRX", u32s({0, 0x00000404u}))},
        {honest("TILE", tilePages(1))},  // neither
    };
    for (size_t i = 0; i < files.size(); ++i) {
        ASSERT_TRUE(loadStyleWindowed(save("nopal" + std::to_string(i) + ".sty", container("GBST", files[i]))));
        const uint8_t* p = atlasPixel(5, 5);
        // Without PALX every tile uses physical palette 0, whose colour 1 is
        // (70, 60, 50) in the first file; otherwise the palettes are zeros.
        const std::vector<uint8_t> expected =
            i == 0 ? std::vector<uint8_t>{70, 60, 50, 255} : std::vector<uint8_t>{0, 0, 0, 255};
        EXPECT_EQ(std::vector<uint8_t>(p, p + 4), expected) << i;
        EXPECT_TRUE(level.sprites.empty()) << i;
    }
}

}  // namespace
