// The pixel work behind the interface textures, kept apart from OpenGL so it
// can be checked byte for byte: the conversions of the pictures read from
// data/, the two generated patterns, the tile copy of the loading background
// and the padded tile atlas with its mirrored borders.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "formats/level.h"
#include "image/texture_table.h"

namespace vant {

enum class PictureConversion {
    Loading,       // 24-bit: alpha = red, colour white; rows reversed
    RedEverywhere, // 24-bit: all four bytes = red; rows reversed
    Copy32,        // 32-bit: copied as it is, rows kept
    SelectedTile,  // 24-bit: (0, 0, 255) -> (255, 255, 255, 50), others opaque; rows reversed
};

// Bytes per pixel the conversion reads the source with.
int sourceBytesPerPixel(PictureConversion conversion);

// A width x height RGBA picture made from the record's pixels; empty when
// the record holds fewer bytes than the conversion would read.
std::vector<uint8_t> convertInterfacePicture(const TextureRecord& source, PictureConversion conversion);

constexpr int PatternSize = 16;
// White, opaque where (x + y) mod 16 < 8, clear elsewhere.
std::vector<uint8_t> makeStripes();
// Grey (217) in the top-left and bottom-right quarters, white elsewhere.
std::vector<uint8_t> makeCheckerboard();

// Copies tile `tile` (64 x 64 RGBA, from its origin in the source atlas) into
// the destination so that tile row j lands on destination row y + 63 - j.
// Parts that would fall outside either picture are left out.
void copyTileFlipped(std::vector<uint8_t>& destination, const std::vector<uint8_t>& atlas, int destinationWidth,
                     int sourceWidth, int x, int y, int tile, const std::array<TileOrigin, TileCount>& origins);

// The padded tile atlas: every tile in a cell of 128 x 128 at offset (32, 32),
// surrounded by its own pixels mirrored across its edges.
struct PaddedTileAtlas {
    static constexpr int Padding = 32;
    static constexpr int CellsAcross = 32;
    static constexpr int CellsDown = 32;
    static constexpr int CellSize = TileSize + 2 * Padding;
    static int side();  // 4096: the power of two holding 32 cells

    std::vector<uint8_t> pixels;  // side x side RGBA
};

// Builds it from the 2048 x 2048 tile atlas (an empty atlas reads as clear).
PaddedTileAtlas buildPaddedTileAtlas(const std::vector<uint8_t>& tileAtlas);

// Each tile's top-left pixel in the padded atlas, in tile-number order.
std::array<TileOrigin, TileCount> paddedTileOrigins();

}  // namespace vant

namespace vant {

// The 16 tiles of the loading background, cell by cell (rows of four from
// the top): the water tile, or, for an animated water tile in a tinted
// style, frame random() mod frames of its animation in each cell.
std::array<int, 16> loadingBackgroundTiles(const Level& level, bool waterTileAnimated, int (*random)());

}  // namespace vant
