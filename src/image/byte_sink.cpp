#include "image/byte_sink.h"

#include <cerrno>
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

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
    struct stat st;
    if (::stat(target_.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error_ = "the target is a folder";
        return;
    }
    std::string pattern = target_ + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error_ = std::strerror(errno);
        return;
    }
    temp_ = name.data();
    // mkstemp makes the file private; give it the permissions a plain
    // fopen would have given the target.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        error_ = std::strerror(errno);
        ::close(fd);
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

AtomicFile::~AtomicFile() { abandon(); }

void AtomicFile::abandon() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
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
    return true;
}

bool writeFileAtomically(const std::string& path, const void* data, size_t size, std::string* error) {
    AtomicFile file(path);
    const bool ok = file.write(data, size) && file.commit();
    if (!ok && error) *error = file.error();
    return ok;
}

}  // namespace vant
