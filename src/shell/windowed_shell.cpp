#include "shell/windowed_shell.h"

#include <cmath>
#include <cstdlib>

#include "base/runtime.h"
#include "base/text.h"
#include "formats/level.h"
#include "gfx/gl_services.h"
#include "gfx/progress_view.h"
#include "gfx/render_state.h"
#include "maplist/map_list.h"
#include "platform/bitmap_font.h"
#include "platform/window.h"

namespace vant::platform {

WindowedShell::WindowedShell(Runtime& rt, Level& level, MapList& maps, AppState& app, WindowState& state,
                             gfx::GlServices& gpu)
    : rt_(rt), level_(level), maps_(maps), app_(app), state_(state), gpu_(gpu), window_(std::make_unique<Window>()) {}

WindowedShell::~WindowedShell() {
    // The view must not draw through a window that is going away.
    rt_.progress.onChange = nullptr;
}

void WindowedShell::readFullscreenFile(const std::string& path) {
    WindowRequest request{state_.width, state_.height, state_.fullscreen};
    vant::readFullscreenFile(rt_, request, [] { return screenSize(); }, path);
    state_.width = request.width;
    state_.height = request.height;
    state_.fullscreen = request.fullscreen;
}

bool WindowedShell::fail(int boxType, const char* text) {
    rt_.showMessage(boxType, "ERROR", "%s", text);
    return false;
}

bool WindowedShell::createWindowAndContext(const std::string& title, int width, int height, int bits,
                                           bool fullscreen) {
    state_.fullscreen = fullscreen;
    state_.width = width;
    state_.height = height;
    title_ = title;
    if (!rt_.headless) {
        if (!startVideo()) return fail(BoxExclamation, "Failed To Register The Window Class.");

        if (state_.fullscreen && !window_->findDisplayMode(width, height, bits)) {
            const int answer = rt_.showMessage(BoxYesNo, "ERROR",
                                               "The Requested Fullscreen Mode Is Not Supported By Your Video "
                                               "Card.\r\nUse Windowed Mode Instead?");
            if (answer != AnswerYes) return fail(BoxStop, "Program Will Now Close.");
            state_.fullscreen = false;
        }

        switch (window_->create(title, width, height, bits, state_.fullscreen)) {
        case WindowFailure::None: break;
        case WindowFailure::Register: return fail(BoxExclamation, "Failed To Register The Window Class.");
        case WindowFailure::Creation: return fail(BoxExclamation, "Window Creation Error.");
        case WindowFailure::DeviceContext: return fail(BoxExclamation, "Can't Create A GL Device Context.");
        case WindowFailure::PixelFormat: return fail(BoxExclamation, "Can't Find A Suitable PixelFormat.");
        case WindowFailure::SetPixelFormat: return fail(BoxExclamation, "Can't Set The PixelFormat.");
        case WindowFailure::RenderingContext: return fail(BoxExclamation, "Can't Create A GL Rendering Context.");
        case WindowFailure::ActivateContext: return fail(BoxExclamation, "Can't Activate The GL Rendering Context.");
        }
        if (maximise) window_->showMaximised();
        else window_->show();
    }
    if (!initialiseApplication()) return fail(BoxExclamation, "Program terminated.");
    return true;
}

bool WindowedShell::initialiseApplication() {
    const float now = rt_.timer.now();
    std::srand(static_cast<unsigned>(static_cast<long long>((now - std::trunc(now)) * 2000000000.0)));

    // The checksum table and the rasterizer's tables are built by their
    // owners when they are made; what a previous run left is cleared here.
    level_.tileOrigin.fill(TileOrigin{});
    level_.paddedTileOrigin.fill(TileOrigin{});
    maps_.clear();
    if (!rt_.headless) gfx::clearScreenOnce();
    if (rt_.headless) return true;

    state_.fontBase = buildBitmapFont("Verdana", 12);
    // From here on the stored progress lines are drawn as they change.
    view_ = std::make_unique<gfx::ProgressView>(
        gpu_, state_.fontBase, [this] { return window_->drawableSize(); }, [this] { window_->swapBuffers(); });
    view_->setRegionCopy([this](int x, int y, int w, int h) { return window_->copyToWindow(x, y, w, h); });
    rt_.progress.onChange = [this](const ProgressScreen& screen) { view_->draw(screen); };

    if (hooks.prepareMapState) hooks.prepareMapState();
    app_.clearKeyStates();
    app_.resetCameras();
    gfx::setRenderingState();
    if (hooks.buildMapList) hooks.buildMapList();

    title_ = formatText("%s (%s)", title_.c_str(), WindowState::Version);
    window_->setTitle(title_);

    app_.applicationReady = true;
    rt_.progress.clear();
    return true;
}

}  // namespace vant::platform
