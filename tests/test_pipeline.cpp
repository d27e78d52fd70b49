// The windowed load from a map description to "Launching editor...", with a
// recording graphics card: progress lines, calls, thumbnail centre. The files
// it leaves are checked on the real binary (WindowedLoad.*).
#include <gtest/gtest.h>

#include "app/load_pipeline.h"
#include "base/text.h"
#include "formats/level_writer.h"
#include "minimap/output.h"
#include "run_binary.h"

namespace fs = std::filesystem;
using namespace vant;
using vant::test::readFile;
using vant::test::writeFile;
using Lines = std::vector<std::string>;

namespace {

// Records what the load asks of the card and keeps the minimap it is given.
class RecordingGpu : public GpuServices {
public:
    Lines calls;
    std::vector<uint8_t> minimap;

    void uploadStyle(Runtime&, Level& level) override {
        calls.push_back(level.tileAtlas.empty() ? "uploadStyle(no atlas)" : "uploadStyle");
    }
    bool readRgb(UnzeroedVector<uint8_t>& rgb) override {
        calls.push_back("readRgb");
        rgb.clear();
        for (size_t i = 0; i < minimap.size(); ++i)
            if (i % 4 != 3) rgb.push_back(minimap[i]);
        return minimap.size() == MinimapBytes;
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

    // Tile 1, a red and white pattern, as lids over two thirds of one corner,
    // so the thumbnail has detail to centre on; and its description.
    void writeLevel(const std::string& folder, const std::string& script = "") {
        fs::create_directories(folder);
        StyleWriter style;
        style.setVirtualPalette(1, 0);
        style.setColour(0, 1, {200, 20, 20});
        style.setColour(0, 2, {250, 250, 250});
        for (int i = 0; i < 64 * 64; ++i) style.setPixel(1, i % 64, i / 64, uint8_t((i % 64 / 8 + i / 512) % 2 + 1));
        ASSERT_TRUE(saveBytes(folder + "/level.sty", style.bytes()));
        MapWriter map;
        for (int i = 0; i < 60 * 40; ++i) map.at(i % 60, i / 60, 0).lid = (i % 60 + i / 60) % 3 ? 1 : 0;
        map.addZone({1, 2, 2, 4, 4, "Zone"});
        ASSERT_TRUE(saveBytes(folder + "/level.gmp", map.bytes()));
        std::vector<MmpEntry> entries = {{"GMPFile", "level.gmp"}, {"STYFile", "level.sty"}, {"Description", "City"}};
        if (!script.empty()) entries.push_back({"SCRFile", script});
        writeFile("maps/level.mmp", mapDescriptionText(entries));
    }

    vant::test::WorkFolder folder;
    App app;
    AppState state;
    RecordingGpu gpu;
    Lines boxes;
    int answer = AnswerOk;
};

TEST_F(Pipeline, LoadLeavesLinesCallsAndThumbnailCentre) {
    writeLevel("maps", "level.scr");
    writeFile("maps/level.mis", "script");
    openMapDescription(app, state, gpu, "maps/level.mmp");

    EXPECT_EQ(app.rt.progress.lines(),
              (Lines{"Initializing...", "Loading STY file: maps/level.sty", "Generating tilemaps...",
                     "Loading GMP file: maps/level.gmp", "Building minimap....... Sending to GPU...",
                     "Parsing script file... \"maps/level.mis\"", "Saving minimap...", "Building map.",
                     "Building 2d map.......", "Launching editor..."}));
    EXPECT_EQ(gpu.calls, (Lines{"loadInterfaceImages", "restartTextures", "uploadStyle", "buildLoadingBackground",
                                "reserveMinimapTexture", "uploadMinimap", "readRgb", "usePaddedTileTexture"}));
    EXPECT_EQ(boxes, (Lines{"NOTICE|VANT Path is not set!\r\nCannot seek missing files from VANT/data folder.\r\n"
                            "Go to: 'Options -> VANT -> Path' to set it"}));
    EXPECT_TRUE(state.mapLoaded && state.detailCentring && app.minimap.empty() && app.level.tileAtlas.empty());
    EXPECT_EQ(app.level.map.zones.size(), 1u);
    EXPECT_TRUE(fs::exists(thumbnailPathFor(app.level.checksum.value())));
    // The detail sits in the top left corner, well away from the middle.
    const std::array<float, 3> centre = detailCentre(boxFilter(gpu.minimap.data(), 4, 256).data(), 256);
    EXPECT_EQ(std::make_pair(state.camera().x, state.camera().y), std::make_pair(centre[0], centre[1]));
    EXPECT_LT(state.camera().x, 64.0f);
}

TEST_F(Pipeline, UnrecognisedDescriptionAnsweredNoChangesNothing) {
    writeLevel("maps");
    writeFile("maps/odd.mmp", "; not a header\r\n" + readFile("maps/level.mmp"));
    state.keyDown[65] = true;
    answer = AnswerNo;
    openMapDescription(app, state, gpu, "maps/odd.mmp");
    EXPECT_EQ(boxes, (Lines{"ERROR|Could not recognize MMP file format, try to load anyways?"}));
    EXPECT_FALSE(state.keyDown[65] || state.mapLoaded || fs::exists(LoadLogFile) || app.maps.size());
    EXPECT_TRUE(gpu.calls.empty());
}

TEST_F(Pipeline, KnownGameFolderFindsMissingFilesAndSkipsTheNotice) {
    writeLevel("game/data");
    state.settings.gamePath = "game/VANT.exe";
    // Without the thumbnail folder: reported, the load goes on, the map is not remembered.
    fs::remove_all("data");
    openMapDescription(app, state, gpu, "maps/level.mmp");
    EXPECT_EQ(boxes, (Lines{"ERROR|Cannot open directory \"data/minimaps/\" for reading."}));
    EXPECT_EQ(app.rt.progress.line(1), "Loading STY file: game/data/level.sty");
    EXPECT_EQ(app.rt.progress.lines().back(), "Launching editor...");
    EXPECT_EQ(readFile("recent_maps.txt"), "");
}

TEST_F(Pipeline, HeadlessRunHasNoContextAndTouchesNoOutputs) {
    writeLevel("maps");
    writeFile("recent_maps.txt", "keep me\r\n");
    app.rt.headless = true;
    openMapDescription(app, state, gpu, "maps/level.mmp");
    EXPECT_TRUE(gpu.calls.empty() && fs::is_empty("data/minimaps") && state.mapLoaded);
    EXPECT_EQ(readFile("recent_maps.txt"), "keep me\r\n");
}

TEST(LoadLogAndProgressLines, DatesWithoutLeadingZerosAndLinesCapped) {
    const std::time_t seconds = 1796450549;  // 2026-12-05 06:02:29 UTC
    EXPECT_EQ(formatLogDate(seconds, 123), "5.12.2026 - 06:02:29 [0123]");

    // Progress lines: a hundred of 99 bytes at most; dots rewrite their line.
    Runtime rt;
    rt.addProgressLine("%s", std::string(150, 'x').c_str());
    rt.setProgressDots("Held", 0);
    for (int i = 0; i < 120; ++i) rt.addProgressLine("line %d", i);
    EXPECT_EQ(rt.progress.count(), 100);
    EXPECT_EQ(rt.progress.line(99), "line 97");
    rt.setProgressDots("Held", 2);
    EXPECT_EQ(rt.progress.lines(), (Lines{std::string(99, 'x'), "Held.."}));
}

}  // namespace
