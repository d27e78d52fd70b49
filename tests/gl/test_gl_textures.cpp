// Textures on a real OpenGL context (Mesa under Xvfb): what is uploaded is
// read back exactly, the interface pictures, the style atlases and the
// loading background land in their records.
#include <gtest/gtest.h>

#include <cstring>

#include "base/runtime.h"
#include "gfx/city_view.h"
#include "gfx/gl.h"
#include "gfx/gl_services.h"
#include "image/interface_pictures.h"
#include "image/tga_reader.h"
#include "minimap/rasterizer.h"
#include "platform/window.h"
#include "run_binary.h"

using namespace vant;
using gfx::readTextureRgba;

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

    platform::Window window_;
    Runtime rt;
    std::vector<std::string> messages;
};

// Bytes that differ from pixel to pixel and channel to channel.
std::vector<uint8_t> patterned(int side) {
    std::vector<uint8_t> p(size_t(side) * size_t(side) * 4);
    for (size_t i = 0; i < p.size(); ++i) p[i] = uint8_t((i * 2654435761u) >> 13);
    return p;
}

const std::string kData = std::string(VANT_SOURCE_DIR) + "/data";

}  // namespace

TEST_F(GlContext, InterfacePicturesOnceThenALoadsAtlasesBackgroundAndMinimap) {
    gfx::GlServices gpu(kData);
    gpu.loadInterfaceImages(rt);
    EXPECT_TRUE(messages.empty()) << messages.front();
    for (int p = 0; p < gfx::GlServices::PictureCount; ++p)
        EXPECT_NE(gpu.textureName(gpu.pictureRecord(static_cast<gfx::GlServices::Picture>(p))), 0u) << p;
    gpu.loadInterfaceImages(rt);  // a second call takes nothing and writes no line
    EXPECT_EQ(gpu.table().counter(), 12);
    EXPECT_EQ(rt.progress.lines(), std::vector<std::string>{"Loading images..."});

    TextureRecord source;
    ASSERT_TRUE(readTga(rt, source, kData + "/gfx/zone_rect.tga"));
    const unsigned zone = gpu.textureName(gpu.pictureRecord(gfx::GlServices::ZoneRect));
    EXPECT_EQ(readTextureRgba(zone, source.width, source.height), convertInterfacePicture(source, PictureConversion::RedEverywhere));
    EXPECT_EQ(readTextureRgba(gpu.textureName(gpu.checkerboardRecord()), 16, 16), makeCheckerboard());
    // Loads start after the interface records, which are never deleted.
    gpu.restartTextures();
    EXPECT_EQ(gpu.table().counter(), 12);
    EXPECT_TRUE(glIsTexture(zone));

    // Then a load.
    Level level;
    level.tileAtlas = patterned(AtlasSize);
    level.spriteAtlas.assign(AtlasBytes, 9);
    level.tileOrigin[5] = TileOrigin{320.0f, 64.0f};
    level.map.waterTile = 5;
    gpu.uploadStyle(rt, level);

    EXPECT_EQ(rt.progress.lines(),
              (std::vector<std::string>{"Loading images...", "Generating padded tiles... Sending to GPU..."}));
    EXPECT_TRUE(level.spriteAtlas.empty());
    EXPECT_EQ(readTextureRgba(gpu.textureName(gpu.tileAtlasRecord()), AtlasSize, AtlasSize), level.tileAtlas);
    EXPECT_EQ(readTextureRgba(gpu.textureName(gpu.spriteAtlasRecord()), AtlasSize, AtlasSize),
              std::vector<uint8_t>(AtlasBytes, 9));
    EXPECT_EQ(readTextureRgba(gpu.textureName(gpu.paddedTileRecord()), 4096, 4096),
              buildPaddedTileAtlas(level.tileAtlas).pixels);

    // The loading background repeats the water tile (rows 64 to 127, columns
    // 320 to 383 of the atlas) upside down.
    gpu.buildLoadingBackground(rt, level);
    ASSERT_TRUE(gpu.hasLoadingBackground());
    const auto back = readTextureRgba(gpu.textureName(gpu.loadingBackgroundRecord()), 256, 256);
    ASSERT_EQ(back.size(), 256u * 256 * 4);
    for (size_t y = 0; y < 256; ++y)
        for (size_t x = 0; x < 256; ++x) {
            const uint8_t* want = &level.tileAtlas[((127 - y % 64) * AtlasSize + 320 + x % 64) * 4];
            ASSERT_EQ(std::memcmp(&back[(y * 256 + x) * 4], want, 4), 0) << x << "," << y;
        }

    // The minimap: nothing to read until it is uploaded. (That it reads back
    // exactly shows in the thumbnail, the job's picture: WindowedLoad.*.)
    UnzeroedVector<uint8_t> rgb;
    gpu.reserveMinimapTexture();
    EXPECT_FALSE(gpu.readRgb(rgb));
    const std::vector<uint8_t> minimap = patterned(MinimapSize);
    gpu.uploadMinimap(rt, minimap);
    ASSERT_TRUE(gpu.readRgb(rgb));

    // A second load reuses the same records, without a sprite atlas this time.
    gpu.restartTextures();
    EXPECT_FALSE(gpu.readRgb(rgb));
    gpu.uploadStyle(rt, level);
    EXPECT_EQ(gpu.tileAtlasRecord(), 12);
    EXPECT_EQ(gpu.paddedTileRecord(), 13);

    // A full table makes no more textures.
    while (gpu.table().take() >= 0) continue;
    gpu.uploadStyle(rt, level);
    gpu.reserveMinimapTexture();
    gpu.uploadMinimap(rt, minimap);
    EXPECT_EQ(gpu.tileAtlasRecord(), -1);
    EXPECT_EQ(gpu.minimapRecord(), -1);
    EXPECT_EQ(gpu.reserveTextureName(), 0u);
    EXPECT_EQ(gpu.table().counter(), TextureTable::Capacity);

    // Without the files: nine reports, the records keep their places.
    test::TempFolder empty;
    gfx::GlServices bare(empty.path().string());
    bare.loadInterfaceImages(rt);
    EXPECT_EQ(messages, std::vector<std::string>(9, "ERROR: Could not open texture file"));
    EXPECT_EQ(bare.textureName(bare.pictureRecord(gfx::GlServices::Dot)), 0u);
    EXPECT_NE(bare.textureName(bare.checkerboardRecord()), 0u);  // patterns need no file
    EXPECT_EQ(bare.table().counter(), 12);
}
