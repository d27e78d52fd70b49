// The windowed start in this process, on a real window: initialisation order,
// title, font lists, and the progress lines drawn into the window.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/app_state.h"
#include "app/runtime.h"
#include "formats/level.h"
#include "gfx/gl.h"
#include "gfx/gl_services.h"
#include "gfx/progress_view.h"
#include "maplist/map_list.h"
#include "platform/bitmap_font.h"
#include "platform/window.h"
#include "platform/windowed_shell.h"

using namespace vant;

namespace {

struct Shell {
    Runtime rt;
    Level level;
    MapList maps;
    AppState app;
    WindowState window;
    gfx::GlServices gpu{std::string(VANT_SOURCE_DIR) + "/data"};
    platform::WindowedShell shell{rt, level, maps, app, window, gpu};
    std::vector<std::string> calls;
};

// Counts the pixels of the back buffer brighter than the threshold.
int brightPixels(int width, int height, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) {
    if (x1 < 0) x1 = width;
    if (y1 < 0) y1 = height;
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (rgb[(size_t(y) * size_t(width) + size_t(x)) * 3] > 200) ++count;
    return count;
}

}  // namespace

TEST(WindowedShell, InitialisesInOrderAndNamesTheWindow) {
    Shell s;
    s.shell.hooks.prepareMapState = [&] {
        s.calls.push_back("prepare");
        EXPECT_FALSE(s.app.applicationReady);
    };
    s.shell.hooks.buildMapList = [&] {
        s.calls.push_back("maplist");
        s.rt.addProgressLine("Building map list...");
    };
    s.maps.entries.resize(3);
    s.level.tileOrigin[5] = TileOrigin{1, 2};
    s.app.cameras[0].x = 5;
    s.app.keyDown[65] = true;

    ASSERT_TRUE(s.shell.createWindowAndContext("Quillon's VANT Map Editor", 320, 240, 32, false));
    EXPECT_EQ(s.calls, (std::vector<std::string>{"prepare", "maplist"}));
    EXPECT_EQ(s.shell.window().title(), "Quillon's VANT Map Editor (0.5.32)");
    EXPECT_TRUE(s.app.applicationReady);
    EXPECT_EQ(s.rt.progress.count(), 0);  // cleared at the end
    EXPECT_TRUE(s.maps.entries.empty());
    EXPECT_FLOAT_EQ(s.level.tileOrigin[5].u, 0.0f);
    EXPECT_FLOAT_EQ(s.app.cameras[0].x, 128.0f);
    EXPECT_FLOAT_EQ(s.app.cameras[1].z, 370.0f);
    EXPECT_FALSE(s.app.keyDown[65]);
    EXPECT_FALSE(s.window.fullscreen);
    EXPECT_TRUE(s.shell.window().isOpen());

    // 224 display lists from the font base on.
    ASSERT_NE(s.window.fontBase, 0u);
    for (unsigned i = 0; i < 224; ++i) EXPECT_TRUE(glIsList(s.window.fontBase + i)) << i;
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(WindowedShell, HeadlessRunsOnlyTheCommonStart) {
    Shell s;
    s.rt.headless = true;
    bool hookCalled = false;
    s.shell.hooks.prepareMapState = [&] { hookCalled = true; };
    s.maps.entries.resize(2);
    ASSERT_TRUE(s.shell.createWindowAndContext("t", 100, 100, 32, false));
    EXPECT_FALSE(hookCalled);
    EXPECT_FALSE(s.shell.window().isOpen());
    EXPECT_FALSE(s.app.applicationReady);
    EXPECT_TRUE(s.maps.entries.empty());
}

TEST(BitmapFont, FontconfigFindsAFileForVerdanaOrItsStandIn) {
    const std::string file = platform::findFontFile("Verdana", 12);
    EXPECT_FALSE(file.empty());
    EXPECT_EQ(platform::windows1252ToUnicode('A'), unsigned('A'));
    EXPECT_EQ(platform::windows1252ToUnicode(0x80), 0x20ACu);
    EXPECT_EQ(platform::windows1252ToUnicode(0x81), unsigned('?'));
    EXPECT_EQ(platform::windows1252ToUnicode(0xE9), 0xE9u);
}

TEST(ProgressView, DrawsTheStoredLinesAndSwaps) {
    platform::Window window;
    ASSERT_EQ(window.create("progress", 320, 200, 32, false), platform::WindowFailure::None);
    const unsigned font = platform::buildBitmapFont();
    ASSERT_NE(font, 0u);
    Runtime rt;
    gfx::GlServices gpu(std::string(VANT_SOURCE_DIR) + "/data");

    int frames = 0, textPixels = -1, lowerPixels = -1;
    gfx::ProgressView view(gpu, font, [] { return std::pair<int, int>{320, 200}; }, [&] {
        ++frames;
        // The lines sit at the top; nothing else is drawn without pictures.
        textPixels = brightPixels(320, 200, 0, 150, 320, 200);
        lowerPixels = brightPixels(320, 200, 0, 0, 320, 150);
    });

    view.draw(rt.progress);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(textPixels, 0);

    rt.progress.onChange = [&](const ProgressScreen& screen) { view.draw(screen); };
    rt.addProgressLine("Initializing...");
    EXPECT_EQ(frames, 2);
    EXPECT_GT(textPixels, 20);
    EXPECT_EQ(lowerPixels, 0);
    const int oneLine = textPixels;
    rt.addProgressLine("Loading STY file: data/wil.sty");
    EXPECT_GT(textPixels, oneLine);

    // The stored lines are not touched by drawing.
    EXPECT_EQ(rt.progress.lines(), (std::vector<std::string>{"Initializing...", "Loading STY file: data/wil.sty"}));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(ProgressView, LeavesTheRenderingStateAsItWas) {
    platform::Window window;
    ASSERT_EQ(window.create("state", 128, 128, 32, false), platform::WindowFailure::None);
    gfx::GlServices gpu(std::string(VANT_SOURCE_DIR) + "/data");
    Runtime rt;
    gpu.loadInterfaceImages(rt);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(3, 4, 5);

    gfx::ProgressView view(gpu, platform::buildBitmapFont(), [] { return std::pair<int, int>{128, 128}; },
                           [&] { window.swapBuffers(); });
    rt.addProgressLine("x");
    view.draw(rt.progress);

    GLfloat colour[4], matrix[16];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    EXPECT_FLOAT_EQ(matrix[12], 3.0f);
    EXPECT_FLOAT_EQ(matrix[14], 5.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
