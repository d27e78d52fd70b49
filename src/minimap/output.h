// Turning the 2048 x 2048 minimap into an image file: an exact box filter by
// a power of two, then the writer chosen by the file's extension.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formats/file_reader.h"
#include "image/image_writer.h"

namespace vant {

class Runtime;
class MinimapBuilder;
struct Level;
struct MapList;

// The headless road from files to a level ready to draw: a fresh block store
// and checksum, only the reduced atlas kept, the style, then the map. Each
// field says whether its reader could read the file at all.
struct MinimapLevelLoad {
    bool style = false;
    bool map = false;
};
MinimapLevelLoad loadLevelForMinimap(Runtime& rt, Level& level, const MapList& maps, const std::string& stylePath,
                                     const std::string& mapPath);

// The minimap of a level drawn straight at a size, as rows for a writer.
std::unique_ptr<RowSource> scaledMinimapRows(MinimapBuilder& builder, const Level& level, int size);

// Reads the minimap texture back as 2048 x 2048 RGB bytes (windowed runs),
// into a buffer that is not cleared first: the read fills it whole.
class MinimapTextureSource {
public:
    virtual ~MinimapTextureSource() = default;
    virtual bool readRgb(UnzeroedVector<uint8_t>& rgb) = 0;
};

struct ThumbnailSettings {
    static constexpr bool Save = true;
    static constexpr int Format = 3;
    static constexpr int Size = 256;
    static constexpr int JpegQuality = 95;
};

struct SaveMinimapOptions {
    MinimapTextureSource* texture = nullptr;   // required when not from memory
    bool detailCentring = false;
    std::function<void(float x, float y)> storeCentre;  // into the current camera
    // From memory without a drawn picture: draws it straight at the size
    // saved, a band of rows at a time, as the writer takes them (the headless
    // job keeps its level for this instead of a picture).
    std::function<std::unique_ptr<RowSource>(int size)> drawRows;
};

// Box filter: source is 2048 x 2048 pixels of `stride` bytes whose first
// three are red, green, blue; the result is size x size blue, green, red.
std::vector<uint8_t> boxFilter(const uint8_t* source, int stride, int size);

// The centre of the detailed part of a blue-green-red picture.
std::array<float, 3> detailCentre(const uint8_t* pixels, int size);

bool directoryExists(std::string directory);

// The minimap pixel buffer is consumed (released) when it is used.
bool saveMinimap(Runtime& rt, std::vector<uint8_t>& minimap, int formatNumber, int shift, const std::string& path,
                 bool overwrite, bool fromMemory, const SaveMinimapOptions& options = {});

}  // namespace vant
