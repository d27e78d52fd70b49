#include "image/byte_sink.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vant {

bool VectorSink::write(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return true;
}

namespace {

// Temporary files alive right now, for the signal handler to remove. The
// handler may only touch plain memory, so the table is fixed and each slot
// is marked in use only once its name is complete.
struct LiveTemp {
    char path[4096];
    volatile std::sig_atomic_t used;
};
LiveTemp gLiveTemps[4];

int rememberTemp(const std::string& path) {
    if (path.size() >= sizeof gLiveTemps[0].path) return -1;
    for (int i = 0; i < 4; ++i) {
        if (gLiveTemps[i].used) continue;
        std::memcpy(gLiveTemps[i].path, path.c_str(), path.size() + 1);
        gLiveTemps[i].used = 1;
        return i;
    }
    return -1;
}

void forgetTemp(int slot) {
    if (slot >= 0) gLiveTemps[slot].used = 0;
}

extern "C" void removeTempsAndDie(int sig) {
    for (LiveTemp& t : gLiveTemps)
        if (t.used) ::unlink(t.path);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Follows symbolic links to the file they name, so that the file itself is
// replaced (in its own folder) and the link stays a link.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> link(size_t(st.st_size > 0 ? st.st_size : 4096) + 1);
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || size_t(n) >= link.size()) return path;
        const std::string to(link.data(), size_t(n));
        const size_t slash = path.rfind('/');
        path = to[0] == '/' || slash == std::string::npos ? to : path.substr(0, slash + 1) + to;
    }
    return path;
}

}  // namespace

void protectTemporaryFiles() {
    // A too-large write then fails with an error the writer reports.
    std::signal(SIGXFSZ, SIG_IGN);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        ::sigaction(sig, nullptr, &old);
        if (old.sa_handler == SIG_IGN) continue;  // started under nohup and the like
        struct sigaction act {};
        act.sa_handler = removeTempsAndDie;
        sigemptyset(&act.sa_mask);
        ::sigaction(sig, &act, nullptr);
    }
}

AtomicFile::AtomicFile(std::string target) : target_(followLinks(std::move(target))) {
    struct stat st;
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        error_ = "the target is a folder";
        return;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        error_ = "not a regular file";
        return;
    }
    // The temporary name sits in the target's folder, so the rename stays on
    // one file system; a target name too long to take the suffix gets a
    // short hidden name instead.
    const size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string name = target_.substr(folder.size());
    std::string pattern = folder + (name.size() + 11 <= 255 ? name : std::string()) + ".tmp-XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    // No signal may come between making the file and noting it down.
    sigset_t stops, before;
    sigemptyset(&stops);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, sig);
    ::sigprocmask(SIG_BLOCK, &stops, &before);
    const int fd = ::mkstemp(temp.data());
    if (fd >= 0) {
        temp_ = temp.data();
        slot_ = rememberTemp(temp_);
    }
    const int made = errno;
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) {
        error_ = std::strerror(made);
        return;
    }
    if (exists) {
        // Replacing keeps what the old file had: its owner where we may
        // (before the mode, which a change of owner can clear), its mode.
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            // Not ours to give away: the file becomes ours, in the old
            // group where we belong to it.
            if (::fchown(fd, st.st_uid, st.st_gid) != 0 && ::fchown(fd, uid_t(-1), st.st_gid) != 0) {
            }
        }
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        // mkstemp makes the file private; give it the permissions a plain
        // fopen would have given a new file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        error_ = std::strerror(errno);
        ::close(fd);
        abandon();
    }
}

AtomicFile::~AtomicFile() { abandon(); }

void AtomicFile::abandon() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) ::unlink(temp_.c_str());
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
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
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
