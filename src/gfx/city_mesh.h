// The close view's geometry: every square's visible lids and diagonal walls
// as textured, shaded triangles in map units (one unit per square, y down
// the rows), drawn from the padded tile atlas. It follows the minimap's
// rules scaled up: layers from the ground to a top layer, each lid turned
// and mirrored, shaded by its lighting or its slope, cut to the shape of its
// slope mask, diagonal walls over their triangle. At 8 pixels per square it
// draws what the minimap shows.
//
// Plain C++: the OpenGL side only hands the arrays over.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/level.h"

namespace vant::gfx {

struct MeshVertex {
    float x = 0, y = 0;  // map units
    float s = 0, t = 0;  // padded atlas texture coordinates
    // Shade in red, green and blue; alpha 255 draws opaque, 0 blends by the
    // tile's own alpha.
    uint8_t rgba[4] = {255, 255, 255, 255};
};

class CityMesh {
public:
    static constexpr int ChunkSquares = 16;
    static constexpr int ChunksAcross = MapWidth / ChunkSquares;
    static constexpr int ChunksDown = MapHeight / ChunkSquares;
    // The minimap never draws the top layer; neither does the close view.
    static constexpr int HighestLayer = MapDepth - 2;

    // Triangles of layers 0 to topLayer, squares grouped in chunks of 16 x 16
    // stored row by row, so that a run of chunks along a row is one range.
    // Within a square the layers come upwards; what an opaque full lid
    // covers is left out.
    void build(const MapFile& map, const std::array<TileOrigin, TileCount>& paddedOrigin, int atlasSide,
               int topLayer);

    const std::vector<MeshVertex>& vertices() const { return vertices_; }
    // First vertex of chunk (cx, cy); chunk index ChunksAcross * ChunksDown is the end.
    size_t chunkStart(int cx, int cy) const { return chunkStart_[size_t(cy) * ChunksAcross + size_t(cx)]; }
    size_t chunkEnd(int cx, int cy) const { return chunkStart_[size_t(cy) * ChunksAcross + size_t(cx) + 1]; }
    int topLayer() const { return topLayer_; }
    // Changes with every build, so pictures made from the mesh know when
    // they are out of date.
    unsigned generation() const { return generation_; }

private:
    std::vector<MeshVertex> vertices_;
    std::vector<size_t> chunkStart_ = std::vector<size_t>(size_t(ChunksAcross) * ChunksDown + 1, 0);
    int topLayer_ = -1;
    unsigned generation_ = 0;
};

}  // namespace vant::gfx
