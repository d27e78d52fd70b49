#include "view/run_view.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/app.h"
#include "app/app_state.h"
#include "app/load_pipeline.h"
#include "app/window_state.h"
#include "base/os.h"
#include "base/text.h"
#include "formats/map_description.h"
#include "gfx/city_mesh.h"
#include "gfx/city_view.h"
#include "gfx/gl_services.h"
#include "image/interface_pictures.h"
#include "maplist/map_list.h"
#include "minimap/rasterizer.h"
#include "platform/input.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "shell/windowed_shell.h"
#include "view/status_line.h"
#include "view/view_camera.h"

namespace vant::view {

namespace {

using platform::InputEvent;
using platform::Key;

// An error about a file, as the command line reports it.
int fail(const std::string& path, const std::string& what, int status = 1) {
    std::fprintf(stderr, "vantmap: %s: %s\n", path.c_str(), what.c_str());
    return status;
}

class ViewSession {
public:
    ViewSession(App& app, AppState& state, gfx::GlServices& gpu, platform::WindowedShell& shell)
        : app_(app), gpu_(gpu), shell_(shell), view_(shell.state().fontBase) {
        view_.setCacheTexture(gpu.reserveTextureName());
        resize();
        // The thumbnail's detail centre: x is the square, y counts rows up
        // from the map's bottom edge.
        const Camera& c = state.camera();
        camera_.lookAt(c.x + 0.5, MapHeight - c.y + 0.5, ViewCamera::CloseFrom);
    }

    int run();
    int benchmark(int frames);

private:
    bool handle(const InputEvent& e, bool& quit);
    void resize();
    void draw();
    bool pointAt(int x, int y);
    unsigned minimapTexture();
    std::string statusText() const;

    App& app_;
    gfx::GlServices& gpu_;
    platform::WindowedShell& shell_;
    gfx::CityView view_;
    gfx::CityMesh mesh_;
    ViewCamera camera_;

    int topLayer_ = gfx::CityMesh::HighestLayer;
    bool zones_ = false;
    bool dragging_ = false;
    int dragX_ = 0, dragY_ = 0;
    int squareX_ = -1, squareY_ = -1;  // under the pointer; -1 when none
    std::string title_;

    // The minimap without the layers above topLayer_, drawn when asked for.
    unsigned cappedTexture_ = 0;
    int cappedTop_ = -1;
};

void ViewSession::resize() {
    const auto [w, h] = shell_.window().drawableSize();
    camera_.resize(w, h, gfx::CityView::StatusHeight);
}

bool ViewSession::pointAt(int x, int y) {
    int sx = -1, sy = -1;
    if (x < 0 || y < 0 || !camera_.squareAt(x, y, sx, sy)) sx = sy = -1;
    if (sx == squareX_ && sy == squareY_) return false;
    squareX_ = sx;
    squareY_ = sy;
    return true;
}

std::string ViewSession::statusText() const {
    // How the view looks first, so that a cut line still tells it; then
    // the square under the pointer and its column.
    std::string text = formatText("%.3g px per square | layers 0-%d", camera_.scale(), topLayer_);
    if (zones_) text += " | zones";
    if (squareX_ >= 0) text += " | " + describeSquare(app_.level.map, squareX_, squareY_);
    return text;
}

unsigned ViewSession::minimapTexture() {
    if (topLayer_ == gfx::CityMesh::HighestLayer) return gpu_.textureName(gpu_.minimapRecord());
    if (cappedTop_ == topLayer_) return cappedTexture_;
    // Drawn as the load drew the whole minimap, from the same tile atlas
    // (read back from its texture), the layers above left out.
    Level& level = app_.level;
    if (level.reducedAtlas.empty())
        level.reducedAtlas = reduceAtlas(gfx::readTextureRgba(gpu_.textureName(gpu_.tileAtlasRecord()), AtlasSize, AtlasSize));
    MinimapBuilder& builder = app_.builder;
    builder.hiddenLayers = uint8_t(0xFF << (topLayer_ + 1));
    const std::vector<uint8_t> picture = builder.build(level);
    builder.hiddenLayers = 0;
    if (!cappedTexture_) cappedTexture_ = gpu_.reserveTextureName();
    gfx::uploadMinimapPicture(cappedTexture_, picture);
    cappedTop_ = topLayer_;
    return cappedTexture_;
}

void ViewSession::draw() {
    resize();
    gfx::CityFrame frame;
    frame.width = camera_.width();
    frame.height = camera_.height();
    frame.originX = camera_.originX();
    frame.originY = camera_.originY();
    frame.scale = camera_.scale();
    frame.closeView = camera_.scale() > ViewCamera::CloseFrom + 1e-9;
    if (frame.closeView) {
        if (mesh_.topLayer() != topLayer_)
            mesh_.build(app_.level.map, app_.level.paddedTileOrigin, PaddedTileAtlas::side(), topLayer_);
        view_.setTiles(gpu_.textureName(gpu_.paddedTileRecord()), &mesh_);
    } else {
        frame.minimapTexture = minimapTexture();
    }
    if (zones_) frame.zones = &app_.level.map.zones;
    frame.status = statusText();
    // The title mirrors the status line, for whoever cannot see the window.
    const std::string title = shell_.title() + " - " + frame.status;
    if (title != title_) shell_.window().setTitle(title_ = title);
    view_.draw(frame);
    shell_.window().present();
}

bool ViewSession::handle(const InputEvent& e, bool& quit) {
    constexpr double PanStep = 64;  // pixels per arrow key press
    switch (e.kind) {
    case InputEvent::Quit: quit = true; return false;
    case InputEvent::Redraw: return true;
    case InputEvent::Leave: return pointAt(-1, -1);
    case InputEvent::KeyUp:
        // Esc ends the view when it is let go: a key still held when a
        // window opens is reported to it as pressed.
        if (e.key == Key::Escape) quit = true;
        return false;
    case InputEvent::KeyDown:
        switch (e.key) {
        case Key::Escape: return false;
        case Key::Left: camera_.pan(PanStep, 0); break;
        case Key::Right: camera_.pan(-PanStep, 0); break;
        case Key::Up: camera_.pan(0, PanStep); break;
        case Key::Down: camera_.pan(0, -PanStep); break;
        case Key::Plus: camera_.zoomAtCentre(1); break;
        case Key::Minus: camera_.zoomAtCentre(-1); break;
        case Key::Home: camera_.home(); break;
        case Key::Z: zones_ = !zones_; return true;
        case Key::L: topLayer_ = topLayer_ > 0 ? topLayer_ - 1 : gfx::CityMesh::HighestLayer; return true;
        case Key::Other: return false;
        }
        // The picture moved under a pointer that did not.
        squareX_ = squareY_ = -2;
        return true;
    case InputEvent::ButtonDown:
        dragging_ = true;
        dragX_ = e.x;
        dragY_ = e.y;
        return false;
    case InputEvent::ButtonUp: dragging_ = false; return false;
    case InputEvent::Motion:
        // A button let go where the window could not see it (hidden, or
        // covered by a box) ends the drag too.
        if (!e.held) dragging_ = false;
        if (dragging_ && (e.x != dragX_ || e.y != dragY_)) {
            camera_.pan(e.x - dragX_, e.y - dragY_);
            dragX_ = e.x;
            dragY_ = e.y;
            pointAt(e.x, e.y);
            return true;
        }
        return pointAt(e.x, e.y);
    case InputEvent::Wheel:
        // About the pointer pixel's centre, which names the square under it.
        camera_.zoom(e.wheel, e.x + 0.5, e.y + 0.5);
        pointAt(e.x, e.y);
        return true;
    case InputEvent::None: return false;
    }
    return false;
}

int ViewSession::run() {
    draw();
    for (bool quit = false;;) {
        InputEvent e;
        // A long wait costs nothing; the timeout only guards against a
        // broken event queue spinning.
        if (!platform::waitInput(e, 1000)) continue;
        bool dirty = handle(e, quit);
        while (!quit && platform::pollInput(e)) dirty = handle(e, quit) || dirty;
        if (quit) return 0;
        if (squareX_ == -2) {
            // Keys moved the picture: the pointer is over another square now.
            squareX_ = squareY_ = -1;
            int x = 0, y = 0;
            if (shell_.window().pointer(x, y)) pointAt(x, y);
        }
        if (dirty) draw();
    }
}

int ViewSession::benchmark(int frames) {
    // Back and forth across the middle of the map, a few pixels a frame: the
    // minimap picture at 8 pixels per square for comparison, then the close
    // view at 16.
    for (const double scale : {8.0, 16.0}) {
        resize();
        camera_.lookAt(MapWidth / 2.0, MapHeight / 2.0, scale);
        auto start = std::chrono::steady_clock::now();
        draw();
        gfx::finishDrawing();
        const double first = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < frames; ++i) {
            const int leg = (i / 100) % 2 ? -1 : 1;
            camera_.pan(-5.0 * leg, -3.0 * leg);
            draw();
        }
        gfx::finishDrawing();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("view at %g px per square, %dx%d: first frame %.1f ms; %d frames panning %.3f s, %.1f frames per "
                    "second\n",
                    scale, camera_.width(), camera_.height(), first * 1000, frames, seconds,
                    seconds > 0 ? frames / seconds : 0.0);
    }
    return 0;
}

}  // namespace

int runView(const ViewRequest& request) {
    namespace fs = std::filesystem;
    if (request.level.empty()) return fail("view", "no level given", 2);
    const bool separateFiles = !request.style.empty();
    if (!separateFiles && fileExtension(request.level, true) == "gmp")
        return fail(request.level, "a map needs its style: add --style FILE.sty", 2);
    // Paths are the caller's; the program then works from its own folder.
    std::error_code ec;
    const std::string level = fs::absolute(request.level, ec).string();
    const std::string style = separateFiles ? fs::absolute(request.style, ec).string() : std::string();
    if (const std::string why = cannotOpenReason(level); !why.empty()) return fail(request.level, why);
    if (separateFiles)
        if (const std::string why = cannotOpenReason(style); !why.empty()) return fail(request.style, why);

    auto app = std::make_unique<App>();
    Runtime& rt = app->rt;
    rt.timer.start();
    rt.startTime = rt.timer.now();
    const std::string folder = programFolder();
    if (!folder.empty() && !os::enterFolder(folder))
        return fail(folder, "cannot enter the program folder");
    rt.responder = request.responder ? request.responder : MessageResponder(platform::showMessageBox);
    rt.problemListener = request.problems;

    auto state = std::make_unique<AppState>();
    WindowState window;
    gfx::GlServices gpu;
    platform::WindowedShell shell(rt, app->level, app->maps, *state, window, gpu);
    shell.maximise = false;
    shell.window().keepQuitRequests(true);  // closed while loading: ends once loaded
    shell.hooks.prepareMapState = [&] { prepareMapState(rt, *state, [&gpu] { return gpu.reserveTextureName(); }); };
    shell.hooks.buildMapList = [&] { buildMapList(rt, app->maps, state->settings.gamePath); };

    platform::startVideo();
    int width = window.width, height = window.height;
    bool fullscreen = false;
    if (request.fullscreen) {
        const auto [w, h] = platform::screenSize();
        if (w > 0 && h > 0 && shell.window().findDisplayMode(w, h, 32)) {
            width = w;
            height = h;
            fullscreen = true;
        }
    }
    if (!shell.createWindowAndContext(rt.windowTitle, width, height, 32, fullscreen))
        return fail(request.level, "cannot open a window to show it in");

    if (separateFiles) {
        MapDescription description;
        description.gmpfile = level;
        description.styfile = style;
        finishMapDescription(description);
        openDescribedMap(*app, *state, gpu, std::move(description));
    } else {
        openMapDescription(*app, *state, gpu, level);
    }
    // Declining to load an unrecognised description leaves nothing to show,
    // and so does a style or map that could not be read (the boxes said why).
    if (app->maps.entries.empty() || !state->levelRead) return fail(request.level, "not loaded");

    ViewSession session(*app, *state, gpu, shell);
    return request.benchmarkFrames > 0 ? session.benchmark(request.benchmarkFrames) : session.run();
}

}  // namespace vant::view
