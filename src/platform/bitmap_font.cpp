#include "platform/bitmap_font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <vector>

#include "gfx/gl.h"

namespace vant::platform {

std::string findFontFile(const std::string& family, int pixelHeight) {
    if (!FcInit()) return {};
    std::string result;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixelHeight);
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult matchResult = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &matchResult)) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            result = reinterpret_cast<const char*>(file);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return result;
}

unsigned windows1252ToUnicode(unsigned char byte) {
    static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (byte < 0x80 || byte >= 0xA0) return byte;
    const unsigned code = high[byte - 0x80];
    return code ? code : '?';
}

namespace {

// One glyph as a bottom-up, most-significant-bit-first bitmap.
void compileGlyph(FT_Face face, unsigned codePoint) {
    const bool loaded =
        FT_Load_Char(face, codePoint, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) == 0;
    if (!loaded) {
        glBitmap(0, 0, 0, 0, 0, 0, nullptr);
        return;
    }
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& bm = g->bitmap;
    const float advance = float(g->advance.x) / 64.0f;
    if (bm.width == 0 || bm.rows == 0 || bm.pixel_mode != FT_PIXEL_MODE_MONO) {
        glBitmap(0, 0, 0, 0, advance, 0, nullptr);
        return;
    }
    const unsigned rowBytes = (bm.width + 7) / 8;
    std::vector<GLubyte> bits(size_t(rowBytes) * bm.rows);
    for (unsigned r = 0; r < bm.rows; ++r) {
        const unsigned char* src = bm.buffer + long(r) * bm.pitch;
        GLubyte* dst = &bits[size_t(bm.rows - 1 - r) * rowBytes];
        for (unsigned b = 0; b < rowBytes; ++b) dst[b] = src[b];
    }
    glBitmap(GLsizei(bm.width), GLsizei(bm.rows), float(-g->bitmap_left), float(int(bm.rows) - g->bitmap_top),
             advance, 0, bits.data());
}

}  // namespace

unsigned buildBitmapFont(const std::string& family, int pixelHeight) {
    const GLuint base = glGenLists(FontListCount);
    if (base == 0) return 0;

    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) == 0) {
        std::vector<std::string> candidates = {findFontFile(family, pixelHeight),
                                               "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"};
        for (const std::string& file : candidates) {
            if (file.empty()) continue;
            if (FT_New_Face(library, file.c_str(), 0, &face) == 0) break;
            face = nullptr;
        }
    }
    if (face) FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelHeight));

    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int i = 0; i < FontListCount; ++i) {
        glNewList(base + GLuint(i), GL_COMPILE);
        if (face) compileGlyph(face, windows1252ToUnicode(static_cast<unsigned char>(FontFirstChar + i)));
        glEndList();
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);

    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
    return base;
}

}  // namespace vant::platform
