#include "base/os.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif
#include <sys/resource.h>
#include <sys/stat.h>
#include <pthread.h>
#include <unistd.h>
#include <vector>

namespace vant::os {

std::string programPath() {
    std::vector<char> buffer(PATH_MAX + 1, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), PATH_MAX);
    if (n <= 0) return std::string();
    return std::string(buffer.data(), size_t(n));
}

std::optional<std::string> argumentText() { return std::nullopt; }

bool enterFolder(const std::string& folder) { return ::chdir(folder.c_str()) == 0; }

PathKind pathKind(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    if (S_ISREG(st.st_mode)) return PathKind::File;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    return PathKind::Other;
}

bool folderListable(const std::string& folder) {
    struct stat st;
    return ::stat((folder + "/").c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool processFile(const std::string& path) {
#ifdef __linux__
    // The folder holding the name decides: /dev/fd/1 is a link in /proc.
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    struct statfs fs {};
    return ::statfs(folder.c_str(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
#else
    return path.starts_with("/proc/");
#endif
}

std::string followLinks(const std::string& start) {
    std::string path = start;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        // A process's descriptor links name no file to follow by name
        // ("pipe:[7]"), or the file a shell opened for appending.
        if (processFile(path)) return path;
        std::vector<char> link(size_t(st.st_size > 0 ? st.st_size : 4096) + 1);
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || size_t(n) >= link.size()) return path;
        const std::string to(link.data(), size_t(n));
        const size_t slash = path.rfind('/');
        path = to[0] == '/' || slash == std::string::npos ? to : path.substr(0, slash + 1) + to;
    }
    return path;
}

std::FILE* createUniqueFile(const std::string& prefix, std::string& name, const std::string& like) {
    std::string pattern = prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) return nullptr;
    struct stat st;
    if (!like.empty() && ::stat(like.c_str(), &st) == 0) {
        // The old file's owner where we may (before the mode, which a change
        // of owner can clear): not ours to give away, the file becomes ours,
        // in the old group where we belong to it. Then its mode.
        if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) && ::fchown(fd, st.st_uid, st.st_gid) != 0 &&
            ::fchown(fd, uid_t(-1), st.st_gid) != 0) {
        }
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        // mkstemp makes the file private; give it the permissions a plain
        // fopen would have given it.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        const int saved = errno;
        ::close(fd);
        ::unlink(buffer.data());
        errno = saved;
        return nullptr;
    }
    name = buffer.data();
    return file;
}

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool removeFile(const char* path) { return ::unlink(path) == 0; }

std::FILE* openRegularFile(const std::string& path, const char* mode) {
    // Looked at first; the open itself does not wait either, in case the
    // name changed in between.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return nullptr;
    int flags = 0;
    switch (mode[0]) {
        case 'r': flags = O_RDONLY; break;
        case 'w': flags = O_WRONLY | O_CREAT; break;
        case 'a': flags = O_WRONLY | O_CREAT | O_APPEND; break;
        default: return nullptr;
    }
    if (std::strchr(mode, '+')) flags = (flags & ~O_ACCMODE) | O_RDWR;
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, flags & ~O_CREAT) != 0 ||
        (mode[0] == 'w' && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, mode);
    if (!f) ::close(fd);
    return f;
}

void reserveSpace(std::FILE* file, uint64_t bytes) {
#ifdef __linux__
    // Where the file system cannot, nothing is done (posix_fallocate would
    // write zeros instead). A file system in memory has no blocks to
    // allocate: reserving there would only clear pages the writing fills.
    struct statfs fs {};
    if (bytes == 0 || ::fstatfs(fileno(file), &fs) != 0 || fs.f_type == TMPFS_MAGIC) return;
    (void)::fallocate(fileno(file), FALLOC_FL_KEEP_SIZE, 0, off_t(bytes));
#else
    (void)file;
    (void)bytes;
#endif
}

int64_t fileSize(std::FILE* file) {
    struct stat st;
    return ::fstat(fileno(file), &st) == 0 ? int64_t(st.st_size) : -1;
}

int64_t readAt(std::FILE* file, void* data, size_t size, uint64_t offset) {
    return ::pread(fileno(file), data, size, off_t(offset));
}

uint64_t skipHole(std::FILE* file, uint64_t pos, uint64_t size) {
    const off_t data = ::lseek(fileno(file), off_t(pos), SEEK_DATA);
    if (data < 0) return errno == ENXIO ? size : pos;  // ENXIO: a hole to the end
    return std::max(pos, std::min(uint64_t(data), size));
}

namespace {
void (*gCleanup)() = nullptr;
const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void cleanUpAndDie(int sig) {
    if (gCleanup) gCleanup();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}
}  // namespace

void keepStandardStreams() {
    // Opened read-only, so writes to them still fail as on a closed one.
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int held = ::open("/dev/null", O_RDONLY);
            if (held >= 0 && held != fd) ::close(held);
        }
}

void ignoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

void endAtOnce(int status) {
    if (gCleanup) gCleanup();
    std::_Exit(status);
}

namespace {
char gCrashNote[256];
size_t gCrashNoteLength = 0;

extern "C" void explainAndDie(int sig) {
    if (gCrashNoteLength) {
        [[maybe_unused]] const ssize_t written = ::write(2, gCrashNote, gCrashNoteLength);
    }
    if (gCleanup) gCleanup();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}
}  // namespace

void explainCrashesUnderMemoryLimit(const std::string& program) {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return;
    const int n = std::snprintf(gCrashNote, sizeof gCrashNote,
                                "%s: crashed with its address space limited to %llu MiB (ulimit -v); the graphics "
                                "driver may need more\n",
                                program.c_str(), static_cast<unsigned long long>(limit.rlim_cur >> 20));
    gCrashNoteLength = n > 0 ? std::min(size_t(n), sizeof gCrashNote - 1) : 0;
    // Its own stack, in case the crash is the stack running out.
    static char altStack[1 << 16];
    stack_t stack{};
    stack.ss_sp = altStack;
    stack.ss_size = sizeof altStack;
    ::sigaltstack(&stack, nullptr);
    for (int sig : {SIGSEGV, SIGBUS}) {
        struct sigaction act {};
        act.sa_handler = explainAndDie;
        act.sa_flags = SA_ONSTACK;
        sigemptyset(&act.sa_mask);
        ::sigaction(sig, &act, nullptr);
    }
}

void onInterrupt(void (*cleanup)()) {
    gCleanup = cleanup;
    std::signal(SIGXFSZ, SIG_IGN);
    for (int sig : kInterrupts) {
        struct sigaction old {};
        ::sigaction(sig, nullptr, &old);
        if (old.sa_handler == SIG_IGN) continue;  // started under nohup and the like
        struct sigaction act {};
        act.sa_handler = cleanUpAndDie;
        sigemptyset(&act.sa_mask);
        ::sigaction(sig, &act, nullptr);
    }
}

static_assert(sizeof(sigset_t) <= sizeof(uint64_t[16]), "room for a signal mask");
InterruptsHeld::InterruptsHeld() {
    sigset_t stops;
    sigemptyset(&stops);
    for (int sig : kInterrupts) sigaddset(&stops, sig);
    ::pthread_sigmask(SIG_BLOCK, &stops, reinterpret_cast<sigset_t*>(saved_));
}
InterruptsHeld::~InterruptsHeld() { ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(saved_), nullptr); }

static_assert(sizeof(off_t) == 8, "large-file offsets needed");
bool seek(std::FILE* file, int64_t offset, int whence) { return ::fseeko(file, off_t(offset), whence) == 0; }
int64_t tell(std::FILE* file) { return ::ftello(file); }

std::tm utcTime(std::time_t seconds) {
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    return utc;
}

namespace {
constexpr size_t LargePage = size_t(2) << 20;
}

Pages mapZeroedPages(size_t bytes) {
    // Map one large page more than needed and keep an aligned window.
    const size_t rounded = (bytes + LargePage - 1) & ~(LargePage - 1);
    void* raw = ::mmap(nullptr, rounded + LargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return {};
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + LargePage - 1) & ~uintptr_t(LargePage - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    const uintptr_t end = start + rounded + LargePage, alignedEnd = aligned + rounded;
    if (end > alignedEnd) ::munmap(reinterpret_cast<void*>(alignedEnd), end - alignedEnd);
    Pages pages{reinterpret_cast<void*>(aligned), rounded};
    ::madvise(pages.data, pages.size, MADV_HUGEPAGE);
    return pages;
}

// Dropped pages of a private anonymous mapping read back as zeros.
bool discardPages(const Pages& pages) { return ::madvise(pages.data, pages.size, MADV_DONTNEED) == 0; }

void unmapPages(const Pages& pages) { ::munmap(pages.data, pages.size); }

void populatePages(void* data, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    // Whole pages inside the block only: the ones it shares are written anyway.
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~uintptr_t(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~uintptr_t(page - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

void preferLargePages(size_t workingSet) {
    // Keep large allocations on the heap and never give its top back, so
    // the block below serves the whole run.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    if (workingSet == 0) return;
    // One block of the run's working set makes the heap grow now, in one
    // step and no further than the run will touch; freed, it stays as the
    // top of the heap for the allocations that follow. Under an address
    // space limit that cannot hold it, the heap simply grows as it goes.
    void* block = std::malloc(workingSet);
    if (!block) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + LargePage - 1) & ~(LargePage - 1);
    const uintptr_t end = reinterpret_cast<uintptr_t>(sbrk(0)) & ~(LargePage - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    std::free(block);
    // The heap below the first large page would serve the first megabyte or
    // two in small pages, as many as the random heap start leaves there
    // (0 to 512 faults, about a millisecond): that stretch stays taken,
    // never touched, and allocations start on large pages.
    static void* taken = nullptr;  // kept for the run, never written
    const size_t below = begin - reinterpret_cast<uintptr_t>(block);
    if (end > begin && below > 64 && !taken) taken = std::malloc(below - 8);
}

long long counterTicks() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

long long counterFrequency() { return 1000000000LL; }

unsigned millisecondClock() { return static_cast<unsigned>(counterTicks() / 1000000); }

}  // namespace vant::os
