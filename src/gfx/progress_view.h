// Shows the stored progress lines in the window while a level loads: the
// loading background (once a load has built it) or black with the loading
// picture, the lines in the bitmap font, then a buffer swap.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vant {
class ProgressScreen;
}

namespace vant::gfx {

class GlServices;

class ProgressView {
public:
    ProgressView(GlServices& textures, unsigned fontBase, std::function<std::pair<int, int>()> drawableSize,
                 std::function<void()> swap)
        : textures_(textures), fontBase_(fontBase), size_(std::move(drawableSize)), swap_(std::move(swap)) {}

    // Draws one frame; the OpenGL state is left as it was found.
    void draw(const ProgressScreen& screen);

    // With a way to copy part of the back buffer to the window that keeps
    // the back buffer as it is, a frame draws again only the band of lines
    // that changed and shows that band: a software renderer spends most of a
    // whole frame filling the window's background. Without one every frame
    // is drawn whole and swapped; the picture is the same. The back buffer
    // is the view's alone while it shows frames.
    using RegionCopy = std::function<bool(int x, int y, int w, int h)>;
    void setRegionCopy(RegionCopy copy) { copy_ = std::move(copy); }

    static constexpr int LineHeight = 16;
    static constexpr int Margin = 16;

private:
    // What the background of a frame is made of.
    struct Backdrop {
        bool water = false;
        unsigned waterName = 0, pictureName = 0, waterVersion = 0;
        bool operator==(const Backdrop&) const = default;
    };
    Backdrop backdrop() const;
    void drawBackground(int w, int h);
    void drawLines(const ProgressScreen& screen, int h, int bottom, int top);

    GlServices& textures_;
    unsigned fontBase_;
    std::function<std::pair<int, int>()> size_;
    std::function<void()> swap_;
    RegionCopy copy_;

    // What the back buffer shows; shownFirst_ is -1 while nothing is known.
    std::vector<std::string> shown_;
    int shownFirst_ = -1, shownW_ = 0, shownH_ = 0;
    Backdrop shownBackdrop_;
};

}  // namespace vant::gfx
