// One whole headless job, in process, with each phase timed by the run
// timer: where the time of a minimap run goes.
// Usage: vant_phases STYLE MAP OUT [SIDE]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app.h"
#include "app/large_pages.h"
#include "app/command_line.h"
#include "app/text.h"
#include "formats/map.h"
#include "formats/style.h"
#include "image/image_writer.h"
#include "minimap/output.h"
#include "minimap/rasterizer.h"

using namespace vant;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s STYLE MAP OUT [SIDE]\n", argv[0]);
        return 2;
    }
    preferLargePages();
    static App app;
    Runtime& rt = app.rt;
    rt.headless = true;
    const int side = argc > 4 ? clampedMinimapSide(argv[4]) : 2048;
    const std::string out = argv[3];

    float t = rt.timer.now();
    auto lap = [&](const char* name) {
        const float now = rt.timer.now();
        std::printf("  %-22s %8.2f ms\n", name, double(now - t));
        t = now;
    };
    const float start = t;
    app.level.map.clear();
    app.level.checksum.reset();
    app.level.keepTileAtlas = false;  // as the job: only the reduced atlas
    lap("clear block store");
    loadStyle(rt, app.level, app.maps, -1, argv[1]);
    lap("load style");
    loadMap(rt, app.level, app.maps, -1, argv[2]);
    lap("load map");
    std::vector<uint8_t> picture = app.builder.buildScaled(app.level, side);
    lap("draw minimap (scaled)");
    saveImage(rt, out, ImageView{picture.data(), side, side, 3, false}, side == 256 ? 95 : rt.jpegQuality);
    lap("encode and write");
    app.level.releaseTileAtlas();
    app.level.map.release();
    lap("release level");
    std::printf("  %-22s %8.2f ms\n", "total", double(rt.timer.now() - start));
    return 0;
}
