#include "run_binary.h"

#include <fcntl.h>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vant::test {

TempFolder::TempFolder() {
    std::string name = (fs::temp_directory_path() / "vant-test-XXXXXX").string();
    if (!::mkdtemp(name.data())) throw std::runtime_error("cannot make a temporary folder");
    ::chmod(name.c_str(), 0755);  // as a plain new folder, so other users may enter
    path_ = name;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Restore write permission on anything a test made read-only.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

fs::path installBinary(const fs::path& folder) {
    const fs::path built = VANTEDIT_BINARY;
    const fs::path target = folder / "vantedit";
    fs::copy_file(built, target, fs::copy_options::overwrite_existing);
    const auto copy = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    for (const char* name : {"vantedit-window", "data"})
        if (fs::exists(built.parent_path() / name)) fs::copy(built.parent_path() / name, folder / name, copy);
    return target;
}

RunResult runProgram(const fs::path& program, const std::vector<std::string>& args, const fs::path& workingDir,
                     const std::vector<std::string>& env, bool keepOutput) {
    RunResult result;
    int errPipe[2];
    if (::pipe(errPipe) != 0) return result;
    // Standard output goes to an unnamed file, read once the program ended.
    const int outFile = keepOutput ? ::open(fs::temp_directory_path().c_str(), O_TMPFILE | O_RDWR, 0600) : -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(errPipe[1], 2);
        ::close(errPipe[0]);
        ::close(errPipe[1]);
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 0);
        ::dup2(outFile >= 0 ? outFile : devnull, 1);
        if (::chdir(workingDir.c_str()) != 0) ::_exit(127);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
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
    if (outFile >= 0) {
        for (off_t at = 0; (n = ::pread(outFile, buffer, sizeof buffer, at)) > 0; at += n) result.stdOut.append(buffer, size_t(n));
        ::close(outFile);
    }
    return result;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

}  // namespace vant::test
