#pragma once
// The few things the program asks of the operating system, in one place:
// os_posix.cpp and os_win32.cpp implement them, and the build picks one.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace vant::os {

// Full path of the running program's own file; empty when it cannot be told.
std::string programPath();
// Makes `folder` the current directory; false when it cannot.
bool enterFolder(const std::string& folder);

enum class PathKind { Missing, File, Folder, Other };
// What a path names (Other: a device, a pipe, a socket...).
PathKind pathKind(const std::string& path);
// The folder test of the minimap output: true when listing `folder`
// (without a trailing separator) finds an entry.
bool folderListable(const std::string& folder);

// A new, empty file whose name starts with `prefix`, open for binary
// writing with the permissions a plain fopen would give; `name` receives
// its name. Null (errno set) when none could be made.
std::FILE* createUniqueFile(const std::string& prefix, std::string& name);
// Puts `from` in the place of `to` in one step, replacing an existing `to`:
// a reader sees the old file or the new one, never a mix.
bool replaceFile(const std::string& from, const std::string& to);
// File positions of any size (`long` is 32 bits on some systems): seek
// returns false on failure, tell returns -1.
bool seek(std::FILE* file, int64_t offset, int whence);
int64_t tell(std::FILE* file);

// Broken-down UTC time of `seconds` since the epoch.
std::tm utcTime(std::time_t seconds);

// Large zero-filled blocks straight from the system, in whole large pages
// where the system offers them; data is null when none could be had.
struct Pages {
    void* data = nullptr;
    size_t size = 0;
};
Pages mapZeroedPages(size_t bytes);
// Hands the pages back so they read as zeros again; false when the system
// cannot (the caller then clears them itself).
bool discardPages(const Pages& pages);
void unmapPages(const Pages& pages);
// Asks for large pages under the heap, where that exists (a no-op
// elsewhere). A minimap run touches some thirty megabytes of fresh memory
// once; on virtual machines the cost of faulting it in 4 KiB pages is larger
// than all the drawing. The heap is grown once by workingSet bytes.
void preferLargePages(size_t workingSet = size_t(32) << 20);

// High-resolution counter: ticks and ticks per second. A frequency of 0
// means there is no such counter; millisecondClock is then the time base.
long long counterTicks();
long long counterFrequency();
unsigned millisecondClock();

}  // namespace vant::os
