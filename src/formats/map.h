// The map loader: the block map ("UMAP" or "DMAP") into the block store (a
// headless load without the checksum keeps a "DMAP" packed), and, in a
// windowed run, tile animations, the water tile and zones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/level.h"

namespace vant {

class Runtime;
struct MapList;
class ChunkReader;
struct ChunkDirectory;

bool loadMap(Runtime& rt, Level& level, const MapList& maps, int mapIndex, std::string fileName);

// The "DMAP" decoder, exposed for tests and benchmarks. It stays inside the
// data it is given and stores only the blocks it can read whole.
// `unplaced`, when given, counts the columns and blocks that point outside
// the chunk and were left empty.
void decodeDmap(const uint8_t* data, size_t size, MapFile& map, LevelChecksum& checksum, size_t* unplaced = nullptr);

// Windowed-only readers of the map's other chunks. Records that would run
// past the end of their chunk are not read, nor records past these counts:
// a 256 x 256 map has room for one zone per square, and 1,024 tile numbers
// give no use for more than four animations each.
constexpr size_t MaxZones = 65536;
constexpr size_t MaxAnimations = 4096;

// "ANIM": fills the animation list (replacing it) and TileToAnimation.
void loadTileAnimations(ChunkReader& file, const ChunkDirectory& dir, MapFile& map, Runtime* rt = nullptr);
// After the blocks: the animated water lid used most on layers 0..6, or
// failing that the most used lid tile.
void chooseWaterTile(Level& level);
// "ZONE": fills the zone list (replacing it), sorted, none selected.
void loadZones(ChunkReader& file, const ChunkDirectory& dir, MapFile& map, Runtime* rt = nullptr);
// Smallest area first; selects the zone with this id (-1 when none has it).
void sortZonesByArea(MapFile& map, int32_t zoneId);
// The name of a zone type, or null for types without one (above 20).
const char* zoneTypeName(uint32_t type);

}  // namespace vant
