// TGA, BMP and JPEG writers. Pixels come in blue, green, red order (a fourth
// byte, when present, follows red); the writers never convert colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vant {

class Runtime;
class ByteSink;

struct ImageView {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 3;
    bool bottomUp = false;  // true: row 0 of the buffer is the bottom row
};

enum ImageFormat : int { FormatRaw = 0, FormatBmp = 1, FormatTga = 2, FormatJpg = 3, FormatPng = 4 };  // png: see png_writer.h

// "bmp" 1, "tga" 2, "jpg"/"jpeg" 3, anything else 1.
int imageFormatFromExtension(const std::string& extension);
// "raw", "bmp", "tga", "jpg" for 0..3; empty otherwise.
std::string imageFormatExtension(int format);

bool writeTga(ByteSink& out, const ImageView& image);
bool writeBmp(ByteSink& out, const ImageView& image);
// Encodes with libgd; empty when the image could not be made or encoded.
std::vector<uint8_t> encodeJpeg(const ImageView& image, int quality);

// A picture handed over a band of rows at a time, top row first, blue,
// green, red: written without the whole picture in memory where the format
// allows (TGA, JPEG).
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual int bandRows() const = 0;
    virtual bool next(uint8_t* band) = 0;  // bandRows() rows of width() * 3 bytes
    // The next band as libgd true-colour words (0x00RRGGBB), one pointer per
    // row; by default converted from next().
    virtual bool nextTrueColor(int* const* rows);

private:
    std::vector<uint8_t> band_;
};

bool writeTgaRows(ByteSink& out, RowSource& rows);
// Encodes with libgd straight into `out`; false when the picture could not
// be made or encoded (a write failure is the sink's to tell).
bool encodeJpegRows(RowSource& rows, int quality, ByteSink& out);
std::vector<uint8_t> encodeJpegRows(RowSource& rows, int quality);
bool saveImageRows(Runtime& rt, const std::string& path, RowSource& rows, int jpegQuality);
// Writes the picture in the format given (bmp, tga or jpg), whatever
// the file is called, replacing the file only once it is complete. True
// when it was written; failures are reported through the run's message
// boxes.
bool writeImageRows(Runtime& rt, const std::string& path, int format, RowSource& rows, int jpegQuality);

// Picks the writer by the lower-cased extension of the file name; false only
// for an unknown extension. Write failures are reported through the run's
// message boxes and leave any older file in place.
bool saveImage(Runtime& rt, const std::string& path, const ImageView& image, int jpegQuality);

}  // namespace vant
