// The chunk directory of style and map files: one pass over the headers,
// whatever the sizes claim.
#include "formats/chunk_file.h"
#include "fuzz_support.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Runtime rt;
    fuzz::silence(rt, AnswerOk);
    rt.headless = false;  // the duplicate-chunk warning goes through the responder

    for (const char* name : {"input.sty", "input.gmp", "input.txt"}) {
        const std::string path = fuzz::inputFile(name, data, size);
        const ChunkDirectory dir = readChunkDirectory(rt, path);
        const std::string expected = expectedMagicFor(path);
        const bool magicMatches = size >= 4 && !expected.empty() &&
                                  std::string(reinterpret_cast<const char*>(data), 4).c_str() == expected;
        FUZZ_CHECK(dir.status == (magicMatches ? ChunkFileStatus::Ok : ChunkFileStatus::BadHeader));
        if (dir.status != ChunkFileStatus::Ok) {
            FUZZ_CHECK(dir.chunks.empty() && dir.magic.empty() && dir.version == 0);
            continue;
        }
        // Each chunk costs at least its 8-byte header, so the directory can
        // never list more chunks than the file has room for headers, and
        // every data offset lies inside the file or right at its end.
        FUZZ_CHECK(dir.chunks.size() <= (size > 6 ? (size - 6) / 8 : 0));
        for (const auto& [type, entry] : dir.chunks) {
            FUZZ_CHECK(type.size() <= 4);
            FUZZ_CHECK(entry.offset >= 14 && entry.offset <= size);
            FUZZ_CHECK(dir.has(type));
        }
        FUZZ_CHECK(!dir.has("no such type"));
        reportChunkFileStatus(rt, dir.status, path);
    }
    return 0;
}
