// The map loader on one input twice: as the headless minimap run loads it
// (the block map, "UMAP" or "DMAP", into the block store), then as a
// windowed load does (tile animations, the water tile and zones as well).
#include "formats/map.h"
#include "fuzz_support.h"
#include "maplist/map_list.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Runtime rt;
    static Level level;
    static MapList maps;
    fuzz::silence(rt, AnswerNone);
    const std::string path = fuzz::inputFile("input.gmp", data, size);
    // The load pipeline empties the map's lists before each load; a file
    // that fails its header check leaves them so.
    auto load = [&](bool windowed) {
        rt.headless = !windowed;
        level.map.clear();
        level.map.clearExtras();
        level.checksum.reset();
        return windowed ? loadMap(rt, level, maps, 0, std::string()) : loadMap(rt, level, MapList(), -1, path);
    };

    const bool loaded = load(false);
    const uint32_t first = level.checksum.value();
    FUZZ_CHECK(loaded == (size >= 4 && std::string(reinterpret_cast<const char*>(data), 4).c_str() ==
                                           std::string("GBMP")));
    // The same file gives the same blocks and the same checksum again.
    load(false);
    FUZZ_CHECK(level.checksum.value() == first);
    // Headless loads leave the windowed-only lists alone.
    FUZZ_CHECK(level.map.zones.empty() && level.map.animations.empty());

    rt.progress.clear();
    maps.clear();
    MapDescription entry;
    entry.gmpfile = path;
    maps.entries.push_back(entry);
    // Every fourth tile is water, so animated water lids can be found.
    for (size_t t = 0; t < level.surfaceGroup.size(); ++t) level.surfaceGroup[t] = uint16_t(t % 4 == 2 ? 2 : t % 4);
    load(true);
    const MapFile& map = level.map;
    FUZZ_CHECK(map.waterTile < TileCount);
    if (map.waterTileAnimated && map.waterTile != 0) {
        FUZZ_CHECK(map.tileToAnimation[map.waterTile] >= 0);
        FUZZ_CHECK(level.surfaceGroup[map.waterTile] == 2);
    }
    // Variable-length records stay inside the chunk: a chunk of n bytes
    // holds at most n / 6 records of either kind.
    FUZZ_CHECK(map.animations.size() <= size / 6);
    FUZZ_CHECK(map.zones.size() <= size / 6);
    for (size_t t = 0; t < map.tileToAnimation.size(); ++t) {
        const int32_t a = map.tileToAnimation[t];
        FUZZ_CHECK(a == -1 || (a >= 0 && size_t(a) < map.animations.size() && map.animations[size_t(a)].base == t));
    }
    for (size_t i = 0; i < map.zones.size(); ++i) {
        const ZoneRecord& z = map.zones[i];
        FUZZ_CHECK(z.x1 <= z.x2 && z.y1 <= z.y2 && z.name.find('\0') == std::string::npos);
        FUZZ_CHECK(z.id >= 0 && size_t(z.id) < map.zones.size());
        if (i > 0) {
            const ZoneRecord& p = map.zones[i - 1];
            FUZZ_CHECK(int(p.x2 - p.x1) * int(p.y2 - p.y1) <= int(z.x2 - z.x1) * int(z.y2 - z.y1));
        }
    }
    FUZZ_CHECK(map.selectedZone == -1);
    return 0;
}
