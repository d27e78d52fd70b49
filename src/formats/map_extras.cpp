// Windowed-only readers of the map's tile animations, water tile and zones.
#include "formats/chunk_file.h"
#include "formats/file_reader.h"
#include "formats/map.h"

namespace vant {

void readAnimations(ChunkReader&, const ChunkDirectory&, MapFile& map) { map.animations.clear(); }

void chooseWaterTile(Level& level) { level.map.waterTile = 0; }

void readZones(ChunkReader&, const ChunkDirectory&, MapFile& map) { map.zones.clear(); }

}  // namespace vant
