#include "formats/file_reader.h"

#include "base/os.h"
#include "base/text.h"

namespace vant {

bool ChunkReader::open() {
    close();
    file_ = openFile(path_, "rb");
    if (!file_) return false;
    if (os::seek(file_, 0, SEEK_END)) {
        const int64_t end = os::tell(file_);
        length_ = end > 0 ? static_cast<uint64_t>(end) : 0;
    }
    return true;
}

void ChunkReader::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

std::vector<uint8_t> ChunkReader::read(uint64_t offset, uint64_t count) {
    std::vector<uint8_t> bytes;
    if (!file_ || offset >= length_) return bytes;
    const uint64_t available = length_ - offset;
    bytes.resize(static_cast<size_t>(count < available ? count : available));
    bytes.resize(readInto(offset, bytes.data(), bytes.size()));
    return bytes;
}

size_t ChunkReader::readInto(uint64_t offset, void* buffer, size_t count) {
    if (!file_ || count == 0 || offset >= length_) return 0;
    if (offset > uint64_t(INT64_MAX) || !os::seek(file_, int64_t(offset), SEEK_SET)) return 0;
    return std::fread(buffer, 1, count, file_);
}

}  // namespace vant
