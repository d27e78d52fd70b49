#include "gfx/progress_view.h"

#include <algorithm>
#include <string>

#include "base/runtime.h"
#include "gfx/gl.h"
#include "gfx/gl_services.h"

namespace vant::gfx {

namespace {

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

}  // namespace

void ProgressView::draw(const ProgressScreen& screen) {
    const auto [w, h] = size_ ? size_() : std::pair<int, int>{0, 0};
    if (w <= 0 || h <= 0) return;

    // Mesa 22's glPopAttrib drops the texture unit's LOD bias to 0 when no
    // texture was bound at the push and texturing is switched off in
    // between; the bias is put back by hand after the pop.
    GLfloat lodBias = 0;
    glGetTexEnvfv(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, &lodBias);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, w, h);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
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

    if (fontBase_) {
        glListBase(fontBase_ - 32);
        const int fit = std::max(1, (h - 2 * Margin) / LineHeight);
        const int first = std::max(0, screen.count() - fit);
        for (int i = first; i < screen.count(); ++i) {
            const int y = h - Margin - LineHeight * (i - first + 1) + 4;
            if (y < 0) break;
            glColor3f(0, 0, 0);
            text(Margin + 1, y - 1, screen.line(i));
            glColor3f(1, 1, 1);
            text(Margin, y, screen.line(i));
        }
    }

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    glTexEnvf(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, lodBias);
    if (swap_) swap_();
}

}  // namespace vant::gfx
