// The chunked container shared by style (.sty) and map (.gmp) files: a
// 6-byte header, then typed chunks back to back up to the end of the file.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>

namespace vant {

class Runtime;
class ChunkReader;

enum class ChunkFileStatus : uint16_t { Ok = 0, NotFound = 1, BadHeader = 2 };

struct ChunkEntry {
    uint32_t offset = 0;  // absolute position of the first data byte; 0 = absent
    uint32_t size = 0;    // as stored, not checked against the file
};

struct ChunkDirectory {
    std::string fileName;
    std::string magic;
    uint16_t version = 0;
    ChunkFileStatus status = ChunkFileStatus::NotFound;
    std::map<std::string, ChunkEntry> chunks;

    ChunkEntry find(const std::string& type) const;
    bool has(const std::string& type) const { return find(type).offset != 0; }
};

// Lower-case extension to expected magic: "sty" -> "GBST", "gmp" -> "GBMP".
std::string expectedMagicFor(const std::string& fileName);

// One pass over the chunk headers, up to the file's real end. A repeated
// type is warned about once (a box for the first such type of the file, the
// run log for the others); types no loader reads are listed up to 1,024.
ChunkDirectory readChunkDirectory(Runtime& rt, const std::string& fileName);
// The same through a reader, which stays open for reading the chunks; one
// that could not open the file gives NotFound.
ChunkDirectory readChunkDirectory(Runtime& rt, ChunkReader& file);
void reportChunkFileStatus(Runtime& rt, ChunkFileStatus status, const std::string& fileName);
// Tells the run's problem listener of every chunk that runs past the end of
// the file; as damage for the chunks named vital, the ones a picture is
// drawn from.
void reportCutChunks(Runtime& rt, const ChunkDirectory& dir, uint64_t fileLength,
                     std::initializer_list<const char*> vital);

}  // namespace vant
