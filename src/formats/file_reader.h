// Positioned reads from a level file. Every read is bounded by the file's
// real length, so a chunk size that lies never makes a buffer larger than
// the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vant {

// An allocator whose vectors grow without zeroing the new elements: for
// buffers a read or a decoder fills whole before anything looks at them.
template <class T>
struct UnzeroedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UnzeroedAllocator<U>;
    };
    UnzeroedAllocator() = default;
    template <class U>
    UnzeroedAllocator(const UnzeroedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
template <class T>
using UnzeroedVector = std::vector<T, UnzeroedAllocator<T>>;
using FileBytes = UnzeroedVector<uint8_t>;

class ChunkReader {
public:
    explicit ChunkReader(std::string path) : path_(std::move(path)) {}
    ~ChunkReader() { close(); }
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;

    bool open();
    void close();
    bool isOpen() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }
    uint64_t length() const { return length_; }

    // Up to count bytes from offset; fewer when the file ends first.
    FileBytes read(uint64_t offset, uint64_t count);
    // Reads into buffer; bytes past the end of the file are left untouched.
    size_t readInto(uint64_t offset, void* buffer, size_t count);
    // The first position at or after pos where the file may hold bytes other
    // than zero: past a hole of a sparse file, or pos itself.
    uint64_t dataFrom(uint64_t pos) const;

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    uint64_t length_ = 0;
};

// A chunk read front to back through a small buffer: what the chunk claims
// to hold costs no memory, only what is taken from it.
class ChunkCursor {
public:
    static constexpr size_t Piece = size_t(64) << 10;

    ChunkCursor(ChunkReader& file, uint64_t offset, uint64_t size);
    // The next n bytes (n <= Piece), or null when the chunk or the file ends
    // first.
    const uint8_t* take(size_t n);
    // True once every byte of the chunk (as far as the file holds it) was taken.
    bool atEnd() const { return next_ >= end_; }

private:
    ChunkReader& file_;
    uint64_t next_;  // file position of buffer_[at_]
    uint64_t end_;
    FileBytes buffer_;
    size_t at_ = 0, held_ = 0;
};

}  // namespace vant
