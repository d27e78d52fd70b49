// Shared by the harnesses. The readers take file paths, so each input is
// written to a private file first; message boxes stay silent and answer as
// the harness says; a broken promise of a reader aborts the run so that the
// fuzzer (or the replay) reports it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "base/runtime.h"

#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)

namespace vant::fuzz {

// A folder of this process's own, in memory when /dev/shm is there.
inline const std::string& scratchFolder() {
    static const std::string folder = [] {
        struct stat st;
        const std::string root = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
        std::string path = root + "/vant-fuzz-" + std::to_string(::getpid());
        ::mkdir(path.c_str(), 0700);
        return path + "/";
    }();
    return folder;
}

// Writes the input under the given name (its extension matters to the
// readers) and returns the path.
inline std::string inputFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = scratchFolder() + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    return path;
}

// Removes the files a harness wrote, and the folder, when the process ends.
inline void removeScratchAtExit() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    scratchFolder();  // made before the handler is registered, so it outlives it
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(scratchFolder(), ignored);
    });
}

// A run whose boxes show nothing and answer `answer`.
inline void silence(Runtime& rt, int answer) {
    rt.responder = [answer](int, const std::string&, const std::string&) { return answer; };
    removeScratchAtExit();
}

}  // namespace vant::fuzz
