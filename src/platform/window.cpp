#include "platform/window.h"

#include <SDL.h>

#include <cstring>

#include "base/os.h"
#include "platform/glx_region_copy.h"
#include "platform/message_box.h"

namespace vant::platform {

namespace {
SDL_Window* sdl(void* w) { return static_cast<SDL_Window*>(w); }
}  // namespace

bool startVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // A window needs a display: never fall back to drawing off screen.
    if (!SDL_getenv("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

std::pair<int, int> screenSize() {
    if (!startVideo()) return {0, 0};
    SDL_DisplayMode mode;
    if (SDL_GetCurrentDisplayMode(0, &mode) != 0) return {0, 0};
    return {mode.w, mode.h};
}

Window::~Window() {
    if (context_) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    if (window_) SDL_DestroyWindow(sdl(window_));
}

bool Window::findDisplayMode(int width, int height, int bits) {
    haveMode_ = false;
    if (!startVideo()) return false;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
        if (mode.w != width || mode.h != height) continue;
        // The colour depth asked for is a wish: modes of at least 24 bits
        // all give 8 bits per channel.
        if (bits > 0 && int(SDL_BITSPERPIXEL(mode.format)) < 24 && int(SDL_BITSPERPIXEL(mode.format)) < bits) continue;
        haveMode_ = true;
        modeWidth_ = mode.w;
        modeHeight_ = mode.h;
        modeFormat_ = int(mode.format);
        modeRate_ = mode.refresh_rate;
        return true;
    }
    return false;
}

WindowFailure Window::create(const std::string& title, int width, int height, int bits, bool fullscreen) {
    os::explainCrashesUnderMemoryLimit(programName());
    if (!startVideo()) return WindowFailure::Register;
    fullscreen_ = fullscreen && haveMode_;

    const int channel = bits >= 24 ? 8 : 5;
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, bits >= 24 ? 8 : 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);

    const auto [screenW, screenH] = screenSize();
    const int left = fullscreen_ ? 0 : screenW / 2 - width / 2;
    const int top = fullscreen_ ? 0 : screenH / 2 - height / 2;
    Uint32 flags = SDL_WINDOW_HIDDEN | (fullscreen_ ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_RESIZABLE);

    SDL_Window* window = SDL_CreateWindow(title.c_str(), left, top, width, height, flags | SDL_WINDOW_OPENGL);
    if (!window) {
        // Tell a window that cannot be made from a framebuffer that does not fit.
        SDL_Window* plain = SDL_CreateWindow(title.c_str(), left, top, width, height, flags);
        if (!plain) return WindowFailure::Creation;
        SDL_DestroyWindow(plain);
        return WindowFailure::PixelFormat;
    }
    window_ = window;
    if (const char* driver = SDL_GetCurrentVideoDriver(); driver && std::strcmp(driver, "x11") == 0)
        endWhenDisplayLost();
    if (fullscreen_) {
        SDL_DisplayMode mode{Uint32(modeFormat_), modeWidth_, modeHeight_, modeRate_, nullptr};
        SDL_SetWindowDisplayMode(window, &mode);
        SDL_ShowCursor(SDL_DISABLE);
    } else {
        SDL_ShowCursor(SDL_ENABLE);
    }

    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) return WindowFailure::RenderingContext;
    context_ = context;
    if (SDL_GL_MakeCurrent(window, context) != 0) return WindowFailure::ActivateContext;
    return WindowFailure::None;
}

void Window::showMaximised() {
    if (!window_) return;
    SDL_ShowWindow(sdl(window_));
    if (!fullscreen_) SDL_MaximizeWindow(sdl(window_));
    SDL_RaiseWindow(sdl(window_));
    SDL_PumpEvents();
}

void Window::show() {
    if (!window_) return;
    SDL_ShowWindow(sdl(window_));
    SDL_RaiseWindow(sdl(window_));
    SDL_PumpEvents();
}

void Window::setTitle(const std::string& title) {
    if (window_) SDL_SetWindowTitle(sdl(window_), title.c_str());
}

std::string Window::title() const { return window_ ? SDL_GetWindowTitle(sdl(window_)) : std::string(); }

bool Window::pointer(int& x, int& y) const {
    if (!window_ || SDL_GetMouseFocus() != sdl(window_)) return false;
    SDL_GetMouseState(&x, &y);
    return true;
}

std::pair<int, int> Window::drawableSize() const {
    int w = 0, h = 0;
    if (window_) SDL_GL_GetDrawableSize(sdl(window_), &w, &h);
    return {w, h};
}

void Window::swapBuffers() {
    if (!window_) return;
    SDL_GL_SwapWindow(sdl(window_));
    // Nobody reads input yet; draining the queue keeps the window answering.
    SDL_PumpEvents();
    drainEvents();
}

void Window::drainEvents() {
    if (keepQuit_) {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_QUIT - 1);
        SDL_FlushEvents(SDL_QUIT + 1, SDL_LASTEVENT);
    } else {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

bool Window::copyToWindow(int x, int y, int w, int h) {
    if (!window_ || !context_) return false;
    if (hasRegionCopy_ < 0) {
        const char* driver = SDL_GetCurrentVideoDriver();
        regionCopy_ = driver && std::strcmp(driver, "x11") == 0 ? findRegionCopy() : nullptr;
        hasRegionCopy_ = regionCopy_ != nullptr;
    }
    if (!regionCopy_) return false;
    // A window uncovered since the last copy shows the whole back buffer
    // again, which always holds the whole frame.
    SDL_PumpEvents();
    SDL_Event events[16];
    const int n = SDL_PeepEvents(events, 16, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
    bool exposed = false;
    for (int i = 0; i < n; ++i) exposed = exposed || events[i].window.event == SDL_WINDOWEVENT_EXPOSED;
    if (exposed) {
        const auto [width, height] = drawableSize();
        copyRegion(regionCopy_, 0, 0, width, height);
    } else {
        copyRegion(regionCopy_, x, y, w, h);
    }
    drainEvents();
    return true;
}

void Window::present() {
    if (window_) SDL_GL_SwapWindow(sdl(window_));
}

}  // namespace vant::platform
