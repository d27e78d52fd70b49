// The real binary loading a level in a window, on the test display: the
// thumbnail it saves, the records it leaves in "loading.log" and
// "recent_maps.txt", the question about an unrecognised description, and
// what the window shows while it loads.
//
// Expected results are worked out here from the level files' own bytes and
// the file formats, never taken from an earlier run of the program; the one
// comparison with the program's output is the thumbnail against the picture
// the headless job draws for the same level.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "display.h"
#include "formats/level_writer.h"
#include "run_binary.h"

using namespace vant::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// ------------------------------------------------------------------ checksum

// CRC-32 with the reflected polynomial, started at 0 and never inverted.
class Crc {
public:
    Crc() {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table_[n] = c;
        }
    }
    void feed(uint8_t b) { value_ = (value_ >> 8) ^ table_[(value_ ^ b) & 0xFF]; }
    void feed(const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i) feed(p[i]);
    }
    uint32_t value() const { return value_; }

private:
    std::array<uint32_t, 256> table_{};
    uint32_t value_ = 0;
};

uint32_t le16(const std::string& s, size_t at) { return uint8_t(s[at]) | uint32_t(uint8_t(s[at + 1])) << 8; }
uint32_t le32(const std::string& s, size_t at) { return le16(s, at) | le16(s, at + 2) << 16; }

struct ChunkSpan {
    size_t offset = 0;
    size_t size = 0;
};

// The chunk container: 4-byte magic, 16-bit version, then type + size +
// data back to back; the first chunk of a type counts.
std::map<std::string, ChunkSpan> chunksOf(const std::string& file, const std::string& magic) {
    std::map<std::string, ChunkSpan> chunks;
    EXPECT_EQ(file.substr(0, 4), magic);
    size_t pos = 6;
    while (pos + 8 <= file.size()) {
        std::string type = file.substr(pos, 4);
        type = type.substr(0, type.find('\0'));
        const size_t size = le32(file, pos + 4);
        chunks.emplace(type, ChunkSpan{pos + 8, size});
        pos += 8 + size;
    }
    return chunks;
}

// The first four pixel bytes of tiles 608 to 619 that mark the stock style's
// water, as offsets into page 38 of the tiles and the bytes expected there.
bool hasWaterSignature(const std::string& sty, const ChunkSpan& tiles) {
    static const std::array<std::array<int, 4>, 12> expected = {{{204, 201, 172, 172},
                                                                 {172, 172, 172, 172},
                                                                 {172, 172, 202, 204},
                                                                 {223, 204, 223, 208},
                                                                 {204, 201, 204, 223},
                                                                 {204, 201, 201, 208},
                                                                 {223, 223, 208, 208},
                                                                 {208, 211, 211, 185},
                                                                 {223, 208, 208, 211},
                                                                 {204, 208, 213, 208},
                                                                 {201, 202, 201, 208},
                                                                 {204, 223, 223, 204}}};
    const size_t page = tiles.offset + 38 * 65536;
    if (tiles.size < 39 * 65536) return false;
    for (size_t i = 0; i < 12; ++i) {
        const size_t at = page + (i / 4) * 16384 + (i % 4) * 64;
        for (size_t k = 0; k < 4; ++k)
            if (uint8_t(sty[at + k]) != expected[i][k]) return false;
    }
    return true;
}

struct LevelIdentity {
    uint32_t checksum = 0;
    bool waterTinted = false;
};

// The checksum a load of this style and map arrives at with the default
// water setting: palette bytes, every decoded tile pixel, every stored block.
LevelIdentity levelChecksum(const std::string& sty, const std::string& gmp) {
    LevelIdentity id;
    Crc crc;
    const auto style = chunksOf(sty, "GBST");

    std::vector<uint16_t> virtualPalette(16384, 0);
    if (style.count("PALX")) {
        const ChunkSpan c = style.at("PALX");
        EXPECT_EQ(c.size % 2, 0u);
        EXPECT_LE(c.size / 2, virtualPalette.size());
        for (size_t v = 0; v < c.size / 2; ++v) {
            virtualPalette[v] = uint16_t(le16(sty, c.offset + 2 * v));
            crc.feed(uint8_t(sty[c.offset + 2 * v]));
            crc.feed(uint8_t(sty[c.offset + 2 * v + 1]));
        }
    }
    // Colour c of physical palette p: entry (p / 64) * 16384 + c * 64 + p % 64,
    // stored blue, green, red, unused.
    std::vector<uint8_t> ppal(327680, 0);
    if (style.count("PPAL")) {
        const ChunkSpan c = style.at("PPAL");
        EXPECT_EQ(c.size % 4, 0u);
        EXPECT_LE(c.size, ppal.size());
        for (size_t e = 0; e < c.size / 4; ++e) {
            crc.feed(reinterpret_cast<const uint8_t*>(sty.data()) + c.offset + 4 * e, 3);
            for (size_t k = 0; k < 4; ++k) ppal[4 * e + k] = uint8_t(sty[c.offset + 4 * e + k]);
        }
    }
    for (uint16_t p : virtualPalette) EXPECT_LT(p, 320) << "the stores hold 320 physical palettes";

    // Surface groups: 0 separates them; group 2 is water.
    std::vector<int> group(1024, -1);
    if (style.count("SPEC")) {
        const ChunkSpan c = style.at("SPEC");
        int current = 0;
        for (size_t i = 0; i + 1 < c.size; i += 2) {
            const uint32_t v = le16(sty, c.offset + i);
            if (v == 0) ++current;
            else if (v < 1024) group[v] = current;
        }
    }

    if (style.count("TILE")) {
        const ChunkSpan c = style.at("TILE");
        id.waterTinted = hasWaterSignature(sty, c);
        const size_t pages = (c.size + 65535) / 65536;
        EXPECT_LE(pages, 64u);
        EXPECT_EQ(c.size % 65536, 0u);
        for (size_t p = 0; p < pages; ++p) {
            for (size_t y = 0; y < 256; ++y) {
                for (size_t x = 0; x < 256; ++x) {
                    const uint8_t i = uint8_t(sty[c.offset + p * 65536 + y * 256 + x]);
                    const size_t t = 16 * p + 4 * (y / 64) + x / 64;
                    uint8_t r = 0, g = 0, b = 0, a = 0;
                    if (i != 0) {
                        const size_t phys = virtualPalette[t];
                        const size_t e = (phys / 64) * 16384 + size_t(i) * 64 + phys % 64;
                        b = ppal[4 * e];
                        g = ppal[4 * e + 1];
                        r = ppal[4 * e + 2];
                        a = 255;
                    }
                    if (id.waterTinted && group[t] == 2) {
                        auto tint = [](uint8_t v, float f) {
                            const double s = double(v) * double(f) + 0.5;
                            return uint8_t(s >= 255.0 ? 255 : int(s));
                        };
                        r = tint(r, 0.67f);
                        g = tint(g, 0.84f);
                        b = tint(b, 1.13f);
                    }
                    const uint8_t bytes[4] = {a, b, g, r};
                    crc.feed(bytes, 4);
                }
            }
        }
    }

    // The block map: "UMAP" when present, else the columns of "DMAP".
    const auto map = chunksOf(gmp, "GBMP");
    const auto* data = reinterpret_cast<const uint8_t*>(gmp.data());
    if (map.count("UMAP")) {
        const ChunkSpan c = map.at("UMAP");
        EXPECT_EQ(c.size, 256u * 256u * 8u * 12u);
        crc.feed(data + c.offset, 256 * 256 * 8 * 12);
    } else if (map.count("DMAP")) {
        const size_t base = map.at("DMAP").offset;
        const size_t words = le32(gmp, base + 262144);
        const size_t table = base + 262152 + 4 * words;
        for (size_t sq = 0; sq < 65536; ++sq) {
            const size_t column = base + 262148 + 4 * size_t(le32(gmp, base + 4 * sq));
            const int height = uint8_t(gmp[column]);
            const int offset = uint8_t(gmp[column + 1]);
            EXPECT_LE(height, 8);
            for (int z = offset; z < height; ++z) {
                const size_t block = le32(gmp, column + 4 + 4 * size_t(z - offset));
                crc.feed(data + table + 12 * block, 12);
            }
        }
    }
    id.checksum = crc.value();
    return id;
}

std::string hex8(uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", v);
    return text;
}

// ------------------------------------------------------------------- levels

// The generated sample city, made once for all tests.
struct SampleCity {
    TempFolder folder;
    fs::path mmp, sty, gmp;
    LevelIdentity id;
    SampleCity() {
        const RunResult r = runProgram(MAKE_SAMPLE_CITY, {folder.path().string() + "/"}, folder.path());
        EXPECT_EQ(r.status, 0) << r.stdErr;
        mmp = folder / "sample.mmp";
        sty = folder / "sample.sty";
        gmp = folder / "sample.gmp";
        id = levelChecksum(readFile(sty), readFile(gmp));
    }
};

const SampleCity& sampleCity() {
    static SampleCity city;
    return city;
}

// A second, small level: one page of tiles, an uncompressed map, a script
// source beside its compiled script, and a description ending in its
// player count.
struct SmallTown {
    TempFolder folder;
    fs::path mmp, sty, gmp, scr, mis;
    LevelIdentity id;
    SmallTown() {
        vant::StyleWriter style;
        for (int i = 1; i < 256; ++i) style.setColour(0, i, {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
        for (int t = 0; t < 16; ++t) style.setVirtualPalette(size_t(t), 0);
        for (int t = 1; t < 4; ++t)
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x) style.setPixel(t, x, y, uint8_t(1 + (x * t + y) % 200));
        style.addToGroup(3, 2);
        vant::MapWriter map;
        for (int y = 100; y < 140; ++y)
            for (int x = 90; x < 160; ++x) map.at(x, y, 0).lid = uint16_t(1 + (x + y) % 3);
        map.at(120, 120, 2).lid = 2;
        sty = folder / "town.sty";
        gmp = folder / "town.gmp";
        scr = folder / "town.scr";
        mis = folder / "town.mis";
        mmp = folder / "town.mmp";
        EXPECT_TRUE(vant::saveBytes(sty.string(), style.bytes()));
        EXPECT_TRUE(vant::saveBytes(gmp.string(), map.bytes(vant::BlockMapFormat::Umap)));
        writeFile(mis, "// nothing to do\r\n");
        writeFile(mmp, vant::mapDescriptionText({{"styfile", "town.sty"},
                                                 {"gmpfile", "town.gmp"},
                                                 {"scrfile", "town.scr"},
                                                 {"description", "Small Town - 2"},
                                                 {"playercount", "2"}}));
        id = levelChecksum(readFile(sty), readFile(gmp));
    }
};

const SmallTown& smallTown() {
    static SmallTown town;
    return town;
}

// ------------------------------------------------------------------ running

struct Installed {
    TempFolder folder;
    fs::path binary = installBinary(folder.path());
    fs::path file(const std::string& name) const { return folder / name; }
    std::string read(const std::string& name) const { return readFile(folder / name); }

    // Thumbnails in data/minimaps (the folder's placeholder aside).
    std::vector<std::string> thumbnails() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder / "data" / "minimaps"))
            if (e.path().extension() == ".jpg") names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Every file below the folder with its bytes, the test's own stderr
    // capture left out.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(folder.path())) {
            if (!e.is_regular_file() || e.path().filename() == "stderr.txt") continue;
            files[fs::relative(e.path(), folder.path()).string()] = readFile(e.path());
        }
        return files;
    }
};

// A windowed load: the game-folder notice is confirmed, any later error
// box as well; the exit status.
int loadWindowed(const Installed& app, const fs::path& mmp, int errorBoxes = 0) {
    BackgroundRun run(app.binary, {mmp.string()}, app.folder.path());
    EXPECT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();
    for (int i = 0; i < errorBoxes; ++i) EXPECT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();
    return run.wait();
}

// The line the recent-maps file holds for a map: checksum, map, style,
// compiled script, script source, display name, each followed by "|".
std::string recentLine(uint32_t checksum, const std::string& gmp, const std::string& sty, const std::string& scr,
                       const std::string& mis, const std::string& name) {
    return hex8(checksum) + "|" + gmp + "|" + sty + "|" + scr + "|" + mis + "|" + name + "|\r\n";
}

std::string sampleLine() {
    const SampleCity& c = sampleCity();
    return recentLine(c.id.checksum, c.gmp.string(), c.sty.string(), "", "", "Sample City");
}

std::string townLine() {
    const SmallTown& t = smallTown();
    return recentLine(t.id.checksum, t.gmp.string(), t.sty.string(), t.scr.string(), t.mis.string(), "Small Town");
}

// ------------------------------------------------------------------ the log

struct LogRecord {
    std::time_t when = 0;
    int milliseconds = -1;
    std::string gmp, sty, mis;
    double seconds = -1;
};

// Splits the log into records and checks each one's layout byte by byte.
std::vector<LogRecord> parseLog(const std::string& log) {
    static const std::regex record(
        "Date: ([1-9][0-9]?)\\.([1-9][0-9]?)\\.([0-9]{4}) - ([0-9]{2}):([0-9]{2}):([0-9]{2}) \\[([0-9]{4})\\]\r\n"
        "Loading map files: \"([^\"\r\n]*)\", \"([^\"\r\n]*)\", \"([^\"\r\n]*)\"\\.\r\n"
        "Time taken: ([0-9]+\\.[0-9]{6}) seconds\\.\r\n\r\n");
    std::vector<LogRecord> records;
    auto begin = log.cbegin();
    std::smatch m;
    while (begin != log.cend()) {
        if (!std::regex_search(begin, log.cend(), m, record, std::regex_constants::match_continuous)) {
            ADD_FAILURE() << "not a log record: " << std::string(begin, log.cend());
            break;
        }
        std::tm utc{};
        utc.tm_mday = std::stoi(m[1]);
        utc.tm_mon = std::stoi(m[2]) - 1;
        utc.tm_year = std::stoi(m[3]) - 1900;
        utc.tm_hour = std::stoi(m[4]);
        utc.tm_min = std::stoi(m[5]);
        utc.tm_sec = std::stoi(m[6]);
        EXPECT_LE(utc.tm_mday, 31);
        EXPECT_LE(utc.tm_mon, 11);
        EXPECT_LE(utc.tm_hour, 23);
        EXPECT_LE(utc.tm_min, 59);
        EXPECT_LE(utc.tm_sec, 60);
        LogRecord r;
        r.when = timegm(&utc);
        r.milliseconds = std::stoi(m[7]);
        r.gmp = m[8];
        r.sty = m[9];
        r.mis = m[10];
        r.seconds = std::stod(m[11]);
        records.push_back(r);
        begin = m[0].second;
    }
    return records;
}

}  // namespace

// ---------------------------------------------------------------- thumbnail

TEST(WindowedLoad, SampleCityLeavesOneThumbnailNamedByItsChecksum) {
    const SampleCity& city = sampleCity();
    Installed app;
    ASSERT_EQ(loadWindowed(app, city.mmp), 1);
    EXPECT_EQ(app.thumbnails(), std::vector<std::string>{hex8(city.id.checksum) + ".jpg"})
        << "water tint expected: " << city.id.waterTinted;
}

TEST(WindowedLoad, ThumbnailIsTheHeadlessPictureOfTheSameLevel) {
    const SampleCity& city = sampleCity();
    Installed app;
    ASSERT_EQ(loadWindowed(app, city.mmp), 1);
    const fs::path thumbnail = app.folder / "data" / "minimaps" / (hex8(city.id.checksum) + ".jpg");
    ASSERT_TRUE(fs::exists(thumbnail));

    // The headless job in a folder of its own; quality 100 - 5 = 95, as the
    // thumbnail's.
    Installed headless;
    const fs::path out = headless.folder / "t.jpg";
    const RunResult r = runProgram(headless.binary,
                                   {"-saveminimap", "-mmp", city.mmp.string(), "-out", out.string(), "-size", "256",
                                    "-jpg_quality", "5"},
                                   headless.folder.path());
    EXPECT_EQ(r.status, 1) << r.stdErr;
    const std::string expected = readFile(out);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(readFile(thumbnail) == expected) << "thumbnail differs from the headless picture";
}

TEST(WindowedLoad, SmallUncompressedLevelIsNamedByItsChecksumToo) {
    const SmallTown& town = smallTown();
    Installed app;
    ASSERT_EQ(loadWindowed(app, town.mmp), 1);
    EXPECT_EQ(app.thumbnails(), std::vector<std::string>{hex8(town.id.checksum) + ".jpg"});
}

// -------------------------------------------------------------- loading.log

TEST(WindowedLoad, EachLoadAppendsOneLogRecord) {
    const SampleCity& city = sampleCity();
    const SmallTown& town = smallTown();
    Installed app;

    const std::time_t before = std::time(nullptr);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(loadWindowed(app, city.mmp), 1);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::time_t after = std::time(nullptr);

    const std::string first = app.read("loading.log");
    const std::vector<LogRecord> one = parseLog(first);
    ASSERT_EQ(one.size(), 1u) << first;
    EXPECT_EQ(one[0].gmp, "sample.gmp");
    EXPECT_EQ(one[0].sty, "sample.sty");
    EXPECT_EQ(one[0].mis, "");  // no compiled script, so no script source
    EXPECT_GE(one[0].when, before - 60);
    EXPECT_LE(one[0].when, after + 60);
    EXPECT_GE(one[0].milliseconds, 0);
    EXPECT_LE(one[0].milliseconds, 999);
    EXPECT_GT(one[0].seconds, 0.0);
    EXPECT_LT(one[0].seconds, wall);

    ASSERT_EQ(loadWindowed(app, town.mmp), 1);
    const std::string both = app.read("loading.log");
    ASSERT_EQ(both.substr(0, first.size()), first) << "the first record must stay as it was";
    const std::vector<LogRecord> two = parseLog(both);
    ASSERT_EQ(two.size(), 2u) << both;
    EXPECT_EQ(two[1].gmp, "town.gmp");
    EXPECT_EQ(two[1].sty, "town.sty");
    EXPECT_EQ(two[1].mis, "town.mis");
    EXPECT_GE(two[1].when, one[0].when);
    EXPECT_LE(two[1].when, std::time(nullptr) + 60);
}

// ---------------------------------------------------------- recent_maps.txt

TEST(RecentMapsFile, OneLoadRemembersTheMapWithItsChecksum) {
    Installed app;
    ASSERT_EQ(loadWindowed(app, sampleCity().mmp), 1);
    EXPECT_EQ(app.read("recent_maps.txt"), sampleLine());
}

TEST(RecentMapsFile, TwoLevelsAreListedOldestFirst) {
    Installed app;
    ASSERT_EQ(loadWindowed(app, sampleCity().mmp), 1);
    ASSERT_EQ(loadWindowed(app, smallTown().mmp), 1);
    EXPECT_EQ(app.read("recent_maps.txt"), sampleLine() + townLine());
}

TEST(RecentMapsFile, SameLevelTwiceIsListedOnce) {
    Installed app;
    ASSERT_EQ(loadWindowed(app, sampleCity().mmp), 1);
    ASSERT_EQ(loadWindowed(app, sampleCity().mmp), 1);
    EXPECT_EQ(app.read("recent_maps.txt"), sampleLine());
}

TEST(RecentMapsFile, LoadingAnEarlierLevelAgainMovesItToTheEnd) {
    Installed app;
    ASSERT_EQ(loadWindowed(app, sampleCity().mmp), 1);
    ASSERT_EQ(loadWindowed(app, smallTown().mmp), 1);
    ASSERT_EQ(loadWindowed(app, sampleCity().mmp), 1);
    EXPECT_EQ(app.read("recent_maps.txt"), townLine() + sampleLine());
}

TEST(RecentMapsFile, RememberedMapsWithoutThumbnailAreForgotten) {
    // A remembered map enters the list only while its thumbnail exists.
    Installed app;
    writeFile(app.folder / "data" / "minimaps" / "0000BEEF.jpg", "picture");
    const std::string kept = "0000BEEF|/maps/a.gmp|/maps/a.sty|/maps/a.scr||Kept|\r\n";
    const std::string gone = "0000CAFE|/maps/b.gmp|/maps/b.sty|||Gone|\r\n";
    writeFile(app.file("recent_maps.txt"), gone + kept);
    ASSERT_EQ(loadWindowed(app, sampleCity().mmp), 1);
    EXPECT_EQ(app.read("recent_maps.txt"), kept + sampleLine());
}

// ----------------------------------------------- unrecognised description

namespace {

// The sample's description behind a comment line: not a description file.
fs::path unrecognisedDescription(const TempFolder& folder) {
    const fs::path mmp = folder / "odd.mmp";
    writeFile(mmp, "; written by hand\r\n" + readFile(sampleCity().mmp));
    return mmp;
}

}  // namespace

TEST(UnrecognisedDescription, AnsweringNoLeavesEveryFileAsItWas) {
    Installed app;
    const TempFolder levels;
    const fs::path mmp = unrecognisedDescription(levels);
    writeFile(app.file("recent_maps.txt"), "0000CAFE|/maps/b.gmp|/maps/b.sty|||Gone|\r\n");
    const auto before = app.snapshot();

    BackgroundRun run(app.binary, {mmp.string()}, app.folder.path());
    ASSERT_TRUE(run.answer("ERROR", "Escape")) << run.stdErr();  // No
    EXPECT_EQ(run.wait(), 1) << run.stdErr();
    // Nothing was loaded, so the game-folder notice never came.
    EXPECT_TRUE(app.thumbnails().empty());
    EXPECT_FALSE(fs::exists(app.file("loading.log")));
    EXPECT_TRUE(app.snapshot() == before) << "a file was written or changed";
}

TEST(UnrecognisedDescription, AnsweringYesLoadsWhatWasReadBeforeTheFirstLine) {
    // Reading stops at the first line, so the map comes with no files at
    // all: both loaders report a missing file and the level is empty, whose
    // checksum is 0.
    Installed app;
    const TempFolder levels;
    const fs::path mmp = unrecognisedDescription(levels);

    BackgroundRun run(app.binary, {mmp.string()}, app.folder.path());
    ASSERT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();  // Yes
    ASSERT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();
    // "STY file was not found" and "GMP file was not found" come as two boxes
    // that look alike to the display (each box is a new connection, which may
    // even get the previous one's window id): answer ERROR boxes until the
    // run goes on to its end.
    for (int i = 0; i < 4 && run.running(); ++i) run.answer("ERROR", "Return", std::chrono::seconds(5));
    EXPECT_EQ(run.wait(), 1) << run.stdErr();

    EXPECT_EQ(app.thumbnails(), std::vector<std::string>{"00000000.jpg"});
    const std::vector<LogRecord> log = parseLog(app.read("loading.log"));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].gmp, "");
    EXPECT_EQ(log[0].sty, "");
    EXPECT_EQ(log[0].mis, "");
    // No file paths and no display name: the completion step never ran.
    EXPECT_EQ(app.read("recent_maps.txt"), recentLine(0, "", "", "", "", ""));

    // The empty level as the headless job draws it.
    Installed headless;
    const fs::path out = headless.folder / "empty.jpg";
    const RunResult r = runProgram(headless.binary,
                                   {"-saveminimap", "-sty", (levels / "none.sty").string(), "-gmp",
                                    (levels / "none.gmp").string(), "-out", out.string(), "-size", "256"},
                                   headless.folder.path());
    EXPECT_EQ(r.status, 1) << r.stdErr;
    ASSERT_TRUE(fs::exists(out));
    EXPECT_TRUE(readFile(app.folder / "data" / "minimaps" / "00000000.jpg") == readFile(out));
}

// ----------------------------------------------------------- the window

namespace {

constexpr int kMargin = 16;      // left and top margin of the progress lines
constexpr int kLineHeight = 16;  // one progress line

bool isText(const unsigned char* p) { return p[0] >= 200 && p[1] >= 200 && p[2] >= 200; }
bool isBackground(const unsigned char* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }

// Text pixels in the band of progress line `line` (0 = top) of the left
// part of the window, and whether every other pixel there is background.
struct Band {
    int text = 0;
    bool clean = true;
};

Band band(const Screenshot& shot, int line) {
    Band b;
    const int top = kMargin + line * kLineHeight;
    for (int y = top; y < top + kLineHeight && y < shot.height; ++y)
        for (int x = 0; x < 480 && x < shot.width; ++x) {
            const unsigned char* p = shot.at(x, y);
            if (isText(p)) ++b.text;
            else if (!isBackground(p)) b.clean = false;
        }
    return b;
}

}  // namespace

TEST(LoadingWindow, ShowsTheProgressLinesWhileItLoads) {
    // A description whose map file is missing: the load stops at the map
    // loader's error box, with the window showing the lines written so far
    // on the plain black it clears to (no loading background without a map):
    // "Initializing...", "Loading STY file: ...", "Generating tilemaps...",
    // "Generating padded tiles... Sending to GPU...", "Loading GMP file: ...".
    const TempFolder levels;
    fs::copy_file(sampleCity().sty, levels / "city.sty");
    writeFile(levels / "city.mmp", vant::mapDescriptionText({{"styfile", "city.sty"}, {"gmpfile", "gone.gmp"}}));
    Installed app;

    BackgroundRun run(app.binary, {(levels / "city.mmp").string()}, app.folder.path());
    ASSERT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();
    ASSERT_FALSE(run.waitFor("ERROR").empty()) << run.stdErr();
    const std::string window = windowIdContaining("VANT Map Editor");
    ASSERT_FALSE(window.empty());

    // The program waits on the box; poll until what it drew has reached the
    // screen.
    Screenshot shot;
    bool shown = false;
    for (int attempt = 0; attempt < 40 && !shown; ++attempt) {
        if (attempt) std::this_thread::sleep_for(250ms);
        if (!grabWindow(window, shot)) continue;
        shown = true;
        for (int line = 0; line < 5; ++line) shown = shown && band(shot, line).text > 0;
    }
    EXPECT_TRUE(shown) << "no progress text in the window";
    ASSERT_GE(shot.width, 480);
    for (int line = 0; line < 5; ++line) {
        const Band b = band(shot, line);
        EXPECT_GT(b.text, 40) << "line " << line;
        EXPECT_TRUE(b.clean) << "line " << line << ": neither text nor background";
    }
    // Nothing under the last line.
    for (int line = 5; line < 10; ++line) {
        const Band b = band(shot, line);
        EXPECT_EQ(b.text, 0) << "line " << line;
        EXPECT_TRUE(b.clean) << "line " << line;
    }
    // The top margin is background too.
    for (int y = 0; y < kMargin - 4; ++y)
        for (int x = 0; x < 480; ++x) ASSERT_TRUE(isBackground(shot.at(x, y))) << x << "," << y;

    ASSERT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();
    EXPECT_EQ(run.wait(), 1) << run.stdErr();
}

// Not a check: with VANT_SCREENSHOT=/path/picture.png it saves the window in
// the middle of loading the sample city (for the README). The load takes
// well under a second, so the window is grabbed over and over while it runs
// and the last grab that shows the level's loading background is kept.
TEST(LoadingWindow, ScreenshotForTheReadme) {
    const char* target = std::getenv("VANT_SCREENSHOT");
    if (!target || !*target) GTEST_SKIP() << "set VANT_SCREENSHOT to a picture path to make one";
    const fs::path picture = fs::absolute(target);
    bool saved = false;
    for (int attempt = 0; attempt < 10 && !saved; ++attempt) {
        Installed app;
        const TempFolder grabs;
        BackgroundRun run(app.binary, {sampleCity().mmp.string()}, app.folder.path());
        ASSERT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();
        const std::string window = windowIdContaining("VANT Map Editor");
        fs::path best;
        for (int n = 0; run.running(); ++n) {
            const fs::path ppm = grabs / ("grab" + std::to_string(n) + ".ppm");
            Screenshot shot;
            if (!saveWindowPicture(window, ppm) || !run.running()) break;
            // The loading background is there once the far corner is no
            // longer the black the window clears to.
            if (readScreenshot(ppm, shot) && shot.width > 2 && !isBackground(shot.at(shot.width - 2, shot.height - 2)) &&
                band(shot, 2).text > 0)
                best = ppm;
        }
        run.wait();
        if (best.empty()) continue;
        // ImageMagick's converter under its Debian name, or its plain one.
        const std::string command = "c=$(command -v convert-im6.q16 || command -v convert) && \"$c\" '" +
                                    best.string() + "' -strip -colors 64 'PNG8:" + picture.string() +
                                    "' >/dev/null 2>&1";
        saved = std::system(command.c_str()) == 0 && fs::exists(picture);
    }
    EXPECT_TRUE(saved);
}
