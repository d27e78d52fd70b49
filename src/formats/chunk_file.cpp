#include "formats/chunk_file.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "base/runtime.h"
#include "base/text.h"

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

ChunkDirectory readChunkDirectory(Runtime& rt, const std::string& fileName) {
    ChunkDirectory dir;
    dir.fileName = fileName;
    const std::string expected = expectedMagicFor(fileName);

    std::FILE* f = openFile(fileName, "rb");
    if (!f) return dir;

    unsigned char magic[4];
    if (std::fread(magic, 1, 4, f) != 4 || expected.empty() || fourCharText(magic) != expected) {
        std::fclose(f);
        dir.status = ChunkFileStatus::BadHeader;
        return dir;
    }
    dir.magic = fourCharText(magic);

    unsigned char version[2];
    if (std::fread(version, 1, 2, f) == 2) {
        dir.version = static_cast<uint16_t>(version[0] | (version[1] << 8));
        for (;;) {
            unsigned char header[8];
            if (std::fread(header, 1, 4, f) != 4) break;
            if (std::fread(header + 4, 1, 4, f) != 4) break;
            const uint32_t size = static_cast<uint32_t>(header[4]) | (static_cast<uint32_t>(header[5]) << 8) |
                                  (static_cast<uint32_t>(header[6]) << 16) | (static_cast<uint32_t>(header[7]) << 24);
            const long position = std::ftell(f);
            if (position < 0 || position > 0xFFFFFFFFL) break;
            const std::string type = fourCharText(header);
            auto it = dir.chunks.find(type);
            if (it != dir.chunks.end() && it->second.offset != 0) {
                rt.showMessage(BoxOk, "WARNING", "File contains same chunk more than once (%s)", type.c_str());
            } else {
                dir.chunks[type] = ChunkEntry{static_cast<uint32_t>(position), size};
            }
            // A seek past the end is fine: the next read of a type ends the scan.
            // Offsets beyond 4 GiB cannot be recorded, so the scan stops there.
            const uint64_t next = static_cast<uint64_t>(position) + size;
            if (next > 0xFFFFFFFFull || std::fseek(f, static_cast<long>(next), SEEK_SET) != 0) break;
        }
    } else {
        rt.reportProblem(fileName, true, "the header is cut short");
    }
    std::fclose(f);
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
