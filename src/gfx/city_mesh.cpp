#include "gfx/city_mesh.h"

#include <algorithm>
#include <cmath>

#include "minimap/rasterizer.h"

namespace vant::gfx {

namespace {

// Cell positions are in eighths of a square, as the minimap's 8 x 8 cell:
// (0, 0) is the square's top-left corner, (8, 8) its bottom-right one.
struct Point {
    double x = 0, y = 0;
};

// The half-plane a x + b y <= c. A mask bit of pixel (x, y) becomes the part
// of the cell around that pixel's centre (x + 0.5, y + 0.5), so each edge
// runs half a pixel away from the centres it separates: at 8 pixels per
// square the shapes cover exactly the pixels of the masks.
struct HalfPlane {
    double a = 0, b = 0, c = 0;
};

using Shape = std::vector<HalfPlane>;

// The lid shapes of the slope masks, by slope type (others: the whole cell).
Shape lidShape(int slope) {
    switch (slope) {
    case 45: return {{-1, -1, -7.5}};          // x + y >= 7
    case 46: return {{1, -1, 0.5}};            // x <= y
    case 47: return {{-1, 1, 0.5}};            // x >= y
    case 48: return {{1, 1, 8.5}};             // x + y <= 7
    case 53: return {{1, 0, 3}};               // columns 0 to 2
    case 54: return {{-1, 0, -5}};             // columns 5 to 7
    case 55: return {{0, 1, 3}};               // rows 0 to 2
    case 56: return {{0, -1, -5}};             // rows 5 to 7
    case 57: return {{1, 0, 3}, {0, 1, 3}};
    case 58: return {{-1, 0, -5}, {0, 1, 3}};
    case 59: return {{-1, 0, -5}, {0, -1, -5}};
    case 60: return {{1, 0, 3}, {0, -1, -5}};
    case 61: return {{-1, 0, -3}, {1, 0, 5}, {0, -1, -3}, {0, 1, 5}};  // the four centre pixels
    default: return {};
    }
}

// A diagonal wall: the triangle it covers, and where each covered pixel reads
// the wall's 8 x 8 picture: column c and row r are the minimap's integer
// formulas k0 + kx x + ky y, halved (rounding down) for the columns.
struct WallCase {
    HalfPlane covered;
    double c0, cx, cy;
    double r0, rx, ry;
};

// [slope - 49][with lid]
constexpr WallCase kWalls[4][2] = {
    {{{-1, -1, -7.5}, 7, -1, 1, 14, -1, -1}, {{1, 1, 7.5}, 6, -1, 1, 6, -1, -1}},
    {{{1, -1, 0.5}, 14, -1, -1, 7, 1, -1}, {{-1, 1, -0.5}, 15, -1, -1, -1, 1, -1}},
    {{{-1, 1, 0.5}, 0, 1, 1, 7, -1, 1}, {{1, -1, -0.5}, 1, 1, 1, -1, -1, 1}},
    {{{1, 1, 8.5}, 7, 1, -1, 0, 1, 1}, {{-1, -1, -8.5}, 6, 1, -1, -8, 1, 1}},
};

// The continuous form of a pixel formula: pixel (x, y) has its centre at
// (x + 0.5, y + 0.5) and reads the source pixel whose centre is f + 0.5; a
// halved column drops half a pixel every other step, a quarter on average.
double wallColumn(const WallCase& w, Point p) {
    return (w.c0 + w.cx * (p.x - 0.5) + w.cy * (p.y - 0.5)) / 2 + 0.25;
}
double wallRow(const WallCase& w, Point p) { return w.r0 + w.rx * (p.x - 0.5) + w.ry * (p.y - 0.5) + 0.5; }

// Where a cell position reads its tile, turned by rotation x 90 degrees
// clockwise and then mirrored: the minimap's table with 7 - x read as 8 - x.
Point turn(Point p, int rotation, int flip) {
    switch (rotation * 2 + flip) {
    case 0: return {p.x, p.y};
    case 1: return {8 - p.x, p.y};
    case 2: return {p.y, 8 - p.x};
    case 3: return {p.y, p.x};
    case 4: return {8 - p.x, 8 - p.y};
    case 5: return {p.x, 8 - p.y};
    case 6: return {8 - p.y, p.x};
    default: return {8 - p.y, 8 - p.x};
    }
}

// The cell cut by the half-planes; a convex polygon, possibly empty.
std::vector<Point> clip(const Shape& shape) {
    std::vector<Point> poly = {{0, 0}, {8, 0}, {8, 8}, {0, 8}};
    for (const HalfPlane& h : shape) {
        std::vector<Point> out;
        for (size_t i = 0; i < poly.size(); ++i) {
            const Point p = poly[i], q = poly[(i + 1) % poly.size()];
            const double dp = h.a * p.x + h.b * p.y - h.c, dq = h.a * q.x + h.b * q.y - h.c;
            if (dp <= 0) out.push_back(p);
            if ((dp < 0 && dq > 0) || (dp > 0 && dq < 0)) {
                const double t = dp / (dp - dq);
                out.push_back({p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t});
            }
        }
        poly = std::move(out);
    }
    return poly;
}

uint8_t shadeByte(double shade) { return uint8_t(std::lround(std::clamp(shade, 0.0, 1.0) * 255.0)); }

class Emitter {
public:
    Emitter(std::vector<MeshVertex>& out, const std::array<TileOrigin, TileCount>& origin, int side)
        : out_(out), origin_(origin), side_(float(side)) {}

    // One face over a polygon of the cell of square (sx, sy); `source` maps a
    // cell position to its place in the face's untouched 8 x 8 tile picture.
    template <class Source>
    void face(const std::vector<Point>& poly, int sx, int sy, uint16_t word, double shade, const Source& source) {
        if (poly.size() < 3) return;
        const TileOrigin& o = origin_[size_t(faceTile(word))];
        const uint8_t v = shadeByte(shade);
        const uint8_t alpha = faceBlend(word) ? 0 : 255;
        auto vertex = [&](Point p) {
            const Point t = turn(source(p), faceRotation(word), faceFlip(word));
            MeshVertex m;
            m.x = float(sx + p.x / 8);
            m.y = float(sy + p.y / 8);
            m.s = (o.u + float(t.x) * (TileSize / 8)) / side_;
            m.t = (o.v + float(t.y) * (TileSize / 8)) / side_;
            m.rgba[0] = m.rgba[1] = m.rgba[2] = v;
            m.rgba[3] = alpha;
            return m;
        };
        for (size_t i = 1; i + 1 < poly.size(); ++i) {
            out_.push_back(vertex(poly[0]));
            out_.push_back(vertex(poly[i]));
            out_.push_back(vertex(poly[i + 1]));
        }
    }

private:
    std::vector<MeshVertex>& out_;
    const std::array<TileOrigin, TileCount>& origin_;
    float side_;
};

struct Shapes {
    std::array<std::vector<Point>, 64> lids;
    std::array<std::array<std::vector<Point>, 2>, 4> walls;
    Shapes() {
        for (int s = 0; s < 64; ++s) lids[size_t(s)] = clip(lidShape(s));
        for (int s = 0; s < 4; ++s)
            for (int lid = 0; lid < 2; ++lid) walls[size_t(s)][size_t(lid)] = clip({kWalls[s][lid].covered});
    }
};

bool isDiagonal(int slope) { return slope >= 49 && slope <= 52; }

int slopeOf(const BlockInfo& b) {
    const int s = slopeType(b);
    return s > 61 ? 0 : s;
}

// An opaque lid over the whole cell: nothing below it shows.
bool coversCell(const BlockInfo& b) {
    const int s = slopeOf(b);
    return faceTile(b.lid) != 0 && !faceBlend(b.lid) && lidShape(s).empty() && !isDiagonal(s);
}

}  // namespace

void CityMesh::build(const MapFile& map, const std::array<TileOrigin, TileCount>& paddedOrigin, int atlasSide,
                     int topLayer) {
    static const Shapes shapes;
    static const MinimapBuilder shades;
    topLayer_ = std::clamp(topLayer, 0, HighestLayer);
    ++generation_;
    vertices_.clear();
    std::fill(chunkStart_.begin(), chunkStart_.end(), 0);
    if (!map.allocated()) return;

    Emitter emit(vertices_, paddedOrigin, atlasSide);
    const auto whole = [](Point p) { return p; };
    for (int cy = 0; cy < ChunksDown; ++cy) {
        for (int cx = 0; cx < ChunksAcross; ++cx) {
            chunkStart_[size_t(cy) * ChunksAcross + size_t(cx)] = vertices_.size();
            for (int y = cy * ChunkSquares; y < (cy + 1) * ChunkSquares; ++y) {
                for (int x = cx * ChunkSquares; x < (cx + 1) * ChunkSquares; ++x) {
                    int lowest = 0;
                    for (int z = topLayer_; z > 0 && !lowest; --z)
                        if (coversCell(map.at(x, y, z))) lowest = z;
                    for (int z = lowest; z <= topLayer_; ++z) {
                        const BlockInfo& b = map.at(x, y, z);
                        const int s = slopeOf(b);
                        const int lighting = faceLighting(b.lid);
                        const int lidTile = faceTile(b.lid);
                        if (!isDiagonal(s)) {
                            if (lidTile) emit.face(shapes.lids[size_t(s)], x, y, b.lid, shades.lidShade(s, lighting), whole);
                            continue;
                        }
                        const bool withLid = lidTile < 992;
                        if (withLid && lidTile) emit.face(shapes.lids[0], x, y, b.lid, shades.lidShade(s, lighting), whole);
                        const bool left = s == 49 || s == 51;
                        const uint16_t wall = left ? b.left : b.right;
                        if (!faceTile(wall)) continue;
                        const WallCase& w = kWalls[s - 49][withLid ? 1 : 0];
                        emit.face(shapes.walls[size_t(s - 49)][withLid ? 1 : 0], x, y, wall,
                                  shades.wallShade(s, lighting, left),
                                  [&w](Point p) { return Point{wallColumn(w, p), wallRow(w, p)}; });
                    }
                }
            }
        }
    }
    chunkStart_.back() = vertices_.size();
}

}  // namespace vant::gfx
