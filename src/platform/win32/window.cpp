// The window and its OpenGL context, on Win32 and WGL.
#include "platform/window.h"

#include <windows.h>

namespace vant::platform {

namespace {
constexpr const char* ClassName = "OpenGL";
constexpr int IconResource = 110;  // not in the program: the system's icon
constexpr int MenuResource = 106;

HWND hwnd(void* w) { return static_cast<HWND>(w); }
}  // namespace

// Nothing to start: the window class is registered with the window.
bool startVideo() { return true; }

std::pair<int, int> screenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

// Window and context live until the process ends; a full-screen mode stays.
Window::~Window() = default;

bool Window::findDisplayMode(int width, int height, int bits) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = DWORD(width);
    mode.dmPelsHeight = DWORD(height);
    mode.dmBitsPerPel = DWORD(bits);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    haveMode_ = ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
    modeWidth_ = width;
    modeHeight_ = height;
    return haveMode_;
}

WindowFailure Window::create(const std::string& title, int width, int height, int bits, bool fullscreen) {
    fullscreen_ = fullscreen;
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IconResource));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(MenuResource);
    windowClass.lpszClassName = ClassName;
    if (!RegisterClassA(&windowClass)) return WindowFailure::Register;

    DWORD exStyle = WS_EX_APPWINDOW, style = WS_POPUP;
    if (fullscreen_) {
        ShowCursor(FALSE);
    } else {
        exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        style = WS_OVERLAPPEDWINDOW;
    }
    style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    const int outerWidth = outer.right - outer.left, outerHeight = outer.bottom - outer.top;
    const int left = GetSystemMetrics(SM_CXSCREEN) / 2 - outerWidth / 2;
    const int top = GetSystemMetrics(SM_CYSCREEN) / 2 - outerHeight / 2;
    window_ = CreateWindowExA(exStyle, ClassName, title.c_str(), style, left, top, outerWidth, outerHeight, nullptr,
                              nullptr, instance, nullptr);
    if (!window_) return WindowFailure::Creation;

    const HDC dc = GetDC(hwnd(window_));
    if (!dc) return WindowFailure::DeviceContext;
    device_ = dc;
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof format;  // 40
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = BYTE(bits);
    format.cDepthBits = 24;
    format.iLayerType = PFD_MAIN_PLANE;
    const int chosen = ChoosePixelFormat(dc, &format);
    if (!chosen) return WindowFailure::PixelFormat;
    if (!SetPixelFormat(dc, chosen, &format)) return WindowFailure::SetPixelFormat;
    const HGLRC context = wglCreateContext(dc);
    if (!context) return WindowFailure::RenderingContext;
    if (!wglMakeCurrent(dc, context)) return WindowFailure::ActivateContext;
    context_ = context;
    return WindowFailure::None;
}

void Window::showMaximised() {
    ShowWindow(hwnd(window_), SW_SHOWMAXIMIZED);
    SetForegroundWindow(hwnd(window_));
    SetFocus(hwnd(window_));
}

void Window::show() {
    ShowWindow(hwnd(window_), SW_SHOW);
    SetForegroundWindow(hwnd(window_));
    SetFocus(hwnd(window_));
}

void Window::setTitle(const std::string& title) {
    if (window_) SetWindowTextA(hwnd(window_), title.c_str());
}

std::string Window::title() const {
    if (!window_) return std::string();
    char text[512] = {};
    GetWindowTextA(hwnd(window_), text, int(sizeof text));
    return text;
}

bool Window::pointer(int& x, int& y) const {
    POINT p{};
    if (!window_ || !GetCursorPos(&p) || WindowFromPoint(p) != hwnd(window_)) return false;
    if (!ScreenToClient(hwnd(window_), &p)) return false;
    x = p.x;
    y = p.y;
    return true;
}

std::pair<int, int> Window::drawableSize() const {
    RECT client{};
    if (!window_ || !GetClientRect(hwnd(window_), &client)) return {0, 0};
    return {client.right - client.left, client.bottom - client.top};
}

void Window::swapBuffers() {
    if (!device_) return;
    SwapBuffers(static_cast<HDC>(device_));
    // The program has no message loop; what the system sent meanwhile is
    // handled here so the window stays responsive while the level loads.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void Window::present() {
    if (device_) SwapBuffers(static_cast<HDC>(device_));
}

// No copy of part of the back buffer here: the caller presents whole frames.
bool Window::copyToWindow(int, int, int, int) { return false; }

}  // namespace vant::platform
