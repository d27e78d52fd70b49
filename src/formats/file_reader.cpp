#include "formats/file_reader.h"

#include <algorithm>

#include "base/os.h"
#include "base/text.h"

namespace vant {

bool ChunkReader::open() {
    close();
    file_ = openFile(path_, "rb");
    if (!file_) return false;
    const int64_t size = os::fileSize(file_);
    length_ = size > 0 ? static_cast<uint64_t>(size) : 0;
    return true;
}

void ChunkReader::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

FileBytes ChunkReader::read(uint64_t offset, uint64_t count) {
    FileBytes bytes;
    if (!file_ || offset >= length_) return bytes;
    const uint64_t available = length_ - offset;
    bytes.resize(static_cast<size_t>(count < available ? count : available));
    bytes.resize(readInto(offset, bytes.data(), bytes.size()));
    return bytes;
}

// Positioned reads straight into the caller's buffer, one system call a
// piece, without the stream's own buffer and position.
size_t ChunkReader::readInto(uint64_t offset, void* buffer, size_t count) {
    if (!file_ || count == 0 || offset >= length_) return 0;
    if (count > length_ - offset) count = size_t(length_ - offset);
    size_t done = 0;
    while (done < count) {
        const int64_t got = os::readAt(file_, static_cast<uint8_t*>(buffer) + done, count - done, offset + done);
        if (got <= 0) break;
        done += size_t(got);
    }
    return done;
}

uint64_t ChunkReader::dataFrom(uint64_t pos) const {
    return file_ && pos < length_ ? os::skipHole(file_, pos, length_) : pos;
}

ChunkCursor::ChunkCursor(ChunkReader& file, uint64_t offset, uint64_t size)
    : file_(file), next_(offset), end_(offset + std::min(size, file.length() > offset ? file.length() - offset : 0)) {}

const uint8_t* ChunkCursor::take(size_t n) {
    static const uint8_t nothing = 0;
    if (n == 0) return &nothing;
    if (n > Piece || n > end_ - next_) return nullptr;
    if (held_ - at_ < n) {
        if (buffer_.empty()) buffer_.resize(size_t(std::min<uint64_t>(Piece, end_ - next_)));
        held_ = file_.readInto(next_, buffer_.data(), size_t(std::min<uint64_t>(Piece, end_ - next_)));
        at_ = 0;
        if (held_ < n) return nullptr;
    }
    const uint8_t* bytes = buffer_.data() + at_;
    at_ += n;
    next_ += n;
    return bytes;
}

}  // namespace vant
