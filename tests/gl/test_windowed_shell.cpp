// The windowed start in this process, on a real window: initialisation order,
// title, font lists, and the progress lines drawn into the window.
#include <gtest/gtest.h>

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
};

}  // namespace

TEST(WindowedShell, InitialisesInOrderAndNamesTheWindow) {
    Shell s;
    std::vector<std::string> calls;
    s.shell.hooks.prepareMapState = [&] {
        calls.push_back("prepare");
        EXPECT_FALSE(s.app.applicationReady);
    };
    s.shell.hooks.buildMapList = [&] {
        calls.push_back("maplist");
        s.rt.addProgressLine("Building map list...");
    };
    s.maps.entries.resize(3);
    s.level.tileOrigin[5] = TileOrigin{1, 2};
    s.app.keyDown[65] = true;

    ASSERT_TRUE(s.shell.createWindowAndContext("Quillon's VANT Map Editor", 320, 240, 32, false));
    EXPECT_EQ(calls, (std::vector<std::string>{"prepare", "maplist"}));
    EXPECT_EQ(s.shell.window().title(), "Quillon's VANT Map Editor (0.5.32)");
    EXPECT_TRUE(s.shell.window().isOpen());
    EXPECT_FALSE(s.window.fullscreen);
    EXPECT_TRUE(s.app.applicationReady);
    EXPECT_EQ(s.rt.progress.count(), 0);  // cleared at the end
    EXPECT_TRUE(s.maps.entries.empty());
    EXPECT_FLOAT_EQ(s.level.tileOrigin[5].u, 0.0f);
    EXPECT_FALSE(s.app.keyDown[65]);

    // 224 display lists from the font base on, and the rendering state set.
    ASSERT_NE(s.window.fontBase, 0u);
    for (unsigned i = 0; i < 224; ++i) EXPECT_TRUE(glIsList(s.window.fontBase + i)) << i;
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // Headless, only the common start runs.
    Shell h;
    h.rt.headless = true;
    h.shell.hooks.prepareMapState = [] { ADD_FAILURE() << "no map state without a window"; };
    h.maps.entries.resize(2);
    ASSERT_TRUE(h.shell.createWindowAndContext("t", 100, 100, 32, false));
    EXPECT_FALSE(h.shell.window().isOpen());
    EXPECT_FALSE(h.app.applicationReady);
    EXPECT_TRUE(h.maps.entries.empty());
}

TEST(ProgressView, DrawsTheStoredLinesAndLeavesTheStateAsItWas) {
    // Fontconfig finds Verdana or a stand-in; text bytes are Windows-1252.
    EXPECT_FALSE(platform::findFontFile("Verdana", 12).empty());
    EXPECT_EQ(platform::windows1252ToUnicode('A'), unsigned('A'));
    EXPECT_EQ(platform::windows1252ToUnicode(0x80), 0x20ACu);
    EXPECT_EQ(platform::windows1252ToUnicode(0x81), unsigned('?'));
    EXPECT_EQ(platform::windows1252ToUnicode(0xE9), 0xE9u);
    platform::Window window;
    ASSERT_EQ(window.create("progress", 320, 200, 32, false), platform::WindowFailure::None);
    const unsigned font = platform::buildBitmapFont();
    ASSERT_NE(font, 0u);
    Runtime rt;
    gfx::GlServices gpu(std::string(VANT_SOURCE_DIR) + "/data");

    // At each swap: bright pixels of the back buffer in the top 50 rows
    // (the lines) and below them (nothing else is drawn without pictures).
    int frames = 0, top = -1, below = -1;
    gfx::ProgressView view(gpu, font, [] { return std::pair<int, int>{320, 200}; }, [&] {
        std::vector<uint8_t> rgb(320 * 200 * 3);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 320, 200, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        ++frames;
        top = below = 0;
        for (size_t i = 0; i < rgb.size(); i += 3)
            if (rgb[i] > 200) ++(i / 3 / 320 >= 150 ? top : below);  // rows from the bottom
    });
    view.draw(rt.progress);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(top, 0);

    rt.progress.onChange = [&](const ProgressScreen& screen) { view.draw(screen); };
    rt.addProgressLine("Initializing...");
    EXPECT_EQ(frames, 2);
    EXPECT_GT(top, 20);
    EXPECT_EQ(below, 0);
    const int oneLine = top;
    rt.addProgressLine("Loading STY file: data/wil.sty");
    EXPECT_GT(top, oneLine);
    EXPECT_EQ(rt.progress.lines(), (std::vector<std::string>{"Initializing...", "Loading STY file: data/wil.sty"}));

    // With the pictures loaded, drawing restores colour, texturing, binding
    // and matrix.
    gpu.loadInterfaceImages(rt);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(3, 4, 5);
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
