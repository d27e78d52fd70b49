// What vantmap's subcommands share: the levels named on the command line,
// resolved to a style and a map, and a per-level report of what the readers
// said, printed as "vantmap: FILE: text".
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "base/runtime.h"
#include "formats/map_description.h"

namespace vant::vantmap {

// One LEVEL argument: a .mmp (its style and map relative to its own folder,
// as the editor reads them) or a .gmp with the --style given.
struct LevelInput {
    std::string level;  // as given, relative to the current folder
    std::string style;
    std::string map;
    bool fromDescription = false;
    MapDescription description;
};

// Decides the input's kind from its extension; an empty result is fine, a
// text is a usage error (a .gmp without --style, another extension).
std::string classifyLevel(const std::string& level, const std::string& style, LevelInput& out);

// Everything said about one level, in order.
class LevelReport {
public:
    struct Line {
        std::string file;
        std::string text;
        bool error = false;
    };

    void error(const std::string& file, const std::string& text) { lines_.push_back({file, text, true}); }
    void warning(const std::string& file, const std::string& text) { lines_.push_back({file, text, false}); }
    bool failed() const { return failed_; }
    void fail() { failed_ = true; }
    const std::vector<Line>& lines() const { return lines_; }

    // Hears the run's message boxes (as warnings about `file`) and the
    // readers' problems; damage counts as an error.
    void listenTo(Runtime& rt, const std::string& file);
    // After the readers ran (each said whether it could read its file at
    // all): tells why a file could not be read, and whether the level's
    // style and map are whole enough to draw.
    bool readable(const LevelInput& in, bool styleRead, bool mapRead);

    // Prints every line to standard error, all at once.
    void print() const;

private:
    std::vector<Line> lines_;
    std::vector<std::string> damagedFiles_;
    bool failed_ = false;
};

// Reads the .mmp of a description input; false (with the error in the
// report) when it cannot be read or names no style or map.
bool readDescription(LevelInput& input, LevelReport& report);

// After a reader returned false: the cause, in the words of a Unix tool
// ("cannot open: No such file or directory", "not a map file: bad header").
std::string unreadableCause(const std::string& path);

// Writes one or more lines to standard error without mixing them with
// another thread's.
void printError(const std::string& text);

// Lines like "vantmap: FILE: text" with the CR LF of message boxes folded.
std::string reportLine(const std::string& file, const std::string& text, bool error);

}  // namespace vant::vantmap
