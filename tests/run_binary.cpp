#include "run_binary.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace vant::test {

TempFolder::TempFolder() {
    std::random_device rd;
    for (;;) {
        path_ = fs::temp_directory_path() / ("vant-test-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(path_, ec)) break;
    }
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Restore write permission on anything a test made read-only.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

fs::path installBinary(const fs::path& folder) {
    const fs::path built = VANTEDIT_BINARY;
    const fs::path target = folder / "vantedit";
    fs::copy_file(built, target, fs::copy_options::overwrite_existing);
    const fs::path windowed = built.parent_path() / "vantedit-window";
    if (fs::exists(windowed)) fs::copy_file(windowed, folder / "vantedit-window", fs::copy_options::overwrite_existing);
    const fs::path data = built.parent_path() / "data";
    if (fs::exists(data)) fs::copy(data, folder / "data", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    return target;
}

RunResult runProgram(const fs::path& program, const std::vector<std::string>& args, const fs::path& workingDir,
                     const std::vector<std::string>& env) {
    RunResult result;
    int errPipe[2];
    if (::pipe(errPipe) != 0) return result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(errPipe[1], 2);
        ::close(errPipe[0]);
        ::close(errPipe[1]);
        const int devnull = ::open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            ::dup2(devnull, 0);
            ::dup2(devnull, 1);
        }
        if (::chdir(workingDir.c_str()) != 0) ::_exit(127);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        std::string prog = program.string();
        argv.push_back(prog.data());
        std::vector<std::string> copies = args;
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(prog.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(errPipe[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(errPipe[0], buffer, sizeof buffer)) > 0) result.stdErr.append(buffer, size_t(n));
    ::close(errPipe[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

}  // namespace vant::test
