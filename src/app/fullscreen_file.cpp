#include "app/fullscreen_file.h"

#include <cstdio>

#include "base/runtime.h"
#include "base/text.h"

namespace vant {

void readFullscreenFile(Runtime& rt, WindowRequest& request, const std::function<std::pair<int, int>()>& screenSize,
                        const std::string& path) {
    if (!fileExists(path)) {
        request.fullscreen = false;
        return;
    }
    request.fullscreen = true;
    std::FILE* file = openFile(path, "rb");
    if (!file) return;

    // One buffer for both reads: a file of one line leaves that line in
    // place for the height as well.
    char line[64] = {0};
    if (!std::fgets(line, sizeof line, file)) {
        const auto [w, h] = screenSize ? screenSize() : std::pair<int, int>{0, 0};
        request.width = w;
        request.height = h;
    } else {
        request.width = leadingInt(line);
        if (!std::fgets(line, sizeof line, file)) {
            // nothing more: the first line stays
        }
        request.height = leadingInt(line);
    }
    std::fclose(file);

    if (request.width != 0 && request.height != 0) {
        const int answer = rt.showMessage(BoxOkCancel, "Notice",
                                          "Setting fullscreen mode at: %dx%d\r\n\r\nDelete \"fullscreen.txt\" to "
                                          "disable fullscreen mode.",
                                          request.width, request.height);
        request.fullscreen = answer == AnswerOk;
    } else {
        request.width = 1024;
        request.height = 768;
        rt.showMessage(BoxOk, "ERROR", "Error while reading width/height from fullscreen.txt file, set to defaults: %dx%d",
                       1024, 768);
    }
}

}  // namespace vant
