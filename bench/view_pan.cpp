// Frame rate of the city view: loads a level as `vantmap view` does (answer
// its notice box), then pans a close-up at 16 pixels per square and prints
// the frames per second.   vant_view_bench LEVEL.mmp [FRAMES]
#include <cstdio>
#include <algorithm>
#include <cstdlib>

#include "view/run_view.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LEVEL.mmp [FRAMES]\n", argv[0]);
        return 2;
    }
    vant::view::ViewRequest request;
    request.level = argv[1];
    request.benchmarkFrames = argc > 2 ? std::max(0, std::atoi(argv[2])) : 600;  // 0: just the view
    return vant::view::runView(request);
}
