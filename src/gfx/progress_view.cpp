#include "gfx/progress_view.h"

#include <algorithm>
#include <string>

#include "base/runtime.h"
#include "gfx/gl.h"
#include "gfx/gl_services.h"
#include "gfx/render_state.h"

namespace vant::gfx {

namespace {

// How far the glyphs of a line, with their shadow one pixel lower, may reach
// above and below its baseline: a 12-pixel font rises at most 14 pixels
// and drops at most 5 with the shadow.
constexpr int GlyphAbove = ProgressView::LineHeight;
constexpr int GlyphBelow = ProgressView::LineHeight / 2;

// Texture coordinate t0 at the lower edge y0, t1 at the upper edge y1.
void texturedQuad(float x0, float y0, float x1, float y1, float s1, float t0, float t1) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, t0);
    glVertex2f(x0, y0);
    glTexCoord2f(s1, t0);
    glVertex2f(x1, y0);
    glTexCoord2f(s1, t1);
    glVertex2f(x1, y1);
    glTexCoord2f(0, t1);
    glVertex2f(x0, y1);
    glEnd();
}

void text(int x, int y, const std::string& line) {
    std::string shown = line;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    glRasterPos2i(x, y);
    glCallLists(GLsizei(shown.size()), GL_UNSIGNED_BYTE, shown.data());
}

// The lines shown: the last ones that fit, the first at the top.
int firstShown(int count, int h) {
    const int fit = std::max(1, (h - 2 * ProgressView::Margin) / ProgressView::LineHeight);
    return std::max(0, count - fit);
}

int baseline(int i, int first, int h) {
    return h - ProgressView::Margin - ProgressView::LineHeight * (i - first + 1) + 4;
}

}  // namespace

ProgressView::Backdrop ProgressView::backdrop() const {
    Backdrop b;
    b.water = textures_.hasLoadingBackground();
    b.waterName = b.water ? textures_.textureName(textures_.loadingBackgroundRecord()) : 0;
    b.waterVersion = textures_.loadingBackgroundBuilds();
    b.pictureName = textures_.textureName(textures_.loadingPictureRecord());
    return b;
}

void ProgressView::drawBackground(int w, int h) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    if (textures_.hasLoadingBackground()) {
        // The 256-pixel water picture repeated over the whole window
        // (textures repeat unless told otherwise).
        glBindTexture(GL_TEXTURE_2D, textures_.textureName(textures_.loadingBackgroundRecord()));
        texturedQuad(0, 0, float(w), float(h), float(w) / 256.0f, 0, float(h) / 256.0f);
    }
    if (const unsigned picture = textures_.textureName(textures_.loadingPictureRecord())) {
        // The loading picture, white through its alpha, in the lower middle.
        const TextureRecord& r = textures_.table().at(textures_.loadingPictureRecord());
        glBindTexture(GL_TEXTURE_2D, picture);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        const float x0 = float(w - r.width) / 2, y0 = float(h) / 4;
        // Its texture holds the top row first, and the window's y grows
        // upwards: the top row goes to the upper edge.
        texturedQuad(x0, y0, x0 + float(r.width), y0 + float(r.height), 1, 1, 0);
        glDisable(GL_BLEND);
    }
    glDisable(GL_TEXTURE_2D);
}

// The shown lines, in order, whose glyphs may reach into rows bottom to top.
void ProgressView::drawLines(const ProgressScreen& screen, int h, int bottom, int top) {
    if (!fontBase_) return;
    glListBase(fontBase_ - 32);
    const int first = firstShown(screen.count(), h);
    for (int i = first; i < screen.count(); ++i) {
        const int y = baseline(i, first, h);
        if (y < 0) break;
        if (y + GlyphAbove <= bottom || y - GlyphBelow >= top) continue;
        glColor3f(0, 0, 0);
        text(Margin + 1, y - 1, screen.line(i));
        glColor3f(1, 1, 1);
        text(Margin, y, screen.line(i));
    }
}

void ProgressView::draw(const ProgressScreen& screen) {
    const auto [w, h] = size_ ? size_() : std::pair<int, int>{0, 0};
    if (w <= 0 || h <= 0) return;

    const OverlayScope overlay;  // the caller's state comes back on return
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, w, h);
    glDisable(GL_SCISSOR_TEST);

    const int first = firstShown(screen.count(), h);
    const Backdrop look = backdrop();
    // The band of window rows this frame changes: all of them, or only the
    // lines from the first that changed to the last one shown before or now.
    int bottom = 0, top = h;
    if (!copy_ || shownFirst_ != first || shownW_ != w || shownH_ != h || !(shownBackdrop_ == look)) {
        drawBackground(w, h);
        drawLines(screen, h, 0, h);
    } else {
        const int count = screen.count(), before = int(shown_.size());
        int from = first;
        while (from < count && from < before && shown_[size_t(from)] == screen.line(from)) ++from;
        const int last = std::max(count, before) - 1;
        top = from <= last ? std::min(h, baseline(from, first, h) + GlyphAbove) : 0;
        bottom = from <= last ? std::max(0, baseline(last, first, h) - GlyphBelow) : 0;
        if (top > bottom) {
            // Drawn again with every line that can reach into it, in order,
            // the band ends as a whole frame would.
            glEnable(GL_SCISSOR_TEST);
            glScissor(0, bottom, w, top - bottom);
            drawBackground(w, h);
            drawLines(screen, h, bottom, top);
            glDisable(GL_SCISSOR_TEST);
        }
    }

    shown_ = screen.lines();
    shownFirst_ = first;
    shownW_ = w;
    shownH_ = h;
    shownBackdrop_ = look;
    if (copy_ && (top <= bottom || copy_(0, bottom, w, top - bottom))) return;
    // No copy after all: from now on whole frames, swapped.
    copy_ = nullptr;
    if (swap_) swap_();
}

}  // namespace vant::gfx
