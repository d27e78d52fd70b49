#include "image/tga_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "base/os.h"
#include "base/runtime.h"
#include "base/text.h"

namespace vant {

namespace {

constexpr uint8_t kUncompressedHeader[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kRunLengthHeader[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// A header can promise up to 65535 x 65535 x 4 bytes; a store that large is
// refused like a failed allocation instead of being touched.
constexpr size_t kLargestStore = size_t(512) << 20;
// Stores up to this size are made before reading, as any picture needs.
constexpr size_t kLargestCheckedLate = size_t(16) << 20;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool fail(Runtime& rt, TextureRecord& record, const char* message) {
    rt.showMessage(BoxOk, "ERROR", "%s", message);
    record.releasePixels();
    return false;
}

bool readUncompressed(Runtime& rt, std::FILE* file, TextureRecord& record, size_t bytesPerPixel) {
    std::vector<uint8_t>& px = record.pixels;
    if (std::fread(px.data(), 1, px.size(), file) != px.size()) return fail(rt, record, "Could not read image data");
    for (size_t i = 0; i + 2 < px.size(); i += bytesPerPixel) std::swap(px[i], px[i + 2]);
    return true;
}

bool readRunLength(Runtime& rt, std::FILE* file, TextureRecord& record, size_t bytesPerPixel) {
    const size_t total = record.pixels.size() / bytesPerPixel;
    uint8_t* out = record.pixels.data();
    size_t written = 0;
    uint8_t pixel[4] = {0, 0, 0, 0};
    auto put = [&](size_t at) {
        uint8_t* p = out + at * bytesPerPixel;
        p[0] = pixel[2];
        p[1] = pixel[1];
        p[2] = pixel[0];
        if (bytesPerPixel == 4) p[3] = pixel[3];
    };
    while (written < total) {
        uint8_t header = 0;
        if (std::fread(&header, 1, 1, file) != 1) return fail(rt, record, "Could not read RLE header");
        const bool run = header >= 128;
        const size_t count = run ? size_t(header) - 127 : size_t(header) + 1;
        if (written + count > total) return fail(rt, record, "Too many pixels read");
        if (run) {
            if (std::fread(pixel, 1, bytesPerPixel, file) != bytesPerPixel)
                return fail(rt, record, "Could not read from file");
            for (size_t i = 0; i < count; ++i) put(written++);
        } else {
            for (size_t i = 0; i < count; ++i) {
                if (std::fread(pixel, 1, bytesPerPixel, file) != bytesPerPixel)
                    return fail(rt, record, "Could not read image data");
                put(written++);
            }
        }
    }
    return true;
}

}  // namespace

bool readTga(Runtime& rt, TextureRecord& record, const std::string& path) {
    record.releasePixels();
    File file(openFile(path, "rb"));
    if (!file) return fail(rt, record, "Could not open texture file");

    uint8_t header[12];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header)
        return fail(rt, record, "Could not read file header");
    bool runLength = false;
    if (std::memcmp(header, kUncompressedHeader, sizeof header) == 0) {
        runLength = false;
    } else if (std::memcmp(header, kRunLengthHeader, sizeof header) == 0) {
        runLength = true;
    } else {
        return fail(rt, record, "TGA file be type 2 or type 10 ");
    }

    uint8_t info[6];
    if (std::fread(info, 1, sizeof info, file.get()) != sizeof info)
        return fail(rt, record, "Could not read info header");
    const int width = info[0] + 256 * info[1];
    const int height = info[2] + 256 * info[3];
    const int depth = info[4];
    if (width <= 0 || height <= 0 || (depth != 24 && depth != 32))
        return fail(rt, record, "Invalid texture information");

    const size_t bytesPerPixel = size_t(depth) / 8;
    const size_t storeSize = size_t(width) * size_t(height) * bytesPerPixel;
    if (storeSize > kLargestStore) return fail(rt, record, "Could not allocate memory for image");
    // A header may claim far more pixels than the file holds; such a file
    // fails while reading anyway, so a large claim the file cannot back fails
    // before its store is made. (A run-length packet of 1 + bytesPerPixel
    // bytes gives at most 128 pixels.)
    if (storeSize > kLargestCheckedLate) {
        const int64_t here = os::tell(file.get());
        int64_t end = -1;
        if (here >= 0 && os::seek(file.get(), 0, SEEK_END)) end = os::tell(file.get());
        if (here < 0 || end < here || !os::seek(file.get(), here, SEEK_SET))
            return fail(rt, record, "Could not read image data");
        const size_t remaining = size_t(end - here);
        const size_t mostPixels = runLength ? remaining / (1 + bytesPerPixel) * 128 : remaining / bytesPerPixel;
        if (size_t(width) * size_t(height) > mostPixels) return fail(rt, record, "Could not read image data");
    }
    try {
        if (storeSize > kLargestStore) throw std::bad_alloc();
        record.pixels.assign(storeSize, 0);
    } catch (const std::bad_alloc&) {
        return fail(rt, record, "Could not allocate memory for image");
    }
    record.width = width;
    record.height = height;
    record.bitsPerPixel = uint32_t(depth);
    record.format = depth == 24 ? PixelFormatRgb : PixelFormatRgba;

    return runLength ? readRunLength(rt, file.get(), record, bytesPerPixel)
                     : readUncompressed(rt, file.get(), record, bytesPerPixel);
}

}  // namespace vant
