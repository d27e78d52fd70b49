// The installed program loading a level in a window, on the test display:
// the thumbnail (the headless job's picture), "loading.log",
// "recent_maps.txt", the question about an unrecognised description, and
// what the window shows while it loads. The thumbnail's name, the checksum,
// is checked against the level files' bytes by the unit tests of the style
// and map loaders.
#include <gtest/gtest.h>

#include <ctime>
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

struct TestLevel {
    fs::path mmp;
    std::vector<std::string> logged;  // map, style and script source in loading.log
    std::string recent;               // its line in recent_maps.txt after the checksum
};

TestLevel describe(const fs::path& dir, const std::string& stem, bool script, const std::string& name) {
    auto file = [&](const std::string& ext) { return (dir / (stem + ext)).string(); };
    // Map, style, compiled script, script source, display name, each followed by "|".
    std::string recent = "|";
    for (const std::string& f : {file(".gmp"), file(".sty"), script ? file(".scr") : "", script ? file(".mis") : "", name})
        recent += f + "|";
    return {file(".mmp"), {stem + ".gmp", stem + ".sty", script ? stem + ".mis" : ""}, recent + "\r\n"};
}

// The generated sample city, and a small town: one page of tiles (tile 3 in
// the water group, untinted without the signature), an uncompressed map, a
// script source beside its compiled script, and a description ending in its
// player count; the sample's description behind a comment line (reading
// stops at the first line: no files, no paths, no name). Made once.
struct Levels {
    TempFolder folder;
    TestLevel city, town, odd{folder / "odd.mmp", {"", "", ""}, "||||||\r\n"};
    Levels() {
        EXPECT_EQ(makeSampleCity(folder.path()).status, 0);
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
        writeFile(odd.mmp, "; written by hand\r\n" + readFile(city.mmp));
    }
};

const Levels& levels() {
    static Levels made;
    return made;
}

struct Installed : InstalledProgram {
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

// The order of recent maps when a known one comes again is the unit tests'
// (Recent.*); here, what loads of different levels leave behind. The
// unrecognised description is answered Yes (No: Pipeline.Unrecognised*).
TEST(WindowedLoad, ThumbnailsLogAndRecentMapsOverThreeLoads) {
    const Levels& l = levels();
    Installed app;
    // A remembered map stays only while its thumbnail exists.
    writeFile(app.minimaps() / "0000BEEF.jpg", "picture");
    std::string recent = "0000BEEF|/maps/a.gmp|/maps/a.sty|/maps/a.scr||Kept|\r\n";
    writeFile(app.folder / "recent_maps.txt", "0000CAFE|/maps/b.gmp|/maps/b.sty|||Gone|\r\n" + recent);
    std::set<std::string> thumbnails = {"0000BEEF.jpg"};
    std::string log;
    for (const TestLevel* level : {&l.city, &l.town, &l.odd}) {
        SCOPED_TRACE(level->mmp.filename().string());
        const std::time_t before = std::time(nullptr);
        const auto start = std::chrono::steady_clock::now();
        BackgroundRun run(app.binary, {level->mmp.string()}, app.work.path());
        const bool odd = level == &l.odd;
        EXPECT_TRUE(!odd || run.answer("ERROR", "Return")) << run.stdErr();  // "try to load anyways?"
        EXPECT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();  // no game folder set
        // "STY file was not found" and "GMP file was not found" come as two
        // boxes that look alike to the display (the second may even get the
        // first one's window id): answer ERROR boxes until the run ends.
        for (int i = 0; odd && i < 4 && run.running(); ++i) run.answer("ERROR", "Return", 5s);
        ASSERT_EQ(run.wait(), 1) << run.stdErr();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        // One new thumbnail, named by the checksum its line in recent_maps.txt starts with.
        std::set<std::string> now = app.thumbnails(), added;
        for (const std::string& t : now)
            if (!thumbnails.count(t)) added.insert(t);
        ASSERT_EQ(added.size(), 1u);
        const std::string name = *added.begin();
        ASSERT_TRUE(std::regex_match(name, std::regex(odd ? "00000000\\.jpg" : "[0-9A-F]{8}\\.jpg"))) << name;
        thumbnails = now;
        if (level == &l.city) {  // the installed job draws the same picture
            const fs::path picture = app.work / "city.jpg";
            runProgram(app.binary, {"-saveminimap", "-mmp", level->mmp.string(), "-out", picture.string(), "-size", "256"},
                       app.work.path());
            EXPECT_TRUE(readFile(picture) == app.read("data/minimaps/" + name)) << "thumbnail unlike the job's picture";
        }
        recent += name.substr(0, 8) + level->recent;
        EXPECT_EQ(app.read("recent_maps.txt"), recent);
        // One more log record, the earlier ones as they were.
        const std::string grown = app.read("loading.log"), more = grown.substr(std::min(log.size(), grown.size()));
        std::smatch m;
        ASSERT_TRUE(grown.compare(0, log.size(), log) == 0 && std::regex_match(more, m, logRecord(level->logged)))
            << grown;
        std::tm utc{};
        ASSERT_NE(strptime(m.str(1).c_str(), "%d.%m.%Y - %H:%M:%S", &utc), nullptr);
        EXPECT_TRUE(timegm(&utc) >= before - 60 && timegm(&utc) <= std::time(nullptr) + 60) << m.str(1);
        EXPECT_TRUE(std::stod(m.str(2)) > 0.0 && std::stod(m.str(2)) < wall) << m.str(2);
        log = grown;
    }
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
    BackgroundRun run(app.binary, {(here / "city.mmp").string()}, app.work.path());
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
