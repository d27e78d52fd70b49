#include "base/os.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vant::os {

std::string programPath() {
    std::vector<char> buffer(PATH_MAX + 1, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), PATH_MAX);
    if (n <= 0) return std::string();
    return std::string(buffer.data(), size_t(n));
}

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

std::FILE* createUniqueFile(const std::string& prefix, std::string& name) {
    std::string pattern = prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) return nullptr;
    // mkstemp makes the file private; give it the permissions a plain
    // fopen would have given it.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
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

void preferLargePages(size_t workingSet) {
    // Keep large allocations on the heap and never give its top back, so
    // the block below serves the whole run.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
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
