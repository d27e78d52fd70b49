#include "formats/chunk_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "base/runtime.h"
#include "base/text.h"
#include "formats/file_reader.h"

namespace vant {

ChunkEntry ChunkDirectory::find(const std::string& type) const {
    auto it = chunks.find(type);
    return it == chunks.end() ? ChunkEntry{} : it->second;
}

std::string expectedMagicFor(const std::string& fileName) {
    std::string ext = fileExtension(fileName, true);
    if (ext == "sty") return "GBST";
    if (ext == "gmp") return "GBMP";
    return std::string();
}

static std::string fourCharText(const unsigned char bytes[4]) {
    size_t n = 0;
    while (n < 4 && bytes[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

namespace {

// The file read front to back in pieces, each twice the one before from
// 4 KiB up to 256 KiB: a file of a few large chunks costs a few small reads,
// one of many small chunks is still read in large pieces. Runs of zero bytes
// (holes of a sparse file included) are measured without reading what the
// file system knows to be empty.
class ScanBuffer {
public:
    explicit ScanBuffer(ChunkReader& file) : file_(file), size_(file.length()) {}
    uint64_t size() const { return size_; }

    // The n (<= 8) bytes at pos, or null when the file ends first.
    const uint8_t* at(uint64_t pos, size_t n) {
        if (pos + n > size_) return nullptr;
        if (pos < start_ || pos + n > start_ + held_) {
            if (!fill(pos) || held_ < n) return nullptr;
        }
        return buffer_.data() + (pos - start_);
    }

    // The first position at or after pos that holds a byte other than zero,
    // or the file's size.
    uint64_t endOfZeros(uint64_t pos) {
        while (pos < size_) {
            if (pos < start_ || pos >= start_ + held_) {
                const uint64_t data = file_.dataFrom(pos);
                if (data > pos) {
                    pos = data;
                    continue;
                }
                if (!fill(pos)) return pos;
            }
            const uint8_t* p = buffer_.data() + (pos - start_);
            const uint8_t* end = buffer_.data() + held_;
            while (p + 8 <= end) {
                uint64_t word;
                std::memcpy(&word, p, 8);
                if (word != 0) break;
                p += 8;
            }
            while (p < end && *p == 0) ++p;
            pos = start_ + uint64_t(p - buffer_.data());
            if (p < end) return pos;
        }
        return size_;
    }

private:
    bool fill(uint64_t pos) {
        constexpr size_t Largest = size_t(256) << 10;
        if (buffer_.empty()) buffer_.reserve(size_t(std::min<uint64_t>(size_, Largest)));
        buffer_.resize(std::min(buffer_.capacity(), std::max<size_t>(2 * buffer_.size(), 4096)));
        start_ = pos;
        held_ = file_.readInto(pos, buffer_.data(), buffer_.size());
        return held_ > 0;
    }

    ChunkReader& file_;
    uint64_t size_ = 0;
    FileBytes buffer_;
    uint64_t start_ = 0;
    size_t held_ = 0;
};

// The chunk types some loader reads: always listed. Other types are listed
// up to MaxOtherTypes, which is far more than any level file holds.
bool typeIsRead(uint32_t key) {
    static const char kRead[][5] = {"PALX", "PPAL", "PALB", "TILE", "SPRG", "SPRX",
                                    "SPEC", "UMAP", "DMAP", "ZONE", "ANIM"};
    for (const char* t : kRead)
        if (std::memcmp(&key, t, 4) == 0) return true;
    return false;
}
constexpr size_t MaxOtherTypes = 1024;

}  // namespace

ChunkDirectory readChunkDirectory(Runtime& rt, const std::string& fileName) {
    ChunkReader file(fileName);
    file.open();
    return readChunkDirectory(rt, file);
}

ChunkDirectory readChunkDirectory(Runtime& rt, ChunkReader& reader) {
    ChunkDirectory dir;
    const std::string& fileName = reader.path();
    dir.fileName = fileName;
    if (!reader.isOpen()) return dir;
    const std::string expected = expectedMagicFor(fileName);
    ScanBuffer file(reader);

    const uint8_t* magic = file.at(0, 4);
    if (!magic || expected.empty() || fourCharText(magic) != expected) {
        dir.status = ChunkFileStatus::BadHeader;
        return dir;
    }
    dir.magic = fourCharText(magic);

    // Each type is kept as its four bytes with everything after a zero byte
    // cleared, so equal texts are equal numbers. A repeated type is warned
    // about once; further repeats of it are skipped without a word. Only the
    // first repeated type of a file shows a box, the others go to the run log.
    enum : uint8_t { Listed = 1, Warned = 2 };
    std::unordered_map<uint32_t, uint8_t> seen;
    size_t otherTypes = 0;
    bool boxShown = false;
    uint32_t lastKey = 0;
    bool lastWarned = false;
    auto repeated = [&](uint32_t key, const unsigned char* type) {
        const std::string text = fourCharText(type);
        if (!boxShown) rt.showMessage(BoxOk, "WARNING", "File contains same chunk more than once (%s)", text.c_str());
        else rt.logOnly("WARNING", "File contains same chunk more than once (%s)", text.c_str());
        boxShown = true;
        seen[key] = Listed | Warned;
    };
    // One chunk of this type with its data at offset; true when the type is
    // a repeat already warned about.
    auto chunk = [&](const unsigned char type[4], uint32_t offset, uint32_t size) {
        uint32_t key = 0;
        std::memcpy(&key, type, 4);
        for (int b = 0; b < 4; ++b) {
            if (type[b] != 0) continue;
            std::memset(reinterpret_cast<uint8_t*>(&key) + b, 0, size_t(4 - b));
            break;
        }
        if (key == lastKey && lastWarned) return;
        lastKey = key;
        lastWarned = false;
        auto it = seen.find(key);
        if (it != seen.end()) {
            if (!(it->second & Warned)) repeated(key, type);
            lastWarned = true;
            return;
        }
        if (!typeIsRead(key) && otherTypes++ >= MaxOtherTypes) return;
        seen.emplace(key, Listed);
        dir.chunks[fourCharText(type)] = ChunkEntry{offset, size};
    };

    const uint8_t* version = file.at(4, 2);
    if (version) {
        dir.version = static_cast<uint16_t>(version[0] | (version[1] << 8));
        // Offsets beyond 4 GiB cannot be recorded, so the scan stops there;
        // it also stops where the file really ends, however far a chunk's
        // size points.
        constexpr uint64_t Limit = 0xFFFFFFFFull;
        uint64_t pos = 6;
        for (;;) {
            const uint8_t* header = file.at(pos, 8);
            if (!header) break;
            if (pos + 8 > Limit) break;
            const uint32_t size = uint32_t(header[4]) | uint32_t(header[5]) << 8 | uint32_t(header[6]) << 16 |
                                  uint32_t(header[7]) << 24;
            if (size == 0 && std::all_of(header, header + 4, [](uint8_t b) { return b == 0; })) {
                // A run of empty chunks of the empty type: one look at the
                // run instead of one per chunk.
                const uint64_t zeros = file.endOfZeros(pos);
                const uint64_t count = std::min((zeros - pos) / 8, (Limit - pos) / 8);
                const unsigned char none[4] = {0, 0, 0, 0};
                chunk(none, uint32_t(pos + 8), 0);
                if (count > 1) chunk(none, uint32_t(pos + 16), 0);
                pos += 8 * std::max<uint64_t>(count, 1);
                continue;
            }
            unsigned char type[4];
            std::memcpy(type, header, 4);
            chunk(type, uint32_t(pos + 8), size);
            pos += 8 + uint64_t(size);
            if (pos > Limit) break;
        }
    } else {
        rt.reportProblem(fileName, true, "the header is cut short");
    }
    dir.status = ChunkFileStatus::Ok;
    return dir;
}

void reportCutChunks(Runtime& rt, const ChunkDirectory& dir, uint64_t fileLength,
                     std::initializer_list<const char*> vital) {
    if (!rt.problemListener) return;
    for (const auto& [type, chunk] : dir.chunks) {
        if (uint64_t(chunk.offset) + chunk.size <= fileLength) continue;
        const bool damaged = std::find(vital.begin(), vital.end(), type) != vital.end();
        const uint64_t held = fileLength > chunk.offset ? fileLength - chunk.offset : 0;
        rt.reportProblem(dir.fileName, damaged, "chunk %s is cut short: %llu of %u bytes in the file", type.c_str(),
                         static_cast<unsigned long long>(held), chunk.size);
    }
}

void reportChunkFileStatus(Runtime& rt, ChunkFileStatus status, const std::string& fileName) {
    const std::string ext = upperAscii(fileExtension(fileName, true));
    if (status == ChunkFileStatus::NotFound)
        rt.showMessage(BoxOk, "ERROR", "%s file was not found: \"%s\"", ext.c_str(), fileName.c_str());
    else if (status == ChunkFileStatus::BadHeader)
        rt.showMessage(BoxOk, "ERROR", "Incorrect header on %s file: \"%s\"", ext.c_str(), fileName.c_str());
}

}  // namespace vant
