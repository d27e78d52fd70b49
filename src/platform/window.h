// The one window of the windowed program with its OpenGL context: on SDL
// (window.cpp) or on Win32 (win32/window.cpp). Nothing of either shows
// through this header.
#pragma once

#include <string>
#include <utility>

namespace vant::platform {

// Starts the video side once; false when there is no display to talk to.
bool startVideo();

// Width and height of the primary screen's current mode; (0, 0) when unknown.
std::pair<int, int> screenSize();

// Why creating the window and its context failed, step by step.
enum class WindowFailure {
    None,
    Register,          // no video system
    Creation,          // the window itself
    DeviceContext,     // its device context (Win32)
    PixelFormat,       // no framebuffer configuration fits
    SetPixelFormat,    // the chosen one cannot be set (Win32)
    RenderingContext,  // the OpenGL context
    ActivateContext,   // making it current
};

class Window {
public:
    Window() = default;
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // True when the display offers width x height (any refresh rate); the
    // window then opens full screen in that mode.
    bool findDisplayMode(int width, int height, int bits);

    // Creates the window centred on the primary screen (client size as
    // asked) with a double-buffered compatibility context of the given
    // colour bits and 24 depth bits, and makes the context current.
    WindowFailure create(const std::string& title, int width, int height, int bits, bool fullscreen);

    // Shows it maximised, raised and with the keyboard focus.
    void showMaximised();
    // Shows it at its size, raised and with the keyboard focus.
    void show();

    void setTitle(const std::string& title);
    std::string title() const;
    bool isOpen() const { return context_ != nullptr; }
    bool fullscreen() const { return fullscreen_; }

    // Where the mouse pointer is over the window; false when it is elsewhere.
    bool pointer(int& x, int& y) const;
    // Size of the drawable area in pixels.
    std::pair<int, int> drawableSize() const;
    // Presents the back buffer and lets the system handle pending events.
    void swapBuffers();
    // Shows a rectangle of the back buffer (origin bottom left) in the window
    // (all of it when the window was uncovered meanwhile) and lets the system
    // handle pending events; unlike a swap this leaves the back buffer as it
    // was. False when the system has no such copy.
    bool copyToWindow(int x, int y, int w, int h);
    // Presents the back buffer, leaving pending events for whoever reads them.
    void present();
    // Whether a request to close the window that comes while nobody reads
    // input (a load) is kept for the event loop instead of being drained
    // with the rest.
    void keepQuitRequests(bool keep) { keepQuit_ = keep; }

private:
    void drainEvents();

    void* window_ = nullptr;   // SDL_Window, HWND
    void* context_ = nullptr;  // SDL_GLContext, HGLRC
#ifdef _WIN32
    void* device_ = nullptr;  // HDC
#endif
    bool fullscreen_ = false;
    bool haveMode_ = false;
    bool keepQuit_ = false;
    int hasRegionCopy_ = -1;  // unknown until first asked
    void* regionCopy_ = nullptr;
    int modeWidth_ = 0, modeHeight_ = 0, modeFormat_ = 0, modeRate_ = 0;
};

}  // namespace vant::platform
