#include "run_binary.h"

#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace vant::test {

TempFolder::TempFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path name = fs::temp_directory_path() / ("vant-test-" + std::to_string(random()));
        std::error_code ec;
        if (fs::create_directory(name, ec)) path_ = name;
    }
    if (path_.empty()) throw std::runtime_error("cannot make a temporary folder");
    fs::permissions(path_, fs::perms(0755));  // as a plain new folder, so other users may enter
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
    const fs::path target = folder / built.filename();
    fs::copy_file(built, target, fs::copy_options::overwrite_existing);
    const auto copy = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    for (const char* name : {"vantedit-window", "data"})
        if (fs::exists(built.parent_path() / name)) fs::copy(built.parent_path() / name, folder / name, copy);
    return target;
}

#ifdef _WIN32
namespace {
// One argument as the C runtime splits the command line again.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

// The caller's environment without the display, plus the extra entries.
std::string environmentBlock(const std::vector<std::string>& env) {
    std::string block;
    char* all = GetEnvironmentStringsA();
    for (const char* e = all; *e; e += std::strlen(e) + 1) {
        const std::string entry = e;
        if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0) continue;
        block += entry + '\0';
    }
    FreeEnvironmentStringsA(all);
    for (const std::string& e : env) block += e + '\0';
    return block + '\0';
}
}  // namespace

RunResult runProgram(const fs::path& program, const std::vector<std::string>& args, const fs::path& workingDir,
                     const std::vector<std::string>& env, bool keepOutput) {
    RunResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) return result;
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    const DWORD shared = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, shared, &inherit, OPEN_EXISTING, 0, nullptr);
    // Standard output goes to a file that vanishes once closed, read once
    // the program ended.
    HANDLE out = nul;
    if (keepOutput) {
        const std::string name = (fs::temp_directory_path() / ("vant-out-" + std::to_string(GetCurrentProcessId()) +
                                                               "-" + std::to_string(GetTickCount()))).string();
        out = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, shared, &inherit, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = out;
    startup.hStdError = errWrite;
    std::string commandLine = quoted(program.string());
    for (const std::string& a : args) commandLine.append(1, ' ').append(quoted(a));
    std::string environment = environmentBlock(env);
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessA(program.string().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        environment.data(), workingDir.string().c_str(), &startup, &process);
    CloseHandle(errWrite);
    char buffer[4096];
    DWORD n = 0;
    if (started) {
        while (ReadFile(errRead, buffer, sizeof buffer, &n, nullptr) && n > 0) result.stdErr.append(buffer, n);
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        // An unhandled exception ends a process with its code (0xC...).
        if (code < 0xC0000000u) result.status = int(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (keepOutput && out != INVALID_HANDLE_VALUE) {
        SetFilePointer(out, 0, nullptr, FILE_BEGIN);
        while (ReadFile(out, buffer, sizeof buffer, &n, nullptr) && n > 0) result.stdOut.append(buffer, n);
        CloseHandle(out);
    }
    CloseHandle(nul);
    CloseHandle(errRead);
    // Text streams end their lines with CR LF here; the tests read LF.
    for (std::string* text : {&result.stdErr, &result.stdOut})
        for (size_t at = 0; (at = text->find("\r\n", at)) != std::string::npos;) text->erase(at, 1);
    return result;
}

int inChild(const std::function<int()>& fn, long, bool, unsigned) { return fn(); }
#else
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

int inChild(const std::function<int()>& fn, long fileSize, bool unprivileged, unsigned seconds) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (fileSize >= 0) {
            std::signal(SIGXFSZ, SIG_IGN);  // stays ignored across exec
            const rlimit r{rlim_t(fileSize), rlim_t(fileSize)};
            if (::setrlimit(RLIMIT_FSIZE, &r) != 0) ::_exit(126);
        }
        if (unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(125);
        ::alarm(seconds);
        ::_exit(fn());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#endif

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

}  // namespace vant::test
