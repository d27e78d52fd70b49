// vantmap's subcommands. Each one adds its options to its own parser and
// hands back what runs it once the command line is parsed; main keeps the
// table of them.
#pragma once

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace vant::vantmap {

enum : int { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

using Runner = std::function<int()>;

struct Subcommand {
    const char* name;
    const char* help;
    Runner (*setup)(CLI::App& command);
};

Runner setupRender(CLI::App& command);
Runner setupInfo(CLI::App& command);
Runner setupView(CLI::App& command);

// Prints "vantmap: TEXT" and the hint to standard error; returns ExitUsage.
int usageError(const std::string& text);

}  // namespace vant::vantmap
