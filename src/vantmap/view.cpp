// vantmap view: the level loaded in a window as the editor loads it, then
// shown top-down until the person quits.
#include <CLI/CLI.hpp>

#include <memory>

#include "vantmap/commands.h"
#include "vantmap/level_input.h"

#ifdef VANT_WINDOWED
#include "view/run_view.h"
#endif

namespace vant::vantmap {

namespace {

struct ViewOptions {
    std::string level;
    std::string style;
    bool fullscreen = false;
};

}  // namespace

Runner setupView(CLI::App& command) {
    auto o = std::make_shared<ViewOptions>();
    command.add_option("LEVEL", o->level, "Level: a .mmp, or a .gmp with --style")->required();
    command.add_option("--style", o->style, "Style file for a .gmp level");
    command.add_flag("--fullscreen", o->fullscreen, "Fill the screen instead of a 1024 x 768 window");
    command.footer("Drag or arrow keys: pan. Wheel: zoom at the pointer; + and -: zoom at the centre.\n"
                   "Home: the whole city. Z: zones. L: highest layer drawn. Esc: quit.");
    return [o]() -> int {
        LevelInput input;
        if (const std::string problem = classifyLevel(o->level, o->style, input); !problem.empty())
            return usageError(problem);
#ifdef VANT_WINDOWED
        view::ViewRequest request;
        request.level = o->level;
        request.style = input.fromDescription ? std::string() : o->style;
        request.fullscreen = o->fullscreen;
        // What the boxes do not show (a file cut short, a chunk past its
        // end) goes to standard error, as render and info tell it.
        request.problems = [](const std::string& file, const std::string& text, bool damaged) {
            printError(reportLine(file, text, damaged));
        };
        return view::runView(request);
#else
        printError("vantmap: view: this build has no windowed front end\n");
        return ExitFailed;
#endif
    };
}

}  // namespace vant::vantmap
