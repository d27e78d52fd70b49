// vantedit: the level-loading and minimap core of the VANT map editor.
#include <cstdlib>
#include <unistd.h>

#include "app/app.h"
#include "app/text.h"

using namespace vant;

namespace {

[[noreturn]] void exitProgram(App& app, int status = 1) {
    app.rt.closeRunLog();
    std::fflush(stdout);
    std::exit(status);
}

}  // namespace

int main(int argc, char** argv) {
    static App app;  // lives until exit
    Runtime& rt = app.rt;

    rt.timer.start();
    rt.startTime = rt.timer.now();
    const std::string folder = programFolder();
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
        std::fprintf(stderr, "cannot enter the program folder %s\n", folder.c_str());
    }

    const CommandLine tokens = tokenizeCommandLine(joinArguments(argc, argv), false);
    rt.headless = hasOption(tokens, "-saveminimap");

    if (!rt.headless) {
        // The windowed front end is not part of this build yet: the window
        // cannot be made.
        rt.showMessage(BoxOk, "ERROR", "CreateGLWindow() failed with params %d %d %d %d, program terminated.", 1024,
                       768, 32, 0);
        exitProgram(app, 0);
    }

    if (tokens.size() > 1) runMinimapJob(app, tokens);
    exitProgram(app, 1);
}
