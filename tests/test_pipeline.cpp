// The windowed load from a map description to "Launching editor...", with a
// recording graphics card: progress lines, thumbnail, recent maps, load log.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstdio>

#include "app/load_pipeline.h"
#include "app/text.h"
#include "formats/level_writer.h"
#include "minimap/output.h"
#include "work_folder.h"

namespace fs = std::filesystem;
using namespace vant;
using vant::test::readFile;
using vant::test::WorkFolder;
using vant::test::writeFile;

namespace {

const char* const kNotice =
    "NOTICE|VANT Path is not set!\r\nCannot seek missing files from VANT/data folder.\r\nGo to: 'Options -> VANT -> "
    "Path' to set it";
const char* const kQuestion = "ERROR|Could not recognize MMP file format, try to load anyways?";

// Records what the load asks of the card and keeps the minimap it is given.
class RecordingGpu : public GpuServices {
public:
    std::vector<std::string> calls;
    std::vector<uint8_t> minimap;

    void uploadStyle(Runtime&, Level& level) override {
        calls.push_back(level.tileAtlas.empty() ? "uploadStyle(no atlas)" : "uploadStyle");
    }
    bool readRgb(std::vector<uint8_t>& rgb) override {
        calls.push_back("readRgb");
        if (minimap.size() != MinimapBytes) return false;
        rgb.resize(size_t(MinimapSize) * MinimapSize * 3);
        for (size_t i = 0, o = 0; i < minimap.size(); i += 4, o += 3) {
            rgb[o] = minimap[i];
            rgb[o + 1] = minimap[i + 1];
            rgb[o + 2] = minimap[i + 2];
        }
        return true;
    }
    void loadInterfaceImages(Runtime& rt) override {
        calls.push_back("loadInterfaceImages");
        rt.addProgressLine("Loading images...");
    }
    void restartTextures() override { calls.push_back("restartTextures"); }
    void buildLoadingBackground(Runtime&, const Level&) override { calls.push_back("buildLoadingBackground"); }
    void reserveMinimapTexture() override { calls.push_back("reserveMinimapTexture"); }
    void uploadMinimap(Runtime&, const std::vector<uint8_t>& rgba) override {
        calls.push_back("uploadMinimap");
        minimap = rgba;
    }
    void usePaddedTileTexture() override { calls.push_back("usePaddedTileTexture"); }
};

// True when text has a digit wherever the pattern has '0' and the
// pattern's own character everywhere else.
bool digitsLike(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '0' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
}

// Checks one "loading.log" record at the front of text and removes it.
::testing::AssertionResult takeLogRecord(std::string& text, const std::string& files) {
    const size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos) return ::testing::AssertionFailure() << "no record end in: " << text;
    const std::string record = text.substr(0, end + 4);
    text.erase(0, end + 4);

    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0, ms = 0, used = 0;
    if (std::sscanf(record.c_str(), "Date: %d.%d.%d - %2d:%2d:%2d [%4d]%n", &day, &month, &year, &hour, &minute,
                    &second, &ms, &used) != 7 ||
        day < 1 || day > 31 || month < 1 || month > 12 || year < 2000 || record.compare(used, 2, "\r\n") != 0 ||
        !digitsLike(record.substr(size_t(used) - 15, 15), "00:00:00 [0000]"))
        return ::testing::AssertionFailure() << "bad date line: " << record;
    const std::string rest = record.substr(size_t(used) + 2);
    const std::string files_line = "Loading map files: " + files + ".\r\nTime taken: ";
    if (rest.compare(0, files_line.size(), files_line) != 0)
        return ::testing::AssertionFailure() << "bad files line: " << rest;
    const std::string seconds = rest.substr(files_line.size());
    const size_t dot = seconds.find('.');
    if (dot == 0 || dot == std::string::npos || seconds.find_first_not_of("0123456789") != dot ||
        !digitsLike(seconds.substr(dot), ".000000 seconds.\r\n\r\n"))
        return ::testing::AssertionFailure() << "bad time line: " << seconds;
    return ::testing::AssertionSuccess();
}

class Pipeline : public ::testing::Test {
protected:
    Pipeline() {
        app.rt.responder = [this](int, const std::string& caption, const std::string& text) {
            boxes.push_back(caption + "|" + text);
            return answer;
        };
        state.applicationReady = true;
        fs::create_directories("data/minimaps");
        fs::create_directories("maps");
    }

    // A small level: tile 1 is a red and white pattern, used as lids over
    // one corner of the map, so the thumbnail has detail to centre on.
    void writeLevel(const std::string& folder, const std::string& name) {
        fs::create_directories(folder);
        StyleWriter style;
        style.setVirtualPalette(1, 0);
        style.setColour(0, 1, {200, 20, 20});
        style.setColour(0, 2, {250, 250, 250});
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) style.setPixel(1, x, y, uint8_t((x / 8 + y / 8) % 2 ? 1 : 2));
        style.addToGroup(1, 0);
        ASSERT_TRUE(saveBytes(folder + "/" + name + ".sty", style.bytes()));

        MapWriter map;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x)
                if ((x + y) % 3) map.at(x, y, 0).lid = 1;
        map.addZone({1, 2, 2, 4, 4, "Zone"});
        ASSERT_TRUE(saveBytes(folder + "/" + name + ".gmp", map.bytes()));
    }
    void writeDescription(const std::string& path, const std::string& name, bool withScript) {
        std::vector<MmpEntry> entries = {{"GMPFile", name + ".gmp"},
                                         {"STYFile", name + ".sty"},
                                         {"Description", "Test City - 2"},
                                         {"PlayerCount", "2"}};
        if (withScript) entries.push_back({"SCRFile", name + ".scr"});
        writeFile(path, mapDescriptionText(entries));
    }
    std::string thumbnail() const { return thumbnailPathFor(app.level.checksum.value()); }

    WorkFolder folder;
    App app;
    AppState state;
    RecordingGpu gpu;
    std::vector<std::string> boxes;
    int answer = AnswerOk;
};

TEST_F(Pipeline, FullLoadLeavesItsLinesThumbnailRecentMapAndLogRecord) {
    writeLevel("maps", "level");
    writeFile("maps/level.mis", "script");
    writeDescription("maps/level.mmp", "level", true);

    openMapDescription(app, state, gpu, "maps/level.mmp");

    EXPECT_EQ(app.rt.progress.lines(), (std::vector<std::string>{
                                           "Initializing...",
                                           "Loading STY file: maps/level.sty",
                                           "Generating tilemaps...",
                                           "Loading GMP file: maps/level.gmp",
                                           "Building minimap....... Sending to GPU...",
                                           "Parsing script file... \"maps/level.mis\"",
                                           "Saving minimap...",
                                           "Building map.",
                                           "Building 2d map.......",
                                           "Launching editor...",
                                       }));
    EXPECT_EQ(gpu.calls, (std::vector<std::string>{"loadInterfaceImages", "restartTextures", "uploadStyle",
                                                   "buildLoadingBackground", "reserveMinimapTexture",
                                                   "uploadMinimap", "readRgb", "usePaddedTileTexture"}));
    EXPECT_EQ(boxes, (std::vector<std::string>{kNotice}));

    ASSERT_EQ(app.maps.size(), 1);
    EXPECT_EQ(app.maps.currentMap, 0);
    EXPECT_EQ(app.maps.currentStyle, 0);
    EXPECT_TRUE(state.mapLoaded);
    EXPECT_TRUE(state.detailCentring);
    EXPECT_TRUE(app.minimap.empty());
    EXPECT_TRUE(app.level.tileAtlas.empty());
    EXPECT_EQ(app.level.map.zones.size(), 1u);

    // The thumbnail is named after the checksum and is a JPEG.
    ASSERT_NE(app.level.checksum.value(), 0u);
    const std::string jpeg = readFile(thumbnail());
    ASSERT_GE(jpeg.size(), 2u);
    EXPECT_EQ(uint8_t(jpeg[0]), 0xFF);
    EXPECT_EQ(uint8_t(jpeg[1]), 0xD8);

    // The view starts at the thumbnail's detail centre.
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(gpu.readRgb(rgb));
    const std::vector<uint8_t> small = boxFilter(rgb.data(), 3, 256);
    const std::array<float, 3> centre = detailCentre(small.data(), 256);
    EXPECT_FLOAT_EQ(state.camera().x, centre[0]);
    EXPECT_FLOAT_EQ(state.camera().y, centre[1]);
    EXPECT_NE(state.camera().x, 128.0f);

    EXPECT_EQ(readFile("recent_maps.txt"),
              formatText("%08X|maps/level.gmp|maps/level.sty|maps/level.scr|maps/level.mis|Test City|\r\n",
                         app.level.checksum.value()));

    std::string log = readFile(LoadLogFile);
    EXPECT_TRUE(takeLogRecord(log, "\"level.gmp\", \"level.sty\", \"level.mis\""));
    EXPECT_EQ(log, "");
}

TEST_F(Pipeline, OpeningTheSameMapAgainReusesItsEntry) {
    writeLevel("maps", "level");
    writeDescription("maps/level.mmp", "level", false);
    openMapDescription(app, state, gpu, "maps/level.mmp");
    const std::string firstRecent = readFile("recent_maps.txt");
    const uint32_t checksum = app.level.checksum.value();

    // The same map described from another folder, name in other letter case.
    fs::create_directories("copy");
    writeFile("copy/LEVEL.mmp", mapDescriptionText({{"gmpfile", "../maps/level.gmp"},
                                                   {"styfile", "../maps/LEVEL.STY"},
                                                   {"description", "TEST CITY"}}));
    openMapDescription(app, state, gpu, "copy/LEVEL.mmp");

    EXPECT_EQ(app.maps.size(), 1);
    EXPECT_EQ(app.level.checksum.value(), checksum);
    EXPECT_EQ(boxes.size(), 2u);  // the notice, once per load
    EXPECT_EQ(readFile("recent_maps.txt"), firstRecent);

    std::string log = readFile(LoadLogFile);
    EXPECT_TRUE(takeLogRecord(log, "\"level.gmp\", \"level.sty\", \"\""));
    EXPECT_TRUE(takeLogRecord(log, "\"level.gmp\", \"level.sty\", \"\""));
    EXPECT_EQ(log, "");
    // Progress lines start afresh with every load.
    EXPECT_EQ(app.rt.progress.line(0), "Initializing...");
    EXPECT_EQ(app.rt.progress.count(), 9);
}

TEST_F(Pipeline, SecondMapJoinsTheRecentMapsAfterTheFirst) {
    writeLevel("maps", "one");
    writeDescription("maps/one.mmp", "one", false);
    openMapDescription(app, state, gpu, "maps/one.mmp");
    const uint32_t first = app.level.checksum.value();

    writeLevel("maps", "two");
    writeFile("maps/two.mmp", mapDescriptionText({{"gmpfile", "two.gmp"}, {"styfile", "two.sty"}}));
    openMapDescription(app, state, gpu, "maps/two.mmp");
    const uint32_t second = app.level.checksum.value();

    EXPECT_EQ(app.maps.size(), 2);
    EXPECT_EQ(app.maps.currentMap, 1);
    EXPECT_EQ(readFile("recent_maps.txt"),
              formatText("%08X|maps/one.gmp|maps/one.sty|||Test City|\r\n"
                         "%08X|maps/two.gmp|maps/two.sty|||two.mmp|\r\n",
                         first, second));
    EXPECT_EQ(state.recent.list.back().thumbnailSlot, 1);
}

TEST_F(Pipeline, UnrecognisedDescriptionAnsweredNoChangesNothing) {
    writeLevel("maps", "level");
    writeFile("maps/odd.mmp", "; not a header\r\n" + mapDescriptionText({{"gmpfile", "level.gmp"},
                                                                          {"styfile", "level.sty"}}));
    writeFile("recent_maps.txt", "keep me\r\n");
    state.keyDown[65] = true;
    answer = AnswerNo;

    openMapDescription(app, state, gpu, "maps/odd.mmp");
    EXPECT_EQ(boxes, (std::vector<std::string>{kQuestion}));
    EXPECT_FALSE(state.keyDown[65]);
    EXPECT_EQ(app.maps.size(), 0);
    EXPECT_TRUE(gpu.calls.empty());
    EXPECT_FALSE(state.mapLoaded);
    EXPECT_FALSE(fs::exists(LoadLogFile));
    EXPECT_EQ(readFile("recent_maps.txt"), "keep me\r\n");
    EXPECT_TRUE(fs::is_empty("data/minimaps"));

    answer = AnswerYes;
    openMapDescription(app, state, gpu, "maps/odd.mmp");
    // The parser stopped before any path, so the loaders report the files.
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[2], kNotice);
    EXPECT_EQ(boxes[3], "ERROR| file was not found: \"\"");
    ASSERT_EQ(app.maps.size(), 1);
    EXPECT_EQ(app.maps.entries[0].gmpfile, "");
    EXPECT_EQ(app.maps.entries[0].descriptionFile, "maps/odd.mmp");
    EXPECT_TRUE(fs::exists(LoadLogFile));
    EXPECT_EQ(app.rt.progress.lines().back(), "Launching editor...");
}

TEST_F(Pipeline, KnownGameFolderFindsMissingFilesAndSkipsTheNotice) {
    writeLevel("game/data", "level");
    writeDescription("maps/level.mmp", "level", false);
    state.settings.gamePath = "game/VANT.exe";

    openMapDescription(app, state, gpu, "maps/level.mmp");
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(app.maps.size(), 1);
    EXPECT_EQ(app.maps.entries[0].gmpfile, "game/data/level.gmp");
    EXPECT_EQ(app.maps.entries[0].styfile, "game/data/level.sty");
    EXPECT_EQ(app.rt.progress.line(1), "Loading STY file: game/data/level.sty");
    EXPECT_TRUE(fs::exists(thumbnail()));
}

TEST_F(Pipeline, HeadlessRunHasNoContextAndTouchesNoOutputs) {
    writeLevel("maps", "level");
    writeDescription("maps/level.mmp", "level", false);
    writeFile("recent_maps.txt", "keep me\r\n");
    app.rt.headless = true;

    openMapDescription(app, state, gpu, "-saveminimap");
    openMapDescription(app, state, gpu, "maps/level.mmp");

    EXPECT_TRUE(gpu.calls.empty());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(app.rt.progress.count(), 0);
    EXPECT_EQ(app.maps.size(), 2);
    EXPECT_TRUE(state.mapLoaded);
    EXPECT_TRUE(app.minimap.empty());
    EXPECT_TRUE(fs::is_empty("data/minimaps"));
    EXPECT_EQ(readFile("recent_maps.txt"), "keep me\r\n");
    // Headless loads read no zones.
    EXPECT_TRUE(app.level.map.zones.empty());
}

TEST_F(Pipeline, EmptyMapListLoadsNothing) {
    EXPECT_FALSE(runLoadPhases(app, state, gpu));
    loadCurrentMap(app, state, gpu, false);
    EXPECT_FALSE(fs::exists(LoadLogFile));
    EXPECT_TRUE(state.mapLoaded);
    EXPECT_TRUE(state.detailCentring);
    EXPECT_EQ(gpu.calls, (std::vector<std::string>{"loadInterfaceImages"}));
    EXPECT_EQ(app.rt.progress.lines(), (std::vector<std::string>{"Loading images..."}));
}

TEST_F(Pipeline, CentringCanBeDeclinedAfterTheFirstLoad) {
    writeLevel("maps", "level");
    MapDescription d;
    ASSERT_TRUE(parseMapDescription(d, "maps/level.mmp"));
    d.gmpfile = "maps/level.gmp";
    d.styfile = "maps/level.sty";
    appendMap(app.maps, d);

    loadCurrentMap(app, state, gpu, false);  // the first load centres anyway
    EXPECT_NE(state.camera().x, 128.0f);

    state.resetCameras();
    loadCurrentMap(app, state, gpu, false);
    EXPECT_FLOAT_EQ(state.camera().x, 128.0f);
    EXPECT_FLOAT_EQ(state.camera().y, 128.0f);
    EXPECT_TRUE(state.detailCentring);

    loadCurrentMap(app, state, gpu, true);
    EXPECT_NE(state.camera().x, 128.0f);
}

TEST_F(Pipeline, MissingThumbnailFolderIsReportedAndLoadGoesOn) {
    writeLevel("maps", "level");
    writeDescription("maps/level.mmp", "level", false);
    fs::remove_all("data");
    openMapDescription(app, state, gpu, "maps/level.mmp");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], "ERROR|Cannot open directory \"data/minimaps/\" for reading.");
    EXPECT_EQ(app.rt.progress.lines().back(), "Launching editor...");
    // Without a thumbnail the map is not remembered.
    EXPECT_EQ(readFile("recent_maps.txt"), "");
}

TEST(LoadLog, DateWithoutLeadingZerosForDayAndMonth) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 5;
    t.tm_hour = 6;
    t.tm_min = 2;
    t.tm_sec = 29;
    EXPECT_EQ(formatLogDate(timegm(&t), 123), "5.12.2026 - 06:02:29 [0123]");

    MapList maps;
    MapDescription d;
    d.gmpfile = "C:\\maps\\city.gmp";
    d.styfile = "styles/city.sty";
    appendMap(maps, d);
    EXPECT_EQ(formatLoadRecord("D", maps, 1.5),
              "Date: D\r\nLoading map files: \"city.gmp\", \"city.sty\", \"\".\r\nTime taken: 1.500000 seconds.\r\n\r\n");
}

TEST(ProgressLines, HundredLinesAtMostAndDotsRewriteTheirLine) {
    Runtime rt;
    rt.addProgressLine("%s", std::string(150, 'x').c_str());
    EXPECT_EQ(rt.progress.line(0).size(), 99u);

    rt.setProgressDots("Working", 0);
    rt.addProgressLine("later");
    rt.setProgressDots("Working", 3);
    EXPECT_EQ(rt.progress.lines(), (std::vector<std::string>{std::string(99, 'x'), "Working..."}));

    rt.setProgressDots("Held", 0);
    for (int i = 0; i < 120; ++i) rt.addProgressLine("line %d", i);
    EXPECT_EQ(rt.progress.count(), 100);
    EXPECT_EQ(rt.progress.line(99), "line 96");
    rt.setProgressDots("Held", 2);
    EXPECT_EQ(rt.progress.count(), 3);
    EXPECT_EQ(rt.progress.line(2), "Held..");

    // With the screen full, a new remembered line has nowhere to go.
    rt.progress.clear();
    for (int i = 0; i < 100; ++i) rt.addProgressLine("f");
    rt.setProgressDots("Late", 0);
    rt.setProgressDots("Late", 1);
    EXPECT_EQ(rt.progress.count(), 100);
    EXPECT_EQ(rt.progress.line(99), "f");

    Runtime quiet;
    quiet.headless = true;
    quiet.addProgressLine("x");
    quiet.setProgressDots("y", 0);
    EXPECT_EQ(quiet.progress.count(), 0);
}

}  // namespace
