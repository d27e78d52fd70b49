// Positioned reads from a level file. Every read is bounded by the file's
// real length, so a chunk size that lies never makes a buffer larger than
// the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vant {

class ChunkReader {
public:
    explicit ChunkReader(std::string path) : path_(std::move(path)) {}
    ~ChunkReader() { close(); }
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;

    bool open();
    void close();
    uint64_t length() const { return length_; }

    // Up to count bytes from offset; fewer when the file ends first.
    std::vector<uint8_t> read(uint64_t offset, uint64_t count);
    // Reads into buffer; bytes past the end of the file are left untouched.
    size_t readInto(uint64_t offset, void* buffer, size_t count);

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    uint64_t length_ = 0;
};

}  // namespace vant
