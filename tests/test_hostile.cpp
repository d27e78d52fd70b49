// Level files from strangers: size fields that lie, records cut off by their
// chunk, numbers pointing outside every table, floods of chunks and records.
// The readers must stay inside the file and their fixed stores, allocate no
// more than what they keep, and finish. Then the program among hostile
// surroundings: arguments built to inject options, limits on memory and file
// size, pipes and devices for files, signals while writing, linked outputs,
// full disks and read-only folders.

#include "test_support.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <set>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "base/os.h"
#include "formats/chunk_file.h"
#include "image/tga_reader.h"
#include "maplist/recent_maps.h"

// The largest single request made through operator new while a Watch lives;
// all of it goes to malloc/free, so sanitizer builds still see matching pairs.
namespace {
std::atomic<bool> gWatching{false};
std::atomic<size_t> gLargest{0};

void* tracked(size_t size) noexcept {
    size_t seen = gLargest.load();
    while (gWatching.load() && size > seen && !gLargest.compare_exchange_weak(seen, size)) {
    }
    return std::malloc(size ? size : 1);
}
void* allocate(size_t size) {
    if (void* p = tracked(size)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return tracked(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return tracked(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

using namespace vant;
using namespace vant::test;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANT_ASAN 1
#endif
#endif

namespace {

struct Watch {
    Watch() { gLargest = 0, gWatching = true; }
    ~Watch() { gWatching = false; }
    size_t largest() const { return gLargest.load(); }
};

const ByteVec palb{0, 0};          // one palette base, 0
const ByteVec tilePage(65536, 1);  // 16 tiles all in colour 1
constexpr uint32_t Huge = 0xFFFFFFFFu;

class Hostile : public ::testing::Test, public LevelFiles {};

// Each lying chunk is the last one: its size runs 4 GiB past the end.
TEST_F(Hostile, LyingSizesAllocateNoMoreThanTheFileOrTheFixedStores) {
    const ByteVec some(3000, 5);
    const std::vector<std::vector<RawChunk>> styles = {
        {{"PALX", some, Huge}}, {{"PPAL", some, Huge}}, {{"TILE", some, Huge}}, {{"SPEC", some, Huge}},
        {{"PALB", palb}, {"SPRG", some, Huge}}, {{"PPAL", some}, {"PALB", palb}, {"SPRG", some}, {"SPRX", some, Huge}}};
    for (size_t i = 0; i < styles.size(); ++i) {
        const ByteVec bytes = rawChunkFile("GBST", styles[i]);
        Watch watch;
        EXPECT_TRUE(loadWindowed("lying.sty", bytes)) << i;
        EXPECT_LE(watch.largest(), std::max(AtlasBytes, bytes.size())) << i;
    }
    level.map.clear();  // the block store is the run's, made before any load
    for (const std::string type : {"DMAP", "UMAP", "ZONE", "ANIM"}) {
        const ByteVec bytes = rawChunkFile("GBMP", {{type, ByteVec(5000, 1), Huge}});
        Watch watch;
        EXPECT_TRUE(loadWindowed("lying.gmp", bytes)) << type;
        // Zone and animation records are a few times their bytes.
        EXPECT_LE(watch.largest(), (type == "ZONE" || type == "ANIM" ? 32 : 1) * bytes.size()) << type;
    }
}

// Records cut off by their chunk (UMAP records: MapLoad.UmapWins*).
TEST_F(Hostile, RecordsAndTheSpriteIndexStopAtTheChunkEnd) {
    MapWriter writer;
    writer.addZone({1, 10, 20, 5, 3, "Dock"});
    writer.addZone({2, 0, 0, 2, 2, "Lights"});
    writer.addAnimation({20, 0, 0, {21, 22}});
    writer.addAnimation({30, 0, 0, {31, 32, 33}});
    ByteVec zone = writer.zoneChunk(), anim = writer.animChunk();
    zone.pop_back();  // the last name loses its last byte
    anim.pop_back();  // the last animation loses half a frame
    // What follows each chunk would complete its last record if read.
    const ByteVec filler(64, 0x40);
    ASSERT_TRUE(loadWindowed(
        "cut.gmp", rawChunkFile("GBMP", {{"ZONE", zone}, {"PSXM", filler}, {"ANIM", anim}, {"LGHT", filler}})));
    ASSERT_EQ(level.map.zones.size(), 1u);
    EXPECT_EQ(level.map.zones[0].name, "Dock");
    ASSERT_EQ(level.map.animations.size(), 1u);
    EXPECT_EQ(level.map.animations[0].base, 20);
    EXPECT_EQ(level.map.tileToAnimation[30], -1);

    StyleWriter style;
    style.setVirtualPalette(0, 0);
    style.setColour(0, 1, Rgb{10, 20, 30});
    style.setSpriteGraphics(ByteVec(2 * 256, 1));
    style.addSprite(0, 2, 2);
    style.addSprite(256 + 255, 200, 200);            // runs off its page and off the graphics
    style.addSprite(512, 1, 1);                      // ptr at the end of the graphics: dropped
    style.addChunk("XTRA", u32s({0, 0x00000101u}));  // would read as one more good entry
    ASSERT_TRUE(loadWindowed("sprites.sty", style.bytes()));
    ASSERT_EQ(level.sprites.size(), 2u);
    EXPECT_EQ(level.sprites[1].x, 255);
    EXPECT_EQ(level.sprites[1].y, 1);
    ASSERT_EQ(level.spriteAtlas.size(), AtlasBytes);
    EXPECT_EQ(ByteVec(level.spriteAtlas.begin(), level.spriteAtlas.begin() + 4), (ByteVec{10, 20, 30, 255}));
}

TEST_F(Hostile, ReadersFinishOnInputsBuiltToLoop) {
    // A size that, counted in 32 bits, takes the next header back to the start.
    const std::string wrap = dir.file("wrap.gmp");
    ASSERT_TRUE(saveBytes(wrap, rawChunkFile("GBMP", {{"ZONE", ByteVec(20, 0), Huge - 13}})));
    // Tens of thousands of empty chunks and empty records, past the caps.
    std::vector<RawChunk> empties;
    for (int i = 0; i < 20000; ++i) empties.push_back({i % 2 ? "ABCD" : "EFGH", {}});
    empties.push_back({"ZONE", ByteVec(6 * 70000, 0)});
    empties.push_back({"ANIM", ByteVec(6 * 5000, 0)});
    const ByteVec many = rawChunkFile("GBMP", empties);
    // A run-length 4000 x 4000 picture whose packets end long before it is full.
    ByteVec tga = tgaFile(10, 4000, 4000, 24, 0);
    for (int i = 0; i < 1000; ++i) tga.insert(tga.end(), {0xFF, 1, 2, 3});
    const std::string picture = dir.file("endless.tga");
    ASSERT_TRUE(saveBytes(picture, tga));
    auto readAll = [&] {
        if (readChunkDirectory(rt, wrap).chunks.size() != 1) return 1;
        if (!loadWindowed("empties.gmp", many)) return 2;
        if (level.map.zones.size() != MaxZones || level.map.animations.size() != MaxAnimations) return 3;
        TextureRecord record;
        return readTga(rt, record, picture) || !record.pixels.empty() ? 4 : 0;
    };
    EXPECT_EQ(inChild(readAll, -1, false, 60), 0);
}

TEST(HostileDmap, NumbersPastTheChunkLeaveTheirBlocksEmpty) {
    constexpr size_t BaseBytes = 65536 * 4;
    MapFile map, quiet;
    LevelChecksum checksum, off;
    off.setEnabled(false);
    size_t unplaced = 0;
    // Blocks placed, decoded from an exact-size copy: a read past the chunk is
    // a read past the buffer. Without the checksum the same blocks are placed.
    auto decode = [&](const ByteVec& data, size_t size = SIZE_MAX) {
        const ByteVec exact(data.begin(), data.begin() + long(std::min(size, data.size())));
        map.clear();
        checksum.reset();
        unplaced = 0;
        decodeDmap(exact.data(), exact.size(), map, checksum, &unplaced);
        quiet.clear();
        size_t quietUnplaced = 0;
        decodeDmap(exact.data(), exact.size(), quiet, off, &quietUnplaced);
        EXPECT_EQ(quietUnplaced, unplaced);
        EXPECT_EQ(std::memcmp(quiet.data(), map.data(), MapFile::BlockCount * sizeof(BlockInfo)), 0);
        // Kept packed, the squares read from it are the decoded ones, and so
        // is the store made from it.
        MapFile packed;
        packed.keepPacked(FileBytes(exact.begin(), exact.end()));
        EXPECT_EQ(PackedColumns(exact.data(), exact.size()).countUnplaced(), unplaced);
        for (size_t square = 0; square < 65536; ++square) {
            BlockInfo a[MapDepth], b[MapDepth];
            packed.column(square, a);
            map.column(square, b);
            const BlockInfo one = packed.block(square, int(square % 8));
            if (std::memcmp(a, b, sizeof a) != 0 || std::memcmp(&one, &b[square % 8], sizeof one) != 0) {
                ADD_FAILURE() << "square " << square;
                break;
            }
        }
        EXPECT_EQ(std::memcmp(packed.data(), map.data(), MapFile::BlockCount * sizeof(BlockInfo)), 0);
        return size_t(
            std::count_if(map.data(), map.data() + MapFile::BlockCount, [](const BlockInfo& b) { return b.lid != 0; }));
    };
    // Every base entry `base`; W (the word count unless given), the column
    // words (height | offset << 8, block numbers); blocks by lid.
    auto chunk = [](uint32_t base, const std::vector<uint32_t>& words, std::vector<uint16_t> lids = {5},
                    int64_t wordCount = -1) {
        ByteVec data;
        for (size_t n = 0; n < 65536; ++n) put32(data, base);
        put32(data, wordCount < 0 ? uint32_t(words.size()) : uint32_t(wordCount));
        for (uint32_t w : words) put32(data, w);
        put32(data, uint32_t(lids.size()));
        for (uint16_t lid : lids)  // four empty sides, the lid, no extra or slope
            for (uint32_t w : {0u, 0u, uint32_t(lid)}) put32(data, w);
        return data;
    };

    const ByteVec sound = chunk(0, {1, 0});  // every square: height 1 from layer 0, block 0
    EXPECT_EQ(decode(sound), 65536u);
    // Base entries past the columns (0x40000000 words is 0 bytes in 32-bit
    // arithmetic, 0x3FFFFFFF lands on W); word counts past the chunk.
    for (const auto& [base, w] : std::vector<std::pair<uint32_t, int64_t>>{
             {100, -1}, {0x3FFFFFFF, -1}, {0x40000000, -1}, {Huge, -1}, {0, Huge}, {0, 0x40000000}, {0, 0x3FFFFFFF}}) {
        EXPECT_EQ(decode(chunk(base, {1, 0}, {5}, w)), 0u) << base << " " << w;
        EXPECT_EQ(checksum.value(), 0u);
    }
    // Chunks too short for a base table or W, or for the whole block record.
    for (size_t size : {size_t(0), size_t(4), BaseBytes, BaseBytes + 3, sound.size() - 1})
        EXPECT_EQ(decode(sound, size), 0u) << size;

    // Columns taller than the map fill its eight layers, those starting above
    // it nothing; nor do block numbers past the chunk's end.
    std::vector<uint32_t> tall(301, 0);
    tall[0] = 255;
    EXPECT_EQ(decode(chunk(0, tall)), 65536u * 8);
    EXPECT_EQ(decode(chunk(0, {255 | 250 << 8, 0, 0})), 0u);
    EXPECT_EQ(checksum.value(), 0u);
    EXPECT_EQ(decode(chunk(0, {255}), BaseBytes + 8), 0u);
    EXPECT_EQ(unplaced, 65536u) << "each column cut after its first word";
    ByteVec cut = chunk(5, {0});  // every square: the column after the block record
    for (uint32_t w : {3u, 0u, 0u}) put32(cut, w);
    EXPECT_EQ(decode(cut), 65536u * 2);
    EXPECT_EQ(unplaced, 65536u) << "each column's third layer past the chunk";
    EXPECT_EQ(decode(chunk(100, {1, 0})), 0u);
    EXPECT_EQ(unplaced, 65536u) << "every column outside the chunk";

    // Block numbers past the table; 0x15555556 x 12 wraps to 8 in 32 bits.
    decode(chunk(0, {4, 0, 1, Huge, 0x15555556u}, {3, 4}));
    EXPECT_EQ(unplaced, 65536u * 2);
    EXPECT_EQ((std::vector<int>{map.at(7, 7, 0).lid, map.at(7, 7, 1).lid, map.at(7, 7, 2).lid, map.at(7, 7, 3).lid}),
              (std::vector<int>{3, 4, 0, 0}));
}

// Palettes past the store's five pages give opaque black; a sixth palette page
// and a 65th tile page (colour 2) are never read.
TEST_F(Hostile, PalettesAndPagesPastTheStores) {
    StyleWriter palettes;
    palettes.setColour(0, 1, {70, 60, 50});
    palettes.setColour(319, 1, {1, 2, 3});
    palettes.setColour(320, 1, {9, 9, 9});
    ByteVec ppal = palettes.ppalChunk(), tiles(65 * 65536, 1);
    std::fill(tiles.begin() + 64 * 65536, tiles.end(), uint8_t(2));
    const ByteVec palx{64, 1, 63, 1, 255, 255};  // tiles 0 to 2: palettes 320, 319, 65535
    ASSERT_TRUE(loadHeadless("big.sty", rawChunkFile("GBST", {{"PALX", palx}, {"PPAL", ppal}, {"TILE", tiles}})));
    const uint32_t checksum = level.checksum.value();
    const ByteVec atlas = level.tileAtlas, black{0, 0, 0, 255}, colour0{70, 60, 50, 255};
    ppal.resize(5 * 65536);
    tiles.resize(64 * 65536);
    level.checksum.reset();
    ASSERT_TRUE(loadHeadless("fits.sty", rawChunkFile("GBST", {{"PALX", palx}, {"PPAL", ppal}, {"TILE", tiles}})));
    EXPECT_EQ(level.checksum.value(), checksum);
    EXPECT_TRUE(level.tileAtlas == atlas);
    for (int t = 0; t < 3; ++t)
        EXPECT_EQ(atlasPixel(level, 64 * t + 5, 5), (t == 1 ? ByteVec{1, 2, 3, 255} : black)) << t;
    EXPECT_EQ(atlasPixel(level, 2047, 2047)[3], 255);

    // No PALX: every tile uses palette 0. No PPAL: all black, and no sprites.
    ASSERT_TRUE(loadWindowed("nopalx.sty", rawChunkFile("GBST", {{"PPAL", ppal}, {"TILE", tilePage}})));
    EXPECT_EQ(atlasPixel(level, 64 * 2 + 5, 5), colour0);
    const ByteVec sprx = u32s({0, 0x00000404u});
    ASSERT_TRUE(loadWindowed("noppal.sty", rawChunkFile("GBST", {{"TILE", tilePage}, {"PALB", palb},
                                                                  {"SPRG", ByteVec(256, 1)}, {"SPRX", sprx}})));
    EXPECT_EQ(atlasPixel(level, 5, 5), black);
    EXPECT_TRUE(level.sprites.empty());

    // A 65-page claim over a file that holds a few bytes draws what is there.
    ASSERT_TRUE(loadHeadless("claim.sty", rawChunkFile("GBST", {{"TILE", ByteVec(10, 1), 65 * 65536}})));
    EXPECT_EQ(atlasPixel(level, 9, 0)[3], 255);
    EXPECT_EQ(atlasPixel(level, 10, 0)[3], 0);
}

// The recent list is read from its tail, its lines capped; the run log
// stops growing but keeps its last line.
TEST_F(Hostile, FloodsKeepOnlyWhatIsUsed) {
    RecentMaps recent;
    recent.path = dir.file("recent_maps.txt");
    recent.admit = [](uint32_t, int) { return true; };
    std::string text(1 << 21, '\n');
    for (int i = 0; i < 14; ++i) text += "0000000" + std::to_string(i % 10) + "|m|s|c|x|" + std::string(i, 'n') + "|\r\n";
    text += "0|m|s|c|x|" + std::string(1 << 20, 'n') + "\n" + "no line feed";
    ASSERT_TRUE(saveBytes(recent.path, ByteVec(text.begin(), text.end())));
    Watch watch;
    loadRecentMaps(recent);
    EXPECT_LT(watch.largest(), size_t(1) << 17);
    ASSERT_EQ(recent.list.size(), 12u);  // the last 11 short lines and the capped one
    EXPECT_EQ(recent.list[0].displayName, "nnn");
    EXPECT_EQ(recent.list[11].displayName.size(), 32768u - 10);
    // A file grown huge is searched no further back than its last 16 MiB:
    // past a hole of 64 MiB, the line before it is not read.
    writeFile(recent.path, "0000000A|m|s|c|x|far|\r\n");
    std::filesystem::resize_file(recent.path, uint64_t(64) << 20);
    std::ofstream(recent.path, std::ios::binary | std::ios::app) << "\r\n0000000B|m|s|c|x|near|\r\n";
    loadRecentMaps(recent);
    ASSERT_EQ(recent.list.size(), 1u);
    EXPECT_EQ(recent.list[0].displayName, "near");

    rt.headless = true;
    ASSERT_TRUE(rt.openRunLog(dir.file("debug.txt")));
    for (int i = 0; i < 40000; ++i) rt.showMessage(BoxOk, "ERROR", "message %d of a flood", i);
    rt.closeRunLog();
    const std::string logged = readFile(dir.file("debug.txt"));
    EXPECT_LE(logged.size(), Runtime::RunLogCap + 100);
    EXPECT_TRUE(logged.ends_with("more messages were not logged\r\nEXIT SUCCESS\r\n"));
}

#ifdef _WIN32
TEST(HostileRun, SkippedOnWindows) { GTEST_SKIP() << "runs under a POSIX shell's limits, named pipes and signals"; }
#else
namespace fs = std::filesystem;

std::set<std::string> entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

const std::string Old = "an older file that must survive";

// The real binary in its own folder, with the sample city beside it.
class HostileRun : public ::testing::Test, public InstalledJob {
protected:
    void SetUp() override {
        ASSERT_EQ(makeSampleCity(home.path()).status, 0);
        fs::create_directory(out);
        fs::permissions(home.path(), fs::perms::all);  // an ordinary user keeps its run log too
    }
    // A job for missing level files, written to out/name, in a child that may
    // write fileSize bytes at most, as an ordinary user if asked.
    int limited(const std::string& name, long fileSize, bool unprivileged, std::vector<std::string> args) {
        args.insert(args.begin(), {"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", (out / name).string()});
        return inChild([&] { return runProgram(program, args, home.path()).status; }, fileSize, unprivileged);
    }
    bool reported(const std::string& name) const {
        return log().find("Cannot write file \"" + (out / name).string() + "\"") != std::string::npos;
    }
    // A job with -debug 1, under the shell's limits, ended after 20 s.
    RunResult job(std::vector<std::string> args, const std::string& limits = "") {
        args.insert(args.begin(), {"-c", limits + " exec timeout 20 \"$0\" \"$@\"", program.string(), "-saveminimap"});
        args.insert(args.end(), {"-debug", "1"});
        return runProgram("/bin/sh", args, home.path());
    }
    RunResult draw(const std::string& picture, const std::string& limits = "", const std::string& sty = "sample.sty") {
        return job({"-sty", at(sty), "-gmp", at("sample.gmp"), "-out", at(picture)}, limits);
    }

    fs::path out = home / "out";
};

TEST_F(HostileRun, ArgumentsLimitsAndFloods) {
    // A quote in an argument is a byte of that argument, nothing more.
    EXPECT_EQ(job({"-sty", at("sample.sty") + "\"-out\"" + at("injected.tga"), "-gmp", at("sample.gmp"), "-out",
                   at("expected.tga")}).status, 1);
    EXPECT_TRUE(std::filesystem::exists(home / "expected.tga"));
    EXPECT_FALSE(std::filesystem::exists(home / "injected.tga"));
    std::filesystem::copy_file(home / "sample.sty", home / "my\"style.sty");
    EXPECT_EQ(draw("quoted.tga", "", "my\"style.sty").status, 1);
    EXPECT_EQ(draw("plain.tga").status, 1);
    EXPECT_EQ(readFile(home / "quoted.tga"), readFile(home / "plain.tga"));
#if !defined(__SANITIZE_ADDRESS__) && !defined(VANT_ASAN)  // sanitizers need far more address space
    EXPECT_EQ(draw("limited.tga", "ulimit -v 131072;").status, 1);
    EXPECT_EQ(readFile(home / "limited.tga"), readFile(home / "plain.tga"));
    // Less and less memory: each run that starts ends through the exit path,
    // and some run is stopped by the allocation failure, with its message.
    int starved = 0;
    for (int kb = 64000; kb >= 6000; kb -= 4000) {
        std::filesystem::remove(home / "debug.txt");
        const int status = draw("starved.tga", "ulimit -v " + std::to_string(kb) + ";").status;
        if (!std::filesystem::exists(home / "debug.txt")) continue;  // too little to start
        EXPECT_EQ(status, 1) << kb;
        EXPECT_TRUE(log().ends_with("EXIT SUCCESS\r\n")) << kb;
        starved += log().find("[ERROR] Could not allocate memory\r\n") != std::string::npos;
    }
    EXPECT_GT(starved, 0);
    // vantmap alike: a level it cannot get the memory for fails alone, said
    // so, never aborting, and its older picture stays.
    int vantmapStarved = 0;
    for (int kb = 40000; kb >= 4000; kb -= 4000) {
        writeFile(home / "starved.png", Old);
        for (const std::string command : {"render", "info"}) {
            std::vector<std::string> args = {"-c", "ulimit -v " + std::to_string(kb) + "; exec \"$0\" \"$@\"",
                                             VANTMAP_BINARY, command, at("sample.gmp"), "--style", at("sample.sty")};
            if (command == "render") args.insert(args.end(), {"--size", "512", "-o", at("starved.png")});
            const RunResult r = runProgram("/bin/sh", args, home.path());
            if (r.status == 127) continue;  // too little to start
            EXPECT_TRUE(r.status == 0 || r.status == 1) << kb << " " << command << ": " << r.stdErr;
            vantmapStarved += r.stdErr.find("not enough memory") != std::string::npos;
        }
        const std::string picture = readFile(home / "starved.png");
        EXPECT_TRUE(picture == Old || picture.substr(1, 3) == "PNG") << kb;
    }
    EXPECT_GT(vantmapStarved, 0);
#endif
    // File-size limits: HostileRun.FullFileSystem*.
    std::string repeats;  // ten million empty "PALX" chunks
    for (int i = 0; i < 100000; ++i) repeats.append("PALX\0\0\0\0", 8);
    std::ofstream flood(at("flood.sty"), std::ios::binary);
    for (int i = 0; i < 100; ++i) flood << (i ? "" : std::string("GBST\1\0", 6)) << repeats;
    flood.close();
    std::filesystem::resize_file(home / "sample.gmp", uint64_t(1) << 30);  // a sparse tail of zeros
    for (const char* sty : {"flood.sty", "sample.sty"}) {
        // Bounded work: the run's 20 s timeout would end a scan of every
        // empty chunk or of the gigabyte of zeros (bench figures: under 1 s).
        EXPECT_EQ(draw("flood.tga", "", sty).status, 1);
        // Once for the repeated PALX, once for the empty chunks of the zeros.
        const std::string text = log();
        EXPECT_EQ(std::count(text.begin(), text.end(), '('), sty[0] == 'f' ? 2 : 1) << text;
    }
}

TEST_F(HostileRun, OnlyRegularFilesAreOpened) {
    for (const char* fifo : {"pipe.sty", "pipe.tga", "level.mis", "pipe.mmp"}) ASSERT_EQ(::mkfifo(at(fifo).c_str(), 0600), 0);
    std::filesystem::create_directory(home / "folder.gmp");
    writeFile(home / "level.mmp", "[MapFiles]\r\nstyfile=sample.sty\r\ngmpfile=sample.gmp\r\nscrfile=level.scr\r\n");
    EXPECT_EQ(job({"-mmp", at("level.mmp"), "-out", at("mmp.tga")}).status, 1);
    EXPECT_TRUE(std::filesystem::exists(home / "mmp.tga"));
    EXPECT_EQ(draw("x.tga", "", "pipe.sty").status, 1);
    EXPECT_NE(log().find("STY file was not found"), std::string::npos);
    EXPECT_EQ(job({"-sty", at("sample.sty"), "-gmp", "/dev/zero", "-out", at("x.tga")}).status, 1);
    EXPECT_EQ(job({"-sty", at("sample.sty"), "-gmp", at("folder.gmp"), "-out", at("x.tga")}).status, 1);
    EXPECT_NE(log().find("GMP file was not found"), std::string::npos);
    EXPECT_EQ(draw("pipe.tga").status, 1);
    EXPECT_NE(log().find("(not a regular file)"), std::string::npos);
    EXPECT_EQ(std::filesystem::status(home / "pipe.tga").type(), std::filesystem::file_type::fifo);
    // vantmap names the pipe (or folder) and goes on, never waiting on it.
    const std::string pipe = "cannot open: not a regular file", folder = "cannot open: Is a directory";
    for (const auto& [args, why] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"info", at("pipe.mmp")}, pipe},
             {{"render", at("sample.gmp"), "--style", at("pipe.sty"), "-o", at("v.tga")}, pipe},
             {{"info", at("folder.gmp"), "--style", at("sample.sty")}, folder}}) {
        std::vector<std::string> shell = {"-c", "exec timeout 20 \"$0\" \"$@\"", VANTMAP_BINARY};
        shell.insert(shell.end(), args.begin(), args.end());
        const RunResult r = runProgram("/bin/sh", shell, home.path());
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_NE(r.stdErr.find(why), std::string::npos) << r.stdErr;
    }
}

// Outputs that cannot be checked or written, closed or broken standard
// streams, no threads to be had: a clear failure for the run or its level.
TEST_F(HostileRun, OutputsAndStreamsThatFailSayWhyAndHarmNothing) {
    auto shell = [&](const std::string& script, std::vector<std::string> args) {
        args.insert(args.begin(), {"-c", script, VANTMAP_BINARY});
        return runProgram("/bin/sh", args, home.path());
    };
    fs::create_directory_symlink("loop", home / "loop");
    writeFile(home / "log.txt", Old);
    for (const auto& [script, output, why] : std::vector<std::array<std::string, 3>>{
             {"exec \"$0\" \"$@\"", at("loop/x.png"), "loop/x.png: cannot write: Too many levels"},
             {"exec \"$0\" \"$@\"", std::string(300, 'q') + ".png", ".png: cannot write: File name too long"},
             {"exec \"$0\" \"$@\" >>log.txt", "/dev/stdout", "/dev/stdout: cannot write: not a regular file"}}) {
        const RunResult r = shell(script, {"render", at("sample.mmp"), "--size", "16", "--format", "tga", "-o", output});
        EXPECT_EQ(r.status, 1) << output << ": " << r.stdErr;
        EXPECT_NE(r.stdErr.find(why), std::string::npos) << r.stdErr;
    }
    EXPECT_EQ(readFile(home / "log.txt"), Old);
    const RunResult full = shell("exec \"$0\" \"$@\" >/dev/full", {"info", at("sample.mmp")});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.stdErr.find("vantmap: standard output: cannot write"), std::string::npos) << full.stdErr;
    EXPECT_EQ(shell("exec \"$0\" \"$@\"", {"render", "x.txt", "-o", at("made/")}).status, 2);
    EXPECT_FALSE(fs::exists(home / "made"));
    writeFile(home / "afile", "");  // a folder that cannot be made fails the run: no usage error
    const RunResult blocked = shell("exec \"$0\" \"$@\"", {"render", at("sample.mmp"), "-o", at("afile/sub/")});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_EQ(blocked.stdErr, "vantmap: " + at("afile/sub/") + ": cannot make the folder: Not a directory\n");

    // Standard streams closed at start stay taken: no file opened later gets
    // their numbers (and the messages meant for them), and writes still fail.
    EXPECT_EQ(inChild([] {
        ::close(1), ::close(2);
        os::keepStandardStreams();
        const int fd = ::open(".", O_RDONLY);
        return fd > 2 && ::write(1, "x", 1) < 0 && ::write(2, "x", 1) < 0 ? 0 : 1;
    }), 0);

    // A crash under an address-space limit says so before the process dies
    // of it (a graphics driver out of memory dies that way); without a limit
    // it is the crash it was (a sanitizer's report, where one runs).
    for (const bool limited : {true, false}) {
        const int status = inChild([&] {
            ::dup2(::open(at("crash.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            const rlimit space{rlim_t(64) << 30, rlim_t(64) << 30};
            if (limited && ::setrlimit(RLIMIT_AS, &space) != 0) return 9;
            os::explainCrashesUnderMemoryLimit("probe");
            std::raise(SIGSEGV);
            return 0;
        });
        const std::string said = readFile(home / "crash.txt");
        if (limited) {
            EXPECT_EQ(status, 128 + SIGSEGV);
            EXPECT_EQ(said, "probe: crashed with its address space limited to 65536 MiB (ulimit -v); the graphics "
                            "driver may need more\n");
        } else {
            EXPECT_NE(status, 0);
            EXPECT_EQ(said.find("crashed with"), std::string::npos) << said;
        }
    }

    // The job whose messages nobody reads any more still ends through its log.
    runProgram("/bin/sh", {"-c", "{ sleep 1; exec \"$0\" \"$@\"; } 2>&1 | true",
        program.string(), "-saveminimap", "-mmp", at("none.mmp"), "-out", at("x.tga"), "-debug", "1"}, home.path());
    EXPECT_TRUE(log().ends_with("EXIT SUCCESS\r\n")) << log();

    // No second thread to be had: the levels are drawn one after another.
    if (::geteuid() == 0 && inChild([] { return 0; }, -1, true) != 0) return;  // no ordinary user here
    fs::permissions(out, fs::perms::all);
    fs::copy_file(home / "sample.gmp", home / "other.gmp");
    const std::vector<std::string> batch = {"render", "--style", at("sample.sty"), "--size", "16", "-j", "2",
                                            "-o", out.string(), at("sample.gmp"), at("other.gmp")};
    EXPECT_EQ(inChild([&] {
        const rlimit two{2, 2};  // this child and vantmap: no thread beside it
        return ::setrlimit(RLIMIT_NPROC, &two) == 0 ? runProgram(VANTMAP_BINARY, batch, home.path()).status : 9;
    }, -1, true), 0);
    EXPECT_EQ(entries(out).size(), 2u);
}

TEST_F(HostileRun, SavingKeepsLinksModesAndLongNamesAndNoTemporaryFile) {
    writeFile(home / "real.tga", "old");
    ::chmod(at("real.tga").c_str(), 0640);
    std::filesystem::create_symlink("real.tga", home / "link.tga");
    const std::string longName(251, 'n');
    EXPECT_EQ(draw("link.tga").status, 1);
    EXPECT_EQ(draw(longName + ".tga").status, 1);
    EXPECT_TRUE(std::filesystem::is_symlink(home / "link.tga"));
    EXPECT_EQ(std::filesystem::file_size(home / "real.tga"), 18u + 2048 * 2048 * 3);
    struct stat st{};
    EXPECT_EQ(::stat(at("real.tga").c_str(), &st) == 0 ? st.st_mode & 0777 : 0, 0640u);
    EXPECT_EQ(readFile(home / (longName + ".tga")), readFile(home / "real.tga"));

    // Killed at any moment: the old picture or the new one, never a part,
    // never a temporary file; nor from vantmap drawing levels side by side.
    std::vector<std::vector<std::string>> runs = {
        {program.string(), "-saveminimap", "-sty", at("sample.sty"), "-gmp", at("sample.gmp"), "-out", at("real.tga")},
        {VANTMAP_BINARY, "render", "--style", at("sample.sty"), "-o", out.string(), "--format", "tga", "-j", "2"}};
    for (int i = 0; i < 12; ++i) {  // a batch that lasts through the kills
        const std::string copy = "b" + std::to_string(i) + ".gmp";
        fs::copy_file(home / "sample.gmp", home / copy);
        runs[1].push_back(at(copy));
    }
    for (const std::vector<std::string>& run : runs) {
        std::vector<char*> argv;
        for (const std::string& a : run) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
            for (int ms = 0; ms < 320; ms += 40) {
                const pid_t pid = ::fork();
                if (pid == 0) {
                    ::execv(argv[0], argv.data());
                    ::_exit(127);
                }
                ::usleep(useconds_t(ms) * 1000);
                ::kill(pid, sig);
                ::waitpid(pid, nullptr, 0);
            }
        }
    }
    EXPECT_EQ(std::filesystem::file_size(home / "real.tga"), 18u + 2048 * 2048 * 3);
    for (const fs::path& folder : {home.path(), out})
        for (const auto& e : std::filesystem::directory_iterator(folder))
            EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
}

// Files written in place of older ones: when writing fails (full file
// system, read-only folder, a folder in the way) the old file stays whole, no
// temporary file is left behind, and the failure is reported.
TEST_F(HostileRun, FullFileSystemOrAFolderInTheWayKeepsTheOldPicture) {
    for (const auto& [name, signature] : std::vector<std::pair<std::string, std::string>>{
             {"m.tga", std::string("\0\0\2", 3)}, {"m.bmp", "BM"}, {"m.jpg", "\xFF\xD8"}}) {
        writeFile(out / name, Old);
        // Room for the run log, none for a picture.
        EXPECT_EQ(limited(name, 4096, false, {"-debug", "1"}), 1) << name;
        EXPECT_EQ(readFile(out / name), Old) << name;
        EXPECT_EQ(entries(out), std::set<std::string>{name});
        EXPECT_TRUE(reported(name)) << name;
        // With room, the new picture replaces the old one.
        EXPECT_EQ(limited(name, -1, false, {"-size", "256"}), 1);
        EXPECT_EQ(readFile(out / name).substr(0, signature.size()), signature) << name;
        EXPECT_EQ(entries(out), std::set<std::string>{name});
        // A new file may have room set aside before it is written: no more
        // disk space than it holds.
        fs::remove(out / name);
        EXPECT_EQ(limited(name, -1, false, {"-size", "256"}), 1);
        struct stat st {};
        ASSERT_EQ(::stat((out / name).c_str(), &st), 0);
        const auto block = uintmax_t(st.st_blksize);
        EXPECT_LE(uintmax_t(st.st_blocks) * 512, (uintmax_t(st.st_size) + block - 1) / block * block) << name;
        fs::remove(out / name);
    }
    fs::create_directories(out / "m.tga" / "keep");
    EXPECT_EQ(limited("m.tga", -1, false, {"-debug", "1"}), 1);
    EXPECT_EQ(entries(out / "m.tga"), std::set<std::string>{"keep"});
    EXPECT_EQ(entries(out), std::set<std::string>{"m.tga"});
    EXPECT_TRUE(reported("m.tga"));
}

TEST_F(HostileRun, ReadOnlyFoldersKeepThePictureAndTheBenchmark) {
    if (::geteuid() == 0 && inChild([] { return 0; }, -1, true) != 0) GTEST_SKIP() << "no ordinary user here";
    writeFile(out / "m.jpg", Old);
    writeFile(home / "benchmark.txt", Old);
    const std::set<std::string> before = entries(home.path());
    const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    for (const fs::path& folder : {out, home.path()}) fs::permissions(folder, writable, fs::perm_options::remove);
    EXPECT_EQ(limited("m.jpg", -1, true, {"-size", "256", "-benchmark", "1"}), 1);
    for (const fs::path& folder : {out, home.path()}) fs::permissions(folder, writable, fs::perm_options::add);
    EXPECT_EQ(readFile(out / "m.jpg"), Old);
    EXPECT_EQ(readFile(home / "benchmark.txt"), Old);
    EXPECT_EQ(entries(out), std::set<std::string>{"m.jpg"});
    EXPECT_EQ(entries(home.path()), before);
}

TEST(HostileDisk, RecentMapsFileKeepsTheOldListWhenItIsFull) {
    TempFolder folder;
    const fs::path file = folder / "recent_maps.txt";
    writeFile(file, Old);
    const int status = inChild([&] {
        MapList maps;
        MapDescription entry;
        entry.displayName = std::string(8000, 'n');  // more than the limit
        appendMap(maps, entry);
        RecentMaps recent;
        recent.path = file.string();
        recent.admit = [](uint32_t, int) { return true; };
        updateRecentMaps(recent, maps, 1);
        return 0;
    }, 4096);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(file), Old);
    EXPECT_EQ(entries(folder.path()), std::set<std::string>{"recent_maps.txt"});
}

#endif  // _WIN32

}  // namespace
