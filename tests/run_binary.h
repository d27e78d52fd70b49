// Runs the real vantedit binary from a private copy in a temporary folder,
// as a user would: the program treats its own folder as home.
#pragma once

#include <filesystem>
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

// Copies the built binary (and its data folder) into `folder`.
std::filesystem::path installBinary(const std::filesystem::path& folder);

// Runs program with the arguments, from workingDir, with the given extra
// environment ("NAME=value"); DISPLAY is removed unless given. Standard
// output is kept in stdOut when keepOutput is set, else thrown away.
RunResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::filesystem::path& workingDir, const std::vector<std::string>& env = {},
                     bool keepOutput = false);

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace vant::test
