// Reads the interface pictures: Truevision TGA, uncompressed (type 2) or
// run-length encoded (type 10) true colour, 24 or 32 bits per pixel.
#pragma once

#include <string>

#include "image/texture_table.h"

namespace vant {

class Runtime;

// Fills the record with red, green, blue (and alpha) pixels in the file's row
// order, its size, depth and pixel format; the texture name is left alone.
// Every failure is shown in an "ERROR" box; the record then holds no pixels.
bool readTga(Runtime& rt, TextureRecord& record, const std::string& path);

}  // namespace vant
