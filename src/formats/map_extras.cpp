// Windowed-only readers of the map's tile animations, water tile and zones.
#include <algorithm>
#include <cstring>

#include "base/runtime.h"
#include "formats/chunk_file.h"
#include "formats/file_reader.h"
#include "formats/map.h"

namespace vant {

namespace {

constexpr uint16_t WaterGroup = 2;
constexpr int CountedLayers = MapDepth - 1;  // the top layer never counts

inline uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The chunk's bytes, as far as the file really holds them.
std::vector<uint8_t> chunkBytes(ChunkReader& file, const ChunkEntry& chunk) {
    if (chunk.offset == 0 || chunk.size == 0) return {};
    return file.read(chunk.offset, chunk.size);
}

// One visit of the counted lids in the fixed order (layers upwards, rows
// from 255 down to 0, squares left to right). The first tile to reach the
// highest count wins; a later tie does not take the lead.
template <typename Accept>
uint32_t mostUsedLid(const MapFile& map, Accept accept) {
    std::array<uint32_t, TileCount> counts{};
    uint32_t best = 0;
    uint32_t chosen = 0;
    BlockInfo block;
    for (int z = 0; z < CountedLayers; ++z) {
        for (int y = MapHeight - 1; y >= 0; --y) {
            for (int x = 0; x < MapWidth; ++x) {
                map.getBlock(x, y, z, 0, block);
                const uint32_t t = static_cast<uint32_t>(faceTile(block.lid));
                if (t == 0 || !accept(t)) continue;
                if (++counts[t] > best) {
                    best = counts[t];
                    chosen = t;
                }
            }
        }
    }
    return chosen;
}

}  // namespace

void loadTileAnimations(ChunkReader& file, const ChunkDirectory& dir, MapFile& map, Runtime* rt) {
    map.tileToAnimation.fill(-1);
    // Indexes in TileToAnimation count from the start of this chunk's list.
    map.animations.clear();
    const std::vector<uint8_t> bytes = chunkBytes(file, dir.find("ANIM"));

    size_t at = 0;
    while (at + 6 <= bytes.size()) {
        const uint8_t* header = &bytes[at];
        const size_t frameCount = header[4];
        const size_t length = 6 + 2 * frameCount;
        if (at + length > bytes.size()) break;  // a record cut off by the chunk's end is dropped

        TileAnimation animation;
        animation.base = readU16(header);
        animation.byte2 = header[2];
        animation.byte3 = header[3];
        animation.frames.reserve(frameCount);
        for (size_t i = 0; i < frameCount; ++i) animation.frames.push_back(readU16(header + 6 + 2 * i));

        const int32_t index = static_cast<int32_t>(map.animations.size());
        if (animation.base >= 1 && animation.base < TileCount) map.tileToAnimation[animation.base] = index;
        map.animations.push_back(std::move(animation));
        at += length;
    }
    if (rt && at < bytes.size())
        rt->reportProblem(dir.fileName, false, "chunk ANIM: animation %zu is cut short", map.animations.size());
}

void chooseWaterTile(Level& level) {
    MapFile& map = level.map;
    auto animated = [&](uint32_t t) { return map.tileToAnimation[t] != -1; };

    map.waterTileAnimated = true;
    map.waterTile = mostUsedLid(map, [&](uint32_t t) { return level.surfaceGroup[t] == WaterGroup && animated(t); });
    if (!animated(map.waterTile)) {
        // No animated water lid at all: the most used lid of any kind.
        map.waterTileAnimated = false;
        map.waterTile = mostUsedLid(map, [](uint32_t) { return true; });
    }
}

void loadZones(ChunkReader& file, const ChunkDirectory& dir, MapFile& map, Runtime* rt) {
    map.zones.clear();
    map.selectedZone = -1;
    const std::vector<uint8_t> bytes = chunkBytes(file, dir.find("ZONE"));
    if (bytes.empty()) return;

    int32_t id = 0;
    size_t at = 0;
    while (at + 6 <= bytes.size()) {
        const uint8_t* header = &bytes[at];
        const size_t nameLength = header[5];
        if (at + 6 + nameLength > bytes.size()) break;  // a record cut off by the chunk's end is dropped

        const char* name = reinterpret_cast<const char*>(header + 6);
        const void* zero = std::memchr(name, 0, nameLength);
        const size_t kept = zero ? size_t(static_cast<const char*>(zero) - name) : nameLength;

        ZoneRecord zone;
        zone.type = header[0];
        float x1 = header[1];
        float x2 = float(header[1] + header[3]);
        float y1 = float(MapHeight - header[2]);
        float y2 = float(MapHeight - (header[2] + header[4]));
        if (x1 > x2) std::swap(x1, x2);
        if (y1 > y2) std::swap(y1, y2);
        zone.x1 = x1;
        zone.y1 = y1;
        zone.x2 = x2;
        zone.y2 = y2;
        zone.id = id++;
        zone.name.assign(name, kept);
        map.zones.push_back(std::move(zone));
        at += 6 + nameLength;
    }
    if (rt && at < bytes.size()) rt->reportProblem(dir.fileName, false, "chunk ZONE: zone %d is cut short", int(id));
    sortZonesByArea(map, -1);
}

void sortZonesByArea(MapFile& map, int32_t zoneId) {
    auto area = [](const ZoneRecord& z) {
        return int64_t(static_cast<int32_t>(z.y2 - z.y1)) * int64_t(static_cast<int32_t>(z.x2 - z.x1));
    };
    // Stable, so zones of equal area keep their file order.
    std::stable_sort(map.zones.begin(), map.zones.end(),
                     [&](const ZoneRecord& a, const ZoneRecord& b) { return area(a) < area(b); });
    map.selectedZone = -1;
    for (size_t i = 0; i < map.zones.size(); ++i) {
        if (map.zones[i].id == zoneId) {
            map.selectedZone = static_cast<int>(i);
            break;
        }
    }
}

const char* zoneTypeName(uint32_t type) {
    static const char* const kNames[] = {
        "General purpose",
        "Navigation",
        "Traffic light",
        "Unused3",
        "Unused4",
        "Arrow blocker",
        "Railway station platform",
        "Bus stop pavement",
        "General trigger",
        "Unused9",
        "Information",
        "Railway station entry point",
        "Railway station exit point",
        "Railway stop point",
        "Gang",
        "Local navigation",
        "Restart",
        "Unused17",
        "Unused18",
        "Unused19",
        "Arrest restart",
    };
    return type < std::size(kNames) ? kNames[type] : nullptr;
}

}  // namespace vant
