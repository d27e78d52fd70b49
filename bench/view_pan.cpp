// Frame rate of the city view: loads a level as `vantmap view` does (its
// boxes answered OK without showing), then pans the minimap picture at 8
// pixels per square and a close-up at 16 and prints the frames per second.
//   vant_view_bench LEVEL.mmp [FRAMES]     (FRAMES 0: just the view)
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "view/run_view.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LEVEL.mmp [FRAMES]\n", argv[0]);
        return 2;
    }
    vant::view::ViewRequest request;
    request.level = argv[1];
    request.benchmarkFrames = argc > 2 ? std::max(0, std::atoi(argv[2])) : 600;
    request.responder = [](int, const std::string&, const std::string&) { return vant::AnswerOk; };
    return vant::view::runView(request);
}
