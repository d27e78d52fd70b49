// What a windowed run keeps besides the level: the view cameras, the key
// states, the load flags, the settings, the thumbnail grid and the recent
// maps. Made once in main (or by a test) and handed by reference.
#pragma once

#include <array>
#include <cstdint>

#include "config/settings.h"
#include "maplist/map_list.h"
#include "maplist/recent_maps.h"

namespace vant {

// One view position: where it is, how it is turned, two flags.
struct Camera {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float rx = 0.0f, ry = 0.0f, rz = 0.0f;
    uint8_t flag1 = 0;
    uint8_t flag2 = 0;
};

struct AppState {
    std::array<Camera, 2> cameras{};
    int currentCamera = 0;

    // Two tables of 256 key states (held, and pressed since last looked at).
    std::array<bool, 256> keyDown{};
    std::array<bool, 256> keyPressed{};

    bool applicationReady = false;  // end of the windowed initialisation
    bool mapLoaded = false;         // after the first load, successful or not
    bool levelRead = false;         // the last load read both its style and its map
    bool detailCentring = true;     // thumbnail sets the view's start position

    Settings settings;
    ThumbnailGrid thumbnails;
    RecentMaps recent;

    AppState() { resetCameras(); }

    Camera& camera() { return cameras[static_cast<size_t>(currentCamera)]; }

    // Camera 0 above the map's centre, camera 1 high above it; camera 0 current.
    void resetCameras() {
        cameras[0] = Camera{128.0f, 128.0f, 30.0f, 0.0f, 0.0f, 0.0f, 0, 0};
        cameras[1] = Camera{127.5f, 127.5f, 370.0f, 0.0f, 0.0f, 0.0f, 0, 0};
        currentCamera = 0;
    }

    void clearKeyStates() {
        keyDown.fill(false);
        keyPressed.fill(false);
    }
};

}  // namespace vant
