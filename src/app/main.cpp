// vantedit: the level-loading and minimap core of the VANT map editor.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#ifdef VANT_WINDOW_BINARY
#include <unistd.h>
#endif

#include "app/app.h"
#include "base/os.h"
#include "base/text.h"
#include "image/byte_sink.h"

#include "app/app_state.h"
#include "app/load_pipeline.h"

#ifdef VANT_WINDOWED
#include "app/window_state.h"
#include "gfx/gl_services.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "shell/windowed_shell.h"
#endif

using namespace vant;

namespace {

[[noreturn]] void exitProgram(App& app, int status = 1) {
    app.rt.closeRunLog();
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(status);
}

// Runs one job; memory that cannot be had ends the run like every other
// failure: a message (in the run log too), then the one exit path.
template <typename Job>
void runGuarded(App& app, Job job) {
    const char* failure = nullptr;
    try {
        job();
        return;
    } catch (const std::bad_alloc&) {
        failure = "Could not allocate memory";
    } catch (const std::length_error&) {
        failure = "Could not allocate memory";
    }
    // Give back what the level holds, so the message itself can be made.
    app.minimap = std::vector<uint8_t>();
    app.level.releaseTileAtlas();
    app.level.spriteAtlas = std::vector<uint8_t>();
    app.level.map.release();
    app.rt.showMessage(BoxOk, "ERROR", "%s", failure);
    exitProgram(app, 1);
}

#ifdef VANT_WINDOWED
// The windowed start and its one job: with a single token, that map
// description is opened, loaded and thumbnailed.
[[noreturn]] void runWindowed(App& app, const CommandLine& tokens) {
    Runtime& rt = app.rt;
    rt.responder = platform::showMessageBox;

    static AppState state;
    static WindowState window;
    static gfx::GlServices gpu;
    static platform::WindowedShell shell(rt, app.level, app.maps, state, window, gpu);
    shell.hooks.prepareMapState = [&] { prepareMapState(rt, state, [] { return gpu.reserveTextureName(); }); };
    shell.hooks.buildMapList = [&] { buildMapList(rt, app.maps, state.settings.gamePath); };

    // The video side starts once, before the first box, so that boxes and
    // window share it; without a display, window creation reports it.
    platform::startVideo();
    shell.readFullscreenFile();
    if (!shell.createWindowAndContext(rt.windowTitle, window.width, window.height, 32, window.fullscreen)) {
        rt.showMessage(BoxOk, "ERROR", "CreateGLWindow() failed with params %d %d %d %d, program terminated.",
                       window.width, window.height, 32, window.fullscreen ? 1 : 0);
        exitProgram(app, 0);
    }

    if (tokens.size() == 1) runGuarded(app, [&] { openMapDescription(app, state, gpu, tokens[0]); });
    exitProgram(app, 1);
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef VANT_WINDOWED
    os::preferLargePages(0);  // the windowed program's heap feeds the GL driver first
#else
    os::preferLargePages();
#endif
    os::keepStandardStreams();
    // The job ends as it always does, through its run log, whoever stopped
    // reading its messages.
    os::ignoreBrokenPipes();
    protectTemporaryFiles();
    static App app;  // lives until exit
    Runtime& rt = app.rt;

    rt.timer.start();
    rt.startTime = rt.timer.now();
    const std::string folder = programFolder();
    if (!folder.empty() && !os::enterFolder(folder)) {
        std::fprintf(stderr, "cannot enter the program folder %s\n", folder.c_str());
    }

    const std::optional<std::string> text = os::argumentText();
    const CommandLine tokens = text ? tokenizeCommandLine(*text, false) : argumentTokens(argc, argv);
    rt.headless = hasOption(tokens, "-saveminimap");

    if (!rt.headless) {
#ifdef VANT_WINDOWED
        runWindowed(app, tokens);
#else
#ifdef VANT_WINDOW_BINARY
        // The windowed front end lives in its own binary beside this one.
        const std::string windowed = folder + "/" VANT_WINDOW_BINARY;
        ::execv(windowed.c_str(), argv);
        std::fprintf(stderr, "vantedit: cannot start %s: %s\n", windowed.c_str(), std::strerror(errno));
#endif
        // Built without the windowed front end: the window cannot be made.
        rt.showMessage(BoxOk, "ERROR", "CreateGLWindow() failed with params %d %d %d %d, program terminated.", 1024,
                       768, 32, 0);
        exitProgram(app, 0);
#endif
    }

    if (tokens.size() == 1) {
        // A single token is a map description even here (only "-saveminimap"
        // itself can get here); there is no card to send anything to.
        static AppState state;
        NoGpuServices gpu;
        runGuarded(app, [&] { openMapDescription(app, state, gpu, tokens[0]); });
    } else if (tokens.size() > 1) {
        runGuarded(app, [&] { runMinimapJob(app, tokens); });
    }
    exitProgram(app, 1);
}
