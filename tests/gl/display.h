// A display for the tests that need real windows and OpenGL: the one in
// DISPLAY, or a private Xvfb started for the test program. Also runs the
// real binary in the background and answers its message boxes the way a
// person would, with the keyboard.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vant::test {

// Runs a program with DISPLAY set, standard error going to a file.
class BackgroundRun {
public:
    BackgroundRun(const std::filesystem::path& program, const std::vector<std::string>& args,
                  const std::filesystem::path& workingDir);
    ~BackgroundRun();

    // Waits until a top-level window named `caption` is up and settled; its
    // id, or an empty text when none came within the timeout.
    std::string waitFor(const std::string& caption, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Waits for such a box, sends it `key` ("Return" or "Escape") and waits
    // until it has gone. False when none came, or it would not go.
    bool answer(const std::string& caption, const std::string& key,
                std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // The exit status, or -1 after a timeout (the program is then killed)
    // or a signal.
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

// The id of the first top-level window whose name contains `part`, or empty.
std::string windowIdContaining(const std::string& part);

// An RGB picture, 3 bytes per pixel, row 0 on top.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* at(int x, int y) const { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
};

// Saves what the display shows of a window as a binary PPM (ImageMagick's
// import) and reads it back. False when the grab failed.
bool grabWindow(const std::string& id, const std::filesystem::path& ppm, Screenshot& shot);

}  // namespace vant::test
