// "recent_maps.txt": reading it, and writing back what was read.
#include "fuzz_support.h"
#include "maplist/map_list.h"
#include "maplist/recent_maps.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::removeScratchAtExit();
    RecentMaps recent;
    recent.path = fuzz::inputFile("recent_maps.txt", data, size);
    recent.admit = [](uint32_t, int slot) { return slot % 5 != 4; };  // some slots say no
    loadRecentMaps(recent);

    FUZZ_CHECK(recent.list.size() <= size_t(recent.capacity));
    for (size_t i = 0; i < recent.list.size(); ++i) {
        const MapDescription& r = recent.list[i];
        FUZZ_CHECK(r.listSequence == int32_t(i));
        FUZZ_CHECK(r.thumbnailSlot >= 0 && r.thumbnailSlot < recent.capacity);
        for (const std::string* f : {&r.gmpfile, &r.styfile, &r.scrfile, &r.scriptSource, &r.displayName})
            FUZZ_CHECK(f->find_first_of("|\r\n") == std::string::npos);
    }

    // What was read, written out and read again, is the same list. Texts are
    // written as C texts, so a zero byte read from the file ends its field.
    auto text = [](const std::string& s) { return s.substr(0, s.find('\0')); };
    const std::string written = formatRecentMaps(recent);
    RecentMaps again;
    again.path =
        fuzz::inputFile("recent_maps_again.txt", reinterpret_cast<const uint8_t*>(written.data()), written.size());
    again.admit = [](uint32_t, int) { return true; };
    loadRecentMaps(again);
    FUZZ_CHECK(again.list.size() == recent.list.size());
    for (size_t i = 0; i < again.list.size(); ++i) {
        const MapDescription &a = again.list[i], &b = recent.list[i];
        FUZZ_CHECK(a.checksum == b.checksum && a.gmpfile == text(b.gmpfile) && a.styfile == text(b.styfile) &&
                   a.scrfile == text(b.scrfile) && a.scriptSource == text(b.scriptSource) &&
                   a.displayName == text(b.displayName));
    }

    // Remembering one more map keeps the list within its capacity.
    MapList maps;
    MapDescription entry;
    entry.gmpfile = "maps/city.gmp";
    entry.styfile = "maps/city.sty";
    entry.displayName = "City";
    maps.entries.push_back(entry);
    maps.currentMap = maps.currentStyle = 0;
    recent.path = fuzz::scratchFolder() + "recent_maps_updated.txt";
    recent.admit = [](uint32_t, int) { return true; };
    updateRecentMaps(recent, maps, 0x12345678u);
    FUZZ_CHECK(recent.list.size() <= size_t(recent.capacity));
    FUZZ_CHECK(!recent.list.empty() && recent.list.back().checksum == 0x12345678u);
    return 0;
}
