// Everything the windowed load asks of the graphics card, behind one narrow
// interface: the load pipeline stays plain C++ and is tested with a fake,
// the real implementation lives in gfx/ on top of the OpenGL context.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/level.h"
#include "formats/style.h"
#include "minimap/output.h"

namespace vant {

class Runtime;

class GpuServices : public StyleUploader, public MinimapTextureSource {
public:
    ~GpuServices() override = default;

    // Interface pictures and patterns; once per run ("Loading images...").
    virtual void loadInterfaceImages(Runtime& rt) = 0;
    // Start of a load's phases: texture records restart, tile list emptied.
    virtual void restartTextures() = 0;
    // After a successful map load: the 256 x 256 water background.
    virtual void buildLoadingBackground(Runtime& rt, const Level& level) = 0;
    // Takes the next texture record and deletes the name it held (start of
    // the minimap build).
    virtual void reserveMinimapTexture() = 0;
    // Uploads the finished 2048 x 2048 RGBA minimap into that record.
    virtual void uploadMinimap(Runtime& rt, const std::vector<uint8_t>& rgba) = 0;
    // Makes the padded tile atlas texture the level's current tile texture.
    virtual void usePaddedTileTexture() = 0;

    // StyleUploader::uploadStyle(rt, level): tile atlas, sprite atlas,
    // padded tile atlas (with its progress lines).
    // MinimapTextureSource::readRgb(rgb): level 0 of the minimap texture.
};

}  // namespace vant
