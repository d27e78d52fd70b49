#include "display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>


namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace vant::test {

namespace {

// Starts args[0] (searched in PATH) with no input or output, standard error
// to `err` when given, from `dir` when given.
pid_t spawn(std::vector<std::string> args, const fs::path& err = {}, const fs::path& dir = {}) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    const int devnull = ::open("/dev/null", O_RDWR);
    ::dup2(devnull, 0);
    ::dup2(devnull, 1);
    ::dup2(err.empty() ? devnull : ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(127);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

void stop(pid_t& pid, int signal) {
    if (pid <= 0) return;
    ::kill(pid, signal);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

// The windowed tests use the display they are given (scripts/with-xvfb
// starts a private one); without one they stop at once, saying so.
class DisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) GTEST_FAIL() << "no DISPLAY: run the windowed tests under scripts/with-xvfb";
    }
};

[[maybe_unused]] ::testing::Environment* const display = ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

// "id name geometry" of every top-level window, e.g.
// `0x200001 "Notice": ("SDL_msgbox" "SDL_msgbox")  300x100+0+0  +490+462`.
// A box is known by the whole line, since X may hand a closed box's id to
// the next one.
std::vector<std::string> windowSignatures() {
    std::vector<std::string> lines;
    for (const std::string& line : outputLines("xwininfo -root -children 2>/dev/null"))
        if (line.find("0x") != std::string::npos && line.find('"') != std::string::npos) lines.push_back(line);
    return lines;
}

std::string idOf(const std::string& line) {
    const size_t at = line.find("0x");
    return at == std::string::npos ? std::string() : line.substr(at, line.find(' ', at) - at);
}

std::string nameOf(const std::string& line) {
    const size_t open = line.find('"'), close = line.find("\": ");
    return close == std::string::npos || open >= close ? std::string() : line.substr(open + 1, close - open - 1);
}

}  // namespace

std::vector<std::string> outputLines(const std::string& command) {
    std::vector<std::string> lines;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::array<char, 4096> buffer;
    while (pipe && std::fgets(buffer.data(), int(buffer.size()), pipe.get())) lines.push_back(buffer.data());
    return lines;
}

void xdotool(const std::string& args) {
    [[maybe_unused]] const int rc = std::system(("xdotool " + args + " >/dev/null 2>&1").c_str());
}

InstalledProgram::InstalledProgram() {
    const std::string install = "'" CMAKE_COMMAND_PATH "' --install '" VANT_BUILD_DIR "' --prefix '" +
                                (work / "installed").string() + "' > /dev/null";
    EXPECT_EQ(std::system(install.c_str()), 0);
    fs::rename(work / "installed", folder);
}

BackgroundRun::BackgroundRun(const fs::path& program, const std::vector<std::string>& args, const fs::path& workingDir)
    : errFile_(workingDir / "stderr.txt") {
    std::vector<std::string> all{program.string()};
    all.insert(all.end(), args.begin(), args.end());
    pid_ = spawn(all, errFile_, workingDir);
}

BackgroundRun::~BackgroundRun() {
    if (!ended_) stop(pid_, SIGKILL);
}

bool BackgroundRun::running() {
    int status = 0;
    if (ended_ || ::waitpid(pid_, &status, WNOHANG) != pid_) return !ended_;
    ended_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
}

// A new box is placed and sized after it appears: its line once it looks
// the same twice in a row, when it also takes keys.
std::string BackgroundRun::settled(const std::string& caption, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (std::string seen; std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(250ms)) {
        std::string box;
        for (const std::string& w : windowSignatures())
            if (box.empty() && nameOf(w) == caption) box = w;
        if (box.empty() && !running()) break;
        if (!box.empty() && box == seen) return box;
        seen = box;
    }
    return std::string();
}

std::string BackgroundRun::waitFor(const std::string& caption, std::chrono::milliseconds timeout) {
    return idOf(settled(caption, timeout));
}

bool BackgroundRun::answer(const std::string& caption, const std::string& key, std::chrono::milliseconds timeout) {
    const std::string box = settled(caption, timeout);
    auto present = [&box] {
        const auto all = windowSignatures();
        return std::find(all.begin(), all.end(), box) != all.end();
    };
    if (box.empty()) return false;
    // Press again only when a press was missed and the very same box is
    // still there.
    for (int attempt = 0; attempt < 3 && present(); ++attempt) {
        xdotool("key --window " + idOf(box) + " " + key);
        const auto gone = std::chrono::steady_clock::now() + 2500ms;
        while (present() && running() && std::chrono::steady_clock::now() < gone) std::this_thread::sleep_for(10ms);
    }
    return !present();
}

int BackgroundRun::wait(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (; running(); std::this_thread::sleep_for(50ms))
        if (std::chrono::steady_clock::now() >= end) {
            stop(pid_, SIGKILL);
            ended_ = true;
            return -1;
        }
    return status_;
}

std::string BackgroundRun::stdErr() const { return readFile(errFile_); }

std::string windowIdContaining(const std::string& part) {
    for (const std::string& w : windowSignatures())
        if (nameOf(w).find(part) != std::string::npos) return idOf(w);
    return std::string();
}

bool grabWindow(const std::string& id, const fs::path& ppm, Screenshot& shot) {
    const std::string command = "timeout 10 import -window " + id + " -depth 8 '" + ppm.string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return false;
    // "P6 width height 255", one whitespace byte, the pixels.
    const std::string bytes = readFile(ppm);
    int start = 0;
    if (std::sscanf(bytes.c_str(), "P6 %d %d 255%n", &shot.width, &shot.height, &start) != 2 || !start) return false;
    const size_t size = size_t(shot.width) * size_t(shot.height) * 3, end = size_t(start) + 1 + size;
    if (shot.width <= 0 || shot.height <= 0 || bytes.size() < end) return false;
    shot.rgb.assign(bytes.begin() + start + 1, bytes.begin() + std::ptrdiff_t(end));
    return true;
}

}  // namespace vant::test
