// The map loader: the block map ("UMAP" or "DMAP") into the block store,
// and, in a windowed run, tile animations, the water tile and zones.
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

// Decoders, exposed for tests and benchmarks. Each stays inside the data it
// is given and stores only the blocks it can read whole.
void decodeUmap(const uint8_t* data, size_t size, MapFile& map, LevelChecksum& checksum);
void decodeDmap(const uint8_t* data, size_t size, MapFile& map, LevelChecksum& checksum);

// Windowed-only readers of the map's other chunks.
void readAnimations(ChunkReader& file, const ChunkDirectory& dir, MapFile& map);
void chooseWaterTile(Level& level);
void readZones(ChunkReader& file, const ChunkDirectory& dir, MapFile& map);

}  // namespace vant
