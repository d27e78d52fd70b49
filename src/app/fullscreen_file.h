// "fullscreen.txt": its presence asks for a full-screen display mode; its
// first two lines give the width and the height.
#pragma once

#include <functional>
#include <string>
#include <utility>

namespace vant {

class Runtime;

struct WindowRequest {
    int width = 1024;
    int height = 768;
    bool fullscreen = false;
};

// Reads the file (asking the user to confirm, or reporting a bad size) into
// the request. screenSize is asked only when the file is empty.
void readFullscreenFile(Runtime& rt, WindowRequest& request, const std::function<std::pair<int, int>()>& screenSize,
                        const std::string& path = "fullscreen.txt");

}  // namespace vant
