// The map list, thumbnail grid, recent maps, settings files, data file
// lookup and script step: the windowed program's bookkeeping around a load.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/runtime.h"
#include "config/settings.h"
#include "formats/data_file.h"
#include "maplist/map_list.h"
#include "maplist/recent_maps.h"
#include "script/mission_script.h"
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

struct Boxes {
    std::vector<std::string> texts;
    MessageResponder responder() {
        return [this](int, const std::string& caption, const std::string& text) {
            texts.push_back(caption + "|" + text);
            return AnswerOk;
        };
    }
};

TEST(MapListLookup, SameMapIgnoresCaseAndFolders) {
    MapList maps;
    MapDescription probe = entry("Downtown", "a/city.gmp", "a/city.sty");
    EXPECT_EQ(findMapInList(maps, probe), -1);

    appendMap(maps, entry("Other", "x.gmp", "x.sty"));
    appendMap(maps, entry("DownTown", "maps/CITY.GMP", "styles\\City.sty"));
    EXPECT_EQ(maps.currentMap, 1);
    EXPECT_EQ(maps.currentStyle, 1);

    EXPECT_EQ(findMapInList(maps, probe), 1);
    EXPECT_EQ(probe.matchMarker, 0);

    MapDescription stranger = entry("Uptown", "a/city.gmp", "a/city.sty");
    EXPECT_EQ(findMapInList(maps, stranger), -1);
    EXPECT_EQ(stranger.matchMarker, 0);
}

TEST(MapListLookup, SameNameOtherFilesCountsNamesakes) {
    MapList maps;
    appendMap(maps, entry("Arena", "one.gmp", "s.sty"));
    appendMap(maps, entry("arena", "two.gmp", "s.sty"));
    MapDescription third = entry("ARENA", "three.gmp", "s.sty");
    EXPECT_EQ(findMapInList(maps, third), -1);
    EXPECT_EQ(third.matchMarker, 2);

    // Only the first namesake is compared: the second one's files match,
    // but it is never looked at.
    MapDescription second = entry("Arena", "two.gmp", "s.sty");
    EXPECT_EQ(findMapInList(maps, second), -1);
    EXPECT_EQ(second.matchMarker, 2);

    // A style of another name is another map.
    MapDescription restyled = entry("Arena", "one.gmp", "t.sty");
    EXPECT_EQ(findMapInList(maps, restyled), -1);

    clearMapList(maps);
    EXPECT_EQ(maps.size(), 0);
    EXPECT_EQ(maps.currentMap, -1);
}

TEST(ThumbnailGridSetup, ReservesOneConsecutiveNamePerSlot) {
    Runtime rt;
    Boxes boxes;
    rt.responder = boxes.responder();
    uint32_t counter = 40;
    auto next = [&counter] { return counter++; };

    ThumbnailGrid grid;
    setupThumbnailGrid(rt, grid, next);
    EXPECT_EQ(grid.slotCount, 12);
    EXPECT_EQ(counter, 52u);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(grid.slotTextures[size_t(i)], 40u + uint32_t(i));
    EXPECT_TRUE(boxes.texts.empty());

    ThumbnailGrid tooBig;
    tooBig.columns = 9;
    tooBig.rows = 8;
    setupThumbnailGrid(rt, tooBig, next);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "ERROR|Maximum amount of map thumbnails = 64\r\n\r\nSet to defaults (4x3)");
    EXPECT_EQ(tooBig.columns, 4);
    EXPECT_EQ(tooBig.rows, 3);
    EXPECT_EQ(tooBig.slotCount, 12);
    EXPECT_EQ(counter, 64u);
}

TEST(MapListFile, WrittenOnlyWithAGamePathAndNoRealMaps) {
    WorkFolder folder;
    Runtime rt;
    MapList maps;
    buildMapList(rt, maps, "");
    EXPECT_EQ(rt.progress.lines(), (std::vector<std::string>{"Building map list..."}));
    EXPECT_FALSE(fs::exists("maplist.txt"));

    buildMapList(rt, maps, "D:\\Games\\VANT\\VANT.exe");
    EXPECT_EQ(readFile("maplist.txt"), "[DIR] D:/Games/VANT/data");
    appendMap(maps, entry(MapListPlaceholder, "", ""));
    buildMapList(rt, maps, "/games/vant/");
    EXPECT_EQ(readFile("maplist.txt"), "[DIR] D:/Games/VANT/data\r\n[DIR] /games/vant/data");

    appendMap(maps, entry("Real", "r.gmp", "r.sty"));
    std::swap(maps.entries[0], maps.entries[1]);
    buildMapList(rt, maps, "/elsewhere/");
    EXPECT_EQ(readFile("maplist.txt"), "[DIR] D:/Games/VANT/data\r\n[DIR] /games/vant/data");
}

class Recent : public ::testing::Test {
protected:
    Recent() {
        recent.admit = [this](uint32_t checksum, int slot) {
            asked.push_back({checksum, slot});
            return admitAll;
        };
    }
    static std::string line(uint32_t n) {
        char text[128];
        std::snprintf(text, sizeof text, "%08X|m%u.gmp|s.sty|m.scr|m.mis|Map %u|\r\n", n, n, n);
        return text;
    }
    // Makes map `n` the current entry of a one-entry list.
    void select(uint32_t n) {
        maps.clear();
        MapDescription d = entry("Map " + std::to_string(n), "m" + std::to_string(n) + ".gmp", "s.sty");
        d.scrfile = "m.scr";
        d.scriptSource = "m.mis";
        appendMap(maps, d);
    }

    WorkFolder folder;
    RecentMaps recent;
    MapList maps;
    bool admitAll = true;
    std::vector<std::pair<uint32_t, int>> asked;
};

TEST_F(Recent, LoadKeepsTheLastTwelveWellFormedLines) {
    std::string text;
    for (uint32_t n = 1; n <= 20; ++n) text += line(n);
    writeFile("recent_maps.txt", text);
    loadRecentMaps(recent);
    ASSERT_EQ(recent.list.size(), 12u);
    EXPECT_EQ(recent.list.front().checksum, 9u);
    EXPECT_EQ(recent.list.front().gmpfile, "m9.gmp");
    EXPECT_EQ(recent.list.front().styfile, "s.sty");
    EXPECT_EQ(recent.list.front().scrfile, "m.scr");
    EXPECT_EQ(recent.list.front().scriptSource, "m.mis");
    EXPECT_EQ(recent.list.front().displayName, "Map 9");
    EXPECT_EQ(recent.list.back().checksum, 20u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(recent.list[size_t(i)].listSequence, i);
        EXPECT_EQ(recent.list[size_t(i)].thumbnailSlot, i);
        EXPECT_EQ(asked[size_t(i)], std::make_pair(uint32_t(9 + i), i));
    }
    EXPECT_EQ(recent.sequence, 12);
}

TEST_F(Recent, LineSplittingAndChecksumDigits) {
    writeFile("recent_maps.txt",
              "XYZ12345|a.gmp|a.sty|||Six|\n"      // empty parts in the middle are kept
              "123456789|b.gmp|b.sty|c|d|No bar\r\n"  // nine digits; no last bar
              "00000001|short|x|y|z|\n"           // five fields: skipped
              "000000ab|c.g\rmp|c.sty|||C|\r\n"     // a stray carriage return vanishes
              "0000000F|tail|t|t|t|t|");           // unfinished last line
    loadRecentMaps(recent);
    ASSERT_EQ(recent.list.size(), 3u);
    EXPECT_EQ(recent.list[0].checksum, 0x12345u);
    EXPECT_EQ(recent.list[0].scrfile, "");
    EXPECT_EQ(recent.list[0].displayName, "Six");
    EXPECT_EQ(recent.list[1].checksum, 0x12345678u);
    EXPECT_EQ(recent.list[1].displayName, "No bar");
    EXPECT_EQ(recent.list[2].checksum, 0xABu);
    EXPECT_EQ(recent.list[2].gmpfile, "c.gmp");
    EXPECT_EQ(recent.list[2].thumbnailSlot, 2);
}

TEST_F(Recent, RefusedRecordsTakeNoSlot) {
    writeFile("recent_maps.txt", line(1) + line(2) + line(3));
    recent.admit = [this](uint32_t checksum, int slot) {
        asked.push_back({checksum, slot});
        return checksum != 2;
    };
    loadRecentMaps(recent);
    ASSERT_EQ(recent.list.size(), 2u);
    EXPECT_EQ(recent.list[1].checksum, 3u);
    EXPECT_EQ(recent.list[1].thumbnailSlot, 1);
    EXPECT_EQ(recent.list[1].listSequence, 1);
    EXPECT_EQ(asked[2], std::make_pair(3u, 1));
}

TEST_F(Recent, MissingFileGivesEmptyList) {
    recent.list.push_back(entry("stale", "", ""));
    loadRecentMaps(recent);
    EXPECT_TRUE(recent.list.empty());
}

TEST_F(Recent, UpdateRewritesFileByteExact) {
    select(7);
    maps.entries[0].matchMarker = 3;
    updateRecentMaps(recent, maps, 0xDEADBEEF);
    EXPECT_EQ(readFile("recent_maps.txt"), "DEADBEEF|m7.gmp|s.sty|m.scr|m.mis|Map 7|\r\n");
    ASSERT_EQ(recent.list.size(), 1u);
    EXPECT_EQ(recent.list[0].matchMarker, 3);
    EXPECT_EQ(recent.list[0].thumbnailSlot, 0);

    select(8);
    updateRecentMaps(recent, maps, 0x8);
    EXPECT_EQ(readFile("recent_maps.txt"), "DEADBEEF|m7.gmp|s.sty|m.scr|m.mis|Map 7|\r\n" + line(8));
    EXPECT_EQ(recent.list[1].thumbnailSlot, 1);

    // Map 7 again, with a new checksum: only its checksum and place change.
    select(7);
    updateRecentMaps(recent, maps, 0x77);
    EXPECT_EQ(readFile("recent_maps.txt"), line(8) + "00000077|m7.gmp|s.sty|m.scr|m.mis|Map 7|\r\n");
    EXPECT_EQ(recent.list[1].thumbnailSlot, 0);
    EXPECT_FALSE(fs::exists("recent_maps.txt.tmp"));
}

TEST_F(Recent, StyleComesFromTheStyleEntry) {
    select(1);
    appendMap(maps, entry("Styled", "other.gmp", "other.sty"));
    maps.currentMap = 0;
    maps.currentStyle = 1;
    updateRecentMaps(recent, maps, 1);
    EXPECT_EQ(readFile("recent_maps.txt"), "00000001|m1.gmp|other.sty|m.scr|m.mis|Map 1|\r\n");
}

TEST_F(Recent, FullListDropsLeastRecentlyUsedAndReusesItsSlot) {
    for (uint32_t n = 1; n <= 12; ++n) {
        select(n);
        updateRecentMaps(recent, maps, n);
    }
    // Touch map 1 so that map 2 becomes the least recently used.
    select(1);
    updateRecentMaps(recent, maps, 1);
    select(13);
    updateRecentMaps(recent, maps, 13);

    ASSERT_EQ(recent.list.size(), 12u);
    EXPECT_EQ(asked.back(), std::make_pair(13u, 1));
    EXPECT_EQ(recent.list.back().gmpfile, "m13.gmp");
    EXPECT_EQ(recent.list.back().thumbnailSlot, 1);
    for (const MapDescription& r : recent.list) EXPECT_NE(r.gmpfile, "m2.gmp");
    const std::string text = readFile("recent_maps.txt");
    EXPECT_EQ(text.substr(0, line(3).size()), line(3));
    EXPECT_EQ(text.substr(text.size() - line(13).size()), line(13));

    // Read back, the same list comes out in the same order.
    RecentMaps again;
    again.admit = [](uint32_t, int) { return true; };
    loadRecentMaps(again);
    ASSERT_EQ(again.list.size(), 12u);
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(again.list[i].gmpfile, recent.list[i].gmpfile);
}

TEST_F(Recent, RefusedMapLeavesListButFileIsRewritten) {
    writeFile("recent_maps.txt", "junk without bars\r\n");
    admitAll = false;
    select(1);
    updateRecentMaps(recent, maps, 1);
    EXPECT_TRUE(recent.list.empty());
    EXPECT_TRUE(fs::exists("recent_maps.txt"));
    EXPECT_EQ(readFile("recent_maps.txt"), "");
}

TEST_F(Recent, ProgramAdmitsMapsWhoseThumbnailWasSaved) {
    EXPECT_EQ(thumbnailPathFor(0xABC), "data/minimaps/00000ABC.jpg");
    RecentMaps real;
    select(1);
    updateRecentMaps(real, maps, 0xABC);
    EXPECT_TRUE(real.list.empty());

    fs::create_directories("data/minimaps");
    writeFile("data/minimaps/00000ABC.jpg", "jpeg");
    updateRecentMaps(real, maps, 0xABC);
    ASSERT_EQ(real.list.size(), 1u);
    EXPECT_EQ(readFile("recent_maps.txt"), "00000ABC|m1.gmp|s.sty|m.scr|m.mis|Map 1|\r\n");
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
}

TEST(SettingsFiles, LinesThatAreNoSettings) {
    WorkFolder folder;
    Settings settings;
    settings.gamePath = "kept";
    writeFile("a.cfg", "vant_path=\r\nvant_path\r\nvant_path=\n=value\r\n");
    readSettingsFile(settings, "a.cfg");
    EXPECT_EQ(settings.gamePath, "kept");

    // A line longer than the buffer comes in pieces; a piece holding '='
    // counts as a line of its own.
    writeFile("b.cfg", std::string(1023, 'x') + "vant_path=/long/VANT.exe\r\n");
    readSettingsFile(settings, "b.cfg");
    EXPECT_EQ(settings.gamePath, "/long/VANT.exe");
    writeFile("c.cfg", std::string(1022, 'x') + "vant_path=/cut/VANT.exe\r\n");
    readSettingsFile(settings, "c.cfg");
    EXPECT_EQ(settings.gamePath, "/long/VANT.exe");
}

TEST(DataFileLookup, CandidatesInTheGamesDataFolder) {
    EXPECT_EQ(dataFileCandidate("maps\\level.gmp", "D:\\Games\\VANT\\VANT.exe"), "D:/Games/VANT/data/level.gmp");
    EXPECT_EQ(dataFileCandidate("a/b/level.sty", "VANT"), "VANTdata/level.sty");
    EXPECT_EQ(dataFileCandidate("level.sty", "/games/vant/"), "/games/vant/data/level.sty");
}

TEST(DataFileLookup, ReplacesOnlyMissingPathsFoundInData) {
    WorkFolder folder;
    fs::create_directories("game/data");
    writeFile("game/data/level.gmp", "found");
    writeFile("game/data/here.sty", "data copy");
    writeFile("here.sty", "own copy");
    const std::string game = "game/VANT.exe";

    std::string missing = "maps\\level.gmp";
    findDataFile(missing, game);
    EXPECT_EQ(missing, "game/data/level.gmp");

    std::string present = "here.sty";
    findDataFile(present, game);
    EXPECT_EQ(present, "here.sty");

    std::string nowhere = "maps/none.scr";
    findDataFile(nowhere, "", game);
    EXPECT_EQ(nowhere, "maps/none.scr");

    std::string viaGameFolder = "x/level.gmp";
    findDataFile(viaGameFolder, "", game);
    EXPECT_EQ(viaGameFolder, "game/data/level.gmp");

    std::string empty;
    findDataFile(empty, "game/");
    EXPECT_EQ(empty, "");
}

TEST(ScriptStep, AnnouncesOnlyAScriptSource) {
    Runtime rt;
    MapList maps;
    runScriptStep(rt, maps);
    appendMap(maps, entry("No script", "a.gmp", "a.sty"));
    runScriptStep(rt, maps);
    EXPECT_EQ(rt.progress.count(), 0);

    maps.entries[0].scriptSource = "missions/absent.mis";
    runScriptStep(rt, maps);
    EXPECT_EQ(rt.progress.lines(), (std::vector<std::string>{"Parsing script file... \"missions/absent.mis\""}));
    EXPECT_FALSE(parseMissionScript("missions/absent.mis", 1));
}

}  // namespace
