#include "base/os.h"

#include <algorithm>
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

std::optional<std::string> argumentText() {
    // The program's name ends at its closing quote or at the first blank;
    // the blanks after it are not part of the arguments.
    const char* p = GetCommandLineA();
    if (*p == '"') {
        for (++p; *p && *p != '"'; ++p) {}
        if (*p) ++p;
    } else {
        while (static_cast<unsigned char>(*p) > ' ') ++p;
    }
    while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
    return std::string(p);
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

std::string followLinks(const std::string& path) { return path; }
bool processFile(const std::string&) { return false; }
void keepStandardStreams() {}
void ignoreBrokenPipes() {}

std::FILE* createUniqueFile(const std::string& prefix, std::string& name, const std::string&) {
    // Names from the process id and a counter; creation fails when the name
    // is taken, so nobody else's file is ever opened. Windows files take
    // their permissions from their folder, so `like` has nothing to give.
    // Shared for deletion, so that an interruption can remove it while open.
    static unsigned serial = 0;
    const unsigned long process = GetCurrentProcessId();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%lx-%lx", process, (serial++ ^ GetTickCount()) & 0xffffffffUL);
        const std::string candidate = prefix + suffix;
        const HANDLE handle = CreateFileA(candidate.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            errno = error == ERROR_ACCESS_DENIED ? EACCES : error == ERROR_PATH_NOT_FOUND ? ENOENT : EIO;
            return nullptr;
        }
        const int fd = _open_osfhandle(intptr_t(handle), _O_WRONLY | _O_BINARY);
        std::FILE* file = fd < 0 ? nullptr : _fdopen(fd, "wb");
        if (!file) {
            if (fd < 0) CloseHandle(handle);
            else _close(fd);
            DeleteFileA(candidate.c_str());
            errno = ENOMEM;
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

bool removeFile(const char* path) { return DeleteFileA(path) != 0; }

std::FILE* openRegularFile(const std::string& path, const char* mode) {
    // Folders and devices are turned away by name first, then by what the
    // open handle is (a pipe or console also opens without waiting here).
    const PathKind kind = pathKind(path);
    if (kind == PathKind::Folder || kind == PathKind::Other) return nullptr;
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (file && GetFileType(HANDLE(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

void reserveSpace(std::FILE*, uint64_t) {}

int64_t fileSize(std::FILE* file) {
    LARGE_INTEGER size;
    return GetFileSizeEx(HANDLE(_get_osfhandle(_fileno(file))), &size) ? int64_t(size.QuadPart) : -1;
}

int64_t readAt(std::FILE* file, void* data, size_t size, uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD got = 0;
    const DWORD asked = DWORD(std::min<size_t>(size, 1u << 30));
    if (ReadFile(HANDLE(_get_osfhandle(_fileno(file))), data, asked, &got, &at)) return int64_t(got);
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

// Holes are not asked for: runs of zeros are read like any other bytes.
uint64_t skipHole(std::FILE*, uint64_t pos, uint64_t) { return pos; }

// Console events arrive on a thread of their own: the lock makes the
// clean-up wait for a file being made and noted down.
namespace {
void (*gCleanup)() = nullptr;
SRWLOCK gInterruptLock = SRWLOCK_INIT;

BOOL WINAPI cleanUpOnEvent(DWORD) {
    AcquireSRWLockExclusive(&gInterruptLock);
    if (gCleanup) gCleanup();
    return FALSE;  // the default handling ends the process
}
}  // namespace

void endAtOnce(int status) {
    if (gCleanup) gCleanup();
    std::_Exit(status);
}

void onInterrupt(void (*cleanup)()) {
    gCleanup = cleanup;
    SetConsoleCtrlHandler(cleanUpOnEvent, TRUE);
}

InterruptsHeld::InterruptsHeld() { AcquireSRWLockExclusive(&gInterruptLock); }
InterruptsHeld::~InterruptsHeld() { ReleaseSRWLockExclusive(&gInterruptLock); }

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

void populatePages(void*, size_t) {}

void explainCrashesUnderMemoryLimit(const std::string&) {}  // no such limit here

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
