// vantmap: minimaps and facts of levels from the command line, drawn by the
// same core as the editor.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <new>
#include <string_view>
#include <unistd.h>

#include "base/os.h"
#include "base/text.h"
#include "image/byte_sink.h"
#include "vantmap/commands.h"

#ifndef VANTMAP_VERSION
#define VANTMAP_VERSION "0"
#endif

namespace vant::vantmap {

// One line per subcommand; the parser of each is set up by its own file.
static const Subcommand kSubcommands[] = {
    {"render", "Draw the minimap of each level into a picture", setupRender},
    {"info", "Print what each level holds: checksum, style, map, problems", setupInfo},
    {"view", "Load a level in a window and look around the city", setupView},
};

int usageError(const std::string& text) {
    std::fprintf(stderr, "vantmap: %s\nTry 'vantmap --help' for more information.\n", text.c_str());
    return ExitUsage;
}

static int run(int argc, char** argv) {
    // A first word that names no subcommand is reported as such (the parser
    // would only say that a subcommand is missing).
    if (argc > 1 && argv[1][0] != '-' &&
        std::none_of(std::begin(kSubcommands), std::end(kSubcommands),
                     [&](const Subcommand& s) { return std::string_view(s.name) == argv[1]; })) {
        std::string names;
        for (size_t i = 0; i < std::size(kSubcommands); ++i)
            names += (i == 0 ? "" : i + 1 == std::size(kSubcommands) ? " or " : ", ") + std::string(kSubcommands[i].name);
        return usageError("unknown subcommand '" + std::string(argv[1]) + "' (" + names + ")");
    }
    CLI::App app{"Draws minimaps of VANT levels and tells what the levels hold.", "vantmap"};
    app.set_version_flag("-v,--version", "vantmap " VANTMAP_VERSION);
    app.require_subcommand(1);
    app.footer("Exit status: 0 when every level was done, 1 when any failed, 2 for a usage error.\n"
               "See vantmap(1) for the details.");
    Runner chosen;
    for (const Subcommand& s : kSubcommands) {
        CLI::App* command = app.add_subcommand(s.name, s.help);
        Runner runner = s.setup(*command);
        command->callback([&chosen, runner] { chosen = runner; });
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return usageError(e.what());
    }
    if (!chosen) return usageError("no subcommand given");
    try {
        return chosen();
    } catch (const std::bad_alloc&) {
        // render and info report it per level; this is the rest (the view).
        std::fputs("vantmap: not enough memory\n", stderr);
        return ExitFailed;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantmap: %s\n", e.what());
        return ExitFailed;
    }
}

}  // namespace vant::vantmap

int main(int argc, char** argv) {
    vant::os::keepStandardStreams();
#ifdef VANTMAP_VIEW_BINARY
    // The view lives in its own binary beside this one, so that render and
    // info start without loading the window, OpenGL and font libraries.
    if (argc > 1 && std::string_view(argv[1]) == "view") {
        const std::string viewer = vant::directoryOf(vant::os::programPath(), false) + VANTMAP_VIEW_BINARY;
        ::execv(viewer.c_str(), argv);
        std::fprintf(stderr, "vantmap: cannot start %s: %s\n", viewer.c_str(), std::strerror(errno));
        return vant::vantmap::ExitFailed;
    }
#endif
#ifdef VANT_WINDOWED
    vant::os::preferLargePages(0);  // the view's heap feeds the GL driver first
#else
    vant::os::preferLargePages();
#endif
    // Interrupted, a run leaves no half-written picture's temporary file.
    vant::protectTemporaryFiles();
    const int status = vant::vantmap::run(argc, argv);
    // What was printed must have reached its reader: a full disk or a closed
    // output fails the run. (A reader that went away ends it at once.)
    errno = 0;
    std::cout.flush();
    const bool flushed = std::fflush(stdout) == 0 && std::cout.good();
    const int why = errno;
    if (!flushed || std::ferror(stdout)) {
        std::fprintf(stderr, "vantmap: standard output: cannot write: %s\n",
                     why ? std::strerror(why) : "part of it was lost");
        return status == vant::vantmap::ExitOk ? vant::vantmap::ExitFailed : status;
    }
    return status;
}
