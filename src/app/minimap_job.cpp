#include "app/app.h"

#include <cerrno>
#include <cstdio>

#include "base/os.h"
#include "base/text.h"
#include "formats/map_description.h"
#include "image/byte_sink.h"
#include "image/image_writer.h"
#include "minimap/output.h"

namespace vant {

std::string programFolder() {
    const std::string path = os::programPath();
    return path.empty() ? path : directoryOf(path, true);
}

// The job's own files (run log, benchmark) are written in the program
// folder; when one cannot be, standard error is the only place left to say so.
static void reportUnwritable(const std::string& name, const std::string& reason) {
    std::fprintf(stderr, "vantedit: %s/%s: cannot write: %s\n", programFolder().c_str(), name.c_str(), reason.c_str());
}

void writeBenchmarkFile(Runtime& rt, const std::string& path) {
    const float elapsed = rt.timer.now() - rt.startTime;
    const std::string text = formatText("Minimap generated in %f seconds", elapsed / 1000.0);
    std::string error;
    if (!writeFileAtomically(path, text.data(), text.size(), &error)) reportUnwritable(path, error);
}

// Shows one of the job's own two messages even though the run is headless.
static void showJobMessage(Runtime& rt, const char* text) {
    rt.headless = false;
    rt.showText(BoxOk, rt.windowTitle, text);
    rt.headless = true;
}

void runMinimapJob(App& app, const CommandLine& tokens) {
    Runtime& rt = app.rt;
    bool debug = false, benchmark = false;
    int sizeStep = 0;
    std::string stylePath, mapPath, outputPath;
    MapDescription description;

    if (hasOption(tokens, "-debug")) debug = parseBool(optionValue(tokens, "-debug"));
    errno = 0;
    if (debug && !rt.openRunLog("debug.txt")) reportUnwritable("debug.txt", whyOpenFailed("debug.txt"));

    if (hasOption(tokens, "-sty") && hasOption(tokens, "-gmp")) {
        stylePath = optionValue(tokens, "-sty");
        mapPath = optionValue(tokens, "-gmp");
    } else if (hasOption(tokens, "-mmp")) {
        parseMapDescription(description, optionValue(tokens, "-mmp"));
        mapPath = description.gmpfile;
        stylePath = description.styfile;
    }

    if (hasOption(tokens, "-out")) {
        outputPath = optionValue(tokens, "-out");
    } else {
        if (debug) showJobMessage(rt, "OUTPUT FILE PATH MISSING\r\nuse -out param (requires full path)");
        return;
    }
    if (hasOption(tokens, "-size")) sizeStep = sizeStepFor(clampedMinimapSide(optionValue(tokens, "-size")));
    if (hasOption(tokens, "-bluewater")) {
        const long long v = leadingDecimal(optionValue(tokens, "-bluewater"));
        rt.waterTintMode = v < 0 ? 0 : (v > 2 ? 2 : int(v));
    }
    if (hasOption(tokens, "-benchmark")) benchmark = parseBool(optionValue(tokens, "-benchmark"));
    if (hasOption(tokens, "-jpg_quality")) {
        const long long q = 100 - leadingDecimal(optionValue(tokens, "-jpg_quality"));
        rt.jpegQuality = q < 1 ? 1 : (q > 100 ? 100 : int(q));
    }

    if (stylePath.empty() || mapPath.empty()) {
        if (debug) showJobMessage(rt, "STY or GMP file missing!");
        return;
    }
    if (outputPath.empty()) return;

    loadLevelForMinimap(rt, app.level, app.maps, stylePath, mapPath);
    // The minimap is drawn when it is saved, straight at the size asked for,
    // a row of cells at a time handed to the writer: the same bytes as
    // drawing 2048 x 2048 and filtering, without the full picture in memory.
    SaveMinimapOptions options;
    options.drawRows = [&app](int side) { return scaledMinimapRows(app.builder, app.level, side); };
    const int format = imageFormatFromExtension(fileExtension(outputPath, true));
    saveMinimap(rt, app.minimap, format, sizeStep, outputPath, true, true, options);
    app.level.releaseTileAtlas();
    app.level.map.release();
    if (benchmark) writeBenchmarkFile(rt, "benchmark.txt");
}

}  // namespace vant
