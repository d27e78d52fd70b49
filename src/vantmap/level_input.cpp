#include "vantmap/level_input.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "formats/chunk_file.h"

namespace vant::vantmap {

std::string classifyLevel(const std::string& level, const std::string& style, LevelInput& out) {
    out = LevelInput{};
    out.level = level;
    const std::string ext = fileExtension(level, true);
    if (ext == "mmp") {
        out.fromDescription = true;
        return {};
    }
    if (ext == "gmp") {
        if (style.empty()) return level + ": a .gmp level needs --style FILE.sty";
        // Files are told apart by their extensions, headers checked by them.
        if (fileExtension(style, true) != "sty") return style + ": a style file is named *.sty";
        out.map = level;
        out.style = style;
        return {};
    }
    return level + ": not a level (.mmp, or .gmp with --style)";
}

std::string reportLine(const std::string& file, const std::string& text, bool error) {
    std::string t = text;
    for (size_t at; (at = t.find("\r\n")) != std::string::npos;) t.replace(at, 2, "; ");
    return "vantmap: " + file + ": " + (error ? "" : "warning: ") + t + "\n";
}

void printError(const std::string& text) {
    static std::mutex lock;
    std::lock_guard<std::mutex> hold(lock);
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

void LevelReport::listenTo(Runtime& rt, const std::string& file) {
    auto box = [this, file](int, const std::string& caption, const std::string& text) {
        // A file that cannot be opened or has a bad header makes its reader
        // fail; the caller says why in its own words.
        if (text.find(" file was not found: \"") != std::string::npos || text.starts_with("Incorrect header on "))
            return AnswerNone;
        // The writers' "Cannot write file "PATH" (REASON)." names its file.
        static const std::string kWrite = "Cannot write file \"";
        const size_t close = text.rfind("\" (");
        if (text.starts_with(kWrite) && close != std::string::npos && text.ends_with(").")) {
            lines_.push_back({text.substr(kWrite.size(), close - kWrite.size()),
                              "cannot write: " + text.substr(close + 3, text.size() - close - 5), true});
            return AnswerNone;
        }
        lines_.push_back({file, text, caption == "ERROR"});
        return AnswerNone;
    };
    rt.headlessListener = box;
    rt.responder = box;
    rt.problemListener = [this](const std::string& f, const std::string& text, bool damage) {
        lines_.push_back({f, text, damage});
        if (damage) damagedFiles_.push_back(f);
    };
}

bool LevelReport::readable(const LevelInput& in, bool styleRead, bool mapRead) {
    if (!styleRead) error(in.style, unreadableCause(in.style));
    if (!mapRead) error(in.map, unreadableCause(in.map));
    auto damaged = [this](const std::string& file) {
        return std::find(damagedFiles_.begin(), damagedFiles_.end(), file) != damagedFiles_.end();
    };
    return styleRead && mapRead && !damaged(in.style) && !damaged(in.map);
}

void LevelReport::print() const {
    std::string all;
    for (const Line& l : lines_) all += reportLine(l.file, l.text, l.error);
    if (!all.empty()) printError(all);
}

std::string unreadableCause(const std::string& path) {
    if (std::string why = cannotOpenReason(path); !why.empty()) return why;
    const std::string expected = expectedMagicFor(path);
    const char* kind = expected == "GBST" ? "a style file" : expected == "GBMP" ? "a map file" : "a level file";
    return std::string("not ") + kind + ": bad header";
}

bool readDescription(LevelInput& input, LevelReport& report) {
    if (std::string why = cannotOpenReason(input.level); !why.empty()) {
        report.error(input.level, why);
        return false;
    }
#ifndef _WIN32
    // Descriptions come from Windows: in their paths, and in the
    // description's own, a backslash separates folders.
    if (input.level.find('\\') != std::string::npos) {
        report.error(input.level, "cannot be read: a backslash in its path would be read as a folder separator");
        return false;
    }
#endif
    // The description's folder is the part of its path up to the last
    // separator: a bare name lives in the current folder.
    const bool bare = input.level.find_first_of("/\\") == std::string::npos;
    if (!parseMapDescription(input.description, bare ? "./" + input.level : input.level)) {
        report.error(input.level, "not a map description: the first line is not [MapFiles]");
        return false;
    }
    // An empty value leaves the description's folder alone: no file named.
    auto named = [](const std::string& path) { return path.empty() || path.back() == '/' ? std::string() : path; };
    input.style = named(input.description.styfile);
    input.map = named(input.description.gmpfile);
    if (input.map.empty()) report.error(input.level, "names no map file (GMPFile=)");
    if (input.style.empty()) report.error(input.level, "names no style file (STYFile=)");
    return !input.map.empty() && !input.style.empty();
}

}  // namespace vant::vantmap
