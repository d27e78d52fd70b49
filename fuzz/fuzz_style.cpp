// The style loader of the headless minimap run: palettes, surface groups
// and tiles into the reduced atlas, as the job loads them (the full atlas is
// the windowed harness's).
#include "formats/style.h"
#include "fuzz_support.h"
#include "maplist/map_list.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Runtime rt;
    static Level level;
    static const MapList maps;
    fuzz::silence(rt, AnswerNone);
    rt.headless = true;
    // The length picks the water tint mode, so the signature check runs as
    // often as the two fixed modes.
    rt.waterTintMode = int(size % 3);

    const std::string path = fuzz::inputFile("input.sty", data, size);
    level.checksum.reset();
    level.keepTileAtlas = false;
    loadStyle(rt, level, maps, -1, path);

    FUZZ_CHECK(level.tileAtlas.empty());
    FUZZ_CHECK(level.reducedAtlas.size() == size_t(256) * 256 * 4);
    FUZZ_CHECK(level.spriteAtlas.empty());  // headless runs never decode sprites
    for (const TileOrigin& o : level.tileOrigin) {
        FUZZ_CHECK(o.u >= 0 && o.u + TileSize <= AtlasSize);
        FUZZ_CHECK(o.v >= 0 && o.v + TileSize <= AtlasSize);
    }
    level.releaseTileAtlas();
    return 0;
}
