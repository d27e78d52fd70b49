// The bitmap font: characters 32..255 (Windows-1252) as 224 OpenGL display
// lists, one glBitmap each, drawn from a TrueType font.
#pragma once

#include <string>

namespace vant::platform {

constexpr int FontFirstChar = 32;
constexpr int FontListCount = 224;

// The font file fontconfig offers for the family at that pixel size (its
// closest installed match); empty when fontconfig finds nothing.
std::string findFontFile(const std::string& family, int pixelHeight);

// Unicode code point of a Windows-1252 byte (undefined bytes map to '?').
unsigned windows1252ToUnicode(unsigned char byte);

// Reserves 224 display lists and fills them; needs a current context.
// Returns the first list (the font base), 0 when no list could be reserved.
// Characters without a usable font stay empty lists.
unsigned buildBitmapFont(const std::string& family = "Verdana", int pixelHeight = 12);

}  // namespace vant::platform
