// The windowed start in this process, on a real window: initialisation order,
// title, font lists, the rendering state after the start and after a load,
// and the drawing state the progress view leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "app/app_state.h"
#include "app/load_pipeline.h"
#include "base/runtime.h"
#include "formats/level.h"
#include "gfx/gl.h"
#include "gfx/gl_services.h"
#include "gfx/progress_view.h"
#include "maplist/map_list.h"
#include "platform/bitmap_font.h"
#include "platform/window.h"
#include "shell/windowed_shell.h"
#include "run_binary.h"

using namespace vant;

namespace {

struct Shell {
    App program;
    Runtime& rt = program.rt;
    Level& level = program.level;
    MapList& maps = program.maps;
    AppState app;
    WindowState window;
    gfx::GlServices gpu{std::string(VANT_SOURCE_DIR) + "/data"};
    platform::WindowedShell shell{rt, level, maps, app, window, gpu};
};

// The state the start sets that shows in what is drawn, read back from the
// card. (The fog and light values it prepares stay unused: fog and lighting
// are off, which is checked.)
void expectRenderingState() {
    using V = std::vector<GLfloat>;
    V bias(1);
    glGetTexEnvfv(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, bias.data());
    EXPECT_EQ(bias, V{-0.5f});
    const std::vector<std::pair<GLenum, V>> values = {
        {GL_SHADE_MODEL, {GL_SMOOTH}}, {GL_POLYGON_OFFSET_FACTOR, {-0.2f}}, {GL_POLYGON_OFFSET_UNITS, {0}},
        {GL_DEPTH_FUNC, {GL_LEQUAL}}, {GL_ALPHA_TEST_FUNC, {GL_GREATER}}, {GL_ALPHA_TEST_REF, {0.21f}},
        {GL_PERSPECTIVE_CORRECTION_HINT, {GL_NICEST}}, {GL_CURRENT_COLOR, {1, 1, 1, 1}},
        {GL_BLEND_SRC, {GL_SRC_ALPHA}}, {GL_BLEND_DST, {GL_ONE_MINUS_SRC_ALPHA}}};
    for (const auto& [name, want] : values) {
        V got(16);
        glGetFloatv(name, got.data());
        got.resize(want.size());
        EXPECT_EQ(got, want) << std::hex << name;
    }
    for (GLenum off : {GL_LIGHT0, GL_LIGHT1, GL_LIGHT2, GL_LIGHTING, GL_COLOR_MATERIAL, GL_DEPTH_TEST, GL_ALPHA_TEST,
                       GL_LINE_SMOOTH, GL_FOG, GL_BLEND})
        EXPECT_FALSE(glIsEnabled(off)) << std::hex << off;
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace

// The start in its order, its progress line drawn, then a whole windowed
// load in this process: the rendering state reads back as set after each.
TEST(WindowedShell, StartsInOrderAndTheRenderingStateHoldsAfterALoad) {
    test::WorkFolder here;
    std::filesystem::create_directories("data/minimaps");
    ASSERT_EQ(test::makeSampleCity(here.path()).status, 0);

    auto s = std::make_unique<Shell>();
    s->rt.responder = [](int, const std::string&, const std::string&) { return AnswerOk; };
    std::vector<std::string> calls;
    s->shell.hooks.prepareMapState = [&] {
        calls.push_back("prepare");
        EXPECT_FALSE(s->app.applicationReady);
        prepareMapState(s->rt, s->app, [&] { return s->gpu.reserveTextureName(); });
    };
    s->shell.hooks.buildMapList = [&] {
        calls.push_back("maplist");
        buildMapList(s->rt, s->maps, s->app.settings.gamePath);
    };
    s->maps.entries.resize(3);
    ASSERT_TRUE(s->shell.createWindowAndContext("Quillon's VANT Map Editor", 320, 240, 32, false));
    EXPECT_EQ(calls, (std::vector<std::string>{"prepare", "maplist"}));
    EXPECT_EQ(s->shell.window().title(), "Quillon's VANT Map Editor (0.5.32)");
    EXPECT_TRUE(s->app.applicationReady);
    EXPECT_EQ(s->rt.progress.count(), 0);  // cleared at the end
    EXPECT_TRUE(s->maps.entries.empty());
    // 224 display lists from the font base on.
    ASSERT_NE(s->window.fontBase, 0u);
    EXPECT_TRUE(glIsList(s->window.fontBase) && glIsList(s->window.fontBase + 223));
    {
        SCOPED_TRACE("after the start");
        expectRenderingState();
    }
    openMapDescription(s->program, s->app, s->gpu, (here.path() / "sample.mmp").string());
    ASSERT_EQ(s->rt.progress.lines().back(), "Launching editor...");
    EXPECT_FALSE(std::filesystem::is_empty("data/minimaps"));  // the thumbnail was read back
    SCOPED_TRACE("after a load");
    expectRenderingState();
}

// What the lines look like in a window is checked on the real binary
// (LoadingWindow.ShowsTheProgressLinesWhileItLoads); that drawing them
// leaves the caller's state, by WindowedShell.StartsInOrderAndTheRenderingState*.
TEST(ProgressView, FramesDrawnInBandsMatchWholeFrames) {
    // Fontconfig finds Verdana or a stand-in; text bytes are Windows-1252.
    EXPECT_FALSE(platform::findFontFile("Verdana", 12).empty());
    EXPECT_EQ(platform::windows1252ToUnicode(0x80), 0x20ACu);
    EXPECT_EQ(platform::windows1252ToUnicode(0x81), unsigned('?'));
    EXPECT_EQ(platform::windows1252ToUnicode(0xE9), 0xE9u);
    // A view that may show part of its back buffer draws again only the
    // band of lines that changed; each of its frames must equal the frame
    // drawn whole: lines added, a line rewritten with dots, the water
    // appearing, lines scrolling off the top, the screen cleared.
    platform::Window window;
    ASSERT_EQ(window.create("progress", 320, 200, 32, false), platform::WindowFailure::None);
    Runtime rt;
    std::unique_ptr<gfx::GlServices> gpu;
    const unsigned font = platform::buildBitmapFont();
    Level level;
    level.tileAtlas.assign(AtlasBytes, 0);
    for (size_t i = 0; i < level.tileAtlas.size(); ++i) level.tileAtlas[i] = uint8_t(i * 7 + i / 4096);
    const std::vector<std::function<void()>> steps = {
        [&] { rt.addProgressLine("Initializing..."); },
        [&] { rt.addProgressLine("Loading STY file: gjpq_\xC7\xC9|.sty"); },
        [&] { rt.addProgressLine("Generating tilemaps..."); },
        [&] { gpu->buildLoadingBackground(rt, level); rt.addProgressLine("Loading GMP file: x.gmp"); },
        [&] { rt.setProgressDots("Building 2d map", 0); },
        [&] { rt.setProgressDots("Building 2d map", 3); },
        [&] { rt.setProgressDots("Building 2d map", 7); },
        [&] { for (int i = 0; i < 7; ++i) rt.addProgressLine("Line %d qypg", i); },  // 10 fit: scrolls
        [&] { rt.addProgressLine("Launching editor..."); },
        [&] { rt.progress.clear(); rt.addProgressLine("Loading images..."); },
    };
    auto frames = [&](bool bands, int& partial) {
        rt.progress.clear();
        gpu = std::make_unique<gfx::GlServices>(std::string(VANT_SOURCE_DIR) + "/data");
        gpu->loadInterfaceImages(rt);
        gfx::ProgressView view(*gpu, font, [] { return std::pair<int, int>{320, 200}; }, [] {});
        if (bands) view.setRegionCopy([&](int, int, int, int h) { return partial += h < 200, true; });
        rt.progress.onChange = [&](const ProgressScreen& screen) { view.draw(screen); };
        std::vector<std::vector<uint8_t>> shown;
        for (const auto& step : steps) {
            step();
            shown.emplace_back(size_t(320) * 200 * 4);
            glReadBuffer(GL_BACK);
            glReadPixels(0, 0, 320, 200, GL_RGBA, GL_UNSIGNED_BYTE, shown.back().data());
        }
        rt.progress.onChange = nullptr;
        return shown;
    };
    int partial = 0, none = 0;
    const auto whole = frames(false, none);
    const auto banded = frames(true, partial);
    EXPECT_GT(partial, 4);  // most frames were bands
    for (size_t i = 0; i < steps.size(); ++i) EXPECT_TRUE(banded[i] == whole[i]) << "step " << i;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
