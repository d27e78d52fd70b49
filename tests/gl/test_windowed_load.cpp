// The real binary loading a level in a window, on the test display: the
// thumbnail, "loading.log" and "recent_maps.txt", the question about an
// unrecognised description, and what the window shows while it loads.
// Expected results come from the level files' own bytes and the formats;
// the one comparison with the program's output is the thumbnail against
// the headless job's picture of the same level.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "display.h"
#include "formats/level_writer.h"
#include "run_binary.h"

using namespace vant::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

uint32_t le16(const std::string& s, size_t at) { return uint8_t(s[at]) | uint32_t(uint8_t(s[at + 1])) << 8; }
uint32_t le32(const std::string& s, size_t at) { return le16(s, at) | le16(s, at + 2) << 16; }

// The chunk container: 4-byte magic, 16-bit version, then type + size +
// data back to back; the first chunk of a type counts. Type -> offset, size.
std::map<std::string, std::pair<size_t, size_t>> chunksOf(const std::string& file) {
    std::map<std::string, std::pair<size_t, size_t>> chunks;
    for (size_t pos = 6; pos + 8 <= file.size(); pos += 8 + le32(file, pos + 4))
        chunks.emplace(file.substr(pos, 4).c_str(), std::pair{pos + 8, size_t(le32(file, pos + 4))});
    return chunks;
}

// The checksum a load arrives at: CRC-32 (reflected polynomial, started at
// 0, never inverted) over the virtual palette, the blue, green and red of
// each physical palette entry, every decoded tile pixel as alpha, blue,
// green, red, and every stored block. Neither test level carries the stock
// style's water signature, so no tile is tinted.
uint32_t levelChecksum(const std::string& sty, const std::string& gmp) {
    std::array<uint32_t, 256> crcTable;
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crcTable[n] = c;
    }
    uint32_t crc = 0;
    auto feed = [&](const char* p, size_t n) {
        for (size_t i = 0; i < n; ++i) crc = (crc >> 8) ^ crcTable[(crc ^ uint8_t(p[i])) & 0xFF];
    };

    auto style = chunksOf(sty);
    const auto [palx, palxSize] = style["PALX"];
    std::vector<size_t> virtualPalette(16384, 0);
    for (size_t v = 0; v < palxSize / 2; ++v) virtualPalette[v] = le16(sty, palx + 2 * v);
    feed(sty.data() + palx, palxSize / 2 * 2);
    const auto [ppal, ppalSize] = style["PPAL"];
    for (size_t e = 0; e < ppalSize / 4; ++e) feed(sty.data() + ppal + 4 * e, 3);
    // Colour i of physical palette p: entry (p / 64) * 16384 + i * 64 + p % 64.
    const auto [tiles, tilesSize] = style["TILE"];
    for (size_t page = 0; page < tilesSize / 65536; ++page)
        for (size_t y = 0; y < 256; ++y)
            for (size_t x = 0; x < 256; ++x) {
                const uint8_t i = uint8_t(sty[tiles + page * 65536 + y * 256 + x]);
                const size_t p = virtualPalette[16 * page + 4 * (y / 64) + x / 64];
                const size_t e = 4 * ((p / 64) * 16384 + size_t(i) * 64 + p % 64);
                auto c = [&](size_t k) { return i == 0 || e + k >= ppalSize ? '\0' : sty[ppal + e + k]; };
                const char pixel[4] = {i == 0 ? '\0' : '\xff', c(0), c(1), c(2)};
                feed(pixel, 4);
            }

    // The block map: "UMAP" when present, else the columns of "DMAP".
    auto map = chunksOf(gmp);
    if (const auto [umap, size] = map["UMAP"]; size) {
        feed(gmp.data() + umap, size);
    } else if (const auto [base, dsize] = map["DMAP"]; dsize) {
        const size_t blocks = base + 262152 + 4 * size_t(le32(gmp, base + 262144));
        for (size_t square = 0; square < 65536; ++square) {
            const size_t column = base + 262148 + 4 * size_t(le32(gmp, base + 4 * square));
            const int height = uint8_t(gmp[column]), bottom = uint8_t(gmp[column + 1]);
            for (int z = bottom; z < height; ++z)
                feed(gmp.data() + blocks + 12 * size_t(le32(gmp, column + 4 + 4 * size_t(z - bottom))), 12);
        }
    }
    return crc;
}

std::string hex8(uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", v);
    return text;
}

struct TestLevel {
    fs::path mmp;
    uint32_t checksum = 0;
    std::vector<std::string> logged;  // map, style and script source in loading.log
    std::string recent;               // its line in recent_maps.txt
};

TestLevel describe(const fs::path& dir, const std::string& stem, bool script, const std::string& name) {
    auto file = [&](const std::string& ext) { return (dir / (stem + ext)).string(); };
    const uint32_t sum = levelChecksum(readFile(file(".sty")), readFile(file(".gmp")));
    // Its line in recent_maps.txt: checksum, map, style, compiled script,
    // script source, display name, each followed by "|".
    const std::string scr = script ? file(".scr") : "", mis = script ? file(".mis") : "";
    std::string recent = hex8(sum) + "|";
    for (const std::string& f : {file(".gmp"), file(".sty"), scr, mis, name}) recent += f + "|";
    return {file(".mmp"), sum, {stem + ".gmp", stem + ".sty", script ? stem + ".mis" : ""}, recent + "\r\n"};
}

// The generated sample city, and a small town: one page of tiles (tile 3 in
// the water group, untinted without the signature), an uncompressed map, a
// script source beside its compiled script, and a description ending in its
// player count. Made once for all tests.
struct Levels {
    TempFolder folder;
    TestLevel city, town;
    Levels() {
        const RunResult r = runProgram(MAKE_SAMPLE_CITY, {folder.path().string() + "/"}, folder.path());
        EXPECT_EQ(r.status, 0) << r.stdErr;
        city = describe(folder.path(), "sample", false, "Sample City");

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
        EXPECT_TRUE(vant::saveBytes((folder / "town.sty").string(), style.bytes()));
        EXPECT_TRUE(vant::saveBytes((folder / "town.gmp").string(), map.bytes(vant::BlockMapFormat::Umap)));
        writeFile(folder / "town.mis", "// nothing to do\r\n");
        writeFile(folder / "town.mmp", vant::mapDescriptionText({{"styfile", "town.sty"},
                                                                 {"gmpfile", "town.gmp"},
                                                                 {"scrfile", "town.scr"},
                                                                 {"description", "Small Town - 2"},
                                                                 {"playercount", "2"}}));
        town = describe(folder.path(), "town", true, "Small Town");
    }
};

const Levels& levels() {
    static Levels made;
    return made;
}

struct Installed {
    TempFolder folder;
    fs::path binary = installBinary(folder.path());
    std::string read(const std::string& name) const { return readFile(folder / name); }
    fs::path minimaps() const { return folder / "data" / "minimaps"; }

    // Thumbnails in data/minimaps (the folder's placeholder aside).
    std::set<std::string> thumbnails() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(minimaps()))
            if (e.path().extension() == ".jpg") names.insert(e.path().filename().string());
        return names;
    }
    // Every file below the folder with its bytes, the stderr capture aside.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(folder.path()))
            if (e.is_regular_file() && e.path().filename() != "stderr.txt")
                files[fs::relative(e.path(), folder.path()).string()] = readFile(e.path());
        return files;
    }
    // The picture the headless job draws at 256 pixels with these options.
    std::string headless(std::vector<std::string> options) const {
        const fs::path out = folder / "headless.jpg";
        options.insert(options.begin(), "-saveminimap");
        options.insert(options.end(), {"-out", out.string(), "-size", "256"});
        const RunResult r = runProgram(binary, options, folder.path());
        EXPECT_EQ(r.status, 1) << r.stdErr;
        return readFile(out);
    }
};

// A windowed load with the game-folder notice confirmed; the exit status.
int loadWindowed(const Installed& app, const fs::path& mmp) {
    BackgroundRun run(app.binary, {mmp.string()}, app.folder.path());
    EXPECT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();
    return run.wait();
}

struct LogRecord {
    std::time_t when = 0;
    std::vector<std::string> files;  // map, style, script source
    double seconds = -1;
};

// Splits the log into records, each matched byte by byte but for its values.
std::vector<LogRecord> parseLog(const std::string& log) {
    static const std::regex record(
        "Date: ([1-9][0-9]?\\.[1-9][0-9]?\\.[0-9]{4} - [0-9]{2}:[0-9]{2}:[0-9]{2}) \\[0[0-9]{3}\\]\r\n"
        "Loading map files: \"([^\"\r\n]*)\", \"([^\"\r\n]*)\", \"([^\"\r\n]*)\"\\.\r\n"
        "Time taken: ([0-9]+\\.[0-9]{6}) seconds\\.\r\n\r\n");
    std::vector<LogRecord> records;
    std::smatch m;
    for (auto at = log.cbegin(); at != log.cend(); at = m[0].second) {
        if (!std::regex_search(at, log.cend(), m, record, std::regex_constants::match_continuous)) {
            ADD_FAILURE() << "not a log record: " << std::string(at, log.cend());
            break;
        }
        std::tm utc{};  // day.month.year - hours:minutes:seconds [milliseconds]
        EXPECT_NE(strptime(m.str(1).c_str(), "%d.%m.%Y - %H:%M:%S", &utc), nullptr);
        records.push_back({timegm(&utc), {m[2], m[3], m[4]}, std::stod(m[5])});
    }
    return records;
}

}  // namespace

TEST(WindowedLoad, ThumbnailsLogAndRecentMapsOverFourLoads) {
    const Levels& l = levels();
    Installed app;
    // A remembered map stays only while its thumbnail exists.
    writeFile(app.minimaps() / "0000BEEF.jpg", "picture");
    const std::string kept = "0000BEEF|/maps/a.gmp|/maps/a.sty|/maps/a.scr||Kept|\r\n";
    writeFile(app.folder / "recent_maps.txt", "0000CAFE|/maps/b.gmp|/maps/b.sty|||Gone|\r\n" + kept);
    // The level loaded, then the whole of recent_maps.txt.
    const std::vector<std::pair<const TestLevel*, std::string>> steps = {
        {&l.city, kept + l.city.recent},                  // one load
        {&l.town, kept + l.city.recent + l.town.recent},  // two levels, oldest first
        {&l.city, kept + l.town.recent + l.city.recent},  // an earlier level moves to the end
        {&l.city, kept + l.town.recent + l.city.recent},  // the same level twice is listed once
    };
    std::set<std::string> thumbnails = {"0000BEEF.jpg"};
    std::string log;
    for (size_t n = 0; n < steps.size(); ++n) {
        const TestLevel& level = *steps[n].first;
        SCOPED_TRACE("load " + std::to_string(n + 1) + ": " + level.mmp.filename().string());
        const std::time_t before = std::time(nullptr);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(loadWindowed(app, level.mmp), 1);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        thumbnails.insert(hex8(level.checksum) + ".jpg");
        EXPECT_EQ(app.thumbnails(), thumbnails);
        EXPECT_EQ(app.read("recent_maps.txt"), steps[n].second);
        // One more log record, the earlier ones as they were.
        const std::string grown = app.read("loading.log");
        EXPECT_EQ(grown.substr(0, log.size()), log);
        log = grown;
        const std::vector<LogRecord> records = parseLog(log);
        ASSERT_EQ(records.size(), n + 1) << log;
        EXPECT_EQ(records[n].files, level.logged);
        EXPECT_GE(records[n].when, before - 60);
        EXPECT_LE(records[n].when, std::time(nullptr) + 60);
        EXPECT_GT(records[n].seconds, 0.0);
        EXPECT_LT(records[n].seconds, wall);
    }
    // The thumbnail is the headless picture at quality 5 (JPEG quality 95).
    const std::string expected = app.headless({"-mmp", l.city.mmp.string(), "-jpg_quality", "5"});
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(readFile(app.minimaps() / (hex8(l.city.checksum) + ".jpg")) == expected)
        << "thumbnail differs from the headless picture";
}

TEST(WindowedLoad, UnrecognisedDescriptionNoChangesNothingYesLoadsAnEmptyLevel) {
    // The sample's description behind a comment line: reading stops at the
    // first line, so Yes loads a map without files.
    const TempFolder levelsHere;
    const fs::path mmp = levelsHere / "odd.mmp";
    writeFile(mmp, "; written by hand\r\n" + readFile(levels().city.mmp));

    Installed no;
    writeFile(no.folder / "recent_maps.txt", "0000CAFE|/maps/b.gmp|/maps/b.sty|||Gone|\r\n");
    const auto before = no.snapshot();
    BackgroundRun refused(no.binary, {mmp.string()}, no.folder.path());
    ASSERT_TRUE(refused.answer("ERROR", "Escape")) << refused.stdErr();
    EXPECT_EQ(refused.wait(), 1) << refused.stdErr();
    EXPECT_TRUE(no.snapshot() == before) << "a file was written or changed";

    Installed yes;
    BackgroundRun run(yes.binary, {mmp.string()}, yes.folder.path());
    ASSERT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();
    ASSERT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();
    // "STY file was not found" and "GMP file was not found" come as two boxes
    // that look alike to the display (the second may even get the first one's
    // window id): answer ERROR boxes until the run goes on to its end.
    for (int i = 0; i < 4 && run.running(); ++i) run.answer("ERROR", "Return", 5s);
    EXPECT_EQ(run.wait(), 1) << run.stdErr();
    // The empty level's checksum is 0; no paths and no display name, as the
    // completion step never ran.
    EXPECT_EQ(yes.thumbnails(), std::set<std::string>{"00000000.jpg"});
    const std::vector<LogRecord> log = parseLog(yes.read("loading.log"));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].files, std::vector<std::string>(3));
    EXPECT_EQ(yes.read("recent_maps.txt"), "00000000||||||\r\n");
    const std::string empty = yes.headless(
        {"-sty", (levelsHere / "none.sty").string(), "-gmp", (levelsHere / "none.gmp").string()});
    ASSERT_FALSE(empty.empty());
    EXPECT_TRUE(readFile(yes.minimaps() / "00000000.jpg") == empty);
}

namespace {

// Text pixels in rows top to bottom of the left part of a window, and
// whether every other pixel there is the black it clears to.
struct Band {
    int text = 0;
    bool clean = true;
};

Band band(const Screenshot& shot, int top, int bottom) {
    Band b;
    for (int y = top; y < bottom && y < shot.height; ++y)
        for (int x = 0; x < 480 && x < shot.width; ++x) {
            const unsigned char* p = shot.at(x, y);
            if (p[0] >= 200 && p[1] >= 200 && p[2] >= 200) ++b.text;
            else if (p[0] || p[1] || p[2]) b.clean = false;
        }
    return b;
}

}  // namespace

TEST(LoadingWindow, ShowsTheProgressLinesWhileItLoads) {
    // A missing map file: the load stops at the map loader's error box, the
    // window showing the lines so far on plain black (no loading background
    // without a map), 16 pixels each from 16 pixels down: "Initializing...",
    // "Loading STY file: ...", "Generating tilemaps...", "Generating padded
    // tiles... Sending to GPU...", "Loading GMP file: ...".
    const TempFolder here;
    fs::copy_file(levels().folder / "sample.sty", here / "city.sty");
    writeFile(here / "city.mmp", vant::mapDescriptionText({{"styfile", "city.sty"}, {"gmpfile", "gone.gmp"}}));
    Installed app;
    BackgroundRun run(app.binary, {(here / "city.mmp").string()}, app.folder.path());
    ASSERT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();
    ASSERT_FALSE(run.waitFor("ERROR").empty()) << run.stdErr();
    const std::string window = windowIdContaining("VANT Map Editor");
    ASSERT_FALSE(window.empty());

    // The program waits on the box; poll until what it drew is on the screen.
    Screenshot shot;
    auto line = [&](int n) { return band(shot, 16 + 16 * n, 32 + 16 * n).text; };
    auto fiveLines = [&] { return line(0) && line(1) && line(2) && line(3) && line(4); };
    for (int n = 0; n < 40 && !(grabWindow(window, here / "shot.ppm", shot) && fiveLines()); ++n)
        std::this_thread::sleep_for(250ms);
    for (int n = 0; n < 5; ++n) EXPECT_GT(line(n), 40) << "line " << n;
    EXPECT_EQ(band(shot, 0, 12).text, 0) << "text above the first line";
    EXPECT_EQ(band(shot, 96, 176).text, 0) << "text under the fifth line";
    EXPECT_TRUE(band(shot, 0, 176).clean) << "pixels neither text nor background";

    ASSERT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();
    EXPECT_EQ(run.wait(), 1) << run.stdErr();
}

// Not a check: with VANT_SCREENSHOT=/path/picture.png it saves the window in
// the middle of loading the sample city (for the README). The load takes
// well under a second, so the window is grabbed over and over while it runs
// and the last grab showing the level's loading background is kept.
TEST(LoadingWindow, ScreenshotForTheReadme) {
    const char* target = std::getenv("VANT_SCREENSHOT");
    if (!target || !*target) GTEST_SKIP() << "set VANT_SCREENSHOT to a picture path to make one";
    bool saved = false;
    for (int attempt = 0; attempt < 10 && !saved; ++attempt) {
        Installed app;
        BackgroundRun run(app.binary, {levels().city.mmp.string()}, app.folder.path());
        ASSERT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();
        const std::string window = windowIdContaining("VANT Map Editor");
        fs::path best;
        for (int n = 0; run.running(); ++n) {
            const fs::path ppm = app.folder / ("grab" + std::to_string(n) + ".ppm");
            Screenshot shot;
            if (!grabWindow(window, ppm, shot) || !run.running()) break;
            // Text, and the loading background: the bottom row is no longer black.
            if (band(shot, 48, 64).text > 0 && !band(shot, shot.height - 2, shot.height - 1).clean) best = ppm;
        }
        run.wait();
        // ImageMagick's converter under its Debian name, or its plain one.
        const std::string command = "c=$(command -v convert-im6.q16 || command -v convert) && \"$c\" '" +
                                    best.string() + "' -strip -colors 64 'PNG8:" + fs::absolute(target).string() +
                                    "' >/dev/null 2>&1";
        saved = !best.empty() && std::system(command.c_str()) == 0 && fs::exists(fs::absolute(target));
    }
    EXPECT_TRUE(saved);
}
