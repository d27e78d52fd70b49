#include "display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "run_binary.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace vant::test {

namespace {

std::string capture(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return out;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) out.append(buffer.data(), n);
    return out;
}

// Starts Xvfb on a free display number when the tests have no display.
class XvfbEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (display && *display) return;
        for (int n = 150; n < 250; ++n) {
            const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            if (fs::exists(lock) || fs::exists(socket)) continue;
            const std::string name = ":" + std::to_string(n);
            pid_ = ::fork();
            if (pid_ == 0) {
                const int devnull = ::open("/dev/null", O_RDWR);
                ::dup2(devnull, 1);
                ::dup2(devnull, 2);
                ::execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                         static_cast<char*>(nullptr));
                ::_exit(127);
            }
            for (int i = 0; i < 100 && !fs::exists(socket); ++i) std::this_thread::sleep_for(50ms);
            if (!fs::exists(socket)) {
                ::kill(pid_, SIGTERM);
                ::waitpid(pid_, nullptr, 0);
                pid_ = -1;
                continue;
            }
            ::setenv("DISPLAY", name.c_str(), 1);
            ::setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
            return;
        }
    }
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }

private:
    pid_t pid_ = -1;
};

[[maybe_unused]] ::testing::Environment* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

}  // namespace

namespace {

// "id name geometry" of every top-level window: a box is known by all three,
// since X may hand a closed box's id to the next one.
std::vector<std::string> windowSignatures() {
    std::vector<std::string> out;
    std::istringstream lines(capture("xwininfo -root -children 2>/dev/null"));
    std::string line;
    while (std::getline(lines, line))
        if (line.find("0x") != std::string::npos && line.find('"') != std::string::npos) out.push_back(line);
    return out;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> topLevelWindows() {
    std::vector<std::pair<std::string, std::string>> windows;
    std::istringstream lines(capture("xwininfo -root -children 2>/dev/null"));
    std::string line;
    while (std::getline(lines, line)) {
        // "     0x200001 \"Notice\": (\"SDL_msgbox\" \"SDL_msgbox\")  ..."
        const size_t id = line.find("0x");
        const size_t open = line.find('"');
        if (id == std::string::npos || open == std::string::npos || open < id) continue;
        const size_t close = line.find("\": ", open + 1);
        if (close == std::string::npos) continue;
        windows.emplace_back(line.substr(id, line.find(' ', id) - id), line.substr(open + 1, close - open - 1));
    }
    return windows;
}

BackgroundRun::BackgroundRun(const fs::path& program, const std::vector<std::string>& args, const fs::path& workingDir)
    : errFile_(workingDir / "stderr.txt") {
    pid_ = ::fork();
    if (pid_ == 0) {
        const int err = ::open(errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 0);
        ::dup2(devnull, 1);
        ::dup2(err, 2);
        if (::chdir(workingDir.c_str()) != 0) ::_exit(127);
        std::vector<std::string> copies = args;
        std::string prog = program.string();
        std::vector<char*> argv = {prog.data()};
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(prog.c_str(), argv.data());
        ::_exit(127);
    }
}

BackgroundRun::~BackgroundRun() {
    if (!ended_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool BackgroundRun::running() {
    if (ended_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }
    return true;
}

bool BackgroundRun::answer(const std::string& caption, const std::string& key, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    auto find = [&caption] {
        for (const std::string& w : windowSignatures())
            if (w.find("\"" + caption + "\":") != std::string::npos) return w;
        return std::string();
    };
    auto present = [](const std::string& box) {
        for (const std::string& w : windowSignatures())
            if (w == box) return true;
        return false;
    };
    std::string seen;
    while (std::chrono::steady_clock::now() < end) {
        // A new box is placed and sized after it appears: wait until it
        // looks the same twice in a row, then it also takes keys.
        const std::string box = find();
        if (box.empty() || box != seen) {
            if (box.empty() && !running()) return false;
            seen = box;
            std::this_thread::sleep_for(250ms);
            continue;
        }
        const size_t idStart = box.find("0x");
        const std::string id = box.substr(idStart, box.find(' ', idStart) - idStart);
        // Press again only when a press was missed and the very same box is
        // still there (X may hand its id to the next box).
        for (int attempt = 0; attempt < 3 && present(box); ++attempt) {
            [[maybe_unused]] const int rc =
                std::system(("xdotool key --window " + id + " " + key + " >/dev/null 2>&1").c_str());
            const auto gone = std::chrono::steady_clock::now() + 2500ms;
            while (present(box) && running() && std::chrono::steady_clock::now() < gone)
                std::this_thread::sleep_for(10ms);
        }
        return !present(box);
    }
    return false;
}

std::string BackgroundRun::waitFor(const std::string& caption, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    std::string seen;
    while (std::chrono::steady_clock::now() < end) {
        std::string box;
        for (const std::string& w : windowSignatures())
            if (w.find("\"" + caption + "\":") != std::string::npos) box = w;
        if (box.empty() && !running()) return std::string();
        if (!box.empty() && box == seen) {
            const size_t idStart = box.find("0x");
            return box.substr(idStart, box.find(' ', idStart) - idStart);
        }
        seen = box;
        std::this_thread::sleep_for(250ms);
    }
    return std::string();
}

int BackgroundRun::wait(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() >= end) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            ended_ = true;
            return -1;
        }
        std::this_thread::sleep_for(50ms);
    }
    return status_;
}

std::string BackgroundRun::stdErr() const { return readFile(errFile_); }

std::string windowIdContaining(const std::string& part) {
    for (const auto& [id, name] : topLevelWindows())
        if (name.find(part) != std::string::npos) return id;
    return std::string();
}

namespace {

// Binary PPM ("P6", maximum 255) as ImageMagick writes it.
bool parsePpm(const std::string& bytes, Screenshot& shot) {
    size_t pos = 0;
    auto token = [&]() {
        while (pos < bytes.size()) {
            if (bytes[pos] == '#') {
                while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
            } else if (std::isspace(static_cast<unsigned char>(bytes[pos]))) {
                ++pos;
            } else {
                break;
            }
        }
        const size_t start = pos;
        while (pos < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[pos]))) ++pos;
        return bytes.substr(start, pos - start);
    };
    if (token() != "P6") return false;
    const int w = std::atoi(token().c_str());
    const int h = std::atoi(token().c_str());
    if (token() != "255" || w <= 0 || h <= 0) return false;
    ++pos;  // the one whitespace byte before the pixels
    const size_t size = size_t(w) * size_t(h) * 3;
    if (bytes.size() < pos + size) return false;
    shot.width = w;
    shot.height = h;
    shot.rgb.assign(bytes.begin() + std::ptrdiff_t(pos), bytes.begin() + std::ptrdiff_t(pos + size));
    return true;
}

}  // namespace

bool saveWindowPicture(const std::string& id, const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
    const std::string command = "timeout 10 import -window " + id + " -depth 8 '" + path.string() + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && fs::exists(path) && fs::file_size(path) > 0;
}

bool grabWindow(const std::string& id, Screenshot& shot) {
    TempFolder scratch;
    const fs::path file = scratch / "shot.ppm";
    if (!saveWindowPicture(id, file)) return false;
    return readScreenshot(file, shot);
}

bool readScreenshot(const fs::path& ppm, Screenshot& shot) { return parsePpm(readFile(ppm), shot); }

}  // namespace vant::test
