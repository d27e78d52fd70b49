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
        SelectObject(dc, previous);
    }
    if (font) DeleteObject(font);
    return base;
}

}  // namespace vant::platform
