// The bitmap font from a system TrueType font, through WGL.
#include "platform/bitmap_font.h"

#include <windows.h>
#include <GL/gl.h>

namespace vant::platform {

unsigned buildBitmapFont(const std::string& family, int pixelHeight) {
    const GLuint base = glGenLists(FontListCount);
    if (base == 0) return 0;
    const HDC dc = wglGetCurrentDC();
    // Negative height: the character height, not the cell height.
    const HFONT font = CreateFontA(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FF_DONTCARE | DEFAULT_PITCH,
                                   family.c_str());
    if (dc && font) {
        const HGDIOBJ previous = SelectObject(dc, font);
        wglUseFontBitmapsA(dc, FontFirstChar, FontListCount, base);
        // A blank glyph (the space, the no-break space) has no bitmap, and
        // some GL implementations (Wine's, for one) drop a glBitmap call
        // without one, advance and all: words then run together. Such lists
        // are made again with one clear bit to draw and the glyph's own
        // advance, as the font's metrics give it.
        const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
        const GLubyte clear[4] = {};
        for (const unsigned blank : {0x20u, 0xA0u}) {
            GLYPHMETRICS metrics{};
            if (GetGlyphOutlineA(dc, blank, GGO_METRICS, &metrics, 0, nullptr, &identity) == GDI_ERROR) continue;
            glNewList(base + (blank - FontFirstChar), GL_COMPILE);
            glBitmap(1, 1, 0.0f, 0.0f, GLfloat(metrics.gmCellIncX), GLfloat(metrics.gmCellIncY), clear);
            glEndList();
        }
        SelectObject(dc, previous);
    }
    if (font) DeleteObject(font);
    return base;
}

}  // namespace vant::platform
