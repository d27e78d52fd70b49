// PNG output through libgd, and pictures held by libgd to draw over. Kept
// apart from the other writers: the editor's job does not link libpng.
#include "image/png_writer.h"

#include "base/runtime.h"
#include "image/gd_sink.h"

namespace vant {

bool encodePngRows(RowSource& rows, ByteSink& out) {
    auto* picture = dynamic_cast<TrueColorPicture*>(&rows);
    gdImagePtr im = picture ? picture->image() : trueColorImage(rows);
    if (!im) return false;
    auto context = sinkContext(out);
    gdImagePngCtxEx(im, &context->ctx, -1);
    if (!picture) gdImageDestroy(im);
    context->flush();
    // A PNG ends with its IEND chunk, whose CRC is AE 42 60 82.
    return context->written >= 8 && context->tail[0] == 0x60 && context->tail[1] == 0x82;
}

TrueColorPicture::TrueColorPicture(RowSource& rows) : image_(trueColorImage(rows)) {}
TrueColorPicture::~TrueColorPicture() {
    if (image_) gdImageDestroy(image_);
}
int TrueColorPicture::width() const { return image_ ? gdImageSX(image_) : 0; }
int TrueColorPicture::height() const { return image_ ? gdImageSY(image_) : 0; }

bool TrueColorPicture::next(uint8_t* band) {
    if (!image_ || row_ >= height()) return false;
    const int* src = image_->tpixels[row_++];
    for (int x = 0; x < width(); ++x, band += 3) {
        band[0] = uint8_t(src[x]);
        band[1] = uint8_t(src[x] >> 8);
        band[2] = uint8_t(src[x] >> 16);
    }
    return true;
}

bool TrueColorPicture::nextTrueColor(int* const* rows) {
    if (!image_ || row_ >= height()) return false;
    for (int x = 0, w = width(); x < w; ++x) rows[0][x] = image_->tpixels[row_][x] & 0xFFFFFF;
    ++row_;
    return true;
}

bool writePngRows(Runtime& rt, const std::string& path, RowSource& rows) {
    AtomicFile file(path);
    if (encodePngRows(rows, file) && file.commit()) return true;
    // Nothing wrong with the file: the encoder failed (out of memory).
    reportWriteFailure(rt, path, file.error().empty() ? "the picture could not be encoded" : file.error());
    return false;
}

}  // namespace vant
