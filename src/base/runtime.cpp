#include "base/runtime.h"

#include <cstdarg>

#include "base/text.h"

namespace vant {

int stderrResponder(int, const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    return AnswerNone;
}

void RunTimer::start() {
    start_ = std::chrono::steady_clock::now();
    resolution_ = 1e-9f;
}

float RunTimer::now() const {
    auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(
                     std::chrono::steady_clock::now() - start_)
                     .count();
    return static_cast<float>(static_cast<double>(ticks) * resolution_ * 1000.0);
}

void ProgressScreen::changed() {
    if (onChange) onChange(*this);
}

void ProgressScreen::add(std::string line) {
    if (count_ >= MaxLines) return;
    if (line.size() > MaxLineLength) line.resize(MaxLineLength);
    lines_[static_cast<size_t>(count_++)] = std::move(line);
    changed();
}

void ProgressScreen::dots(const std::string& text, int n) {
    if (n < 0) return;
    if (n == 0) {
        remembered_ = count_;
        if (remembered_ >= MaxLines) return;
        std::string line = text.substr(0, MaxLineLength);
        lines_[static_cast<size_t>(remembered_)] = line;
        count_ = remembered_ + 1;
    } else {
        count_ = remembered_;
        if (remembered_ >= MaxLines) return;
        std::string line = text + std::string(static_cast<size_t>(n), '.');
        if (line.size() > MaxLineLength) line.resize(MaxLineLength);
        lines_[static_cast<size_t>(remembered_)] = line;
        count_ = remembered_ + 1;
    }
    changed();
}

void ProgressScreen::removeLast() {
    if (count_ > 0) --count_;
}

std::vector<std::string> ProgressScreen::lines() const {
    return std::vector<std::string>(lines_.begin(), lines_.begin() + count_);
}

Runtime::Runtime() { timer.start(); }

Runtime::~Runtime() {
    if (runLog_) std::fclose(runLog_);
}

void Runtime::logMessage(const std::string& caption, const std::string& text) {
    if (!runLog_) return;
    std::string entry = "[" + caption + "] " + text + "\r\n";
    std::fwrite(entry.data(), 1, entry.size(), runLog_);
    std::fflush(runLog_);
}

int Runtime::showText(int type, const std::string& caption, const std::string& text) {
    logMessage(caption, text);
    if (headless) {
        if (headlessListener) headlessListener(type, caption, text);
        return AnswerNone;
    }
    return responder ? responder(type, caption, text) : AnswerNone;
}

int Runtime::showMessage(int type, const char* caption, const char* format, ...) {
    if (!format) return AnswerNone;
    va_list args;
    va_start(args, format);
    std::string text = formatTextV(format, args);
    va_end(args);
    if (text.size() > 8191) text.resize(8191);
    return showText(type, caption ? caption : "", text);
}

void Runtime::reportProblem(const std::string& file, bool damaged, const char* format, ...) {
    if (!problemListener || !format) return;
    va_list args;
    va_start(args, format);
    const std::string text = formatTextV(format, args);
    va_end(args);
    problemListener(file, text, damaged);
}

void Runtime::addProgressLine(const char* format, ...) {
    if (headless || !format) return;
    va_list args;
    va_start(args, format);
    std::string text = formatTextV(format, args);
    va_end(args);
    progress.add(std::move(text));
}

void Runtime::setProgressDots(const std::string& text, int n) {
    if (headless) return;
    progress.dots(text, n);
}

void Runtime::removeProgressLine() {
    if (headless) return;
    progress.removeLast();
}

bool Runtime::openRunLog(const std::string& path) {
    if (runLog_) return true;
    runLog_ = std::fopen(path.c_str(), "wb");
    return runLog_ != nullptr;
}

void Runtime::closeRunLog() {
    if (!runLog_) return;
    static const char bye[] = "EXIT SUCCESS\r\n";
    std::fwrite(bye, 1, sizeof bye - 1, runLog_);
    std::fclose(runLog_);
    runLog_ = nullptr;
}

}  // namespace vant
