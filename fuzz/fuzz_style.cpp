// The style loader on one input twice: as the headless minimap run loads it
// (palettes, surface groups and tiles into the reduced atlas only), then as
// a windowed load does (the full atlas and the sprites, the style taken from
// the map list under the stock name, so that its group corrections run too).
// The length picks the water tint mode, so the signature check runs as often
// as the two fixed modes; message boxes answer nothing.
#include "formats/style.h"
#include "fuzz_support.h"
#include "maplist/map_list.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Runtime rt;
    static Level level;
    static MapList maps;
    fuzz::silence(rt, AnswerNone);
    rt.waterTintMode = int(size % 3);

    rt.headless = true;
    level.checksum.reset();
    level.keepTileAtlas = false;
    loadStyle(rt, level, MapList(), -1, fuzz::inputFile("input.sty", data, size));
    FUZZ_CHECK(level.tileAtlas.empty());
    FUZZ_CHECK(level.reducedAtlas.size() == size_t(256) * 256 * 4);
    FUZZ_CHECK(level.spriteAtlas.empty());  // headless runs never decode sprites
    for (const TileOrigin& o : level.tileOrigin) {
        FUZZ_CHECK(o.u >= 0 && o.u + TileSize <= AtlasSize);
        FUZZ_CHECK(o.v >= 0 && o.v + TileSize <= AtlasSize);
    }

    rt.headless = false;
    rt.progress.clear();
    maps.clear();
    MapDescription entry;
    entry.styfile = fuzz::inputFile("bil.sty", data, size);
    maps.entries.push_back(entry);
    level.checksum.reset();
    level.keepTileAtlas = true;
    loadStyle(rt, level, maps, 0, std::string());
    FUZZ_CHECK(level.tileAtlas.size() == AtlasBytes);
    FUZZ_CHECK(level.spriteAtlas.empty() || level.spriteAtlas.size() == AtlasBytes);
    FUZZ_CHECK(level.styleIsBil);
    for (const SpritePlacement& s : level.sprites) FUZZ_CHECK(s.x < AtlasSize);
    FUZZ_CHECK(rt.progress.count() <= ProgressScreen::MaxLines);
    // A map index that names no entry is refused before anything is read.
    FUZZ_CHECK(!loadStyle(rt, level, maps, 1, std::string()));
    level.releaseTileAtlas();
    level.spriteAtlas.clear();
    level.sprites.clear();
    return 0;
}
