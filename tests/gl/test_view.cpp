// vantmap view on the test display, driven as a person would with xdotool:
// the zoomed-out view against the headless minimap, a close-up against the
// minimap and against a tile the test wrote, the zones, the layer switch,
// the status line (mirrored in the window title) and quitting.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "display.h"
#include "base/runtime.h"
#include "formats/level_writer.h"
#include "formats/map.h"
#include "maplist/map_list.h"
#include "view/view_camera.h"

using namespace vant::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string title(const std::string& window) {
    const auto lines = outputLines("xdotool getwindowname " + window + " 2>/dev/null");
    return lines.empty() ? std::string() : lines[0].substr(0, lines[0].find('\n'));
}

// Waits until the title contains `part`; then the frame it belongs to has
// been asked for, so give the display a moment to show it.
bool waitTitle(const std::string& window, const std::string& part) {
    for (int i = 0; i < 100; ++i, std::this_thread::sleep_for(100ms))
        if (title(window).find(part) != std::string::npos) {
            std::this_thread::sleep_for(400ms);
            return true;
        }
    return false;
}

// Answers the windowed load's notice, then waits for the view's window and
// brings it to the whole map with the pointer at (512, 300) (keys go to the
// window under the pointer); empty on failure.
std::string openView(BackgroundRun& run) {
    if (!run.answer("NOTICE", "Return")) return {};
    std::string window;
    for (int i = 0; i < 200 && window.empty() && run.running(); ++i, std::this_thread::sleep_for(100ms))
        window = windowIdContaining("px per square");
    xdotool("mousemove --window " + window + " 512 300 key --window " + window + " Home");
    return !window.empty() && waitTitle(window, "- 2.92 px per square") ? window : std::string();
}

// The square the status line names.
std::pair<int, int> squareInTitle(const std::string& window) {
    int x = -1, y = -1;
    const std::string t = title(window);
    const size_t at = t.find("| square ");
    if (at != std::string::npos) std::sscanf(t.c_str() + at, "| square %d,%d", &x, &y);
    return {x, y};
}

// A headless picture (uncompressed TGA, blue-green-red, top row first) as RGB.
Screenshot headless(const fs::path& vantedit, const fs::path& mmp, const fs::path& out, int size) {
    runProgram(vantedit, {"-saveminimap", "-mmp", mmp.string(), "-out", out.string(), "-size", std::to_string(size)},
               out.parent_path());
    const std::string tga = readFile(out);
    Screenshot p{size, size, {}};
    if (tga.size() < 18 + size_t(size) * size * 3) return p;
    for (size_t i = 0; i < size_t(size) * size; ++i)
        for (size_t c = 0; c < 3; ++c) p.rgb.push_back(static_cast<unsigned char>(tga[18 + 3 * i + 2 - c]));
    return p;
}

// The offset (ox, oy) within the ranges at which the shot best shows the
// picture scaled by `scale`, and the mean difference per channel there,
// comparing per picture pixel block of `block` shot pixels.
struct Fit {
    int ox = 0, oy = 0;
    double error = 1e9;  // mean difference per channel
    int off = 0;         // blocks more than 8 off in a channel
};
Fit bestFit(const Screenshot& shot, const Screenshot& picture, int scale, std::pair<int, int> rx,
            std::pair<int, int> ry, int stride, const std::vector<bool>& skip = {}) {
    auto fit = [&](int ox, int oy) {
        Fit f{ox, oy, 0, 0};
        long n = 0;
        const int height = shot.height - 24;  // above the status line
        for (int py = 0; py < picture.height; py += stride)
            for (int px = 0; px < picture.width; px += stride) {
                const int x0 = ox + px * scale, y0 = oy + py * scale;
                if (x0 < 0 || y0 < 0 || x0 + scale > shot.width || y0 + scale > height) continue;
                if (!skip.empty() && skip[size_t(py) * size_t(picture.width) + size_t(px)]) continue;
                bool off = false;
                for (int c = 0; c < 3; ++c) {
                    double mean = 0;
                    for (int j = 0; j < scale; ++j)
                        for (int i = 0; i < scale; ++i) mean += shot.at(x0 + i, y0 + j)[c];
                    const double d = std::abs(mean / (scale * scale) - picture.at(px, py)[c]);
                    f.error += d;
                    off = off || d > 8;
                }
                f.off += off;
                ++n;
            }
        f.error = n > 1000 ? f.error / (3.0 * n) : 1e9;
        return f;
    };
    Fit best;
    for (int oy = ry.first; oy <= ry.second; ++oy)
        for (int ox = rx.first; ox <= rx.second; ++ox)
            if (const Fit f = fit(ox, oy); f.error < best.error) best = f;
    return best;
}

}  // namespace

TEST(ViewCamera, ZoomingOutStopsAtTheWholeCityAndNeverZoomsIn) {
    vant::view::ViewCamera camera;
    for (auto [w, h] : {std::pair{200, 150}, {1024, 768}}) {
        camera.resize(w, h, 0);
        camera.home();
        const double fit = camera.fitScale(), least = std::min(1.0, fit);
        for (int step = 0; step < 12; ++step) {
            const double before = camera.scale();
            camera.zoomAtCentre(-1);
            EXPECT_LE(camera.scale(), before) << w << " step " << step;
            EXPECT_GE(camera.scale(), least) << w;
        }
        EXPECT_EQ(camera.scale(), least) << w;
        camera.zoomAtCentre(1);
        EXPECT_GT(camera.scale(), least) << w;
    }
}

TEST(ViewWindow, ZoomedOutItIsTheMinimapAndCloseUpItAgreesWithIt) {
    InstalledProgram app;
    const TempFolder& work = app.work;
    ASSERT_EQ(makeSampleCity(work.path()).status, 0);
    const fs::path vantmap = app / "vantmap", mmp = work / "sample.mmp";
    // The headless picture at 4 pixels per square.
    const Screenshot minimap = headless(app / "vantedit", mmp, work / "minimap.tga", 1024);
    ASSERT_EQ(minimap.rgb.size(), size_t(1024) * 1024 * 3);

    BackgroundRun run(vantmap, {"view", mmp.string()}, work.path());
    const std::string window = openView(run);
    ASSERT_FALSE(window.empty()) << run.stdErr() << "status " << run.wait();

    // One step in from the whole map: 4 pixels per square, the picture as
    // the headless job shrinks it to 1024 pixels.
    xdotool("key --window " + window + " plus");
    ASSERT_TRUE(waitTitle(window, "- 4 px per square"));
    Screenshot shot;
    ASSERT_TRUE(grabWindow(window, work / "far.ppm", shot));
    const Fit far = bestFit(shot, minimap, 1, {-16, 16}, {-160, -124}, 4);
    EXPECT_LT(far.error, 0.5) << "at offset " << far.ox << "," << far.oy;
    EXPECT_EQ(far.off, 0);

    // Wheeled in at square (128, 60) to 16 pixels per square, each square's
    // mean colour is its minimap cell's: the same lids, shades, slope shapes
    // and diagonal walls (rows 42 to 55 have them), larger.
    const int px = far.ox + 514, py = far.oy + 242;
    xdotool("mousemove --window " + window + " " + std::to_string(px) + " " + std::to_string(py));
    for (int i = 0; i < 4; ++i) xdotool("click 4");
    ASSERT_TRUE(waitTitle(window, "- 16 px per square"));
    ASSERT_TRUE(grabWindow(window, work / "near.ppm", shot));
    const auto [sx, sy] = squareInTitle(window);
    ASSERT_EQ(sx, 128);
    ASSERT_EQ(sy, 60);
    // The minimap at a pixel per square: each square's mean colour.
    const Screenshot cells = headless(app / "vantedit", mmp, work / "cells.tga", 256);
    ASSERT_EQ(cells.rgb.size(), size_t(256) * 256 * 3);
    // Blended lids are left out: the minimap blends a tile's average colour
    // by its average alpha (as the close view does at 8 pixels per square),
    // closer up each pixel blends by its own.
    vant::Runtime rt;
    rt.headless = true;
    static vant::Level level;
    ASSERT_TRUE(vant::loadMap(rt, level, vant::MapList(), -1, (work / "sample.gmp").string()));
    std::vector<bool> blended(256 * 256, false);
    for (int z = 0; z < vant::MapDepth - 1; ++z)
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const vant::BlockInfo& b = level.map.at(x, y, z);
                if (vant::faceBlend(b.lid) || vant::faceBlend(b.left) || vant::faceBlend(b.right))
                    blended[size_t(y) * 256 + size_t(x)] = true;
            }
    const Fit near = bestFit(shot, cells, 16, {px - 16 * (sx + 1) + 1, px - 16 * sx},
                             {py - 16 * (sy + 1) + 1, py - 16 * sy}, 1, blended);
    EXPECT_LT(near.error, 1.0) << "at offset " << near.ox << "," << near.oy;
    EXPECT_EQ(near.off, 0) << "squares unlike their minimap cells";

    xdotool("key --window " + window + " Escape");
    EXPECT_EQ(run.wait(), 0) << run.stdErr();
    // Loaded as the editor loads: its thumbnail and its record in the log.
    EXPECT_FALSE(fs::is_empty(app / "data/minimaps")) << "no thumbnail";
    EXPECT_NE(app.read("loading.log").find("\"sample.gmp\", \"sample.sty\""), std::string::npos);
}

TEST(ViewWindow, KnownLidZoneLayersAndStatusLine) {
    // Tile 1: 8 x 8 blocks of colours 1..64, so that its turn shows; tile 2
    // and tile 3 plain. Square (60, 70) has tile 1 turned once and mirrored
    // (pixel (x, y) shows tile pixel (y, x)) at lighting level 2; square
    // (61, 70) has tile 2 on layer 0 under tile 3 on layer 3; a navigation
    // zone "Dock" covers squares 63 and 64 of row 70.
    auto colour = [](int i) { return vant::Rgb{uint8_t(i * 2), uint8_t(255 - i), uint8_t(i * 5)}; };
    vant::StyleWriter style;
    for (int i = 1; i < 256; ++i) style.setColour(0, i, colour(i));
    for (int t = 0; t < 16; ++t) style.setVirtualPalette(size_t(t), 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            style.setPixel(1, x, y, uint8_t(1 + x / 8 + 8 * (y / 8)));
            style.setPixel(2, x, y, 100);
            style.setPixel(3, x, y, 200);
        }
    vant::MapWriter map;
    map.at(60, 70, 0).lid = uint16_t(1 | 2 << 10 | 1 << 13 | 1 << 14);
    map.at(61, 70, 0).lid = 2;
    map.at(61, 70, 3).lid = 3;
    map.addZone({1, 63, 70, 2, 1, "Dock"});
    InstalledProgram app;
    const TempFolder& work = app.work;
    ASSERT_TRUE(vant::saveBytes((work / "town.sty").string(), style.bytes()));
    ASSERT_TRUE(vant::saveBytes((work / "town.gmp").string(), map.bytes()));
    const fs::path vantmap = app / "vantmap";

    // The map and its style given apart, paths relative to where it starts.
    BackgroundRun run(vantmap, {"view", "town.gmp", "--style", "town.sty"}, work.path());
    const std::string window = openView(run);
    ASSERT_FALSE(window.empty()) << run.stdErr() << "status " << run.wait();

    // A drag whose button was let go while the window was hidden is over:
    // the pointer moves over the map again instead of dragging it along.
    xdotool("mousemove --window " + window + " 512 300 mousedown 1 mousemove --window " + window + " 500 300");
    xdotool("windowunmap --sync " + window + " mouseup 1 windowmap --sync " + window);
    xdotool("mousemove --window " + window + " 500 300 mousemove --window " + window + " 300 300");
    std::this_thread::sleep_for(300ms);
    const int from = squareInTitle(window).first;
    xdotool("mousemove --window " + window + " 500 300");
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(squareInTitle(window).first, from + 50) << title(window);
    xdotool("key --window " + window + " Home");
    ASSERT_TRUE(waitTitle(window, "- 2.92 px per square"));

    // From the whole map, put the pointer on square (60, 70) by what the
    // status line says, then wheel in on it to 64 pixels per square.
    int px = 512, py = 300;
    for (int step = 0; step < 8; ++step) {
        xdotool("mousemove --window " + window + " " + std::to_string(px) + " " + std::to_string(py));
        std::this_thread::sleep_for(300ms);
        const auto [x, y] = squareInTitle(window);
        if (x == 60 && y == 70) break;
        px += int(std::lround((60.5 - x) * 2.92)) / (step > 3 ? 2 : 1);
        py += int(std::lround((70.5 - y) * 2.92)) / (step > 3 ? 2 : 1);
    }
    for (int i = 0; i < 9; ++i) xdotool("click 4");
    ASSERT_TRUE(waitTitle(window, "- 64 px per square | layers 0-6 | square 60,70 | z0: lid 1, slope 0, lighting 2"))
        << title(window);
    Screenshot shot;
    ASSERT_TRUE(grabWindow(window, work / "lid.ppm", shot));

    // Where the square lies around the pointer: where its 4,096 pixels are
    // the turned tile at shade 12/15.
    Screenshot tile{64, 64, {}};
    for (int i = 0; i < 64 * 64; ++i) {
        const vant::Rgb k = colour(1 + i / 64 / 8 + 8 * (i % 64 / 8));
        for (uint8_t c : {k.r, k.g, k.b}) tile.rgb.push_back(static_cast<unsigned char>(std::lround(c * 0.8)));
    }
    const Fit lid = bestFit(shot, tile, 1, {px - 63, px}, {py - 63, py}, 1);
    ASSERT_EQ(lid.off, 0) << "best at " << lid.ox << "," << lid.oy;
    EXPECT_LT(lid.error, 1.0);
    const int ax = lid.ox, ay = lid.oy;

    // The next square shows tile 3 (layer 3) until L leaves only layers 0 to 2.
    auto centre = [&](int dx) { return std::vector<int>(shot.at(ax + dx + 32, ay + 32), shot.at(ax + dx + 32, ay + 32) + 3); };
    EXPECT_EQ(centre(64), (std::vector<int>{144, 55, 232}));
    for (int i = 0; i < 4; ++i) xdotool("key --window " + window + " l");
    ASSERT_TRUE(waitTitle(window, "layers 0-2"));
    ASSERT_TRUE(grabWindow(window, work / "under.ppm", shot));
    EXPECT_EQ(centre(64), (std::vector<int>{200, 155, 244}));

    // Z outlines the zone in the colour of its type (navigation: cyan).
    auto cyan = [&](int x, int y) {
        const unsigned char* p = shot.at(ax + x, ay + y);
        return p[0] == 0 && p[1] == 255 && p[2] == 255;
    };
    EXPECT_FALSE(cyan(3 * 64 + 40, 0));
    xdotool("key --window " + window + " z");
    ASSERT_TRUE(waitTitle(window, "| zones"));
    ASSERT_TRUE(grabWindow(window, work / "zone.ppm", shot));
    for (auto [x, y] : {std::pair{3 * 64 + 40, 0}, {3 * 64 + 40, 63}, {3 * 64, 40}, {5 * 64 - 1, 40}})
        EXPECT_TRUE(cyan(x, y)) << x << "," << y;
    EXPECT_FALSE(cyan(3 * 64 + 40, 40));  // inside, only tinted

    xdotool("key --window " + window + " Escape");
    EXPECT_EQ(run.wait(), 0) << run.stdErr();

    // As many zones as a map may hold, each over the whole map with a long
    // name: shown, they leave the view as quick to answer as ever.
    for (int i = 1; i < 65536; ++i) map.addZone({1, 0, 0, 255, 255, std::string(250, 'n')});
    ASSERT_TRUE(vant::saveBytes((work / "town.gmp").string(), map.bytes()));
    BackgroundRun flood(vantmap, {"view", "town.gmp", "--style", "town.sty"}, work.path());
    const std::string zoned = openView(flood);
    ASSERT_FALSE(zoned.empty()) << flood.stdErr();
    xdotool("key --window " + zoned + " z key --window " + zoned + " Escape");
    EXPECT_EQ(flood.wait(), 0) << flood.stdErr();

    // A description whose files are gone: the boxes name them, then no view.
    writeFile(work / "gone.mmp", "[MapFiles]\r\nGMPFile = gone.gmp\r\nSTYFile = gone.sty\r\n");
    BackgroundRun gone(vantmap, {"view", "gone.mmp"}, work.path());
    ASSERT_TRUE(gone.answer("NOTICE", "Return")) << gone.stdErr();
    // Both boxes come as the same window: answered until none is left.
    for (int i = 0; i < 6 && gone.running(); ++i) gone.answer("ERROR", "Return", 5s);
    EXPECT_EQ(gone.wait(), 1) << gone.stdErr();
    EXPECT_NE(gone.stdErr().find("gone.mmp: not loaded"), std::string::npos) << gone.stdErr();

    // Damage no box tells (a style cut short) goes to standard error; what
    // could be read is shown.
    const std::string whole = readFile(work / "town.sty");
    writeFile(work / "cut.sty", whole.substr(0, whole.size() / 2));
    BackgroundRun cut(vantmap, {"view", "town.gmp", "--style", "cut.sty"}, work.path());
    const std::string shown = openView(cut);
    ASSERT_FALSE(shown.empty()) << cut.stdErr();
    // Its window destroyed by another program: one line, status 1.
    xdotool("windowclose " + shown);
    EXPECT_EQ(cut.wait(), 1);
    EXPECT_NE(cut.stdErr().find("/cut.sty: chunk "), std::string::npos) << cut.stdErr();
    EXPECT_NE(cut.stdErr().find("vantmap: the display refused a request (BadWindow"), std::string::npos)
        << cut.stdErr();
}
