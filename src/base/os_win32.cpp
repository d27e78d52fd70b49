#include "base/os.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <vector>
#include <windows.h>

namespace vant::os {

std::string programPath() {
    std::vector<char> buffer(MAX_PATH + 1, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0) return std::string();
        if (n < buffer.size()) return std::string(buffer.data(), n);
        if (buffer.size() > 32768) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

bool enterFolder(const std::string& folder) { return SetCurrentDirectoryA(folder.c_str()) != 0; }

PathKind pathKind(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::Other;
    return PathKind::File;
}

bool folderListable(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "/*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

std::FILE* createUniqueFile(const std::string& prefix, std::string& name) {
    // Names from the process id and a counter; creation fails when the name
    // is taken, so nobody else's file is ever opened.
    static unsigned serial = 0;
    const unsigned long process = GetCurrentProcessId();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%lx-%lx", process, (serial++ ^ GetTickCount()) & 0xffffffffUL);
        const std::string candidate = prefix + suffix;
        const int fd = _open(candidate.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        std::FILE* file = _fdopen(fd, "wb");
        if (!file) {
            const int saved = errno;
            _close(fd);
            _unlink(candidate.c_str());
            errno = saved;
            return nullptr;
        }
        name = candidate;
        return file;
    }
    errno = EEXIST;
    return nullptr;
}

bool replaceFile(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

bool seek(std::FILE* file, int64_t offset, int whence) { return _fseeki64(file, offset, whence) == 0; }
int64_t tell(std::FILE* file) { return _ftelli64(file); }

std::tm utcTime(std::time_t seconds) {
    std::tm utc{};
    gmtime_s(&utc, &seconds);
    return utc;
}

// Committed virtual memory reads as zeros; large pages need a privilege
// ordinary users lack, so plain pages it is.
Pages mapZeroedPages(size_t bytes) {
    void* data = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return data ? Pages{data, bytes} : Pages{};
}

bool discardPages(const Pages&) { return false; }

void unmapPages(const Pages& pages) { VirtualFree(pages.data, 0, MEM_RELEASE); }

void preferLargePages(size_t) {}

long long counterTicks() {
    LARGE_INTEGER now;
    return QueryPerformanceCounter(&now) ? now.QuadPart : 0;
}

long long counterFrequency() {
    LARGE_INTEGER frequency;
    return QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
}

unsigned millisecondClock() { return timeGetTime(); }

}  // namespace vant::os
