// One whole headless job, in process, with each phase timed by the run
// timer: where the time of a minimap run goes.
// Usage: vant_phases STYLE MAP OUT [SIDE]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app.h"
#include "base/os.h"
#include "app/command_line.h"
#include "base/text.h"
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
    os::preferLargePages();
    static App app;
    Runtime& rt = app.rt;
    rt.headless = true;
    const int side = argc > 4 ? clampedMinimapSide(argv[4]) : 2048;
    const std::string out = argv[3];

    float t = rt.timer.now();
    auto lap = [&](const char* name) {
        const float now = rt.timer.now(), spent = now - t;
        std::printf("  %-26s %8.2f ms\n", name, double(spent));
        t = now;
        return spent;
    };
    const float start = t;
    app.level.map.clear();
    app.level.checksum.reset();
    app.level.checksum.setEnabled(false);  // as the job: no thumbnail to name
    app.level.keepTileAtlas = false;  // as the job: only the reduced atlas
    lap("clear block store");
    loadStyle(rt, app.level, app.maps, -1, argv[1]);
    lap("load style");
    loadMap(rt, app.level, app.maps, -1, argv[2]);
    lap("load map");
    {
        // The drawing alone, into one reused band: what the job's writer
        // pulls row by row.
        auto rows = scaledMinimapRows(app.builder, app.level, side);
        std::vector<int> band(size_t(side) * size_t(rows->bandRows()));
        std::vector<int*> pointers(size_t(rows->bandRows()));
        for (size_t r = 0; r < pointers.size(); ++r) pointers[r] = &band[r * size_t(side)];
        while (rows->nextTrueColor(pointers.data())) {
        }
    }
    const float drawAlone = lap("draw alone (not in total)");
    SaveMinimapOptions options;
    options.drawRows = [](int s) { return scaledMinimapRows(app.builder, app.level, s); };
    saveMinimap(rt, app.minimap, imageFormatFromExtension(fileExtension(out, true)), sizeStepFor(side), out, true,
                true, options);
    lap("draw + encode + write");
    app.level.releaseTileAtlas();
    app.level.map.release();
    lap("release level");
    std::printf("  %-26s %8.2f ms\n", "total as the job", double(rt.timer.now() - start - drawAlone));
    return 0;
}
