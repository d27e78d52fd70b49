#include "gfx/gl_services.h"

#include <cstdlib>
#include <cstring>

#include "base/runtime.h"
#include "gfx/gl.h"
#include "image/interface_pictures.h"
#include "image/tga_reader.h"
#include "minimap/rasterizer.h"

namespace vant::gfx {

namespace {
constexpr float kAnisotropyLevel = 1.0f;
}

void uploadTexture(unsigned target, unsigned format, int width, int height, const void* pixels, int filterMode) {
    const bool nearest = filterMode == FilterNearest;
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, nearest ? GL_NEAREST : GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, nearest ? GL_NEAREST_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_LINEAR);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gluBuild2DMipmaps(target, GLint(format), width, height, format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

unsigned GlServices::textureName(int record) const { return table_.valid(record) ? table_.at(record).textureName : 0; }

void GlServices::applyAnisotropy() {
    if (anisotropy_ < 0) {
        const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        anisotropy_ = extensions && (std::strstr(extensions, "GL_EXT_texture_filter_anisotropic") ||
                                     std::strstr(extensions, "GL_ARB_texture_filter_anisotropic"))
                          ? 1
                          : 0;
    }
    if (anisotropy_) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, kAnisotropyLevel);
}

void GlServices::freshName(TextureRecord& record) {
    if (record.textureName) {
        GLuint name = record.textureName;
        glDeleteTextures(1, &name);
        record.textureName = 0;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    record.textureName = name;
    glBindTexture(GL_TEXTURE_2D, name);
}

int GlServices::takeFreshTexture(int width, int height) {
    const int index = table_.take();
    if (index < 0) return -1;
    TextureRecord& record = table_.at(index);
    record.releasePixels();
    record.bitsPerPixel = 32;
    record.format = PixelFormatRgba;
    record.width = width;
    record.height = height;
    freshName(record);
    return index;
}

int GlServices::createPicture(Runtime& rt, const std::string& path, int conversion, int maxLevel, bool anisotropy) {
    const int index = table_.take();
    if (index < 0) return -1;
    TextureRecord& record = table_.at(index);
    // A picture that cannot be read keeps its record (so every role stays
    // in its place) but gets no texture.
    if (!readTga(rt, record, path)) return index;
    const auto kind = static_cast<PictureConversion>(conversion);
    const std::vector<uint8_t> rgba = convertInterfacePicture(record, kind);
    record.releasePixels();
    record.bitsPerPixel = 32;
    record.format = PixelFormatRgba;
    if (rgba.empty()) return index;

    freshName(record);
    if (kind == PictureConversion::Loading) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, record.width, record.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     rgba.data());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, maxLevel);
        if (anisotropy) applyAnisotropy();
        uploadTexture(GL_TEXTURE_2D, GL_RGBA, record.width, record.height, rgba.data(), FilterDefault);
    }
    return index;
}

int GlServices::createPattern(const std::vector<uint8_t>& pixels) {
    const int index = takeFreshTexture(PatternSize, PatternSize);
    if (index < 0) return -1;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, PatternSize, PatternSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return index;
}

void GlServices::loadInterfaceImages(Runtime& rt) {
    if (interfaceLoaded_) return;
    rt.addProgressLine("Loading images...");
    const std::string gfx = dataFolder_ + "/gfx/";
    const int red = int(PictureConversion::RedEverywhere);

    if (loadingPicture_ < 0)
        loadingPicture_ = createPicture(rt, dataFolder_ + "/loading.tga", int(PictureConversion::Loading), 0, false);
    pictures_[ZoneRect] = createPicture(rt, gfx + "zone_rect.tga", red, 5, false);
    pictures_[ZoneRectExit] = createPicture(rt, gfx + "zone_rect_exit.tga", red, 5, false);
    pictures_[Dot] = createPicture(rt, gfx + "dot.tga", red, 5, false);
    pictures_[Player] = createPicture(rt, gfx + "player.tga", red, 5, false);
    pictures_[SoundSprite] = createPicture(rt, gfx + "soundsprite.tga", int(PictureConversion::Copy32), 5, false);
    pictures_[ZoneRectStop] = createPicture(rt, gfx + "zone_rect_stop.tga", red, 5, false);
    pictures_[SelectedTile] =
        createPicture(rt, gfx + "selected_tile.tga", int(PictureConversion::SelectedTile), 5, true);
    pictures_[SelectedTile2] =
        createPicture(rt, gfx + "selected_tile2.tga", int(PictureConversion::SelectedTile), 5, true);

    stripes_ = createPattern(makeStripes());
    loadingBackground_ = table_.take();  // filled by buildLoadingBackground
    checkerboard_ = createPattern(makeCheckerboard());

    // Loads start their textures after these, so no load deletes them.
    table_.markRestartPoint();
    interfaceLoaded_ = true;
}

void GlServices::restartTextures() {
    table_.restart();
    tileAtlas_ = spriteAtlas_ = paddedTiles_ = currentTiles_ = minimap_ = -1;
}

void GlServices::uploadStyle(Runtime& rt, Level& level) {
    // The tile atlas as it is.
    // A clear one stands in only when the load has none; made on first need,
    // not on every run's first load (16 MiB of zeros faulted in for nothing).
    auto clearAtlas = []() -> const std::vector<uint8_t>& {
        static const std::vector<uint8_t> zeros(AtlasBytes, 0);
        return zeros;
    };
    const std::vector<uint8_t>& atlas = level.tileAtlas.size() >= AtlasBytes ? level.tileAtlas : clearAtlas();
    tileAtlas_ = takeFreshTexture(AtlasSize, AtlasSize);
    if (tileAtlas_ >= 0) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 4);
        applyAnisotropy();
        uploadTexture(GL_TEXTURE_2D, GL_RGBA, AtlasSize, AtlasSize, atlas.data(), FilterDefault);
        table_.tileTextures.push_back(tileAtlas_);
    }

    // The sprite atlas, when the sprite step made one; its pixels are not
    // needed after this.
    if (level.spriteAtlas.size() >= AtlasBytes) {
        spriteAtlas_ = takeFreshTexture(AtlasSize, AtlasSize);
        if (spriteAtlas_ >= 0) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 2);
            uploadTexture(GL_TEXTURE_2D, GL_RGBA, AtlasSize, AtlasSize, level.spriteAtlas.data(), FilterLinear);
        }
    }
    level.spriteAtlas.clear();
    level.spriteAtlas.shrink_to_fit();

    rt.addProgressLine("Generating padded tiles...");
    {
        const PaddedTileAtlas padded = buildPaddedTileAtlas(atlas);
        level.paddedTileOrigin = paddedTileOrigins();
        rt.removeProgressLine();
        rt.addProgressLine("Generating padded tiles... Sending to GPU...");

        const int side = PaddedTileAtlas::side();
        paddedTiles_ = takeFreshTexture(side, side);
        if (paddedTiles_ >= 0) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 6);
            applyAnisotropy();
            uploadTexture(GL_TEXTURE_2D, GL_RGBA, side, side, padded.pixels.data(), FilterDefault);
            table_.tileTextures.push_back(paddedTiles_);
        }
    }  // the padded pixels go here
}

void GlServices::reserveMinimapTexture() {
    minimap_ = table_.take();
    if (minimap_ < 0) return;
    TextureRecord& record = table_.at(minimap_);
    if (record.textureName) {
        GLuint name = record.textureName;
        glDeleteTextures(1, &name);
        record.textureName = 0;
    }
}

void GlServices::uploadMinimap(Runtime&, const std::vector<uint8_t>& rgba) {
    if (minimap_ < 0) return;
    TextureRecord& record = table_.at(minimap_);
    record.releasePixels();
    record.bitsPerPixel = 32;
    record.format = PixelFormatRgba;
    record.width = record.height = MinimapSize;
    freshName(record);
    applyAnisotropy();
    if (rgba.size() >= MinimapBytes) {
        uploadTexture(GL_TEXTURE_2D, GL_RGBA, MinimapSize, MinimapSize, rgba.data(), FilterDefault);
    } else {
        const std::vector<uint8_t> clear(MinimapBytes, 0);
        uploadTexture(GL_TEXTURE_2D, GL_RGBA, MinimapSize, MinimapSize, clear.data(), FilterDefault);
    }
    table_.tileTextures.push_back(minimap_);
}

uint32_t GlServices::reserveTextureName() {
    const int index = table_.take();
    if (index < 0) return 0;
    TextureRecord& record = table_.at(index);
    if (!record.textureName) {
        GLuint name = 0;
        glGenTextures(1, &name);
        record.textureName = name;
    }
    return record.textureName;
}

void GlServices::usePaddedTileTexture() { currentTiles_ = paddedTiles_; }

bool GlServices::readRgb(UnzeroedVector<uint8_t>& rgb) {
    const unsigned name = textureName(minimap_);
    if (!name) return false;
    // Only this read's own errors count: one of an earlier call may still
    // be waiting (seen under Wine), so the flags are drained first.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
    glBindTexture(GL_TEXTURE_2D, name);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    if (width != MinimapSize || height != MinimapSize) return false;
    rgb.resize(size_t(MinimapSize) * MinimapSize * 3);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return glGetError() == GL_NO_ERROR;
}

void GlServices::buildLoadingBackground(Runtime&, const Level& level) {
    if (!table_.valid(loadingBackground_)) return;
    constexpr int side = 256;
    std::vector<uint8_t> picture(size_t(side) * side * 4, 0);
    const std::array<int, 16> tiles = loadingBackgroundTiles(level, level.map.waterTileAnimated, std::rand);
    for (int cell = 0; cell < 16; ++cell)
        copyTileFlipped(picture, level.tileAtlas, side, AtlasSize, (cell % 4) * TileSize, (cell / 4) * TileSize,
                        tiles[size_t(cell)], level.tileOrigin);

    TextureRecord& record = table_.at(loadingBackground_);
    record.releasePixels();
    record.bitsPerPixel = 32;
    record.format = PixelFormatRgba;
    record.width = record.height = side;
    freshName(record);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 8);
    applyAnisotropy();
    uploadTexture(GL_TEXTURE_2D, GL_RGBA, side, side, picture.data(), FilterDefault);
    backgroundBuilt_ = true;
    ++backgroundBuilds_;
}

}  // namespace vant::gfx
