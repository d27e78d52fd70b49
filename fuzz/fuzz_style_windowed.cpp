// The style loader of a windowed load: the sprite step runs as well, the
// style taken from the map list; message boxes answer nothing.
#include "formats/style.h"
#include "fuzz_support.h"
#include "maplist/map_list.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Runtime rt;
    static Level level;
    static MapList maps;
    fuzz::silence(rt, AnswerNone);
    rt.headless = false;
    rt.waterTintMode = int(size % 3);
    rt.progress.clear();

    maps.clear();
    MapDescription entry;
    entry.styfile = fuzz::inputFile("bil.sty", data, size);  // the stock name: its group corrections run too
    maps.entries.push_back(entry);

    level.checksum.reset();
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
