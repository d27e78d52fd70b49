#include "image/interface_pictures.h"

#include "base/os.h"
#include "base/text.h"

#include <cstring>


namespace vant {

int sourceBytesPerPixel(PictureConversion conversion) { return conversion == PictureConversion::Copy32 ? 4 : 3; }

std::vector<uint8_t> convertInterfacePicture(const TextureRecord& source, PictureConversion conversion) {
    const int w = source.width, h = source.height;
    const size_t bpp = size_t(sourceBytesPerPixel(conversion));
    if (w <= 0 || h <= 0 || source.pixels.size() < size_t(w) * size_t(h) * bpp) return {};

    const bool reverseRows = conversion != PictureConversion::Copy32;
    std::vector<uint8_t> out(size_t(w) * size_t(h) * 4);
    for (int y = 0; y < h; ++y) {
        const int sourceRow = reverseRows ? h - 1 - y : y;
        const uint8_t* in = &source.pixels[size_t(sourceRow) * size_t(w) * bpp];
        uint8_t* o = &out[size_t(y) * size_t(w) * 4];
        for (int x = 0; x < w; ++x, in += bpp, o += 4) {
            switch (conversion) {
            case PictureConversion::Loading:
                o[0] = o[1] = o[2] = 255;
                o[3] = in[0];
                break;
            case PictureConversion::RedEverywhere:
                o[0] = o[1] = o[2] = o[3] = in[0];
                break;
            case PictureConversion::Copy32:
                std::memcpy(o, in, 4);
                break;
            case PictureConversion::SelectedTile:
                if (in[0] == 0 && in[1] == 0 && in[2] == 255) {
                    o[0] = o[1] = o[2] = 255;
                    o[3] = 50;
                } else {
                    o[0] = in[0];
                    o[1] = in[1];
                    o[2] = in[2];
                    o[3] = 255;
                }
                break;
            }
        }
    }
    return out;
}

std::vector<uint8_t> makeStripes() {
    std::vector<uint8_t> out(size_t(PatternSize) * PatternSize * 4);
    for (int y = 0; y < PatternSize; ++y)
        for (int x = 0; x < PatternSize; ++x) {
            uint8_t* o = &out[(size_t(y) * PatternSize + size_t(x)) * 4];
            o[0] = o[1] = o[2] = 255;
            o[3] = (x + y) % 16 < 8 ? 255 : 0;
        }
    return out;
}

std::vector<uint8_t> makeCheckerboard() {
    std::vector<uint8_t> out(size_t(PatternSize) * PatternSize * 4);
    for (int y = 0; y < PatternSize; ++y)
        for (int x = 0; x < PatternSize; ++x) {
            uint8_t* o = &out[(size_t(y) * PatternSize + size_t(x)) * 4];
            const bool grey = (x < 8 && y < 8) || (x > 8 && y > 8);
            o[0] = o[1] = o[2] = grey ? 217 : 255;
            o[3] = 255;
        }
    return out;
}

void copyTileFlipped(std::vector<uint8_t>& destination, const std::vector<uint8_t>& atlas, int destinationWidth,
                     int sourceWidth, int x, int y, int tile, const std::array<TileOrigin, TileCount>& origins) {
    if (tile < 0 || tile >= TileCount || destinationWidth <= 0 || sourceWidth <= 0) return;
    const long destinationHeight = long(destination.size() / (size_t(destinationWidth) * 4));
    const long sourceHeight = long(atlas.size() / (size_t(sourceWidth) * 4));
    const long u = long(origins[size_t(tile)].u), v = long(origins[size_t(tile)].v);
    for (int j = 0; j < TileSize; ++j) {
        const long sy = v + j, dy = long(y) + TileSize - 1 - j;
        if (sy < 0 || sy >= sourceHeight || dy < 0 || dy >= destinationHeight) continue;
        for (int i = 0; i < TileSize; ++i) {
            const long sx = u + i, dx = long(x) + i;
            if (sx < 0 || sx >= sourceWidth || dx < 0 || dx >= destinationWidth) continue;
            std::memcpy(&destination[(size_t(dy) * size_t(destinationWidth) + size_t(dx)) * 4],
                        &atlas[(size_t(sy) * size_t(sourceWidth) + size_t(sx)) * 4], 4);
        }
    }
}

int PaddedTileAtlas::side() { return int(roundUpToPowerOfTwo(CellsAcross * CellSize)); }

PaddedTileAtlas buildPaddedTileAtlas(const std::vector<uint8_t>& tileAtlas) {
    constexpr int P = PaddedTileAtlas::Padding, S = PaddedTileAtlas::CellSize;
    static_assert(P <= TileSize / 2, "left and right borders must come from different tile columns");
    static_assert(S * PaddedTileAtlas::CellsAcross == 4096 && S * PaddedTileAtlas::CellsDown == 4096,
                  "the cells fill the picture");
    const int W = PaddedTileAtlas::side();
    PaddedTileAtlas padded;
    if (tileAtlas.size() < AtlasBytes) {
        padded.pixels.assign(size_t(W) * size_t(W) * 4, 0);
        return padded;
    }

    // Cell pixel (i, j) is tile pixel (m(i - P), m(j - P)), where m mirrors
    // the positions past an edge back inside (-1 -> 0, 64 -> 63). A row of
    // the picture thus depends only on its tile row: the 64 of a row of
    // cells are made once, then the picture's rows are appended in order,
    // the padding rows as copies of the tile rows they mirror. Each byte of
    // the 64 MiB is written once: filling it with zeros first, then
    // overwriting it, took about a tenth longer.
    auto mirror = [](int k) { return k < 0 ? -1 - k : (k >= TileSize ? 2 * TileSize - 1 - k : k); };
    const size_t rowBytes = size_t(W) * 4;
    padded.pixels.reserve(rowBytes * size_t(W));
    // Fresh memory in small pages: faulting it in at once costs about a
    // quarter less than a fault for each page the rows reach.
    os::populatePages(padded.pixels.data(), rowBytes * size_t(W));
    std::vector<uint32_t> tileRows(size_t(TileSize) * size_t(W));
    auto append = [&](int tileRow) {
        const auto* row = reinterpret_cast<const uint8_t*>(&tileRows[size_t(tileRow) * size_t(W)]);
        padded.pixels.insert(padded.pixels.end(), row, row + rowBytes);
    };
    for (int r = 0; r < PaddedTileAtlas::CellsDown; ++r) {
        for (int y = 0; y < TileSize; ++y) {
            const auto* from = reinterpret_cast<const uint32_t*>(&tileAtlas[size_t(TileSize * r + y) * AtlasSize * 4]);
            uint32_t* to = &tileRows[size_t(y) * size_t(W)];
            for (int c = 0; c < PaddedTileAtlas::CellsAcross; ++c, from += TileSize, to += S) {
                std::memcpy(to + P, from, TileSize * 4);
                for (int i = 0; i < P; ++i) {
                    to[i] = from[mirror(i - P)];
                    to[P + TileSize + i] = from[mirror(TileSize + i)];
                }
            }
        }
        for (int j = 0; j < P; ++j) append(mirror(j - P));
        for (int y = 0; y < TileSize; ++y) append(y);
        for (int j = 0; j < P; ++j) append(mirror(TileSize + j));
    }
    return padded;
}

std::array<TileOrigin, TileCount> paddedTileOrigins() {
    constexpr int P = PaddedTileAtlas::Padding, S = PaddedTileAtlas::CellSize;
    std::array<TileOrigin, TileCount> origins{};
    for (int t = 0; t < TileCount; ++t) {
        const int page = t / 16, row = (t / 4) % 4, column = t % 4;
        const int c = 4 * (page % 8) + column, r = 4 * (page / 8) + row;
        origins[size_t(t)] = TileOrigin{float(S * c + P), float(S * r + P)};
    }
    return origins;
}

}  // namespace vant

namespace vant {

std::array<int, 16> loadingBackgroundTiles(const Level& level, bool waterTileAnimated, int (*random)()) {
    const int water = level.map.waterTile < uint32_t(TileCount) ? int(level.map.waterTile) : 0;
    std::array<int, 16> tiles;
    tiles.fill(water);
    if (!waterTileAnimated || !level.waterTint || !random) return tiles;
    const int animation = level.map.tileToAnimation[size_t(water)];
    if (animation < 0 || size_t(animation) >= level.map.animations.size()) return tiles;
    const std::vector<uint16_t>& frames = level.map.animations[size_t(animation)].frames;
    if (frames.empty()) return tiles;
    for (int& tile : tiles) {
        const int frame = frames[size_t(random()) % frames.size()];
        tile = frame < TileCount ? frame : water;
    }
    return tiles;
}

}  // namespace vant
