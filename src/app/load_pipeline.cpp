#include "app/load_pipeline.h"

#include <chrono>

#include "base/os.h"
#include "base/text.h"
#include "formats/data_file.h"
#include "formats/map.h"
#include "formats/map_description.h"
#include "formats/style.h"
#include "maplist/map_list.h"
#include "maplist/recent_maps.h"
#include "minimap/output.h"
#include "minimap/rasterizer.h"
#include "script/mission_script.h"

namespace vant {

namespace {

constexpr uint16_t NoSurfaceGroup = 0xFFFF;

// In headless mode there is no rendering context to talk to.
bool hasContext(const Runtime& rt) { return !rt.headless; }

std::string nowForLog() {
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    return formatLogDate(static_cast<std::time_t>(ms / 1000), static_cast<int>(ms % 1000));
}

// Makes a fresh start of everything the previous load left behind.
void clearLevel(Level& level) {
    level.releaseTileAtlas();
    level.map.clear();
    level.map.clearExtras();
    level.sprites.clear();
    level.spriteAtlas.clear();
    level.spriteAtlas.shrink_to_fit();
    level.surfaceGroup.fill(NoSurfaceGroup);
}

void buildAndUploadMinimap(App& app, GpuServices& gpu, bool withGpu) {
    Runtime& rt = app.rt;
    if (withGpu) gpu.reserveMinimapTexture();
    buildMinimap(rt, app.level, app.builder, app.minimap);
    if (withGpu) {
        // Same line, now saying where the picture goes. A full screen may
        // have dropped the line; then another one must not be replaced.
        const ProgressScreen& screen = rt.progress;
        if (screen.count() > 0 && screen.line(screen.count() - 1).rfind("Building minimap", 0) == 0) {
            rt.removeProgressLine();
            rt.addProgressLine("Building minimap%s Sending to GPU...", std::string(MapDepth - 1, '.').c_str());
        }
        gpu.uploadMinimap(rt, app.minimap);
    }
    // The card holds the picture now; without a card nobody wants it.
    app.minimap.clear();
    app.minimap.shrink_to_fit();
}

}  // namespace

void prepareMapState(Runtime& rt, AppState& state, const TextureNameSource& nextTextureName) {
    loadSettings(state.settings);
    setupThumbnailGrid(rt, state.thumbnails, nextTextureName);
    state.recent.capacity = state.thumbnails.slotCount;
    loadRecentMaps(state.recent);
}

void lookUpDataFiles(Runtime& rt, MapDescription& description, const std::string& gameFolder) {
    if (gameFolder.empty()) {
        rt.showMessage(BoxOk, "NOTICE",
                       "VANT Path is not set!\r\nCannot seek missing files from VANT/data folder.\r\nGo to: "
                       "'Options -> VANT -> Path' to set it");
        return;
    }
    findDataFile(description.gmpfile, gameFolder, gameFolder);
    findDataFile(description.styfile, gameFolder, gameFolder);
    findDataFile(description.scrfile, gameFolder, gameFolder);
    findDataFile(description.scriptSource, gameFolder, gameFolder);
}

void openMapDescription(App& app, AppState& state, GpuServices& gpu, const std::string& path) {
    Runtime& rt = app.rt;
    MapDescription description;
    if (!parseMapDescription(description, path)) {
        const int answer = rt.showMessage(BoxYesNo, "ERROR", "Could not recognize MMP file format, try to load anyways?");
        state.clearKeyStates();
        if (answer != AnswerYes) return;
    }
    openDescribedMap(app, state, gpu, std::move(description));
}

void openDescribedMap(App& app, AppState& state, GpuServices& gpu, MapDescription description) {
    lookUpDataFiles(app.rt, description, state.settings.gamePath);

    int index = findMapInList(app.maps, description);
    if (index < 0) {
        appendMap(app.maps, description);
        index = app.maps.size() - 1;
    }
    app.maps.currentMap = app.maps.currentStyle = index;
    loadCurrentMap(app, state, gpu, true);
}

void loadCurrentMap(App& app, AppState& state, GpuServices& gpu, bool centre) {
    Runtime& rt = app.rt;
    const float t0 = rt.timer.now();
    rt.progress.clear();
    if (hasContext(rt)) gpu.loadInterfaceImages(rt);
    state.detailCentring = state.mapLoaded ? centre : true;

    if (runLoadPhases(app, state, gpu)) {
        const std::string date = nowForLog();
        const float elapsed = rt.timer.now() - t0;
        appendTextFile(LoadLogFile, formatLoadRecord(date, app.maps, elapsed / 1000.0), "ab");
    }
    state.detailCentring = true;
    state.mapLoaded = true;
}

bool runLoadPhases(App& app, AppState& state, GpuServices& gpu) {
    Runtime& rt = app.rt;
    MapList& maps = app.maps;
    Level& level = app.level;
    if (maps.entries.empty()) return false;
    const bool withGpu = hasContext(rt);

    if (state.applicationReady) rt.progress.clear();
    rt.addProgressLine("Initializing...");

    clearLevel(level);
    if (withGpu) gpu.restartTextures();
    level.checksum.reset();

    const bool styleRead = loadStyle(rt, level, maps, maps.currentStyle, std::string(), withGpu ? &gpu : nullptr);
    const bool mapRead = loadMap(rt, level, maps, maps.currentMap, std::string());
    if (mapRead && withGpu) gpu.buildLoadingBackground(rt, level);
    state.levelRead = styleRead && mapRead;  // the load goes on either way

    buildAndUploadMinimap(app, gpu, withGpu);
    runScriptStep(rt, maps);

    const uint32_t checksum = level.checksum.value();
    rt.addProgressLine("Saving minimap...");
    if (withGpu) {
        SaveMinimapOptions options;
        options.texture = &gpu;
        options.detailCentring = state.detailCentring;
        options.storeCentre = [&state](float x, float y) {
            state.camera().x = x;
            state.camera().y = y;
        };
        saveMinimap(rt, app.minimap, ThumbnailSettings::Format, 3, thumbnailPathFor(checksum), true, false,
                    options);
    }

    rt.setProgressDots("Building map", 0);
    level.releaseTileAtlas();
    if (withGpu) gpu.usePaddedTileTexture();
    rt.setProgressDots("Building map", 1);

    rt.setProgressDots("Building 2d map", 0);
    for (int i = 1; i < MapDepth; ++i) rt.setProgressDots("Building 2d map", i);

    // A run without a window never remembers maps: it would rewrite the
    // file from a list it never read.
    if (!rt.headless) updateRecentMaps(state.recent, maps, checksum);

    state.mapLoaded = true;
    rt.addProgressLine("Launching editor...");
    return true;
}

std::string formatLogDate(std::time_t seconds, int milliseconds) {
    const std::tm utc = os::utcTime(seconds);
    return formatText("%d.%d.%d - %02d:%02d:%02d [%04d]", utc.tm_mday, utc.tm_mon + 1, utc.tm_year + 1900,
                      utc.tm_hour, utc.tm_min, utc.tm_sec, milliseconds);
}

std::string formatLoadRecord(const std::string& date, const MapList& maps, double seconds) {
    const std::string gmp = maps.valid(maps.currentMap) ? fileNameOf(maps.currentEntry().gmpfile, true) : "";
    const std::string sty = maps.valid(maps.currentStyle) ? fileNameOf(maps.styleEntry().styfile, true) : "";
    const std::string mis = maps.valid(maps.currentMap) ? fileNameOf(maps.currentEntry().scriptSource, true) : "";
    return formatText("Date: %s\r\nLoading map files: \"%s\", \"%s\", \"%s\".\r\nTime taken: %f seconds.\r\n\r\n",
                      date.c_str(), gmp.c_str(), sty.c_str(), mis.c_str(), seconds);
}

}  // namespace vant
