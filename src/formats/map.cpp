#include "formats/map.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "base/runtime.h"
#include "base/text.h"
#include "formats/chunk_file.h"
#include "formats/file_reader.h"
#include "maplist/map_list.h"

namespace vant {

namespace {
constexpr size_t DmapBaseTableBytes = 262144;
constexpr size_t UmapPieceRecords = 341;
// A whole map in the compressed form, every square its own column of eight
// distinct blocks, takes under 10 MB; data past this is junk and is read as
// outside the chunk.
constexpr uint64_t LargestDmap = uint64_t(64) << 20;

inline uint32_t readU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
}  // namespace

void decodeDmap(const uint8_t* data, size_t size, MapFile& map, LevelChecksum& checksum, size_t* unplaced) {
    if (size < DmapBaseTableBytes + 4) {
        // Without the column word count nothing can be placed safely; the
        // squares whose base entries are present still cannot name a column.
        return;
    }
    const uint64_t wordCount = readU32(data + DmapBaseTableBytes);
    // Columns are counted in words from the word count's end; words below
    // this lie whole inside the chunk.
    const uint8_t* const words = data + DmapBaseTableBytes + 4;
    const uint64_t wordsHeld = (size - DmapBaseTableBytes - 4) / 4;
    const uint64_t blockTable = DmapBaseTableBytes + 8 + 4 * wordCount;
    // Block numbers below this have their whole record inside the chunk.
    const uint64_t blocks = blockTable < size ? (size - blockTable) / 12 : 0;
    const uint8_t* const records = data + std::min<uint64_t>(blockTable, size);
    BlockInfo* store = map.data();
    constexpr size_t Plane = size_t(MapWidth) * MapHeight;  // one layer of the store
    size_t lost = 0;
    // Placed records go to the checksum in order, gathered into larger
    // pieces: the sum over the pieces is the sum over the records.
    uint8_t pending[12 * 341];
    size_t pendingBytes = 0;

    // The loop is made twice, with and without the checksum: a quarter of a
    // million instructions fewer in a job on the sample city.
    auto place = [&](auto feeding) {
        for (size_t square = 0; square < Plane; ++square) {
            const uint64_t base = readU32(data + 4 * square);
            if (base >= wordsHeld) {  // column outside the chunk: square left empty
                ++lost;
                continue;
            }
            const uint8_t* entry = words + 4 * base;
            const int height = entry[0];
            const int offset = entry[1];
            // Layers past the top of the map have nowhere to go.
            const int top = std::min(height, MapDepth);
            if (offset >= top) continue;
            // A column cut by the end of the chunk places the layers it holds.
            uint64_t layers = uint64_t(top - offset);
            if (layers > wordsHeld - base - 1) {
                layers = wordsHeld - base - 1;
                ++lost;
            }
            entry += 4;
            const uint8_t* const entriesEnd = entry + 4 * layers;
            BlockInfo* out = store + blockIndex(0, 0, offset) + square;
            for (; entry != entriesEnd; entry += 4, out += Plane) {
                const uint64_t n = readU32(entry);
                if (n >= blocks) {  // block number outside the table: layer left empty
                    ++lost;
                    continue;
                }
                const uint8_t* record = records + 12 * n;
                std::memcpy(static_cast<void*>(out), record, 12);
                if constexpr (decltype(feeding)::value) {
                    if (pendingBytes == sizeof pending) {
                        checksum.feed(pending, pendingBytes);
                        pendingBytes = 0;
                    }
                    std::memcpy(pending + pendingBytes, record, 12);
                    pendingBytes += 12;
                }
            }
        }
    };
    if (checksum.enabled()) place(std::true_type{});
    else place(std::false_type{});
    checksum.feed(pending, pendingBytes);
    if (unplaced) *unplaced += lost;
}

bool loadMap(Runtime& rt, Level& level, const MapList& maps, int mapIndex, std::string fileName) {
    if (!rt.headless && !maps.valid(mapIndex)) {
        rt.showMessage(BoxOk, "ERROR", "Cannot load map");
        return false;
    }
    if (fileName.empty() && maps.valid(mapIndex)) fileName = maps.entries[size_t(mapIndex)].gmpfile;

    rt.addProgressLine("Loading %s file: %s", upperAscii(fileExtension(fileName, false)).c_str(), fileName.c_str());

    ChunkReader file(fileName);
    file.open();
    const ChunkDirectory dir = readChunkDirectory(rt, file);
    reportChunkFileStatus(rt, dir.status, fileName);
    if (dir.status != ChunkFileStatus::Ok) return false;
    reportCutChunks(rt, dir, file.length(), {"UMAP", "DMAP"});

    const ChunkEntry umap = dir.find("UMAP");
    const ChunkEntry dmap = dir.find("DMAP");
    const bool useDmap = !(umap.offset != 0);

    if (!rt.headless) {
        loadTileAnimations(file, dir, level.map, &rt);
    }

    if (useDmap) {
        if (dmap.offset != 0) {
            const FileBytes chunk = file.read(dmap.offset, std::min<uint64_t>(dmap.size, LargestDmap));
            size_t unplaced = 0;
            decodeDmap(chunk.data(), chunk.size(), level.map, level.checksum, rt.problemListener ? &unplaced : nullptr);
            if (chunk.size() < DmapBaseTableBytes + 4)
                rt.reportProblem(fileName, true, "chunk DMAP is too short to hold its base table: %zu bytes",
                                 chunk.size());
            else if (unplaced)
                rt.reportProblem(fileName, true, "chunk DMAP names %zu columns or blocks outside itself; left empty",
                                 unplaced);
        } else {
            rt.reportProblem(fileName, true, "no block map: neither a UMAP nor a DMAP chunk");
        }
    } else {
        if (umap.size % sizeof(BlockInfo) != 0)
            rt.reportProblem(fileName, false, "chunk UMAP ends in a record cut short (%u bytes)", umap.size);
        // Read in pieces of 341 records straight into the store; only whole
        // records are kept, the rest of the store stays empty.
        const uint64_t wanted = std::min<uint64_t>(umap.size, MapFile::BlockCount * sizeof(BlockInfo));
        const size_t pieceBytes = UmapPieceRecords * sizeof(BlockInfo);
        auto* store = reinterpret_cast<uint8_t*>(level.map.data());
        uint64_t done = 0;
        while (done < wanted) {
            const size_t want = size_t(std::min<uint64_t>(pieceBytes, wanted - done));
            const size_t got = file.readInto(umap.offset + done, store + done, want);
            const size_t whole = got / sizeof(BlockInfo) * sizeof(BlockInfo);
            if (whole < got) std::memset(store + done + whole, 0, got - whole);
            level.checksum.feed(store + done, whole);
            done += whole;
            if (whole < want) break;
        }
    }

    if (!rt.headless) {
        chooseWaterTile(level);
        loadZones(file, dir, level.map, &rt);
    }
    file.close();
    return true;
}

}  // namespace vant
