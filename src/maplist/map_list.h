// The process's list of known maps, with the current map and style entries,
// and the grid of thumbnail slots that shows remembered maps.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/map_description.h"

namespace vant {

class Runtime;

struct MapList {
    std::vector<MapDescription> entries;
    int currentMap = -1;
    int currentStyle = -1;

    int size() const { return static_cast<int>(entries.size()); }
    bool valid(int index) const { return index >= 0 && index < size(); }
    void clear() {
        entries.clear();
        currentMap = currentStyle = -1;
    }
    // The entries whose map and whose style are in use; callers check
    // valid() first.
    const MapDescription& currentEntry() const { return entries[static_cast<size_t>(currentMap)]; }
    const MapDescription& styleEntry() const { return entries[static_cast<size_t>(currentStyle)]; }
};

// The display name of the first entry of a list that knows no real maps yet.
inline constexpr const char* MapListPlaceholder = "Click to find VANT.exe";

void clearMapList(MapList& maps);

// The index of the entry describing the same map as the record, or -1. Two
// records describe the same map when their display names match and their
// map and style files have the same names, all ignoring letter case;
// folders are not compared. Only the first entry with a matching display
// name is looked at; when it differs the record's match marker is set to
// the number of entries carrying that display name.
int findMapInList(const MapList& maps, MapDescription& record);

// Appends the record and makes it the current and the style entry.
void appendMap(MapList& maps, const MapDescription& record);

// The slots in which remembered maps are shown, each with a texture name.
struct ThumbnailGrid {
    static constexpr int MaxSlots = 64;
    int columns = 4;
    int rows = 3;
    int slotCount = 0;
    std::array<uint32_t, MaxSlots> slotTextures{};
};

// Hands out the next texture name and advances the program's counter.
using TextureNameSource = std::function<uint32_t()>;

// Computes the slot count (falling back to 4 x 3 above 64 slots, with a
// message) and reserves one texture name per slot.
void setupThumbnailGrid(Runtime& rt, ThumbnailGrid& grid, const TextureNameSource& nextTextureName);

// Shows "Building map list..." and, for a list without real maps and a known
// game path, notes the game's data folder in the map list file.
void buildMapList(Runtime& rt, const MapList& maps, const std::string& gamePath,
                  const std::string& mapListFile = "maplist.txt");

}  // namespace vant
