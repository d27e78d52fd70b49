#include "image/byte_sink.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/os.h"

namespace vant {

bool VectorSink::write(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return true;
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
    if (os::pathKind(target_) == os::PathKind::Folder) {
        error_ = "the target is a folder";
        return;
    }
    file_ = os::createUniqueFile(target_ + ".tmp-", temp_);
    if (!file_) error_ = std::strerror(errno);
}

AtomicFile::~AtomicFile() { abandon(); }

void AtomicFile::abandon() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temp_.empty()) std::remove(temp_.c_str());
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
    if (!os::replaceFile(temp_, target_)) {
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
