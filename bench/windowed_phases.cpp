// A windowed load timed line by line: the same start and load as a windowed
// run of vantedit, in process, with each progress line stamped by the run
// timer as it appears. Needs a display (bench/run gives it a private Xvfb).
// Usage: vant_windowed_phases LEVEL.mmp
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/app_state.h"
#include "app/load_pipeline.h"
#include "app/window_state.h"
#include "base/os.h"
#include "base/text.h"
#include "gfx/gl_services.h"
#include "platform/window.h"
#include "shell/windowed_shell.h"

using namespace vant;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LEVEL.mmp\n", argv[0]);
        return 2;
    }
    os::preferLargePages(0);  // as the windowed program's own start does
    static App app;
    Runtime& rt = app.rt;
    // Boxes are answered OK without showing; they are listed at the end.
    std::vector<std::string> boxes;
    rt.responder = [&](int, const std::string& caption, const std::string&) {
        boxes.push_back(caption);
        return int(AnswerOk);
    };

    static AppState state;
    static WindowState window;
    static gfx::GlServices gpu;
    static platform::WindowedShell shell(rt, app.level, app.maps, state, window, gpu);
    shell.hooks.prepareMapState = [&] { prepareMapState(rt, state, [] { return gpu.reserveTextureName(); }); };
    shell.hooks.buildMapList = [&] { buildMapList(rt, app.maps, state.settings.gamePath); };
    platform::startVideo();

    const float start = rt.timer.now();
    if (!shell.createWindowAndContext(rt.windowTitle, window.width, window.height, 32, false)) {
        std::fprintf(stderr, "no window could be made\n");
        return 1;
    }
    const float ready = rt.timer.now();

    // Stamp each line when it first shows; the view keeps drawing it. CPU
    // time is the whole process's (the renderer's threads included): on a
    // busy machine it says more than the wall clock.
    auto cpuNow = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    struct Stamp {
        float at;
        double cpu;
        std::string line;
    };
    std::vector<Stamp> stamps;
    int frames = 0;
    double drawing = 0;
    auto draw = rt.progress.onChange;
    rt.progress.onChange = [&](const ProgressScreen& screen) {
        const double before = cpuNow();
        if (draw) draw(screen);
        ++frames;
        drawing += cpuNow() - before;
        const std::string last = screen.count() ? screen.line(screen.count() - 1) : std::string();
        if (stamps.empty() || stamps.back().line != last) stamps.push_back({rt.timer.now(), cpuNow(), last});
    };
    const double cpuStart = cpuNow();
    const float loadStart = rt.timer.now();
    openMapDescription(app, state, gpu, argv[1]);
    const float end = rt.timer.now();
    const double cpuEnd = cpuNow();

    std::printf("  %-48s %9s %9s\n", "", "wall ms", "cpu ms");
    std::printf("  %-48s %9.2f\n", "window, context and initialisation", double(ready - start));
    for (size_t i = 0; i < stamps.size(); ++i) {
        // Time from this line to the next: the work the line announces.
        const float next = i + 1 < stamps.size() ? stamps[i + 1].at : end;
        const double nextCpu = i + 1 < stamps.size() ? stamps[i + 1].cpu : cpuEnd;
        std::printf("  %-48.48s %9.2f %9.2f\n", stamps[i].line.c_str(), double(next - stamps[i].at),
                    nextCpu - stamps[i].cpu);
    }
    std::printf("  %-48s %9.2f %9.2f\n", "load, to \"Launching editor...\"", double(end - loadStart),
                cpuEnd - cpuStart);
    std::printf("  %-48s %9s %9.2f\n", formatText("of which %d progress frames", frames).c_str(), "", drawing);
    std::printf("  message boxes answered: %zu\n", boxes.size());
    return 0;
}
