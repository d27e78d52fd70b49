// The "DMAP" decoder on chunk data of exactly the given length, so that a
// read past the chunk is caught, and the same chunk kept packed: every
// square read from it is the decoded one. (A "UMAP" is read straight into
// the store by the map loader, which the map harness covers.) A full base table alone
// is 256 KiB, so the input describes one compactly:
//   byte 0        unused (kept so the seeds stay valid)
//   byte 1..2     k, the number of base entries given (little-endian)
//   next 4 x k    those entries; the base table repeats them to fill its
//                 65,536 entries (all 0 when k is 0)
//   the rest      the chunk after the base table: W, column words, B, blocks
#include <cstring>
#include <vector>

#include "formats/checksum.h"
#include "formats/level.h"
#include "formats/map.h"
#include "fuzz_support.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MapFile map;
    if (size < 3) return 0;
    LevelChecksum checksum;
    map.clear();

    size_t k = size_t(data[1]) | (size_t(data[2]) << 8);
    size_t at = 3;
    if (k * 4 > size - at) k = (size - at) / 4;
    const uint8_t* entries = data + at;
    at += k * 4;

    constexpr size_t BaseTableBytes = 65536 * 4;
    std::vector<uint8_t> chunk(BaseTableBytes + (size - at), 0);
    if (k != 0)
        for (size_t i = 0; i < 65536; ++i) std::memcpy(&chunk[4 * i], entries + 4 * (i % k), 4);
    std::memcpy(chunk.data() + BaseTableBytes, data + at, size - at);
    size_t unplaced = 0;
    decodeDmap(chunk.data(), chunk.size(), map, checksum, &unplaced);

    static MapFile packed;
    packed.keepPacked(FileBytes(chunk.begin(), chunk.end()));
    FUZZ_CHECK(PackedColumns(chunk.data(), chunk.size()).countUnplaced() == unplaced);
    for (size_t square = 0; square < 65536; ++square) {
        BlockInfo a[MapDepth], b[MapDepth];
        packed.column(square, a);
        map.column(square, b);
        FUZZ_CHECK(std::memcmp(a, b, sizeof a) == 0);
    }

    // The same chunk cut short by one byte must be just as safe.
    chunk.pop_back();
    std::vector<uint8_t> shorter(chunk);
    decodeDmap(shorter.data(), shorter.size(), map, checksum);
    return 0;
}
