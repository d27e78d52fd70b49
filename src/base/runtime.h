// Process-wide run services: the run mode, the message boxes, the progress
// lines, the run timer and the run log. One Runtime is made in main and
// handed by reference to every module; tests make their own.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace vant {

// Box types and answers, as the message-box facility numbers them.
enum : int {
    BoxOk = 0,
    BoxOkCancel = 1,
    BoxYesNo = 4,
    BoxStop = 16,
    BoxExclamation = 48,
};
enum : int { AnswerNone = 0, AnswerOk = 1, AnswerCancel = 2, AnswerYes = 6, AnswerNo = 7 };

// Shows one modal box and returns the button pressed.
using MessageResponder = std::function<int(int type, const std::string& caption, const std::string& text)>;

// Writes caption and text to standard error; answers as a silent box.
int stderrResponder(int type, const std::string& caption, const std::string& text);

class RunTimer {
public:
    void start();
    float now() const;  // milliseconds since start, rounded to float

private:
    std::chrono::steady_clock::time_point start_{};
    float resolution_ = 1e-9f;
};

// The stored progress lines: at most 100 lines of at most 99 characters.
class ProgressScreen {
public:
    static constexpr int MaxLines = 100;
    static constexpr size_t MaxLineLength = 99;

    void add(std::string line);
    void dots(const std::string& text, int n);
    void removeLast();
    void clear() { count_ = 0; }
    int count() const { return count_; }
    const std::string& line(int i) const { return lines_[static_cast<size_t>(i)]; }
    std::vector<std::string> lines() const;

    // Called after every change, so a window can show the lines as they come.
    std::function<void(const ProgressScreen&)> onChange;

private:
    void changed();
    std::vector<std::string> lines_ = std::vector<std::string>(MaxLines);
    int count_ = 0;
    int remembered_ = 0;
};

class Runtime {
public:
    Runtime();
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    bool headless = false;
    int waterTintMode = 1;
    int jpegQuality = 95;
    std::string windowTitle = "Quillon's VANT Map Editor";
    RunTimer timer;
    float startTime = 0.0f;
    ProgressScreen progress;
    MessageResponder responder = stderrResponder;
    // Headless runs answer every box with 0 unseen. A front end that wants
    // to hear them anyway (vantmap) sets a listener; its answer is ignored.
    MessageResponder headlessListener;
    // Damage the readers meet and otherwise pass over quietly (a chunk that
    // runs past the end of its file, a record cut short): told only to this
    // listener, never as a box or in the run log. `damaged` is true when the
    // file cannot be read as what it claims to be.
    std::function<void(const std::string& file, const std::string& text, bool damaged)> problemListener;
    void reportProblem(const std::string& file, bool damaged, const char* format, ...)
        __attribute__((format(printf, 4, 5)));

    // Formatted message box; silent (answer 0) in headless mode.
    int showMessage(int type, const char* caption, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    // Same, with a ready text of any length.
    int showText(int type, const std::string& caption, const std::string& text);

    void addProgressLine(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void setProgressDots(const std::string& text, int n);
    void removeProgressLine();

    // The run log "debug.txt": closed unless opened (headless "-debug").
    bool openRunLog(const std::string& path);
    bool runLogOpen() const { return runLog_ != nullptr; }
    void closeRunLog();  // writes "EXIT SUCCESS\r\n" first

private:
    void logMessage(const std::string& caption, const std::string& text);
    std::FILE* runLog_ = nullptr;
};

}  // namespace vant
