// The windowed start: "fullscreen.txt", the window with its OpenGL context,
// and the application's initialisation in its fixed order. The parts other
// modules own (settings, thumbnail grid, recent maps, map list) are reached
// through hooks that main wires up.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/fullscreen_file.h"
#include "app/app_state.h"
#include "app/window_state.h"

namespace vant {
class Runtime;
struct Level;
struct MapList;
}  // namespace vant

namespace vant::gfx {
class GlServices;
class ProgressView;
}  // namespace vant::gfx

namespace vant::platform {

class Window;

struct InitialisationHooks {
    // Settings files, thumbnail grid (one texture name per slot) and recent
    // maps, in that order.
    std::function<void()> prepareMapState;
    std::function<void()> buildMapList;  // writes "Building map list..."
};

class WindowedShell {
public:
    WindowedShell(Runtime& rt, Level& level, MapList& maps, AppState& app, WindowState& state, gfx::GlServices& gpu);
    ~WindowedShell();

    InitialisationHooks hooks;
    // The window opens maximised, as the editor's does; a viewer may keep
    // the size it asked for.
    bool maximise = true;

    // The fullscreen file step (windowed runs only): fills state's size and
    // full-screen flag.
    void readFullscreenFile(const std::string& path = "fullscreen.txt");

    // Window, context and initialisation; false (after its message) when the
    // window or the context cannot be made. In headless mode only the
    // mode-independent start runs.
    bool createWindowAndContext(const std::string& title, int width, int height, int bits, bool fullscreen);

    bool initialiseApplication();

    Window& window() { return *window_; }
    WindowState& state() { return state_; }
    // The title given at creation followed by the version, once initialised.
    const std::string& title() const { return title_; }

private:
    bool fail(int boxType, const char* text);

    Runtime& rt_;
    Level& level_;
    MapList& maps_;
    AppState& app_;
    WindowState& state_;
    gfx::GlServices& gpu_;
    std::unique_ptr<Window> window_;
    std::unique_ptr<gfx::ProgressView> view_;
    std::string title_;
};

}  // namespace vant::platform
