#include "minimap/output.h"

#include <algorithm>
#include <cstdlib>

#include "base/runtime.h"
#include "base/os.h"
#include "base/text.h"
#include "formats/map.h"
#include "formats/style.h"
#include "image/image_writer.h"
#include "minimap/rasterizer.h"

namespace vant {

std::vector<uint8_t> boxFilter(const uint8_t* source, int stride, int size) {
    const int f = MinimapSize / size;
    std::vector<uint8_t> out(size_t(size) * size_t(size) * 3);
    const size_t srcRow = size_t(MinimapSize) * size_t(stride);
    if (f == 1) {
        // Full size: the channels reversed, nothing to average.
        const size_t pixels = size_t(size) * size_t(size);
        uint8_t* o = out.data();
        for (size_t i = 0; i < pixels; ++i, source += stride, o += 3) {
            o[0] = source[2];
            o[1] = source[1];
            o[2] = source[0];
        }
        return out;
    }
    if (f <= 256) {
        // Sums of at most 65,536 bytes are exact in a 32-bit float, so whole
        // numbers give the same bytes: trunc(s / (f * f) + 0.5). The f rows
        // of a band are first added down each column (a plain pass over the
        // bytes; f * 255 fits 16 bits), then f columns across.
        const uint32_t area = uint32_t(f) * uint32_t(f), half = area / 2;
        std::vector<uint16_t> columns(srcRow);
        for (int oy = 0; oy < size; ++oy) {
            std::fill(columns.begin(), columns.end(), uint16_t(0));
            for (int j = 0; j < f; ++j) {
                const uint8_t* row = source + (size_t(oy) * size_t(f) + size_t(j)) * srcRow;
                for (size_t i = 0; i < srcRow; ++i) columns[i] = uint16_t(columns[i] + row[i]);
            }
            uint8_t* o = &out[size_t(oy) * size_t(size) * 3];
            for (int ox = 0; ox < size; ++ox) {
                uint32_t s[3] = {0, 0, 0};
                const uint16_t* c = &columns[size_t(ox) * size_t(f) * size_t(stride)];
                for (int i = 0; i < f; ++i, c += stride) {
                    s[0] += c[0];
                    s[1] += c[1];
                    s[2] += c[2];
                }
                o[3 * ox + 0] = uint8_t((s[2] + half) / area);
                o[3 * ox + 1] = uint8_t((s[1] + half) / area);
                o[3 * ox + 2] = uint8_t((s[0] + half) / area);
            }
        }
        return out;
    }
    // Very small pictures: float sums, row by row, as the filter is defined.
    for (int oy = 0; oy < size; ++oy) {
        for (int ox = 0; ox < size; ++ox) {
            float s[3] = {0.0f, 0.0f, 0.0f};
            for (int j = 0; j < f; ++j) {
                const uint8_t* p = source + (size_t(oy) * size_t(f) + size_t(j)) * srcRow + size_t(ox) * size_t(f) * size_t(stride);
                for (int i = 0; i < f; ++i, p += stride) {
                    s[0] += float(p[0]);
                    s[1] += float(p[1]);
                    s[2] += float(p[2]);
                }
            }
            const float area = float(f * f);
            uint8_t* o = &out[(size_t(oy) * size_t(size) + size_t(ox)) * 3];
            for (int c = 0; c < 3; ++c) o[2 - c] = uint8_t(int(double(s[c] / area) + 0.5));
        }
    }
    return out;
}

namespace {
// sums[x] += |a[x] - b[x]|, several x at a time: the three rows never
// overlap. Kept out of line, where the compiler takes that word for it;
// inlined, it sees rows of one array and goes a pixel at a time (three
// times slower).
[[gnu::noinline]] void addDifferences(uint16_t* __restrict sums, const uint8_t* __restrict a, const uint8_t* __restrict b, size_t n) {
    for (size_t x = 0; x < n; ++x) sums[x] = uint16_t(sums[x] + std::abs(int(a[x]) - int(b[x])));
}
}  // namespace

std::array<float, 3> detailCentre(const uint8_t* pixels, int size) {
    int64_t sumX = 127, sumY = 127, count = 1;
    if (size >= 3) {
        // Each pixel's grey once (each takes part in nine neighbourhoods).
        const size_t side = size_t(size);
        std::vector<uint8_t> grey(side * side);
        for (size_t i = 0; i < grey.size(); ++i) {
            const uint8_t* p = pixels + i * 3;
            grey[i] = uint8_t(int((p[0] + p[1] + p[2]) / 3.0 + 0.5));
        }
        // A neighbourhood is detail when the sum S of its 36 differences
        // gives d = round(S / 9180 * 255) that, read as a signed byte, is
        // positive: decided once for every S (at most 36 * 255).
        std::array<bool, 36 * 255 + 1> detail{};
        for (size_t s = 0; s < detail.size(); ++s) {
            const int d = int(double(s) / 9180.0 * 255.0 + 0.5);
            detail[s] = static_cast<int8_t>(static_cast<uint8_t>(d)) > 0;
        }
        // A row at a time, one pair of neighbours at a time, so the
        // differences are taken across the row in step.
        const size_t inner = side - 2;
        std::vector<uint16_t> sums(inner);
        for (size_t y = 1; y + 1 < side; ++y) {
            const uint8_t* at[9];
            for (size_t k = 0; k < 9; ++k) at[k] = &grey[(y + k / 3 - 1) * side + k % 3];
            std::fill(sums.begin(), sums.end(), uint16_t(0));
            for (size_t a = 0; a < 9; ++a)
                for (size_t b = a + 1; b < 9; ++b) addDifferences(sums.data(), at[a], at[b], inner);
            for (size_t x = 0; x < inner; ++x) {
                if (!detail[sums[x]]) continue;
                sumX += int64_t(x + 1);
                sumY += int64_t(y);
                ++count;
            }
        }
    }
    const int cx = int(double(sumX) / double(count) + 0.5);
    const int cy = 256 - int(double(sumY) / double(count) + 0.5);
    return {float(cx), float(cy), 0.0f};
}

namespace {
class ScaledRows : public RowSource {
public:
    ScaledRows(MinimapBuilder& builder, const Level& level, int size) : drawing_(builder, level, size) {}
    int width() const override { return drawing_.size(); }
    int height() const override { return drawing_.size(); }
    int bandRows() const override { return drawing_.bandRows(); }
    bool next(uint8_t* band) override { return drawing_.next(band); }
    bool nextTrueColor(int* const* rows) override { return drawing_.nextTrueColor(rows); }

private:
    ScaledDrawing drawing_;
};
}  // namespace

std::unique_ptr<RowSource> scaledMinimapRows(MinimapBuilder& builder, const Level& level, int size) {
    return std::make_unique<ScaledRows>(builder, level, size);
}

MinimapLevelLoad loadLevelForMinimap(Runtime& rt, Level& level, const MapList& maps, const std::string& stylePath,
                                     const std::string& mapPath) {
    level.map.clear();
    level.checksum.reset();
    level.checksum.setEnabled(false);  // no thumbnail to name
    level.keepTileAtlas = false;       // the drawing needs only its reduction
    MinimapLevelLoad result;
    result.style = loadStyle(rt, level, maps, -1, stylePath);
    result.map = loadMap(rt, level, maps, -1, mapPath);
    return result;
}

bool directoryExists(std::string directory) {
    replaceChar(directory, '\\', '/');
    if (!directory.empty() && directory.back() == '/') directory.pop_back();
    return os::folderListable(directory);
}

bool saveMinimap(Runtime& rt, std::vector<uint8_t>& minimap, int formatNumber, int shift, const std::string& path,
                 bool overwrite, bool fromMemory, const SaveMinimapOptions& options) {
    if (shift > 11) shift = 11;
    if (shift < 0) shift = 0;
    if (formatNumber > 3 || formatNumber < 0) return false;
    // There is no map-list entry to name an unnamed picture after.
    if (path.empty()) return false;

    std::string p = path;
    replaceChar(p, '\\', '/');
    const size_t slash = p.rfind('/');
    const std::string directory = slash == std::string::npos ? p : p.substr(0, slash + 1);
    if (!directoryExists(directory)) {
        rt.showMessage(BoxOk, "ERROR", "Cannot open directory \"%s\" for reading.", directory.c_str());
        return false;
    }
    const std::string finalPath = directory + sanitizeFileName(fileNameOf(path, true));
    if (!overwrite && fileExists(finalPath)) return true;

    const int size = MinimapSize >> shift;
    std::vector<uint8_t> output;
    if (!fromMemory) {
        minimap.clear();
        minimap.shrink_to_fit();
        UnzeroedVector<uint8_t> rgb;
        if (!options.texture || !options.texture->readRgb(rgb) || rgb.size() < size_t(MinimapSize) * MinimapSize * 3) {
            rt.showMessage(BoxOk, "", "ERROR, couldnt read minimap pixels from memory!");
            return true;
        }
        output = boxFilter(rgb.data(), 3, size);
    } else if (minimap.size() >= MinimapBytes) {
        output = boxFilter(minimap.data(), 4, size);
        minimap.clear();
        minimap.shrink_to_fit();
    } else if (options.drawRows && (rt.headless || !options.detailCentring)) {
        const std::unique_ptr<RowSource> rows = options.drawRows(size);
        const int quality = size == ThumbnailSettings::Size ? ThumbnailSettings::JpegQuality : rt.jpegQuality;
        saveImageRows(rt, finalPath, *rows, quality);
        return true;
    } else {
        rt.showMessage(BoxOk, "", "ERROR, couldnt read minimap pixels from memory!");
        return true;
    }

    if (!rt.headless && options.detailCentring && size == ThumbnailSettings::Size && options.storeCentre) {
        const std::array<float, 3> centre = detailCentre(output.data(), size);
        options.storeCentre(centre[0], centre[1]);
    }
    const int quality = size == ThumbnailSettings::Size ? ThumbnailSettings::JpegQuality : rt.jpegQuality;
    saveImage(rt, finalPath, ImageView{output.data(), size, size, 3, false}, quality);
    return true;
}

}  // namespace vant
