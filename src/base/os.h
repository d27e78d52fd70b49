#pragma once
// The few things the program asks of the operating system, in one place:
// os_posix.cpp and os_win32.cpp implement them, and the build picks one.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

namespace vant::os {

// Full path of the running program's own file; empty when it cannot be told.
std::string programPath();
// The arguments as the one text the system hands over, where it does
// (Windows: the command line after the program's name, to be split by the
// program's own rules); nothing where they come already split.
std::optional<std::string> argumentText();
// Makes `folder` the current directory; false when it cannot.
bool enterFolder(const std::string& folder);

enum class PathKind { Missing, File, Folder, Other };
// What a path names (Other: a device, a pipe, a socket...).
PathKind pathKind(const std::string& path);
// The folder test of the minimap output: true when listing `folder`
// (without a trailing separator) finds an entry.
bool folderListable(const std::string& folder);

// The file a chain of symbolic links ends at (a relative link counts from
// its own folder); the path itself when it is no link. On Windows, where
// links are rare and need a privilege to make, the path itself.
std::string followLinks(const std::string& path);
// True for a name in the kernel's view of processes (/proc, /dev/fd/N,
// /dev/stdout once followed): never a file a picture can be saved as.
bool processFile(const std::string& path);
// A new, empty file whose name starts with `prefix`, open for binary
// writing; `name` receives its name. When `like` names a file the new one
// takes over its permissions (and owner, where the process may give it),
// otherwise it gets those a plain fopen would give. Null (errno set) when
// none could be made. The file can be removed with removeFile while open.
std::FILE* createUniqueFile(const std::string& prefix, std::string& name, const std::string& like = {});
// Puts `from` in the place of `to` in one step, replacing an existing `to`:
// a reader sees the old file or the new one, never a mix.
bool replaceFile(const std::string& from, const std::string& to);
// Removes a file; safe to call from an interruption's clean-up.
bool removeFile(const char* path);

// Opens a regular file with fopen's `mode` ("r", "w", "a", "+", "b"): a
// folder, a named pipe or a device is never opened (opening a pipe waits
// for its other end, opening some devices does something), nor waited on.
std::FILE* openRegularFile(const std::string& path, const char* mode);
// Sets aside room on disk for a new file about to be written to `bytes`,
// without changing its size: the file system then allocates its blocks in
// one step, not page by page as they are written. A hint only.
void reserveSpace(std::FILE* file, uint64_t bytes);
// Size of an open file; -1 when unknown.
int64_t fileSize(std::FILE* file);
// Reads up to `size` bytes at `offset` of a file that is read only this way
// (the stream's own position is not kept); bytes read, -1 on error.
int64_t readAt(std::FILE* file, void* data, size_t size, uint64_t offset);
// The first position at or after `pos` where the file may hold data other
// than zeros: past a hole of a sparse file, `size` when the hole runs to the
// end, `pos` itself where the system cannot tell.
uint64_t skipHole(std::FILE* file, uint64_t pos, uint64_t size);

// Standard input, output and error that were closed at start are held open
// on nothing, so that no file opened later takes their numbers (and the
// messages meant for them): reads find nothing, writes fail.
void keepStandardStreams();
// Writing to a pipe nobody reads fails instead of ending the process.
void ignoreBrokenPipes();
// Has Ctrl-C, a request to terminate, a closed terminal and a pipe nobody
// reads any more run `cleanup` before the process ends as it would have (not
// where the interruption was already ignored). `cleanup` may only read plain
// memory and call removeFile. Also has a file-size limit fail the write,
// which is reported, instead of ending the process.
void onInterrupt(void (*cleanup)());
// Under an address-space limit (ulimit -v), has a crash (a segmentation
// fault or bus error) first say on standard error that the program ran
// under that limit, then run the interruption's clean-up, then end by the
// same signal. A graphics driver that cannot get memory often dies that way
// instead of reporting it. Without a limit, or where there are no such
// limits, nothing changes.
void explainCrashesUnderMemoryLimit(const std::string& program);
// Ends the process now with `status`, after the clean-up an interruption
// runs, but without exit handlers or destructors (which could wait for ever
// on something that is gone, such as the display).
[[noreturn]] void endAtOnce(int status);
// While one lives, interruptions wait: their clean-up runs after it.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    uint64_t saved_[16];  // the signal mask before (POSIX)
};

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
// Faults in, in one call, a fresh block that is about to be written whole:
// cheaper than taking a fault per page as it is written. A hint only.
void populatePages(void* data, size_t bytes);
// Keeps large allocations on the heap, which never gives its top back, and
// asks for large pages under its first workingSet bytes, where that exists
// (a no-op elsewhere). A minimap run touches up to some thirty megabytes of
// fresh memory once (a BMP or PNG holds the whole picture); on virtual
// machines the cost of faulting that in 4 KiB pages is larger than all the
// drawing. A windowed run passes 0: there the heap
// first serves the OpenGL driver's many scattered allocations, each of which
// would cost a whole large page (measured: median loads 8 to 47 ms slower
// with large pages there, and more spread).
void preferLargePages(size_t workingSet = size_t(32) << 20);

// High-resolution counter: ticks and ticks per second. A frequency of 0
// means there is no such counter; millisecondClock is then the time base.
long long counterTicks();
long long counterFrequency();
unsigned millisecondClock();

}  // namespace vant::os
