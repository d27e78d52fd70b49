#include "maplist/map_list.h"

#include "base/runtime.h"
#include "base/text.h"

namespace vant {

void clearMapList(MapList& maps) { maps.clear(); }

int findMapInList(const MapList& maps, MapDescription& record) {
    if (maps.entries.empty()) return -1;
    const std::string name = lowerAscii(record.displayName);

    int sameName = 0;
    int first = -1;
    for (int i = 0; i < maps.size(); ++i) {
        if (lowerAscii(maps.entries[size_t(i)].displayName) != name) continue;
        if (first < 0) first = i;
        ++sameName;
    }
    if (sameName == 0) return -1;

    const MapDescription& entry = maps.entries[size_t(first)];
    auto sameFile = [](const std::string& a, const std::string& b) {
        return lowerAscii(fileNameOf(a, true)) == lowerAscii(fileNameOf(b, true));
    };
    if (sameFile(entry.gmpfile, record.gmpfile) && sameFile(entry.styfile, record.styfile)) return first;
    record.matchMarker = static_cast<uint16_t>(sameName);
    return -1;
}

void appendMap(MapList& maps, const MapDescription& record) {
    maps.entries.push_back(record);
    maps.currentMap = maps.currentStyle = maps.size() - 1;
}

void setupThumbnailGrid(Runtime& rt, ThumbnailGrid& grid, const TextureNameSource& nextTextureName) {
    grid.slotCount = grid.columns * grid.rows;
    if (grid.slotCount > ThumbnailGrid::MaxSlots || grid.slotCount < 0) {
        rt.showMessage(BoxOk, "ERROR", "Maximum amount of map thumbnails = 64\r\n\r\nSet to defaults (4x3)");
        grid.columns = 4;
        grid.rows = 3;
        grid.slotCount = 12;
    }
    for (int i = 0; i < grid.slotCount; ++i) grid.slotTextures[size_t(i)] = nextTextureName ? nextTextureName() : 0;
}

void buildMapList(Runtime& rt, const MapList& maps, const std::string& gamePath, const std::string& mapListFile) {
    rt.addProgressLine("Building map list...");
    if (!maps.entries.empty() && maps.entries.front().displayName != MapListPlaceholder) return;
    if (gamePath.empty()) return;

    const std::string dataFolder = directoryOf(gamePath, false) + "data";

    const char* separator = fileSize(mapListFile) > 0 ? "\r\n" : "";
    appendTextFile(mapListFile, formatText("%s[DIR] %s", separator, dataFolder.c_str()), "ab");
}

}  // namespace vant
