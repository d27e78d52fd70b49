// The graphics card side of a windowed load on OpenGL: the texture table,
// the upload policy, the interface pictures, the tile, sprite and padded tile
// atlases, the loading background and the minimap texture with its read-back.
#pragma once

#include <string>

#include "gfx/gpu_services.h"
#include "image/texture_table.h"

namespace vant::gfx {

// Filter modes of uploadTexture.
enum : int { FilterDefault = -1, FilterNearest = 0, FilterLinear = 1 };

// The upload policy: filters set for mipmapping, then every level built on
// the processor. target and format are OpenGL enums.
void uploadTexture(unsigned target, unsigned format, int width, int height, const void* pixels, int filterMode);

class GlServices : public GpuServices {
public:
    // Interface pictures are read from dataFolder (relative to the current
    // directory, which is the program's folder).
    explicit GlServices(std::string dataFolder = "data") : dataFolder_(std::move(dataFolder)) {}

    void loadInterfaceImages(Runtime& rt) override;
    void restartTextures() override;
    void buildLoadingBackground(Runtime& rt, const Level& level) override;
    void reserveMinimapTexture() override;
    void uploadMinimap(Runtime& rt, const std::vector<uint8_t>& rgba) override;
    void usePaddedTileTexture() override;
    void uploadStyle(Runtime& rt, Level& level) override;
    bool readRgb(UnzeroedVector<uint8_t>& rgb) override;

    // Takes the next record for a texture that someone else fills (the
    // thumbnail slots) and returns its fresh texture name; 0 when full.
    uint32_t reserveTextureName();

    TextureTable& table() { return table_; }
    const TextureTable& table() const { return table_; }

    // Record indexes of the roles (-1 while absent).
    enum Picture { ZoneRect, ZoneRectExit, Dot, Player, SoundSprite, ZoneRectStop, SelectedTile, SelectedTile2,
                   PictureCount };
    int pictureRecord(Picture p) const { return pictures_[p]; }
    int loadingPictureRecord() const { return loadingPicture_; }
    int stripesRecord() const { return stripes_; }
    int checkerboardRecord() const { return checkerboard_; }
    int loadingBackgroundRecord() const { return loadingBackground_; }
    int tileAtlasRecord() const { return tileAtlas_; }
    int spriteAtlasRecord() const { return spriteAtlas_; }
    int paddedTileRecord() const { return paddedTiles_; }
    int currentTileRecord() const { return currentTiles_; }
    int minimapRecord() const { return minimap_; }

    // OpenGL texture name of a record, 0 when there is none.
    unsigned textureName(int record) const;
    // True once the loading background has been built by a load.
    bool hasLoadingBackground() const { return backgroundBuilt_; }
    // Counts the builds of the loading background (its texture name may be reused).
    unsigned loadingBackgroundBuilds() const { return backgroundBuilds_; }

private:
    int createPicture(Runtime& rt, const std::string& path, int conversion, int maxLevel, bool anisotropy);
    int createPattern(const std::vector<uint8_t>& pixels);
    // Takes the next record, replaces its texture name by a fresh one and binds it.
    int takeFreshTexture(int width, int height);
    void freshName(TextureRecord& record);
    void applyAnisotropy();

    std::string dataFolder_;
    TextureTable table_;
    bool interfaceLoaded_ = false;
    bool backgroundBuilt_ = false;
    unsigned backgroundBuilds_ = 0;
    int pictures_[PictureCount] = {-1, -1, -1, -1, -1, -1, -1, -1};
    int loadingPicture_ = -1, stripes_ = -1, checkerboard_ = -1, loadingBackground_ = -1;
    int tileAtlas_ = -1, spriteAtlas_ = -1, paddedTiles_ = -1, currentTiles_ = -1, minimap_ = -1;
    int anisotropy_ = -1;  // unknown until first asked
};

}  // namespace vant::gfx
