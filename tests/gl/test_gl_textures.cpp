// Textures on a real OpenGL context (Mesa under Xvfb): what is uploaded is
// read back exactly, the interface pictures, the style atlases and the
// loading background land in their records.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "app/runtime.h"
#include "gfx/gl.h"
#include "gfx/gl_services.h"
#include "gfx/render_state.h"
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
        window_ = std::make_unique<platform::Window>();
        ASSERT_EQ(window_->create("vant gl test", 64, 64, 32, false), platform::WindowFailure::None)
            << "no OpenGL context on DISPLAY";
        rt.responder = [this](int, const std::string& caption, const std::string& text) {
            messages.push_back(caption + ": " + text);
            return AnswerOk;
        };
    }
    void TearDown() override { window_.reset(); }

    // Level 0 of a texture as RGBA bytes.
    static std::vector<uint8_t> readTexture(unsigned name, int& width, int& height) {
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

    Runtime rt;
    std::vector<std::string> messages;
    std::unique_ptr<platform::Window> window_;
};

// Every pixel different: red and green from the position, blue from both.
std::vector<uint8_t> patterned(int side) {
    std::vector<uint8_t> p(size_t(side) * side * 4);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            uint8_t* o = &p[(size_t(y) * side + x) * 4];
            o[0] = uint8_t(x * 7 + y);
            o[1] = uint8_t(y * 3);
            o[2] = uint8_t((x ^ y) + x / 256);
            o[3] = uint8_t(255 - (x & 15));
        }
    return p;
}

const std::string kData = std::string(VANT_SOURCE_DIR) + "/data";

}  // namespace

TEST_F(GlContext, MinimapUploadReadsBackAsTheSameRgb) {
    gfx::GlServices gpu(kData);
    gpu.restartTextures();
    gpu.reserveMinimapTexture();
    const std::vector<uint8_t> minimap = patterned(MinimapSize);
    gpu.uploadMinimap(rt, minimap);
    ASSERT_GE(gpu.minimapRecord(), 0);
    EXPECT_EQ(gpu.table().tileTextures, std::vector<int>{gpu.minimapRecord()});

    std::vector<uint8_t> rgb;
    ASSERT_TRUE(gpu.readRgb(rgb));
    ASSERT_EQ(rgb.size(), size_t(MinimapSize) * MinimapSize * 3);
    for (size_t i = 0, j = 0; i < minimap.size(); i += 4, j += 3)
        ASSERT_TRUE(rgb[j] == minimap[i] && rgb[j + 1] == minimap[i + 1] && rgb[j + 2] == minimap[i + 2])
            << "pixel " << i / 4;

    const unsigned name = gpu.textureName(gpu.minimapRecord());
    EXPECT_EQ(parameter(name, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(name, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    // Mipmapped down to 1 x 1.
    GLint last = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 11, GL_TEXTURE_WIDTH, &last);
    EXPECT_EQ(last, 1);
}

TEST_F(GlContext, NoMinimapTextureMeansNoReadBack) {
    gfx::GlServices gpu(kData);
    std::vector<uint8_t> rgb;
    EXPECT_FALSE(gpu.readRgb(rgb));
    gpu.reserveMinimapTexture();  // reserved, not uploaded yet
    EXPECT_FALSE(gpu.readRgb(rgb));
}

TEST_F(GlContext, UploadPolicyFilterModes) {
    const std::vector<uint8_t> pixels = patterned(16);
    GLuint names[2];
    glGenTextures(2, names);
    glBindTexture(GL_TEXTURE_2D, names[0]);
    gfx::uploadTexture(GL_TEXTURE_2D, GL_RGBA, 16, 16, pixels.data(), gfx::FilterNearest);
    EXPECT_EQ(parameter(names[0], GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(parameter(names[0], GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_NEAREST);
    glBindTexture(GL_TEXTURE_2D, names[1]);
    gfx::uploadTexture(GL_TEXTURE_2D, GL_RGBA, 16, 16, pixels.data(), gfx::FilterLinear);
    EXPECT_EQ(parameter(names[1], GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    int w = 0, h = 0;
    EXPECT_EQ(readTexture(names[1], w, h), pixels);
    glDeleteTextures(2, names);
}

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
        EXPECT_EQ(gpu.table().at(record).bitsPerPixel, 32u);
        EXPECT_TRUE(gpu.table().at(record).pixels.empty());
    }
    EXPECT_EQ(gpu.stripesRecord(), 9);
    EXPECT_EQ(gpu.loadingBackgroundRecord(), 10);
    EXPECT_EQ(gpu.checkerboardRecord(), 11);
    EXPECT_EQ(gpu.table().counter(), 12);
    EXPECT_EQ(gpu.table().restartPoint(), 12);

    // A second call takes nothing and writes no line.
    gpu.loadInterfaceImages(rt);
    EXPECT_EQ(gpu.table().counter(), 12);
    EXPECT_EQ(rt.progress.count(), 1);

    // zone_rect as converted, and its mip levels stop at 5.
    TextureRecord source;
    ASSERT_TRUE(readTga(rt, source, kData + "/gfx/zone_rect.tga"));
    const auto expected = convertInterfacePicture(source, PictureConversion::RedEverywhere);
    const unsigned zone = gpu.textureName(gpu.pictureRecord(gfx::GlServices::ZoneRect));
    int w = 0, h = 0;
    EXPECT_EQ(readTexture(zone, w, h), expected);
    EXPECT_EQ(parameter(zone, GL_TEXTURE_MAX_LEVEL), 5);
    EXPECT_EQ(parameter(zone, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);

    // The checkerboard on the card: (8, 8) white, (9, 9) grey.
    const auto checker = readTexture(gpu.textureName(gpu.checkerboardRecord()), w, h);
    ASSERT_EQ(w, 16);
    EXPECT_EQ(checker[(8 * 16 + 8) * 4], 255);
    EXPECT_EQ(checker[(9 * 16 + 9) * 4], 217);
    EXPECT_EQ(parameter(gpu.textureName(gpu.checkerboardRecord()), GL_TEXTURE_MIN_FILTER), GL_LINEAR);

    // The loading picture: one level, linear, white through its alpha.
    const unsigned loading = gpu.textureName(gpu.loadingPictureRecord());
    EXPECT_EQ(parameter(loading, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    const auto picture = readTexture(loading, w, h);
    EXPECT_EQ(picture[0], 255);

    // Loads start after the interface records; they are never deleted.
    gpu.restartTextures();
    EXPECT_EQ(gpu.table().counter(), 12);
    EXPECT_TRUE(glIsTexture(zone));
}

TEST_F(GlContext, MissingPicturesAreReportedAndKeepTheirPlaces) {
    test::TempFolder empty;
    gfx::GlServices gpu(empty.path().string());
    gpu.loadInterfaceImages(rt);
    ASSERT_EQ(messages.size(), 9u);
    for (const std::string& m : messages) EXPECT_EQ(m, "ERROR: Could not open texture file");
    EXPECT_EQ(gpu.textureName(gpu.pictureRecord(gfx::GlServices::Dot)), 0u);
    EXPECT_EQ(gpu.pictureRecord(gfx::GlServices::Dot), 3);
    EXPECT_NE(gpu.textureName(gpu.checkerboardRecord()), 0u);  // patterns need no file
    EXPECT_EQ(gpu.table().counter(), 12);
}

TEST_F(GlContext, StyleUploadMakesTileSpriteAndPaddedTextures) {
    gfx::GlServices gpu(kData);
    gpu.loadInterfaceImages(rt);
    gpu.restartTextures();
    Level level;
    level.tileAtlas = patterned(AtlasSize);
    level.spriteAtlas.assign(AtlasBytes, 0);
    level.spriteAtlas[0] = 9;
    rt.progress.clear();
    gpu.uploadStyle(rt, level);

    EXPECT_EQ(rt.progress.lines(), std::vector<std::string>{"Generating padded tiles... Sending to GPU..."});
    EXPECT_EQ(gpu.tileAtlasRecord(), 12);
    EXPECT_EQ(gpu.spriteAtlasRecord(), 13);
    EXPECT_EQ(gpu.paddedTileRecord(), 14);
    EXPECT_EQ(gpu.table().tileTextures, (std::vector<int>{12, 14}));  // the sprite texture is not a tile texture
    EXPECT_TRUE(level.spriteAtlas.empty());
    EXPECT_FLOAT_EQ(level.paddedTileOrigin[17].u, 672.0f);

    int w = 0, h = 0;
    const unsigned tiles = gpu.textureName(gpu.tileAtlasRecord());
    EXPECT_EQ(readTexture(tiles, w, h), level.tileAtlas);
    EXPECT_EQ(parameter(tiles, GL_TEXTURE_MAX_LEVEL), 4);
    const unsigned sprites = gpu.textureName(gpu.spriteAtlasRecord());
    EXPECT_EQ(parameter(sprites, GL_TEXTURE_MAX_LEVEL), 2);
    EXPECT_EQ(readTexture(sprites, w, h)[0], 9);

    const unsigned padded = gpu.textureName(gpu.paddedTileRecord());
    EXPECT_EQ(parameter(padded, GL_TEXTURE_MAX_LEVEL), 6);
    const auto back = readTexture(padded, w, h);
    ASSERT_EQ(w, 4096);
    EXPECT_EQ(back, buildPaddedTileAtlas(level.tileAtlas).pixels);

    gpu.usePaddedTileTexture();
    EXPECT_EQ(gpu.currentTileRecord(), gpu.paddedTileRecord());

    // A second load reuses the same records and deletes the old names first.
    gpu.restartTextures();
    gpu.uploadStyle(rt, level);
    EXPECT_EQ(gpu.tileAtlasRecord(), 12);
    EXPECT_EQ(gpu.paddedTileRecord(), 13);  // no sprite atlas this time
    EXPECT_EQ(gpu.table().tileTextures, (std::vector<int>{12, 13}));
    EXPECT_EQ(readTexture(gpu.textureName(13), w, h).size(), size_t(4096) * 4096 * 4);
}

TEST_F(GlContext, FullTableMakesNoMoreTextures) {
    gfx::GlServices gpu(kData);
    while (gpu.table().take() >= 0) {
    }
    Level level;
    level.tileAtlas.assign(AtlasBytes, 1);
    gpu.uploadStyle(rt, level);
    gpu.reserveMinimapTexture();
    gpu.uploadMinimap(rt, std::vector<uint8_t>(MinimapBytes, 0));
    EXPECT_EQ(gpu.tileAtlasRecord(), -1);
    EXPECT_EQ(gpu.paddedTileRecord(), -1);
    EXPECT_EQ(gpu.minimapRecord(), -1);
    EXPECT_EQ(gpu.reserveTextureName(), 0u);
    EXPECT_EQ(gpu.table().counter(), TextureTable::Capacity);
}

TEST_F(GlContext, LoadingBackgroundRepeatsTheWaterTileUpsideDown) {
    gfx::GlServices gpu(kData);
    gpu.loadInterfaceImages(rt);
    EXPECT_FALSE(gpu.hasLoadingBackground());
    Level level;
    level.tileAtlas = patterned(AtlasSize);
    level.tileOrigin[5] = TileOrigin{320.0f, 64.0f};
    level.map.waterTile = 5;
    gpu.buildLoadingBackground(rt, level);
    ASSERT_TRUE(gpu.hasLoadingBackground());

    const unsigned name = gpu.textureName(gpu.loadingBackgroundRecord());
    EXPECT_EQ(parameter(name, GL_TEXTURE_MAX_LEVEL), 8);
    int w = 0, h = 0;
    const auto back = readTexture(name, w, h);
    ASSERT_EQ(w, 256);
    ASSERT_EQ(h, 256);
    for (int cy = 0; cy < 256; cy += 64)
        for (int cx = 0; cx < 256; cx += 64)
            for (int j = 0; j < 64; j += 21)
                for (int i = 0; i < 64; i += 9) {
                    const uint8_t* want = &level.tileAtlas[(size_t(64 + j) * AtlasSize + size_t(320 + i)) * 4];
                    const uint8_t* got = &back[(size_t(cy + 63 - j) * 256 + size_t(cx + i)) * 4];
                    ASSERT_EQ(std::memcmp(want, got, 4), 0) << cx << "," << cy << " " << i << "," << j;
                }
}

TEST_F(GlContext, RenderingStateValues) {
    gfx::clearScreenOnce();
    gfx::setRenderingState();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    for (GLenum off : {GL_LIGHTING, GL_LIGHT0, GL_LIGHT1, GL_LIGHT2, GL_COLOR_MATERIAL, GL_DEPTH_TEST, GL_FOG,
                       GL_LINE_SMOOTH, GL_BLEND, GL_ALPHA_TEST})
        EXPECT_FALSE(glIsEnabled(off)) << off;

    GLfloat v[4] = {0, 0, 0, 0};
    glGetTexEnvfv(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, v);
    EXPECT_FLOAT_EQ(v[0], -0.5f);
    glGetLightfv(GL_LIGHT1, GL_DIFFUSE, v);
    EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{0, 0, 1, 1}));
    glGetLightfv(GL_LIGHT2, GL_DIFFUSE, v);
    EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{1, 0, 0, 1}));
    glGetLightfv(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, v);
    EXPECT_FLOAT_EQ(v[0], 0.000301f);
    glGetLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, v);
    EXPECT_FLOAT_EQ(v[0], 65.5f);
    glGetLightfv(GL_LIGHT2, GL_SPOT_EXPONENT, v);
    EXPECT_FLOAT_EQ(v[0], 3.39956f);
    glGetFloatv(GL_FOG_DENSITY, v);
    EXPECT_FLOAT_EQ(v[0], 0.000522f);
    glGetFloatv(GL_FOG_END, v);
    EXPECT_FLOAT_EQ(v[0], 1.0f);
    glGetFloatv(GL_POLYGON_OFFSET_FACTOR, v);
    EXPECT_FLOAT_EQ(v[0], -0.2f);
    glGetFloatv(GL_ALPHA_TEST_REF, v);
    EXPECT_FLOAT_EQ(v[0], 0.21f);
    glGetFloatv(GL_CURRENT_COLOR, v);
    EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{1, 1, 1, 1}));

    GLint i = 0;
    glGetIntegerv(GL_FOG_MODE, &i);
    EXPECT_EQ(i, GL_EXP);
    glGetIntegerv(GL_DEPTH_FUNC, &i);
    EXPECT_EQ(i, GL_LEQUAL);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &i);
    EXPECT_EQ(i, GL_GREATER);
    glGetIntegerv(GL_BLEND_SRC, &i);
    EXPECT_EQ(i, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &i);
    EXPECT_EQ(i, GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_SHADE_MODEL, &i);
    EXPECT_EQ(i, GL_SMOOTH);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &i);
    EXPECT_EQ(i, GL_NICEST);
    glGetIntegerv(GL_FOG_HINT, &i);
    EXPECT_EQ(i, GL_NICEST);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
