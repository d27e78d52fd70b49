// Shows the stored progress lines in the window while a level loads: the
// loading background (once a load has built it) or black with the loading
// picture, the lines in the bitmap font, then a buffer swap.
#pragma once

#include <functional>
#include <utility>

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

    static constexpr int LineHeight = 16;
    static constexpr int Margin = 16;

private:
    GlServices& textures_;
    unsigned fontBase_;
    std::function<std::pair<int, int>()> size_;
    std::function<void()> swap_;
};

}  // namespace vant::gfx
