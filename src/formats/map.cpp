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
constexpr size_t UmapPieceRecords = 341;
// A whole map in the compressed form, every square its own column of eight
// distinct blocks, takes under 10 MB; data past this is junk and is read as
// outside the chunk.
constexpr uint64_t LargestDmap = uint64_t(64) << 20;
}  // namespace

void decodeDmap(const uint8_t* data, size_t size, MapFile& map, LevelChecksum& checksum, size_t* unplaced) {
    const PackedColumns columns(data, size);
    if (!columns.readable()) return;
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
        lost = columns.everyColumn([&](size_t square, int z, const uint8_t* record) {
            std::memcpy(static_cast<void*>(store + size_t(z) * Plane + square), record, 12);
            if constexpr (decltype(feeding)::value) {
                if (pendingBytes == sizeof pending) {
                    checksum.feed(pending, pendingBytes);
                    pendingBytes = 0;
                }
                std::memcpy(pending + pendingBytes, record, 12);
                pendingBytes += 12;
            }
        });
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
            FileBytes chunk = file.read(dmap.offset, std::min<uint64_t>(dmap.size, LargestDmap));
            const size_t chunkBytes = chunk.size();
            size_t unplaced = 0;
            if (rt.headless && !level.checksum.enabled() && chunkBytes <= MapFile::BlockCount * sizeof(BlockInfo)) {
                // Nothing needs the store but the drawing, which can read the
                // squares from the chunk: keep it as it is (no larger than
                // the store it saves).
                if (rt.problemListener) unplaced = PackedColumns(chunk.data(), chunkBytes).countUnplaced();
                level.map.keepPacked(std::move(chunk));
            } else {
                decodeDmap(chunk.data(), chunkBytes, level.map, level.checksum, rt.problemListener ? &unplaced : nullptr);
            }
            if (chunkBytes < PackedColumns::BaseTableBytes + 4)
                rt.reportProblem(fileName, true, "chunk DMAP is too short to hold its base table: %zu bytes",
                                 chunkBytes);
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
