// The windowed load of one level: open a map description, make it the
// current map-list entry and run the load phases (interface images, style,
// map, minimap, script, thumbnail, recent maps) with their progress lines,
// then append a record to "loading.log".
//
// All graphics-card work goes through GpuServices. In headless mode there is
// no rendering context: the phases still load and draw, but nothing is
// uploaded, no thumbnail is read back or saved and the recent maps are not
// touched.
#pragma once

#include <ctime>
#include <string>

#include "app/app.h"
#include "app/app_state.h"
#include "gfx/gpu_services.h"

namespace vant {

// A graphics card that does nothing; for runs without a rendering context.
class NoGpuServices : public GpuServices {
public:
    void uploadStyle(Runtime&, Level&) override {}
    bool readRgb(UnzeroedVector<uint8_t>&) override { return false; }
    void loadInterfaceImages(Runtime&) override {}
    void restartTextures() override {}
    void buildLoadingBackground(Runtime&, const Level&) override {}
    void reserveMinimapTexture() override {}
    void uploadMinimap(Runtime&, const std::vector<uint8_t>&) override {}
    void usePaddedTileTexture() override {}
};

// The windowed start's map state, in its order: settings, thumbnail grid
// (one texture name per slot), recent maps sized to the grid.
void prepareMapState(Runtime& rt, AppState& state, const TextureNameSource& nextTextureName);

// The command line's single token: parse, register and load it.
void openMapDescription(App& app, AppState& state, GpuServices& gpu, const std::string& path);

// The rest of it, for a description however it was made: the game-folder
// lookup (or its notice), the map-list entry made current, the load.
void openDescribedMap(App& app, AppState& state, GpuServices& gpu, MapDescription description);

// Timed load of the current map-list entry, with its "loading.log" record.
void loadCurrentMap(App& app, AppState& state, GpuServices& gpu, bool centre);

// The load's phases; false only when the map list is empty.
bool runLoadPhases(App& app, AppState& state, GpuServices& gpu);

// With a game folder, seeks the description's missing files in its data
// folder; without one, says that it cannot.
void lookUpDataFiles(Runtime& rt, MapDescription& description, const std::string& gameFolder);

// "loading.log" and its record.
inline constexpr const char* LoadLogFile = "loading.log";
std::string formatLogDate(std::time_t seconds, int milliseconds);
std::string formatLoadRecord(const std::string& date, const MapList& maps, double seconds);

}  // namespace vant
