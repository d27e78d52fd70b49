// The software minimap: every map square becomes an 8 x 8 cell of one
// 2048 x 2048 RGBA picture, drawn layer by layer from the ground up.
#pragma once

#include <array>
#include <deque>
#include <memory>
#include <functional>
#include <unordered_map>
#include <cstdint>
#include <vector>

#include "formats/level.h"

namespace vant {

class Runtime;

constexpr int MinimapSize = 2048;
constexpr int MinimapCell = 8;
constexpr size_t MinimapBytes = size_t(MinimapSize) * MinimapSize * 4;

// The 256 x 256 RGBA reduction of the tile atlas: each 8 x 8 block averaged
// per byte, rounded half up. An empty atlas reduces to transparent black.
std::vector<uint8_t> reduceAtlas(const std::vector<uint8_t>& tileAtlas);

class ScaledDrawing;

class MinimapBuilder {
    friend class ScaledDrawing;

public:
    MinimapBuilder();

    // Draws the whole map into a fresh 2048 x 2048 RGBA picture; onLayer is
    // told before each of the seven drawn layers.
    std::vector<uint8_t> build(const Level& level, const std::function<void(int layer)>& onLayer = {});

    // The same picture straight at size x size (a power of two, 1 to 2048),
    // box-filtered, blue-green-red: sizes of 256 or more are drawn a cell at a
    // time without the full picture ever existing.
    std::vector<uint8_t> buildScaled(const Level& level, int size);

    // Skips drawing what a higher opaque full-cell lid covers anyway; the
    // picture is the same either way.
    bool skipHidden = true;

    // Layers left out of the picture, bit z for layer z: their blocks draw
    // as if the squares were empty there. None by default.
    uint8_t hiddenLayers = 0;
    bool layerShown(int z) const { return ((hiddenLayers >> z) & 1) == 0; }

    double lidShade(int slope, int lighting) const;
    double wallShade(int slope, int lighting, bool leftWall) const;
    const std::array<uint8_t, 256>& scratch() const { return scratch_; }

private:
    // Draws one block into an 8 x 8 cell of `stride` bytes per row. A diagonal
    // wall goes through the scratch tile, unless its finished scratch picture
    // is given.
    void drawBlock(const BlockInfo& b, uint8_t* cell, size_t stride, const uint8_t* wallScratch = nullptr);
    void copyTriangleFrom(const uint8_t* scratch, int slope, bool withLid, bool blend, uint8_t* cell, size_t stride);
    void prepareTiles(const Level& level, const std::vector<uint8_t>& reduced);
    bool coversCell(const BlockInfo& b) const;
    void keepScratchInStep(const BlockInfo& b);
    void wallToScratch(const BlockInfo& b, uint8_t* scratch);
    void drawTile(const uint32_t* tile, double shade, const uint8_t* table, int rf, int blend, int mask,
                  uint8_t* cell, size_t stride);
    void drawTileToScratch(const uint32_t* tile, double shade, const uint8_t* table, int rf, int blend,
                           uint8_t* scratch);

    std::array<std::array<double, 5>, 64> shades_{};
    std::array<uint8_t, 64> maskOfSlope_{};
    std::array<std::array<uint8_t, 8>, 14> masks_{};
    std::array<std::array<uint8_t, 64>, 8> sourceIndex_{};  // per rotation * 2 + flip
    std::array<uint8_t, 256> scratch_{};  // 8 x 8 RGBA, kept from one wall to the next

    // Opaque drawing goes through one byte table per shade value: the result
    // trunc(byte * shade + 0.5) is the same, computed once.
    const uint8_t* opaqueTable(double shade);
    std::deque<std::pair<double, std::array<uint8_t, 256>>> opaqueTables_;  // stable addresses
    std::array<std::array<const uint8_t*, 4>, 64> lidTable_{};
    std::array<std::array<std::array<const uint8_t*, 2>, 4>, 64> wallTable_{};

    // Per build: each tile's 8 x 8 picture from the reduced atlas.
    std::vector<uint32_t> tilePixels_;
};

// The minimap drawn straight at size x size, box-filtered, blue-green-red,
// handed out a band of rows at a time, top first: a row of cells for sizes of
// 256 or more (drawn a cell at a time, the full picture never exists), one
// row of the plainly drawn and filtered picture for smaller sizes.
class ScaledDrawing {
public:
    ScaledDrawing(MinimapBuilder& builder, const Level& level, int size);
    ~ScaledDrawing();
    ScaledDrawing(const ScaledDrawing&) = delete;
    ScaledDrawing& operator=(const ScaledDrawing&) = delete;

    int size() const { return size_; }
    int bandRows() const { return perCell_; }
    // Writes the next band (bandRows() rows of size() * 3 bytes); false
    // after the last.
    bool next(uint8_t* out);
    // The same band as libgd true-colour words (0x00RRGGBB), one row pointer
    // per band row.
    bool nextTrueColor(int* const* rows);

private:
    void usePlainPicture();
    template <class Out>
    bool drawBand(const Out& out);
    size_t shadeIndex(const BlockInfo& lid);
    size_t addShade(int slope, int lighting);
    void lidMean(size_t key, uint32_t rgb[3]);
    size_t lidKey(const BlockInfo& lid);
    const uint8_t* lidCell(const BlockInfo& lid);
    template <class Out>
    const uint8_t* finishedLid(size_t key, size_t square);

    MinimapBuilder& builder_;
    const Level& level_;
    int size_;
    int f_ = 0;        // picture pixels per output pixel; 0 for the plain picture
    int perCell_ = 1;  // output rows per band
    int row_ = 0;
    const MapFile* map_ = nullptr;  // null when the map holds no blocks
    std::vector<uint8_t> lowestVisible_;
    // Where the lowest visible lid alone makes the cell, its lidKey; else NoKey.
    static constexpr uint32_t NoKey = UINT32_MAX;
    std::vector<uint32_t> soleKey_;
    std::unordered_map<size_t, size_t> snapshotOf_;
    std::vector<uint8_t> snapshots_;
    std::vector<uint8_t> plain_;
    // Per shade table, per tile: the three channel sums of the shaded tile.
    std::vector<const uint8_t*> shadeTables_;
    std::array<int16_t, 64 * 4> shadeOfLid_;  // by slope and lighting; -1 until first met
    std::vector<uint64_t> lidSums_;
    // Per shade table, tile and turn: where the finished cell is in lidCells_.
    std::vector<uint32_t> lidCellAt_;
    struct Cell {
        alignas(16) uint8_t bytes[8 * 8 * 4] = {};
    };
    // Cells at stable addresses, 64 to a block (a deque's block holds two:
    // a malloc every other cell).
    class CellStore {
    public:
        uint32_t size() const { return count_; }
        Cell& add() {
            if (count_ % 64 == 0) blocks_.push_back(std::make_unique<Cell[]>(64));
            return blocks_.back()[count_++ % 64];
        }
        const Cell& operator[](uint32_t i) const { return blocks_[i / 64][i % 64]; }

    private:
        std::vector<std::unique_ptr<Cell[]>> blocks_;
        uint32_t count_ = 0;
    };
    CellStore lidCells_;
    // The same cells finished as output pixels (bands of one output format,
    // told by finishedFormat_), at the same keys: most cells are a lid alone.
    std::vector<uint32_t> finishedAt_;
    CellStore finished_;
    int finishedFormat_ = 0;
};

// The build step of a load: draws the picture; a windowed run would upload
// it, a headless run keeps it for the output.
bool buildMinimap(Runtime& rt, const Level& level, MinimapBuilder& builder, std::vector<uint8_t>& minimap);

}  // namespace vant
