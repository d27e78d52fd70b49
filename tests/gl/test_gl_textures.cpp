// Textures on a real OpenGL context (Mesa under Xvfb): what is uploaded is
// read back exactly, the interface pictures, the style atlases and the
// loading background land in their records.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "app/runtime.h"
#include "gfx/gl.h"
#include "gfx/gl_services.h"
#include "image/interface_pictures.h"
#include "image/tga_reader.h"
#include "minimap/rasterizer.h"
#include "platform/window.h"
#include "run_binary.h"

using namespace vant;

namespace {

class GlContext : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(window_.create("vant gl test", 64, 64, 32, false), platform::WindowFailure::None)
            << "no OpenGL context on DISPLAY";
        rt.responder = [this](int, const std::string& caption, const std::string& text) {
            messages.push_back(caption + ": " + text);
            return AnswerOk;
        };
    }

    // Level 0 of a texture as RGBA bytes; its size in width and height.
    std::vector<uint8_t> readTexture(unsigned name) {
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        std::vector<uint8_t> out(size_t(width) * size_t(height) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        return out;
    }
    static GLint parameter(unsigned name, GLenum which) {
        GLint value = -1;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexParameteriv(GL_TEXTURE_2D, which, &value);
        return value;
    }

    platform::Window window_;
    Runtime rt;
    std::vector<std::string> messages;
    int width = 0, height = 0;
};

// Bytes that differ from pixel to pixel and channel to channel.
std::vector<uint8_t> patterned(int side) {
    std::vector<uint8_t> p(size_t(side) * size_t(side) * 4);
    for (size_t i = 0; i < p.size(); ++i) p[i] = uint8_t((i * 2654435761u) >> 13);
    return p;
}

const std::string kData = std::string(VANT_SOURCE_DIR) + "/data";

}  // namespace

TEST_F(GlContext, InterfacePicturesTakeTheFirstRecordsOnce) {
    gfx::GlServices gpu(kData);
    gpu.loadInterfaceImages(rt);
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(rt.progress.lines(), std::vector<std::string>{"Loading images..."});

    // Loading picture, eight pictures, stripes, the background's record, checkerboard.
    EXPECT_EQ(gpu.loadingPictureRecord(), 0);
    for (int p = 0; p < gfx::GlServices::PictureCount; ++p) {
        const int record = gpu.pictureRecord(static_cast<gfx::GlServices::Picture>(p));
        EXPECT_EQ(record, 1 + p);
        EXPECT_NE(gpu.textureName(record), 0u) << p;
        EXPECT_EQ(gpu.table().at(record).format, PixelFormatRgba);
        EXPECT_TRUE(gpu.table().at(record).pixels.empty());
    }
    EXPECT_EQ(gpu.stripesRecord(), 9);
    EXPECT_EQ(gpu.loadingBackgroundRecord(), 10);
    EXPECT_EQ(gpu.checkerboardRecord(), 11);
    EXPECT_EQ(gpu.table().restartPoint(), 12);
    gpu.loadInterfaceImages(rt);  // a second call takes nothing and writes no line
    EXPECT_EQ(gpu.table().counter(), 12);
    EXPECT_EQ(rt.progress.count(), 1);

    // zone_rect as converted, with mip levels up to 5.
    TextureRecord source;
    ASSERT_TRUE(readTga(rt, source, kData + "/gfx/zone_rect.tga"));
    const unsigned zone = gpu.textureName(gpu.pictureRecord(gfx::GlServices::ZoneRect));
    EXPECT_EQ(readTexture(zone), convertInterfacePicture(source, PictureConversion::RedEverywhere));
    EXPECT_EQ(parameter(zone, GL_TEXTURE_MAX_LEVEL), 5);
    // The patterns as made, the loading picture in one level.
    EXPECT_EQ(readTexture(gpu.textureName(gpu.checkerboardRecord())), makeCheckerboard());
    EXPECT_EQ(readTexture(gpu.textureName(gpu.stripesRecord())), makeStripes());
    EXPECT_EQ(parameter(gpu.textureName(gpu.loadingPictureRecord()), GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    // Loads start after the interface records, which are never deleted.
    gpu.restartTextures();
    EXPECT_EQ(gpu.table().counter(), 12);
    EXPECT_TRUE(glIsTexture(zone));

    // Without the files: nine reports, the records keep their places.
    test::TempFolder empty;
    gfx::GlServices bare(empty.path().string());
    bare.loadInterfaceImages(rt);
    EXPECT_EQ(messages, std::vector<std::string>(9, "ERROR: Could not open texture file"));
    EXPECT_EQ(bare.pictureRecord(gfx::GlServices::Dot), 3);
    EXPECT_EQ(bare.textureName(3), 0u);
    EXPECT_NE(bare.textureName(bare.checkerboardRecord()), 0u);  // patterns need no file
    EXPECT_EQ(bare.table().counter(), 12);
}

TEST_F(GlContext, ALoadUploadsTheAtlasesBackgroundAndMinimap) {
    gfx::GlServices gpu(kData);
    gpu.loadInterfaceImages(rt);
    gpu.restartTextures();
    Level level;
    level.tileAtlas = patterned(AtlasSize);
    level.spriteAtlas.assign(AtlasBytes, 0);
    level.spriteAtlas[0] = 9;
    level.tileOrigin[5] = TileOrigin{320.0f, 64.0f};
    level.map.waterTile = 5;
    rt.progress.clear();
    gpu.uploadStyle(rt, level);

    EXPECT_EQ(rt.progress.lines(), std::vector<std::string>{"Generating padded tiles... Sending to GPU..."});
    EXPECT_EQ(gpu.tileAtlasRecord(), 12);
    EXPECT_EQ(gpu.spriteAtlasRecord(), 13);
    EXPECT_EQ(gpu.paddedTileRecord(), 14);
    EXPECT_TRUE(level.spriteAtlas.empty());
    EXPECT_FLOAT_EQ(level.paddedTileOrigin[17].u, 672.0f);
    EXPECT_EQ(readTexture(gpu.textureName(12)), level.tileAtlas);
    EXPECT_EQ(readTexture(gpu.textureName(13))[0], 9);
    EXPECT_EQ(readTexture(gpu.textureName(14)), buildPaddedTileAtlas(level.tileAtlas).pixels);
    EXPECT_EQ(width, 4096);
    gpu.usePaddedTileTexture();
    EXPECT_EQ(gpu.currentTileRecord(), 14);

    // The loading background repeats the water tile (rows 64 to 127, columns
    // 320 to 383 of the atlas) upside down.
    EXPECT_FALSE(gpu.hasLoadingBackground());
    gpu.buildLoadingBackground(rt, level);
    ASSERT_TRUE(gpu.hasLoadingBackground());
    const auto back = readTexture(gpu.textureName(gpu.loadingBackgroundRecord()));
    ASSERT_EQ(width, 256);
    ASSERT_EQ(height, 256);
    for (size_t y = 0; y < 256; ++y)
        for (size_t x = 0; x < 256; ++x) {
            const uint8_t* want = &level.tileAtlas[((127 - y % 64) * AtlasSize + 320 + x % 64) * 4];
            ASSERT_EQ(std::memcmp(&back[(y * 256 + x) * 4], want, 4), 0) << x << "," << y;
        }

    // The minimap: nothing to read until it is uploaded; its RGB read back
    // exactly, mipmapped down to 1 x 1.
    std::vector<uint8_t> rgb;
    gpu.reserveMinimapTexture();
    EXPECT_FALSE(gpu.readRgb(rgb));
    const std::vector<uint8_t> minimap = patterned(MinimapSize);
    gpu.uploadMinimap(rt, minimap);
    EXPECT_EQ(gpu.minimapRecord(), 15);
    EXPECT_EQ(gpu.table().tileTextures, (std::vector<int>{12, 14, 15}));  // the sprite texture is not a tile texture
    ASSERT_TRUE(gpu.readRgb(rgb));
    ASSERT_EQ(rgb.size(), MinimapBytes / 4 * 3);
    for (size_t i = 0, j = 0; i < minimap.size(); i += 4, j += 3)
        ASSERT_EQ(std::memcmp(&rgb[j], &minimap[i], 3), 0) << "pixel " << i / 4;
    const unsigned name = gpu.textureName(15);
    EXPECT_EQ(parameter(name, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(name, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 11, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 1);

    // A second load reuses the same records, without a sprite atlas this time.
    gpu.restartTextures();
    EXPECT_FALSE(gpu.readRgb(rgb));
    gpu.uploadStyle(rt, level);
    EXPECT_EQ(gpu.tileAtlasRecord(), 12);
    EXPECT_EQ(gpu.paddedTileRecord(), 13);
    EXPECT_EQ(gpu.table().tileTextures, (std::vector<int>{12, 13}));
    EXPECT_EQ(readTexture(gpu.textureName(13)).size(), size_t(4096) * 4096 * 4);

    // A full table makes no more textures.
    while (gpu.table().take() >= 0) {
    }
    gpu.uploadStyle(rt, level);
    gpu.reserveMinimapTexture();
    gpu.uploadMinimap(rt, minimap);
    EXPECT_EQ(gpu.tileAtlasRecord(), -1);
    EXPECT_EQ(gpu.paddedTileRecord(), -1);
    EXPECT_EQ(gpu.minimapRecord(), -1);
    EXPECT_EQ(gpu.reserveTextureName(), 0u);
    EXPECT_EQ(gpu.table().counter(), TextureTable::Capacity);
}
