// Draws the loaded city top-down into the window: the minimap picture when
// zoomed out, the close view's triangles from the padded tile atlas when
// zoomed in, the zones over it and a status line at the bottom.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/level.h"

namespace vant::gfx {

class CityMesh;

// One frame. Screen positions are window pixels, (0, 0) at the top left.
struct CityFrame {
    int width = 0, height = 0;
    double originX = 0, originY = 0;  // where the map's top-left corner is
    double scale = 1;                 // pixels per square
    // The minimap picture (2048 x 2048, 8 pixels per square), or, with
    // closeView, the mesh on the tile texture.
    unsigned minimapTexture = 0;
    bool closeView = false;
    const std::vector<ZoneRecord>* zones = nullptr;  // drawn when given
    std::string status;
};

class CityView {
public:
    explicit CityView(unsigned fontBase) : fontBase_(fontBase) {}

    // The close view draws from the padded tile texture through the mesh.
    // With a cache texture (a name of its own), what it draws is kept in
    // pieces of 256 x 256 pixels, so that panning only draws what comes
    // into view.
    void setTiles(unsigned paddedTexture, const CityMesh* mesh) {
        tiles_ = paddedTexture;
        mesh_ = mesh;
    }
    void setCacheTexture(unsigned name) { cacheTexture_ = name; }
    // Draws one frame into the back buffer; the OpenGL state is left as found.
    void draw(const CityFrame& frame);

    static constexpr int StatusHeight = 20;
    static constexpr int Piece = 256;

private:
    void drawMesh(double originX, double originY, double scale, int left, int top, int right, int bottom);
    bool drawCached(const CityFrame& f);
    void drawZones(const CityFrame& f);
    void text(int x, int y, const std::string& line) const;

    unsigned fontBase_;
    unsigned tiles_ = 0;
    const CityMesh* mesh_ = nullptr;

    // The cache: a texture of slots; each holds the piece (column, row) of
    // the map drawn at cacheScale_ from mesh generation cacheMesh_.
    struct Slot {
        int column = -1, row = -1;
        uint64_t used = 0;
    };
    unsigned cacheTexture_ = 0;
    bool cacheReady_ = false;
    std::vector<Slot> slots_;
    double cacheScale_ = 0;
    unsigned cacheMesh_ = 0;
    uint64_t frame_ = 0;
};

// Level 0 of a texture as RGBA, row 0 first; empty when it is not that size.
std::vector<uint8_t> readTextureRgba(unsigned name, int width, int height);
// Waits until the graphics card has done every drawing asked of it.
void finishDrawing();
// Uploads a 2048 x 2048 RGBA minimap into the texture name, mipmapped.
void uploadMinimapPicture(unsigned name, const std::vector<uint8_t>& rgba);

}  // namespace vant::gfx
