// Every texture the program makes on the graphics card is described by one
// record of a fixed table of 300, taken in creation order. The table itself
// is plain data: the OpenGL side (gfx/) fills in the names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vant {

// The two pixel formats a record can hold; the numbers are OpenGL's.
constexpr uint32_t PixelFormatRgb = 0x1907;
constexpr uint32_t PixelFormatRgba = 0x1908;

struct TextureRecord {
    std::vector<uint8_t> pixels;  // only while the picture is being prepared
    uint32_t bitsPerPixel = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t textureName = 0;
    uint32_t format = 0;

    void releasePixels() {
        pixels.clear();
        pixels.shrink_to_fit();
    }
};

class TextureTable {
public:
    static constexpr int Capacity = 300;

    // Takes the record at the counter and advances it; -1 when all 300 are
    // taken (the caller then makes no texture).
    int take();
    int counter() const { return counter_; }

    // Records before the restart point (the interface pictures) survive
    // every load; each load's textures start from there again.
    void markRestartPoint() { restartPoint_ = counter_; }
    int restartPoint() const { return restartPoint_; }
    void restart();

    bool valid(int index) const { return index >= 0 && index < Capacity; }
    TextureRecord& at(int index) { return records_.at(static_cast<size_t>(index)); }
    const TextureRecord& at(int index) const { return records_.at(static_cast<size_t>(index)); }

    // Record indexes of the textures showing tiles and minimaps, in the
    // order they were made; emptied with every restart.
    std::vector<int> tileTextures;

private:
    std::array<TextureRecord, Capacity> records_{};
    int counter_ = 0;
    int restartPoint_ = 0;
};

}  // namespace vant
