// The style loader: palettes, sprites (windowed), surface groups and tiles.
#pragma once

#include <string>

#include "formats/level.h"

namespace vant {

class Runtime;
struct MapList;

// Work that only a windowed run does after the tiles are decoded (sending
// the atlases to the graphics card). Absent in headless runs and tests.
class StyleUploader {
public:
    virtual ~StyleUploader() = default;
    virtual void uploadStyle(Runtime& rt, Level& level) = 0;
};

// Loads the style named, or (with an empty name) the style of map-list
// entry mapIndex. False when the file is missing or has a bad header; the
// level then holds a transparent tile atlas.
bool loadStyle(Runtime& rt, Level& level, const MapList& maps, int mapIndex, std::string fileName,
               StyleUploader* uploader = nullptr);

// The surface-group correction applied to the stock style "bil.sty".
void applyBilCorrections(std::array<uint16_t, TileCount>& groups);

// Tints one colour byte of a water tile by a single-precision factor.
uint8_t tintByte(uint8_t value, float factor);

}  // namespace vant
