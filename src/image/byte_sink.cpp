#include "image/byte_sink.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>

#include "base/os.h"

namespace vant {

bool VectorSink::write(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return true;
}

namespace {
// Written out in pieces this large (see AtomicFile's constructor).
constexpr size_t WriteBuffer = size_t(512) << 10;

// Temporary files alive right now, for the signal handler to remove. The
// handler may only touch plain memory and lock-free atomics, so the table is
// fixed: room for every file a batch of parallel levels writes at once. A
// slot is taken atomically (threads may write files side by side) and is
// marked named only once its name is complete.
constexpr int TempSlots = 264;
enum : int { SlotFree, SlotNaming, SlotNamed };
// Plain zero-filled memory (no constructor runs at start-up, and the names'
// pages are touched only when used); the states are read and written as
// atomics. They sit apart from the names, so a scan reads one page.
int gTempState[TempSlots];
char gTempPath[TempSlots][4096];
std::atomic_ref<int> slotState(int i) { return std::atomic_ref<int>(gTempState[i]); }
static_assert(std::atomic_ref<int>::is_always_lock_free, "the signal handler reads the slots");
// Files being made and not yet noted down; once the handler has begun, no
// more are made.
std::atomic<int> gMaking{0};
std::atomic<bool> gEnding{false};

int rememberTemp(const std::string& path) {
    if (path.size() >= sizeof gTempPath[0]) return -1;
    for (int i = 0; i < TempSlots; ++i) {
        int free = SlotFree;
        if (!slotState(i).compare_exchange_strong(free, SlotNaming)) continue;
        std::memcpy(gTempPath[i], path.c_str(), path.size() + 1);
        slotState(i).store(SlotNamed);
        return i;
    }
    return -1;
}

void forgetTemp(int slot) {
    if (slot >= 0) slotState(slot).store(SlotFree);
}

void removeTemps() {
    // Another thread may be between making its file and noting it down
    // (the thread running this never is: it holds interruptions off
    // meanwhile); that takes microseconds, so wait for it.
    gEnding = true;
    while (gMaking.load() != 0) {
    }
    for (int i = 0; i < TempSlots; ++i)
        if (slotState(i).load() == SlotNamed) os::removeFile(gTempPath[i]);
}

}  // namespace

void protectTemporaryFiles() { os::onInterrupt(removeTemps); }

AtomicFile::AtomicFile(std::string target) : target_(os::followLinks(target)) {
    const os::PathKind kind = os::pathKind(target_);
    if (kind == os::PathKind::Folder) {
        error_ = "the target is a folder";
        return;
    }
    if (kind == os::PathKind::Other || os::processFile(target_)) {
        error_ = "not a regular file";
        return;
    }
    // The temporary name sits in the target's folder, so the rename stays on
    // one file system; a target name too long to take the suffix gets a
    // short hidden name instead.
    const size_t slash = target_.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string name = target_.substr(folder.size());
    const std::string prefix = folder + (name.size() + 11 <= 255 ? name : std::string()) + ".tmp-";
    // No interruption may come between making the file and noting it down.
    {
        os::InterruptsHeld held;
        ++gMaking;
        if (!gEnding) {
            file_ = os::createUniqueFile(prefix, temp_, kind == os::PathKind::File ? target_ : std::string());
            replacing_ = kind == os::PathKind::File;
            if (file_) slot_ = rememberTemp(temp_);
        } else {
            errno = EINTR;  // the run is ending
        }
        --gMaking;
    }
    if (!file_) {
        error_ = std::strerror(errno);
        return;
    }
    // Large writes: the page cache then takes the file in large pages, which
    // costs the kernel about half what 4 KiB writes do (the 2048 TGA job:
    // 17.2 -> 13.1 ms of CPU). Given no buffer, the C library would keep its
    // 4 KiB one; 512 KiB still fits in the memory the job touches anyway.
    // Short of memory, the file keeps the library's own small buffer.
    buffer_.reset(new (std::nothrow) char[WriteBuffer]);
    if (buffer_) std::setvbuf(file_, buffer_.get(), _IOFBF, WriteBuffer);
}

AtomicFile::~AtomicFile() { abandon(); }

void AtomicFile::abandon() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) os::removeFile(temp_.c_str());
    temp_.clear();
    forgetTemp(slot_);
    slot_ = -1;
}

bool AtomicFile::write(const void* data, size_t size) {
    if (!ok()) return false;
    if (size != 0 && std::fwrite(data, 1, size, file_) != size) {
        failed_ = true;
        error_ = std::strerror(errno);
    }
    return !failed_;
}

void AtomicFile::expect(uint64_t total) {
    // Only for a new file. A file system that allocates late writes the new
    // contents out when they are renamed over an older file, so that a
    // crash soon after leaves the old file or the whole new one; room set
    // aside beforehand would skip that and could leave zeros in its place.
    if (ok() && !replacing_) os::reserveSpace(file_, total);
}

bool AtomicFile::commit() {
    if (!ok()) {
        abandon();
        return false;
    }
    if (std::fflush(file_) != 0 || std::ferror(file_)) {
        error_ = std::strerror(errno);
        abandon();
        return false;
    }
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        error_ = std::strerror(errno);
        abandon();
        return false;
    }
    if (!os::replaceFile(temp_, target_)) {
        error_ = std::strerror(errno);
        abandon();
        return false;
    }
    temp_.clear();
    forgetTemp(slot_);
    slot_ = -1;
    return true;
}

bool writeFileAtomically(const std::string& path, const void* data, size_t size, std::string* error) {
    AtomicFile file(path);
    const bool ok = file.write(data, size) && file.commit();
    if (!ok && error) *error = file.error();
    return ok;
}

}  // namespace vant
