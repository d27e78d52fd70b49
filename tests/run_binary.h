// Runs the real vantedit binary from a private copy in a temporary folder,
// as a user would: the program treats its own folder as home.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vant::test {

struct RunResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string stdErr;
    std::string stdOut;  // kept only when asked for
};

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// A fresh temporary folder that is the current directory while it lives, for
// code that works with paths relative to the program's folder.
class WorkFolder {
public:
    WorkFolder() : saved_(std::filesystem::current_path()) { std::filesystem::current_path(folder_.path()); }
    ~WorkFolder() {
        std::error_code ec;
        std::filesystem::current_path(saved_, ec);
    }
    const std::filesystem::path& path() const { return folder_.path(); }

private:
    TempFolder folder_;
    std::filesystem::path saved_;
};

// Copies the built binary (and its data folder) into `folder`.
std::filesystem::path installBinary(const std::filesystem::path& folder);

// Runs program with the arguments, from workingDir, with the given extra
// environment ("NAME=value"); DISPLAY is removed unless given. Standard
// output is kept in stdOut when keepOutput is set, else thrown away.
RunResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::filesystem::path& workingDir, const std::vector<std::string>& env = {},
                     bool keepOutput = false);

// fn's result as the exit status of a child process that may write files
// of fileSize bytes at most (write() then fails with EFBIG), runs as an
// ordinary user when unprivileged (even for root, so permissions hold) and
// is ended after `seconds` (0: no limit); 128 + the signal when one ended
// it. Windows has no fork: fn runs here, without limits.
int inChild(const std::function<int()>& fn, long fileSize = -1, bool unprivileged = false, unsigned seconds = 0);

#ifdef MAKE_SAMPLE_CITY
// Writes the generated sample city into `dir`.
inline RunResult makeSampleCity(const std::filesystem::path& dir) {
    return runProgram(MAKE_SAMPLE_CITY, {dir.string()}, dir);
}
#endif

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace vant::test
