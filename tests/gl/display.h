// A display for the tests that need real windows and OpenGL (DISPLAY, as
// scripts/with-xvfb sets it), the real binary run in the background and its message
// boxes answered with the keyboard.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

#include "run_binary.h"

namespace vant::test {

// The program folder as users install it (cmake --install), then moved to a
// path with a blank: the programs must find their files from where they are.
struct InstalledProgram {
    TempFolder work;  // holds the folder; a place to start the programs from
    std::filesystem::path folder = work / "moved here";
    std::filesystem::path binary = folder / "vantedit";
    InstalledProgram();
    std::filesystem::path operator/(const std::string& name) const { return folder / name; }
    std::string read(const std::string& name) const { return readFile(folder / name); }
};

// Runs a program with DISPLAY set, standard error going to a file.
class BackgroundRun {
public:
    BackgroundRun(const std::filesystem::path& program, const std::vector<std::string>& args,
                  const std::filesystem::path& workingDir);
    ~BackgroundRun();

    // The id of a settled top-level window named `caption`, empty on timeout.
    std::string waitFor(const std::string& caption, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Sends such a box `key` ("Return" or "Escape"); false unless it came and went.
    bool answer(const std::string& caption, const std::string& key,
                std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // The exit status, or -1 after a signal or a timeout (then it is killed).
    int wait(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    bool running();
    std::string stdErr() const;

private:
    std::string settled(const std::string& caption, std::chrono::milliseconds timeout);
    pid_t pid_ = -1;
    int status_ = -1;
    bool ended_ = false;
    std::filesystem::path errFile_;
};

// The lines a shell command writes, line feeds kept.
std::vector<std::string> outputLines(const std::string& command);
// Runs xdotool with these arguments, its output thrown away.
void xdotool(const std::string& args);

// The id of the first top-level window whose name contains `part`, or empty.
std::string windowIdContaining(const std::string& part);

// An RGB picture, 3 bytes per pixel, row 0 on top.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* at(int x, int y) const { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
};

// What the display shows of a window, through a PPM file; false on failure.
bool grabWindow(const std::string& id, const std::filesystem::path& ppm, Screenshot& shot);

}  // namespace vant::test
