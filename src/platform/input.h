// Keyboard, mouse and window events for an interactive window, on SDL.
// Nothing of SDL shows through this header.
#pragma once

namespace vant::platform {

enum class Key { Other, Escape, Left, Right, Up, Down, Plus, Minus, Home, Z, L };

struct InputEvent {
    enum Kind { None, Quit, Redraw, KeyDown, KeyUp, ButtonDown, ButtonUp, Motion, Wheel, Leave };
    Kind kind = None;
    Key key = Key::Other;
    int x = 0, y = 0;  // pointer position in window pixels (Motion, buttons, Wheel)
    int button = 0;    // 1 left, 2 middle, 3 right
    bool held = false; // Motion: some button is down
    int wheel = 0;     // notches, positive away from the user
};

// Waits for the next event, at most timeoutMs milliseconds (negative: no
// limit); false when none came. Events other programs do not care about
// (focus, text input...) come as None.
bool waitInput(InputEvent& event, int timeoutMs);
// The next pending event without waiting; false when there is none.
bool pollInput(InputEvent& event);

}  // namespace vant::platform
