// Keyboard, mouse and window events for an interactive window, on Win32:
// the thread's message queue read directly, the window procedure being the
// system's own.
#include "platform/input.h"

#include <windows.h>

namespace vant::platform {

namespace {

Key keyOf(WPARAM k) {
    switch (k) {
    case VK_ESCAPE: return Key::Escape;
    case VK_LEFT: case VK_NUMPAD4: return Key::Left;
    case VK_RIGHT: case VK_NUMPAD6: return Key::Right;
    case VK_UP: case VK_NUMPAD8: return Key::Up;
    case VK_DOWN: case VK_NUMPAD2: return Key::Down;
    // '+' is shifted '=' on most keyboards: both zoom in.
    case VK_OEM_PLUS: case VK_ADD: return Key::Plus;
    case VK_OEM_MINUS: case VK_SUBTRACT: return Key::Minus;
    case VK_HOME: case VK_NUMPAD7: return Key::Home;
    case 'Z': return Key::Z;
    case 'L': return Key::L;
    default: return Key::Other;
    }
}

int lowWord(LPARAM v) { return int(short(LOWORD(v))); }
int highWord(LPARAM v) { return int(short(HIWORD(v))); }

// What the message means to the view; the system still gets every message
// (painting, moving, closing, the keys it handles itself).
InputEvent translate(const MSG& m) {
    InputEvent out;
    switch (m.message) {
    case WM_QUIT: out.kind = InputEvent::Quit; break;
    case WM_PAINT: out.kind = InputEvent::Redraw; break;
    case WM_KEYDOWN:
    case WM_KEYUP:
        out.kind = m.message == WM_KEYDOWN ? InputEvent::KeyDown : InputEvent::KeyUp;
        out.key = keyOf(m.wParam);
        break;
    case WM_LBUTTONDOWN: case WM_MBUTTONDOWN: case WM_RBUTTONDOWN:
    case WM_LBUTTONUP: case WM_MBUTTONUP: case WM_RBUTTONUP: {
        const bool down = m.message == WM_LBUTTONDOWN || m.message == WM_MBUTTONDOWN || m.message == WM_RBUTTONDOWN;
        out.kind = down ? InputEvent::ButtonDown : InputEvent::ButtonUp;
        out.button = m.message == WM_LBUTTONDOWN || m.message == WM_LBUTTONUP     ? 1
                     : m.message == WM_MBUTTONDOWN || m.message == WM_MBUTTONUP ? 2
                                                                                 : 3;
        out.x = lowWord(m.lParam);
        out.y = highWord(m.lParam);
        // A drag goes on when the pointer leaves the window.
        if (down) SetCapture(m.hwnd);
        else ReleaseCapture();
        break;
    }
    case WM_MOUSEMOVE: {
        out.kind = InputEvent::Motion;
        out.x = lowWord(m.lParam);
        out.y = highWord(m.lParam);
        out.held = (m.wParam & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON)) != 0;
        TRACKMOUSEEVENT leave{};
        leave.cbSize = sizeof leave;
        leave.dwFlags = TME_LEAVE;
        leave.hwndTrack = m.hwnd;
        TrackMouseEvent(&leave);
        break;
    }
    case WM_MOUSELEAVE: out.kind = InputEvent::Leave; break;
    case WM_MOUSEWHEEL: {
        // Notches, positive away from the user; the position comes in
        // screen coordinates.
        out.kind = InputEvent::Wheel;
        out.wheel = GET_WHEEL_DELTA_WPARAM(m.wParam) / WHEEL_DELTA;
        POINT p{lowWord(m.lParam), highWord(m.lParam)};
        ScreenToClient(m.hwnd, &p);
        out.x = p.x;
        out.y = p.y;
        break;
    }
    default: break;
    }
    return out;
}

// Takes one message off the queue and hands it to the system; a window
// that is gone after that (closed from its frame or with Alt+F4) ends the
// view.
bool next(InputEvent& event) {
    MSG m;
    if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) return false;
    event = translate(m);
    if (m.message != WM_QUIT) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
        if (m.hwnd && !IsWindow(m.hwnd)) event.kind = InputEvent::Quit;
    }
    return true;
}

}  // namespace

bool waitInput(InputEvent& event, int timeoutMs) {
    if (next(event)) return true;
    const DWORD wait = timeoutMs < 0 ? INFINITE : DWORD(timeoutMs);
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT) != WAIT_OBJECT_0) return false;
    if (next(event)) return true;
    // Something woke the wait that is not a message for this thread.
    event = InputEvent{};
    return true;
}

bool pollInput(InputEvent& event) { return next(event); }

}  // namespace vant::platform
