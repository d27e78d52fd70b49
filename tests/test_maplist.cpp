// The map list, thumbnail grid, recent maps, settings files and data file
// lookup: the windowed program's bookkeeping around a load.
#include <gtest/gtest.h>

#include <array>

#include "app/runtime.h"
#include "app/text.h"
#include "config/settings.h"
#include "formats/data_file.h"
#include "maplist/map_list.h"
#include "maplist/recent_maps.h"
#include "work_folder.h"

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

TEST(MapList, LookupGridAndMapListFile) {
    // Only the first namesake is compared (file names, not folders, any case);
    // a miss counts the namesakes.
    MapList maps;
    appendMap(maps, entry("Arena", "one.gmp", "s.sty"));
    appendMap(maps, entry("arena", "maps/TWO.GMP", "s.sty"));
    for (MapDescription miss : {entry("ARENA", "two.gmp", "s.sty"), entry("Arena", "one.gmp", "t.sty")}) {
        EXPECT_EQ(findMapInList(maps, miss), -1);
        EXPECT_EQ(miss.matchMarker, 2);
    }
    MapDescription stranger = entry("Uptown", "one.gmp", "s.sty");
    EXPECT_EQ(findMapInList(maps, stranger), -1);
    EXPECT_EQ(stranger.matchMarker, 0);

    // One consecutive texture name per slot; over 64 slots falls back to 4 x 3.
    Runtime rt;
    std::vector<std::string> boxes;
    rt.responder = [&](int, const std::string& caption, const std::string& text) {
        boxes.push_back(caption + "|" + text);
        return AnswerOk;
    };
    uint32_t counter = 40;
    ThumbnailGrid grid;
    grid.columns = 9;
    grid.rows = 8;
    setupThumbnailGrid(rt, grid, [&counter] { return counter++; });
    EXPECT_EQ(boxes,
              (std::vector<std::string>{"ERROR|Maximum amount of map thumbnails = 64\r\n\r\nSet to defaults (4x3)"}));
    EXPECT_EQ((std::array<int, 3>{grid.columns, grid.rows, grid.slotCount}), (std::array<int, 3>{4, 3, 12}));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(grid.slotTextures[size_t(i)], 40u + uint32_t(i));
    EXPECT_EQ(counter, 52u);

    // The game's data folder is noted only for a list without real maps.
    WorkFolder folder;
    buildMapList(rt, maps, "D:\\Games\\VANT\\VANT.exe");
    buildMapList(rt, MapList{}, "");
    EXPECT_FALSE(fs::exists("maplist.txt"));
    EXPECT_EQ(rt.progress.line(1), "Building map list...");
    buildMapList(rt, MapList{}, "D:\\Games\\VANT\\VANT.exe");
    maps.clear();
    appendMap(maps, entry(MapListPlaceholder, "", ""));
    buildMapList(rt, maps, "/games/vant/");
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
    static std::string line(uint32_t n) { return formatText("%08X|m%u.gmp|s.sty|m.scr|m.mis|Map %u|\r\n", n, n, n); }
    // Remembers map `n` under checksum `checksum` (its number by default).
    void use(uint32_t n, uint32_t checksum = 0) {
        MapList maps;
        MapDescription d = entry("Map " + std::to_string(n), "m" + std::to_string(n) + ".gmp", "s.sty");
        d.scrfile = "m.scr";
        d.scriptSource = "m.mis";
        appendMap(maps, d);
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
    ASSERT_EQ(recent.list.size(), 11u);
    std::string kept = line(9);
    for (uint32_t n = 11; n <= 20; ++n) kept += line(n);
    EXPECT_EQ(formatRecentMaps(recent), kept);
    EXPECT_EQ(asked[1], std::make_pair(10u, 1));
    EXPECT_EQ(asked[2], std::make_pair(11u, 1));
    EXPECT_EQ(recent.list[10].listSequence, 10);
    EXPECT_EQ(recent.list[10].thumbnailSlot, 10);
    EXPECT_EQ(recent.sequence, 11);

    writeFile("recent_maps.txt",
              "XYZ12345|a.gmp|a.sty|||Six|\n"         // empty parts in the middle are kept
              "123456789|b.gmp|b.sty|c|d|No bar\r\n"  // nine digits; no last bar
              "00000001|short|x|y|z|\n"               // five fields: skipped
              "000000ab|c.g\rmp|c.sty|||C|\r\n"       // a stray carriage return vanishes
              "0000000F|tail|t|t|t|t|");              // unfinished last line
    loadRecentMaps(recent);
    EXPECT_EQ(formatRecentMaps(recent),
              "00012345|a.gmp|a.sty|||Six|\r\n12345678|b.gmp|b.sty|c|d|No bar|\r\n"
              "000000AB|c.gmp|c.sty|||C|\r\n");
    EXPECT_EQ(recent.list.back().thumbnailSlot, 2);

    fs::remove("recent_maps.txt");  // no file: an empty list
    loadRecentMaps(recent);
    EXPECT_TRUE(recent.list.empty());
}

TEST_F(Recent, UpdatesMoveKnownMapsToTheEndAndReuseTheLeastRecentSlot) {
    for (uint32_t n = 1; n <= 12; ++n) use(n);
    use(1, 0x111);  // known: only its checksum and place change
    use(13);        // full: 2, now the least recently used, gives up its slot
    ASSERT_EQ(recent.list.size(), 12u);
    EXPECT_EQ(asked.back(), std::make_pair(13u, 1));
    EXPECT_EQ(recent.list[10].thumbnailSlot, 0);
    EXPECT_EQ(recent.list[11].thumbnailSlot, 1);
    std::string expected;
    for (uint32_t n = 3; n <= 12; ++n) expected += line(n);
    EXPECT_EQ(readFile("recent_maps.txt"), expected + "00000111|m1.gmp|s.sty|m.scr|m.mis|Map 1|\r\n" + line(13));

    // A refused map changes nothing in the list, but the file is rewritten.
    writeFile("recent_maps.txt", "junk\r\n");
    recent.list.clear();
    refused = 14;
    use(14);
    EXPECT_TRUE(recent.list.empty());
    EXPECT_EQ(readFile("recent_maps.txt"), "");

    // The style comes from the style entry.
    MapList maps;
    appendMap(maps, entry("Styled", "x.gmp", "other.sty"));
    appendMap(maps, entry("Plain", "m.gmp", "s.sty"));
    maps.currentStyle = 0;
    updateRecentMaps(recent, maps, 1);
    EXPECT_EQ(readFile("recent_maps.txt"), "00000001|m.gmp|other.sty|||Plain|\r\n");
    EXPECT_EQ(thumbnailPathFor(0xABC), "data/minimaps/00000ABC.jpg");
}

TEST(SettingsFiles, GamePathFromTheLastFileThatNamesIt) {
    WorkFolder folder;
    Settings settings;
    loadSettings(settings);  // none of the files exist
    EXPECT_EQ(settings.gamePath, "");
    writeFile("settings_default.cfg", "Thumbnails = JPG\r\n  VANT_Path =  /Games/Default/VANT.exe \r\n");
    writeFile("settings.cfg", "[paths]\r\n# comment\r\nvant_path=/Games/Mine/Vant.exe\r\na=b=c\r\n");
    loadSettings(settings);
    EXPECT_EQ(settings.gamePath, "/Games/Mine/Vant.exe");
    writeFile("settings_test.cfg", "vant_path = C:\\Test\\=odd\\VANT.exe");
    loadSettings(settings);
    EXPECT_EQ(settings.gamePath, "C:\\Test\\=odd\\VANT.exe");

    // Lines that are no settings; a line longer than the 1,024-byte buffer
    // comes in pieces, and a piece holding '=' counts as a line.
    for (const auto& [text, path] : std::vector<std::pair<std::string, std::string>>{
             {"vant_path=\r\nvant_path\r\nvant_path=\n=value\r\n", "C:\\Test\\=odd\\VANT.exe"},
             {std::string(1023, 'x') + "vant_path=/long/VANT.exe\r\n", "/long/VANT.exe"},
             {std::string(1022, 'x') + "vant_path=/cut/VANT.exe\r\n", "/long/VANT.exe"}}) {
        writeFile("a.cfg", text);
        readSettingsFile(settings, "a.cfg");
        EXPECT_EQ(settings.gamePath, path);
    }
}

TEST(DataFileLookup, OnlyMissingPathsAreReplacedByWhatTheDataFolderHas) {
    EXPECT_EQ(dataFileCandidate("a/b/level.sty", "VANT"), "VANTdata/level.sty");
    EXPECT_EQ(dataFileCandidate("level.sty", "/games/vant/"), "/games/vant/data/level.sty");

    WorkFolder folder;
    fs::create_directories("game/data");
    for (const char* name : {"game/data/level.gmp", "game/data/here.sty", "here.sty"}) writeFile(name, "x");
    // Path, folder (none: the game folder), what it becomes.
    for (auto [path, where, found] :
         std::vector<std::array<std::string, 3>>{{"maps\\level.gmp", "game/VANT.exe", "game/data/level.gmp"},
                                                 {"here.sty", "game/VANT.exe", "here.sty"},
                                                 {"maps/none.scr", "", "maps/none.scr"},
                                                 {"x/level.gmp", "", "game/data/level.gmp"},
                                                 {"", "game/", ""}}) {
        findDataFile(path, where, "game/VANT.exe");
        EXPECT_EQ(path, found) << where;
    }
}

}  // namespace
