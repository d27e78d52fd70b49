// The map list, recent maps, settings files, "fullscreen.txt" and data file
// lookup: the windowed program's bookkeeping around a load.

#include <array>
#include <fstream>
#include <optional>

#include "app/fullscreen_file.h"

#include "base/text.h"
#include "config/settings.h"
#include "formats/data_file.h"
#include "maplist/recent_maps.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace vant;
using vant::test::readFile;
using vant::test::WorkFolder;
using vant::test::writeFile;

namespace {

MapDescription entry(const std::string& name, const std::string& gmp, const std::string& sty) {
    MapDescription d;
    d.displayName = name;
    d.gmpfile = gmp;
    d.styfile = sty;
    return d;
}

TEST(MapList, LookupAndMapListFile) {
    // File names, not folders, any case; only the first namesake is compared
    // and a miss counts the namesakes.
    MapList maps;
    appendMap(maps, entry("Arena", "one.gmp", "s.sty"));
    appendMap(maps, entry("arena", "maps/TWO.GMP", "s.sty"));
    MapDescription same = entry("ARENA", "x\\ONE.GMP", "y/S.STY"), miss = entry("ARENA", "two.gmp", "s.sty");
    EXPECT_EQ(findMapInList(maps, same), 0);
    EXPECT_EQ(findMapInList(maps, miss), -1);
    EXPECT_EQ(miss.matchMarker, 2);

    // The game's data folder is noted only for a list without real maps.
    vant::test::RecordedBoxes r;
    WorkFolder folder;
    buildMapList(r.rt, maps, "D:\\Games\\VANT\\VANT.exe");
    buildMapList(r.rt, MapList{}, "");
    EXPECT_FALSE(fs::exists("maplist.txt"));
    EXPECT_EQ(r.rt.progress.line(1), "Building map list...");
    buildMapList(r.rt, MapList{}, "D:\\Games\\VANT\\VANT.exe");
    maps.clear();
    appendMap(maps, entry(MapListPlaceholder, "", ""));
    buildMapList(r.rt, maps, "/games/vant/");
    EXPECT_EQ(readFile("maplist.txt"), "[DIR] D:/Games/VANT/data\r\n[DIR] /games/vant/data");
}

class Recent : public ::testing::Test {
protected:
    Recent() {
        recent.admit = [this](uint32_t checksum, int slot) {
            asked.push_back({checksum, slot});
            return checksum != refused;
        };
    }
    static std::string line(uint32_t n) { return formatText("%08X|m%u.gmp|s.sty|||Map %u|\r\n", n, n, n); }
    // Remembers map `n` under checksum `checksum` (its number by default).
    void use(uint32_t n, uint32_t checksum = 0) {
        MapList maps;
        appendMap(maps, entry(formatText("Map %u", n), formatText("m%u.gmp", n), "s.sty"));
        updateRecentMaps(recent, maps, checksum ? checksum : n);
    }

    WorkFolder folder;
    RecentMaps recent;
    uint32_t refused = 0;
    std::vector<std::pair<uint32_t, int>> asked;
};

TEST_F(Recent, LoadKeepsTheLastTwelveWellFormedLinesAndSlotsOnlyAdmittedOnes) {
    std::string text;
    for (uint32_t n = 1; n <= 20; ++n) text += line(n);
    writeFile("recent_maps.txt", text);
    refused = 10;
    loadRecentMaps(recent);
    std::string kept = line(9);
    for (uint32_t n = 11; n <= 20; ++n) kept += line(n);
    EXPECT_EQ(formatRecentMaps(recent), kept);
    EXPECT_EQ(asked[2], std::make_pair(11u, 1));  // the refused map's slot goes to the next

    writeFile("recent_maps.txt",
              "XYZ12345|a.gmp|a.sty|||Six|\n"         // empty parts in the middle are kept
              "123456789|b.gmp|b.sty|c|d|No bar\r\n"  // nine digits; no last bar
              "00000001|short|x|y|z|\n"               // five fields: skipped
              "000000ab|c.g\rmp|c.sty|||C|\r\n"       // a stray carriage return vanishes
              "0000000F|tail|t|t|t|t|");              // unfinished last line
    loadRecentMaps(recent);
    EXPECT_EQ(formatRecentMaps(recent),
              "00012345|a.gmp|a.sty|||Six|\r\n12345678|b.gmp|b.sty|c|d|No bar|\r\n000000AB|c.gmp|c.sty|||C|\r\n");

    fs::remove("recent_maps.txt");
    loadRecentMaps(recent);
    EXPECT_TRUE(recent.list.empty());
}

TEST_F(Recent, UpdatesMoveKnownMapsToTheEndAndReuseTheLeastRecentSlot) {
    for (uint32_t n = 1; n <= 12; ++n) use(n);
    use(1, 0x111);  // known: only its checksum and place change
    use(13);        // full: 2, now the least recently used, gives up its slot
    EXPECT_EQ(asked.back(), std::make_pair(13u, 1));
    std::string expected;
    for (uint32_t n = 3; n <= 12; ++n) expected += line(n);
    EXPECT_EQ(readFile("recent_maps.txt"), expected + "00000111|m1.gmp|s.sty|||Map 1|\r\n" + line(13));

    // A refused map changes nothing in the list, but the file is rewritten.
    writeFile("recent_maps.txt", "junk\r\n");
    recent.list.clear();
    refused = 14;
    use(14);
    EXPECT_EQ(readFile("recent_maps.txt"), "");
}

TEST(SettingsFiles, GamePathFromTheLastFileThatNamesItAndDataFileLookup) {
    WorkFolder folder;
    Settings settings;
    writeFile("settings_default.cfg", "Thumbnails = JPG\r\n  VANT_Path =  /Games/Default/VANT.exe \r\n");
    writeFile("settings.cfg", "[paths]\r\n# comment\r\nvant_path=C:\\Games\\=odd\\Vant.exe\r\na=b=c\r\n");
    loadSettings(settings);
    EXPECT_EQ(settings.gamePath, "C:\\Games\\=odd\\Vant.exe");

    // Lines that are no settings; a line longer than the 1,024-byte buffer
    // comes in pieces, and a piece holding '=' counts as a line.
    for (const auto& [text, path] : std::vector<std::pair<std::string, std::string>>{
             {"vant_path=\r\nvant_path\r\nvant_path=\n=value\r\n", "C:\\Games\\=odd\\Vant.exe"},
             {std::string(1023, 'x') + "vant_path=/long/VANT.exe\r\n", "/long/VANT.exe"},
             {std::string(1022, 'x') + "vant_path=/cut/VANT.exe\r\n", "/long/VANT.exe"}}) {
        writeFile("a.cfg", text);
        readSettingsFile(settings, "a.cfg");
        EXPECT_EQ(settings.gamePath, path);
    }

    // Data file lookup: only missing paths are replaced by what the data folder has.
    fs::create_directories("game/data");
    for (const char* name : {"game/data/level.gmp", "game/data/here.sty", "here.sty"}) writeFile(name, "x");
    // Path, folder (none: the game folder), what it becomes.
    for (auto [path, where, found] :
         std::vector<std::array<std::string, 3>>{{"maps\\level.gmp", "game/VANT.exe", "game/data/level.gmp"},
                                                 {"here.sty", "game/VANT.exe", "here.sty"},
                                                 {"maps/none.scr", "", "maps/none.scr"},
                                                 {"x/level.gmp", "", "game/data/level.gmp"}}) {
        findDataFile(path, where, "game/VANT.exe");
        EXPECT_EQ(path, found) << where;
    }
}

// "fullscreen.txt": size lines, the question that confirms them, the
// fallback for unreadable sizes.
TEST(FullscreenFile, SizesQuestionsAndFallback) {
    auto question = [](int w, int h) {
        return "1|Notice|Setting fullscreen mode at: " + std::to_string(w) + "x" + std::to_string(h) +
               "\r\n\r\nDelete \"fullscreen.txt\" to disable fullscreen mode.";
    };
    const std::string error =
        "0|ERROR|Error while reading width/height from fullscreen.txt file, set to defaults: 1024x768";
    struct Case {
        std::optional<std::string> content;  // none: no file
        int answer;
        bool fullscreen;
        int width, height;
        std::vector<std::string> boxes;
        int screenAsked = 0;
    };
    const std::vector<Case> cases = {
        {std::nullopt, AnswerOk, false, 1024, 768, {}},
        {"1280\r\n1024\r\n", AnswerOk, true, 1280, 1024, {question(1280, 1024)}},
        {"800", AnswerOk, true, 800, 800, {question(800, 800)}},           // one line serves for both
        {"", AnswerCancel, false, 1280, 1024, {question(1280, 1024)}, 1},  // empty: the screen's size
        {"  1600px wide\n900 high\n", AnswerOk, true, 1600, 900, {question(1600, 900)}},
        // A first line over 63 characters: its rest is read as the height.
        {"1280" + std::string(59, ' ') + "720\n", AnswerOk, true, 1280, 720, {question(1280, 720)}},
        {"wide\ntall\n", AnswerOk, true, 1024, 768, {error}},
        {"1024\nx\n", AnswerOk, true, 1024, 768, {error}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.value_or("(no file)"));
        vant::test::TempDir dir;
        if (c.content) std::ofstream(dir.file("fullscreen.txt"), std::ios::binary) << *c.content;
        Runtime rt;
        std::vector<std::string> boxes;
        rt.responder = [&](int type, const std::string& caption, const std::string& text) {
            boxes.push_back(std::to_string(type) + "|" + caption + "|" + text);
            return c.answer;
        };
        int screenAsked = 0;
        WindowRequest request;
        readFullscreenFile(rt, request, [&] { return ++screenAsked, std::pair<int, int>{1280, 1024}; },
                           dir.file("fullscreen.txt"));
        EXPECT_EQ(std::make_tuple(request.fullscreen, request.width, request.height, boxes, screenAsked),
                  std::make_tuple(c.fullscreen, c.width, c.height, c.boxes, c.screenAsked));
    }
}

}  // namespace
