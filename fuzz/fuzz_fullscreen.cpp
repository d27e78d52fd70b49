// "fullscreen.txt": the two size lines of a full-screen request.
#include "app/fullscreen_file.h"
#include "fuzz_support.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Runtime rt;
    // The user confirms for even lengths and declines for odd ones.
    const int answer = size % 2 == 0 ? AnswerOk : AnswerCancel;
    fuzz::silence(rt, answer);
    rt.headless = false;

    const std::string path = fuzz::inputFile("fullscreen.txt", data, size);
    WindowRequest request;
    bool askedForScreen = false;
    readFullscreenFile(rt, request, [&] { return askedForScreen = true, std::pair<int, int>{1920, 1080}; }, path);

    // A size is always usable afterwards: read, the screen's, or the defaults.
    FUZZ_CHECK(request.width != 0 && request.height != 0);
    if (askedForScreen) FUZZ_CHECK(size == 0 && request.width == 1920 && request.height == 1080);
    return 0;
}
