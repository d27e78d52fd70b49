// The real binary loading a level in a window, on the test display: the
// thumbnail, "loading.log", "recent_maps.txt", the question about an
// unrecognised description, and what the window shows while it loads.
// Expected results come from the level files' bytes, but for the thumbnail,
// compared with the headless job's picture of the same level.
#include <gtest/gtest.h>

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
    uint32_t crc = 0;
    auto feed = [&](const char* p, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            crc ^= uint8_t(p[i]);
            for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        }
    };

    auto style = chunksOf(sty);
    const auto [palx, palxSize] = style["PALX"];
    std::vector<size_t> virtualPalette(16384, 0);
    for (size_t v = 0; v < palxSize / 2; ++v) virtualPalette[v] = le16(sty, palx + 2 * v);
    feed(sty.data() + palx, palxSize / 2 * 2);
    // Plain names, not a structured binding: clang 14 cannot capture one.
    const size_t ppal = style["PPAL"].first, ppalSize = style["PPAL"].second;
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
    return std::string(text, size_t(std::snprintf(text, sizeof text, "%08X", v)));
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
    // Checksum, map, style, compiled script, script source, display name, each followed by "|".
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
        for (int i = 0; i < 3 * 4096; ++i) style.setPixel(1 + i / 4096, i % 64, i / 64 % 64, uint8_t(1 + i % 199));
        style.addToGroup(3, 2);
        vant::MapWriter map;
        for (int y = 100; y < 140; ++y)
            for (int x = 90; x < 160; ++x) map.at(x, y, 0).lid = uint16_t(1 + (x + y) % 3);
        map.at(120, 120, 2).lid = 2;
        EXPECT_TRUE(vant::saveBytes((folder / "town.sty").string(), style.bytes()));
        EXPECT_TRUE(vant::saveBytes((folder / "town.gmp").string(), map.bytes(vant::BlockMapFormat::Umap)));
        writeFile(folder / "town.mis", "// nothing to do\r\n");
        writeFile(folder / "town.mmp", vant::mapDescriptionText({{"styfile", "town.sty"}, {"gmpfile", "town.gmp"},
                                                                 {"scrfile", "town.scr"}, {"playercount", "2"},
                                                                 {"description", "Small Town - 2"}}));
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
};

// A loading.log record naming these files, matched byte by byte but for the
// date (day.month.year - hours:minutes:seconds [milliseconds]) and the time taken.
std::regex logRecord(const std::vector<std::string>& files) {
    std::string names;
    for (const std::string& f : files)
        names += (names.empty() ? "\"" : ", \"") + std::regex_replace(f, std::regex("\\."), "\\.") + "\"";
    return std::regex("Date: ([1-9][0-9]?\\.[1-9][0-9]?\\.[0-9]{4} - [0-9]{2}:[0-9]{2}:[0-9]{2}) \\[0[0-9]{3}\\]\r\n"
                      "Loading map files: " + names + "\\.\r\nTime taken: ([0-9]+\\.[0-9]{6}) seconds\\.\r\n\r\n");
}

}  // namespace

TEST(WindowedLoad, ThumbnailsLogAndRecentMapsOverThreeLoads) {
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
        {&l.city, kept + l.town.recent + l.city.recent},  // an earlier level moves to the end, listed once
    };
    std::set<std::string> thumbnails = {"0000BEEF.jpg"};
    std::string log;
    for (size_t n = 0; n < steps.size(); ++n) {
        const TestLevel& level = *steps[n].first;
        SCOPED_TRACE("load " + std::to_string(n + 1) + ": " + level.mmp.filename().string());
        const std::time_t before = std::time(nullptr);
        const auto start = std::chrono::steady_clock::now();
        BackgroundRun run(app.binary, {level.mmp.string()}, app.folder.path());
        EXPECT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();  // no game folder set
        ASSERT_EQ(run.wait(), 1) << run.stdErr();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        thumbnails.insert(hex8(level.checksum) + ".jpg");
        EXPECT_EQ(app.thumbnails(), thumbnails);
        EXPECT_EQ(app.read("recent_maps.txt"), steps[n].second);
        // One more log record, the earlier ones as they were.
        const std::string grown = app.read("loading.log"), added = grown.substr(std::min(log.size(), grown.size()));
        std::smatch m;
        ASSERT_TRUE(grown.compare(0, log.size(), log) == 0 && std::regex_match(added, m, logRecord(level.logged)))
            << grown;
        std::tm utc{};
        ASSERT_NE(strptime(m.str(1).c_str(), "%d.%m.%Y - %H:%M:%S", &utc), nullptr);
        EXPECT_TRUE(timegm(&utc) >= before - 60 && timegm(&utc) <= std::time(nullptr) + 60) << m.str(1);
        EXPECT_TRUE(std::stod(m.str(2)) > 0.0 && std::stod(m.str(2)) < wall) << m.str(2);
        log = grown;
    }
    // The thumbnail is the headless picture at 256 pixels, quality 5 (JPEG quality 95).
    const fs::path out = app.folder / "headless.jpg";
    const RunResult r = runProgram(app.binary, {"-saveminimap", "-mmp", l.city.mmp.string(), "-jpg_quality", "5",
                                                "-out", out.string(), "-size", "256"}, app.folder.path());
    ASSERT_EQ(r.status, 1) << r.stdErr;
    EXPECT_TRUE(readFile(app.minimaps() / (hex8(l.city.checksum) + ".jpg")) == readFile(out))
        << "thumbnail differs from the headless picture";
}

TEST(WindowedLoad, UnrecognisedDescriptionNoChangesNothingYesLoadsAnEmptyLevel) {
    // The sample's description behind a comment line: reading stops at the
    // first line, so Yes loads a map without files.
    const TempFolder here;
    const fs::path mmp = here / "odd.mmp";
    writeFile(mmp, "; written by hand\r\n" + readFile(levels().city.mmp));

    Installed app;
    const std::string gone = "0000CAFE|/maps/b.gmp|/maps/b.sty|||Gone|\r\n";
    writeFile(app.folder / "recent_maps.txt", gone);
    BackgroundRun refused(app.binary, {mmp.string()}, app.folder.path());
    ASSERT_TRUE(refused.answer("ERROR", "Escape")) << refused.stdErr();
    EXPECT_EQ(refused.wait(), 1) << refused.stdErr();
    EXPECT_TRUE(app.thumbnails().empty() && !fs::exists(app.folder / "loading.log"));
    EXPECT_EQ(app.read("recent_maps.txt"), gone);

    BackgroundRun run(app.binary, {mmp.string()}, app.folder.path());
    ASSERT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();
    ASSERT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();
    // "STY file was not found" and "GMP file was not found" come as two boxes
    // that look alike to the display (the second may even get the first one's
    // window id): answer ERROR boxes until the run goes on to its end.
    for (int i = 0; i < 4 && run.running(); ++i) run.answer("ERROR", "Return", 5s);
    EXPECT_EQ(run.wait(), 1) << run.stdErr();
    // The empty level's checksum is 0; no paths nor display name (the completion step never ran).
    EXPECT_EQ(app.thumbnails(), std::set<std::string>{"00000000.jpg"});
    EXPECT_TRUE(std::regex_match(app.read("loading.log"), logRecord({"", "", ""}))) << app.read("loading.log");
    EXPECT_EQ(app.read("recent_maps.txt"), "00000000||||||\r\n");  // and the forgotten map is dropped
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
    // window showing five lines (up to "Loading GMP file: ...") on plain black
    // (no loading background without a map), 16 pixels each from 16 down.
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
    EXPECT_EQ(band(shot, 96, 176).text, 0) << "text under the fifth line";
    EXPECT_TRUE(band(shot, 0, 176).clean) << "pixels neither text nor background";

    ASSERT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();
    EXPECT_EQ(run.wait(), 1) << run.stdErr();
}

// Not a check: with VANT_SCREENSHOT=/path/picture.png it saves the window in
// the middle of loading the sample city (for the README): the last of many
// grabs during the short load that shows the level's loading background.
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
