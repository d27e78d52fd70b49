// The map loader of the headless minimap run: the block map ("UMAP" or
// "DMAP") into the block store.
#include "formats/map.h"
#include "fuzz_support.h"
#include "maplist/map_list.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Runtime rt;
    static Level level;
    static const MapList maps;
    fuzz::silence(rt, AnswerNone);
    rt.headless = true;

    const std::string path = fuzz::inputFile("input.gmp", data, size);
    level.map.clear();
    level.checksum.reset();
    const bool loaded = loadMap(rt, level, maps, -1, path);
    const uint32_t first = level.checksum.value();
    FUZZ_CHECK(loaded == (size >= 4 && std::string(reinterpret_cast<const char*>(data), 4).c_str() ==
                                           std::string("GBMP")));

    // The same file gives the same blocks and the same checksum again.
    level.map.clear();
    level.checksum.reset();
    loadMap(rt, level, maps, -1, path);
    FUZZ_CHECK(level.checksum.value() == first);
    // Headless loads leave the windowed-only lists alone.
    FUZZ_CHECK(level.map.zones.empty() && level.map.animations.empty());
    return 0;
}
