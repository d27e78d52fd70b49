// The maps loaded in windowed runs, most recent last, remembered in
// "recent_maps.txt" with their checksums and thumbnail slots.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/map_description.h"

namespace vant {

struct MapList;

// Where a level's thumbnail lives: "data/minimaps/" + eight hex digits + ".jpg".
std::string thumbnailPathFor(uint32_t checksum);

// A record may enter the list only when this answers yes for its checksum
// and the slot it would occupy.
using RecentAdmission = std::function<bool(uint32_t checksum, int slot)>;

// The check used by the program: the map's thumbnail has been saved, so its
// slot has a picture to show.
bool thumbnailIsSaved(uint32_t checksum, int slot);

struct RecentMaps {
    std::vector<MapDescription> list;  // sorted by list sequence, oldest first
    int capacity = 12;                 // the thumbnail grid's slot count
    int32_t sequence = 0;              // next list sequence to give
    RecentAdmission admit = thumbnailIsSaved;
    std::string path = "recent_maps.txt";
};

// Reads the file (its last `capacity` lines); a missing file gives an empty list.
void loadRecentMaps(RecentMaps& recent);

// Remembers the current map of the list under this checksum and rewrites
// the file, even when nothing changed.
void updateRecentMaps(RecentMaps& recent, const MapList& maps, uint32_t checksum);

// The file's contents for the list as it stands.
std::string formatRecentMaps(const RecentMaps& recent);

}  // namespace vant
