#include "image/image_writer.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <gd.h>
#include <memory>
#include <new>

#include "base/runtime.h"
#include "base/text.h"
#include "image/byte_sink.h"
#include "image/gd_sink.h"
#include "image/jpeg_rows.h"

namespace vant {

namespace {
void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
}  // namespace

int imageFormatFromExtension(const std::string& extension) {
    if (extension == "bmp") return FormatBmp;
    if (extension == "tga") return FormatTga;
    if (extension == "jpeg" || extension == "jpg") return FormatJpg;
    return FormatBmp;
}

std::string imageFormatExtension(int format) {
    static const char kNames[4][4] = {"raw", "bmp", "tga", "jpg"};
    if (format < 0 || format > 3) return std::string();
    return kNames[format];
}

bool writeTga(ByteSink& out, const ImageView& image) {
    uint8_t header[18] = {};
    header[2] = 2;    // uncompressed true colour
    header[7] = 32;   // colour-map entry size, written although there is no map
    put16(header + 12, uint32_t(image.width) & 0xFFFF);
    put16(header + 14, uint32_t(image.height) & 0xFFFF);
    header[16] = uint8_t(image.bytesPerPixel * 8);
    header[17] = image.bottomUp ? 0 : 0x20;
    const size_t bytes = size_t(image.width) * size_t(image.height) * size_t(image.bytesPerPixel);
    out.expect(sizeof header + bytes);
    return out.write(header, sizeof header) && out.write(image.pixels, bytes);
}

bool writeBmp(ByteSink& out, const ImageView& image) {
    const size_t rowBytes = size_t(image.width) * size_t(image.bytesPerPixel);
    const size_t paddedRow = rowBytes % 4 == 0 ? rowBytes : rowBytes - rowBytes % 4 + 4;
    const size_t imageBytes = paddedRow * size_t(image.height);

    uint8_t header[54] = {};
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, uint32_t(54 + imageBytes));
    std::memcpy(header + 6, "VANT", 4);
    put32(header + 10, 54);
    put32(header + 14, 40);
    put32(header + 18, uint32_t(image.width));
    put32(header + 22, uint32_t(image.height));
    put16(header + 26, 1);
    put16(header + 28, uint32_t(image.bytesPerPixel * 8));
    put32(header + 30, 0);
    put32(header + 34, uint32_t(imageBytes));
    put32(header + 38, 2835);
    put32(header + 42, 2835);
    out.expect(sizeof header + imageBytes);
    if (!out.write(header, sizeof header)) return false;

    if (image.bottomUp && rowBytes == paddedRow) return out.write(image.pixels, imageBytes);
    std::vector<uint8_t> row(paddedRow, 0);
    for (int i = 0; i < image.height; ++i) {
        const int r = image.bottomUp ? i : image.height - 1 - i;
        std::memcpy(row.data(), image.pixels + size_t(r) * rowBytes, rowBytes);
        if (!out.write(row.data(), paddedRow)) return false;
    }
    return true;
}

namespace {
// A whole picture in memory handed over a row at a time, top row first, as
// three bytes per pixel.
class ViewRows : public RowSource {
public:
    explicit ViewRows(const ImageView& image) : image_(image) {}
    int width() const override { return image_.width; }
    int height() const override { return image_.height; }
    int bandRows() const override { return 1; }
    bool next(uint8_t* band) override {
        if (row_ >= image_.height) return false;
        const int r = image_.bottomUp ? image_.height - 1 - row_ : row_;
        ++row_;
        const size_t step = size_t(image_.bytesPerPixel);
        const uint8_t* src = image_.pixels + size_t(r) * size_t(image_.width) * step;
        for (int x = 0; x < image_.width; ++x, src += step, band += 3) std::memcpy(band, src, 3);
        return true;
    }

private:
    const ImageView& image_;
    int row_ = 0;
};
}  // namespace

std::vector<uint8_t> encodeJpeg(const ImageView& image, int quality) {
    ViewRows rows(image);
    return encodeJpegRows(rows, quality);
}

bool writeTgaRows(ByteSink& out, RowSource& rows) {
    const int width = rows.width(), height = rows.height();
    uint8_t header[18] = {};
    header[2] = 2;
    header[7] = 32;
    put16(header + 12, uint32_t(width) & 0xFFFF);
    put16(header + 14, uint32_t(height) & 0xFFFF);
    header[16] = 24;
    header[17] = 0x20;  // top-left origin: rows go out in the order they come
    out.expect(sizeof header + uint64_t(width) * uint64_t(height) * 3);
    if (!out.write(header, sizeof header)) return false;
    std::vector<uint8_t> band(size_t(width) * size_t(rows.bandRows()) * 3);
    for (int y = 0; y < height; y += rows.bandRows()) {
        if (!rows.next(band.data())) return false;
        const int count = std::min(rows.bandRows(), height - y);
        if (!out.write(band.data(), size_t(width) * size_t(count) * 3)) return false;
    }
    return true;
}

bool RowSource::nextTrueColor(int* const* rows) {
    const int w = width();
    band_.resize(size_t(w) * size_t(bandRows()) * 3);
    if (!next(band_.data())) return false;
    for (int r = 0; r < bandRows(); ++r) {
        const uint8_t* src = &band_[size_t(r) * size_t(w) * 3];
        int* dst = rows[r];
        for (int x = 0; x < w; ++x, src += 3) dst[x] = (int(src[2]) << 16) | (int(src[1]) << 8) | int(src[0]);
    }
    return true;
}


gdImagePtr trueColorImage(RowSource& rows) {
    const int width = rows.width(), height = rows.height();
    if (width <= 0 || height <= 0) return nullptr;
    gdImagePtr im = gdImageCreateTrueColor(width, height);
    if (!im) return nullptr;
    if (!im->tpixels) {
        gdImageDestroy(im);
        return nullptr;
    }
    for (int y = 0; y + rows.bandRows() <= height; y += rows.bandRows())
        if (!rows.nextTrueColor(&im->tpixels[y])) break;
    return im;
}

std::unique_ptr<SinkContext> sinkContext(ByteSink& out) {
    auto context = std::make_unique<SinkContext>();
    context->ctx = gdIOCtx{};
    context->ctx.putBuf = &SinkContext::putBuf;
    context->ctx.putC = &SinkContext::putC;
    context->ctx.gd_free = &SinkContext::release;
    context->sink = &out;
    return context;
}

namespace {
// The rows lent to libgd while it encodes (its own picture would zero every
// row, 16 MiB at 2048 x 2048, just before they are all written).
//
// Where libgd's calls to libjpeg are reported (encoderReportsRows), every
// band of the picture shares one band of rows, drawn again as soon as libjpeg
// has taken its last row: libgd copies each row out before it hands it on.
// At 2048 x 2048 that is 64 KiB in place of 16 MiB of fresh memory, whose
// first touch alone was about a tenth of the job, and libgd reads rows still
// in cache. Elsewhere the whole picture is drawn before libgd reads it. The
// bytes are the same either way (Cli.* and MinimapOutput.* compare them with
// libgd's encoding of the whole picture in a libgd picture of its own).
class LentRows {
public:
    LentRows(RowSource& rows, bool shared)
        : rows_(rows), width_(size_t(rows.width())), height_(rows.height()), band_(rows.bandRows()),
          shared_(shared && band_ > 0) {
        const size_t held = shared_ ? size_t(band_) : size_t(height_);
        pixels_.reset(new (std::nothrow) int[held * width_]);
        if (!pixels_) return;
        lent_.resize(size_t(height_));
        for (int y = 0; y < height_; ++y) lent_[size_t(y)] = &pixels_[size_t(shared_ ? y % band_ : y) * width_];
        do drawBand();
        while (!shared_ && drawn_ < height_);
    }
    bool ok() const { return pixels_ != nullptr; }
    int** rows() { return lent_.data(); }
    // libjpeg has taken `count` more rows: the band they emptied is drawn
    // anew. Called from inside libgd and libjpeg, so nothing is thrown
    // through them: a failed drawing is kept for finish().
    void taken(unsigned count) noexcept {
        taken_ += int(count);
        if (taken_ > drawn_) early_ = true;  // rows read before they were drawn
        try {
            while (shared_ && taken_ >= drawn_ && drawn_ < height_) drawBand();
        } catch (...) {
            failure_ = std::current_exception();
            ended_ = true;
            drawBand();  // black from here on; libgd runs to its end
        }
    }
    // After the encoding: true when every row libgd read was drawn before it
    // read it; a failed drawing is thrown again here.
    bool finish() const {
        if (failure_) std::rethrow_exception(failure_);
        return !early_ && (!shared_ || taken_ == height_);
    }

private:
    void drawBand() {
        if (!ended_ && band_ > 0 && drawn_ + band_ <= height_ && rows_.nextTrueColor(&lent_[size_t(drawn_)])) {
            drawn_ += band_;
            return;
        }
        // Rows never handed over are black, as in a fresh libgd picture.
        ended_ = true;
        const size_t from = shared_ ? 0 : size_t(drawn_);
        const size_t to = shared_ ? size_t(band_) : size_t(height_);
        std::memset(&pixels_[from * width_], 0, (to - from) * width_ * sizeof(int));
        drawn_ = height_;
    }

    RowSource& rows_;
    const size_t width_;
    const int height_, band_;
    const bool shared_;
    std::unique_ptr<int[]> pixels_;
    std::vector<int*> lent_;
    int drawn_ = 0, taken_ = 0;
    bool ended_ = false, early_ = false;
    std::exception_ptr failure_;
};

// The rows being encoded on this thread, told what libjpeg takes.
thread_local LentRows* encoding = nullptr;
}  // namespace

void jpegRowsWritten(unsigned rows) {
    if (encoding) encoding->taken(rows);
}

bool encodeJpegRows(RowSource& rows, int quality, ByteSink& out) {
    const int width = rows.width(), height = rows.height();
    if (width <= 0 || height <= 0 || size_t(width) > (size_t(1) << 28) / size_t(height)) return false;
    // libgd's picture is made one row high and lent the rows while it encodes.
    gdImagePtr im = gdImageCreateTrueColor(width, 1);
    if (!im) return false;
    LentRows lent(rows, encoderReportsRows());
    if (!im->tpixels || !lent.ok()) {
        gdImageDestroy(im);
        return false;
    }
    int** const ownRows = im->tpixels;
    im->tpixels = lent.rows();
    im->sy = height;
    im->cy2 = height - 1;
    auto context = sinkContext(out);
    LentRows* const outer = encoding;
    encoding = &lent;
    gdImageJpegCtx(im, &context->ctx, quality);
    encoding = outer;
    im->tpixels = ownRows;
    im->sy = 1;
    im->cy2 = 0;
    gdImageDestroy(im);
    context->flush();
    return lent.finish() && context->written >= 4 && context->tail[0] == 0xFF && context->tail[1] == 0xD9;
}

std::vector<uint8_t> encodeJpegRows(RowSource& rows, int quality) {
    VectorSink sink;
    if (!encodeJpegRows(rows, quality, sink)) return {};
    return std::move(sink.bytes);
}

void reportWriteFailure(Runtime& rt, const std::string& path, const std::string& reason) {
    rt.showMessage(BoxOk, "ERROR", "Cannot write file \"%s\" (%s).", path.c_str(), reason.c_str());
}

// Encodes into a temporary file beside the target; a failed encoding or
// write leaves any older file alone.
static bool saveJpeg(Runtime& rt, const std::string& path, RowSource& rows, int jpegQuality) {
    if (jpegQuality == -1) jpegQuality = rt.jpegQuality;
    if (rows.width() <= 0 || rows.height() <= 0) {
        rt.showMessage(BoxOk, "ERROR", "Could not allocate memory for JPG image.");
        return false;
    }
    AtomicFile file(path);
    if (!file.ok()) {
        reportWriteFailure(rt, path, file.error());
        return false;
    }
    if (!encodeJpegRows(rows, jpegQuality, file)) {
        rt.showMessage(BoxOk, "ERROR", "Could not create JPG image.");
        return false;  // the temporary file goes with `file`
    }
    if (file.commit()) return true;
    reportWriteFailure(rt, path, file.error());
    return false;
}

bool saveImage(Runtime& rt, const std::string& path, const ImageView& image, int jpegQuality) {
    const std::string ext = fileExtension(path, true);
    if (ext == "tga" || ext == "bmp") {
        AtomicFile file(path);
        const bool written = ext == "tga" ? writeTga(file, image) : writeBmp(file, image);
        if (!written || !file.commit()) reportWriteFailure(rt, path, file.error());
        return true;
    }
    if (ext == "jpg") {
        ViewRows rows(image);
        saveJpeg(rt, path, rows, jpegQuality);
        return true;
    }
    rt.showMessage(BoxOk, "ERROR", "Cannot save image: Unknown image format \"%s\"", ext.c_str());
    return false;
}

bool writeImageRows(Runtime& rt, const std::string& path, int format, RowSource& rows, int jpegQuality) {
    if (format == FormatJpg) return saveJpeg(rt, path, rows, jpegQuality);
    AtomicFile file(path);
    bool written = false;
    if (format == FormatTga) {
        written = writeTgaRows(file, rows);
    } else if (format == FormatBmp) {
        // Stored bottom row first: gather the picture, then write it.
        std::vector<uint8_t> picture(size_t(rows.width()) * size_t(rows.height()) * 3);
        const size_t band = size_t(rows.width()) * size_t(rows.bandRows()) * 3;
        for (size_t at = 0; at < picture.size() && rows.next(&picture[at]); at += band) {
        }
        written = writeBmp(file, ImageView{picture.data(), rows.width(), rows.height(), 3, false});
    } else {
        rt.showMessage(BoxOk, "ERROR", "Cannot save image: Unknown image format \"%s\"",
                       imageFormatExtension(format).c_str());
        return false;
    }
    if (written && file.commit()) return true;
    reportWriteFailure(rt, path, file.error());
    return false;
}

bool saveImageRows(Runtime& rt, const std::string& path, RowSource& rows, int jpegQuality) {
    const std::string ext = fileExtension(path, true);
    if (ext == "tga" || ext == "jpg" || ext == "bmp") {
        writeImageRows(rt, path, imageFormatFromExtension(ext), rows, jpegQuality);
        return true;
    }
    rt.showMessage(BoxOk, "ERROR", "Cannot save image: Unknown image format \"%s\"", ext.c_str());
    return false;
}

}  // namespace vant
