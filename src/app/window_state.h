// What the window side keeps for the whole windowed run besides the window
// itself: the size asked for, the full-screen flag and the bitmap font.
#pragma once

namespace vant {

struct WindowState {
    static constexpr const char* Version = "0.5.32";

    int width = 1024;
    int height = 768;
    bool fullscreen = false;
    unsigned fontBase = 0;  // first of 224 display lists (characters 32..255)
};

}  // namespace vant
