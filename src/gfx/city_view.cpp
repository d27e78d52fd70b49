#include "gfx/city_view.h"

#include <algorithm>
#include <cmath>

#include "gfx/city_mesh.h"
#include "gfx/gl.h"
#include "gfx/gl_services.h"
#include "gfx/render_state.h"
#include "minimap/rasterizer.h"
#include "minimap/zone_colours.h"

namespace vant::gfx {

namespace {

void rect(double x0, double y0, double x1, double y1) {
    glBegin(GL_QUADS);
    glVertex2d(x0, y0);
    glVertex2d(x1, y0);
    glVertex2d(x1, y1);
    glVertex2d(x0, y1);
    glEnd();
}

}  // namespace

void CityView::text(int x, int y, const std::string& line) const {
    if (!fontBase_) return;
    std::string shown = line;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    glRasterPos2i(x, y);
    glListBase(fontBase_ - 32);
    glCallLists(GLsizei(shown.size()), GL_UNSIGNED_BYTE, shown.data());
}

namespace {

constexpr int CacheWidth = 4096, CacheHeight = 2048;

int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

void texturedRect(double x0, double y0, double x1, double y1, double s0, double t0, double s1, double t1) {
    glBegin(GL_QUADS);
    glTexCoord2d(s0, t0);
    glVertex2d(x0, y0);
    glTexCoord2d(s1, t0);
    glVertex2d(x1, y0);
    glTexCoord2d(s1, t1);
    glVertex2d(x1, y1);
    glTexCoord2d(s0, t1);
    glVertex2d(x0, y1);
    glEnd();
}

}  // namespace

void CityView::draw(const CityFrame& f) {
    if (f.width <= 0 || f.height <= 0) return;
    const OverlayScope overlay;
    glDisable(GL_BLEND);

    const bool cached = f.closeView && drawCached(f);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // Window pixels, y down: the map's rows run down the screen as in the minimap.
    glOrtho(0, f.width, f.height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, f.width, f.height);
    glClearColor(0.16f, 0.16f, 0.19f, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    const double mapW = MapWidth * f.scale, mapH = MapHeight * f.scale;
    if (cached) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, cacheTexture_);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        for (const Slot& slot : slots_) {
            if (slot.used != frame_) continue;
            const size_t index = size_t(&slot - slots_.data());
            const double x = f.originX + slot.column * Piece, y = f.originY + slot.row * Piece;
            const double s0 = double(index % (CacheWidth / Piece) * Piece) / CacheWidth;
            const double t0 = double(index / (CacheWidth / Piece) * Piece) / CacheHeight;
            texturedRect(x, y, x + Piece, y + Piece, s0, t0, s0 + double(Piece) / CacheWidth,
                         t0 + double(Piece) / CacheHeight);
        }
        glDisable(GL_TEXTURE_2D);
    } else {
        // The map itself is black where nothing is drawn, as in the minimap.
        glDisable(GL_TEXTURE_2D);
        glColor3f(0, 0, 0);
        rect(f.originX, f.originY, f.originX + mapW, f.originY + mapH);
        if (f.closeView) {
            drawMesh(f.originX, f.originY, f.scale, 0, 0, f.width, f.height);
        } else if (f.minimapTexture) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, f.minimapTexture);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
            // At its own size the picture is copied pixel for pixel.
            const bool exact = f.scale == MinimapSize / double(MapWidth);
            if (exact) {
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            }
            texturedRect(f.originX, f.originY, f.originX + mapW, f.originY + mapH, 0, 0, 1, 1);
            if (exact) {
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            }
            glDisable(GL_TEXTURE_2D);
        }
    }

    if (f.zones) drawZones(f);

    // The status line on a dark strip along the bottom edge.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 0.75f);
    rect(0, f.height - StatusHeight, f.width, f.height);
    glDisable(GL_BLEND);
    glColor3f(1, 1, 1);
    text(6, f.height - 6, f.status);
}

bool CityView::drawCached(const CityFrame& f) {
    // Pieces line up with pixels only at whole scales, and are drawn in the
    // window's corner before the frame is.
    if (!cacheTexture_ || !mesh_ || !tiles_ || f.scale != std::floor(f.scale) || f.width < Piece ||
        f.height < Piece)
        return false;
    const int pieces = int(MapWidth * f.scale) / Piece;
    const int ox = int(f.originX), oy = int(f.originY);
    const int c0 = std::max(0, floorDiv(-ox, Piece)), c1 = std::min(pieces - 1, floorDiv(f.width - 1 - ox, Piece));
    const int r0 = std::max(0, floorDiv(-oy, Piece)), r1 = std::min(pieces - 1, floorDiv(f.height - 1 - oy, Piece));
    const int wanted = std::max(0, c1 - c0 + 1) * std::max(0, r1 - r0 + 1);

    if (!cacheReady_) {
        glBindTexture(GL_TEXTURE_2D, cacheTexture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, CacheWidth, CacheHeight, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
        if (glGetError() != GL_NO_ERROR) {
            cacheTexture_ = 0;
            return false;
        }
        slots_.assign(size_t(CacheWidth / Piece) * (CacheHeight / Piece), Slot{});
        cacheReady_ = true;
    }
    if (wanted > int(slots_.size())) return false;
    if (cacheScale_ != f.scale || cacheMesh_ != mesh_->generation()) {
        for (Slot& slot : slots_) slot = Slot{};
        cacheScale_ = f.scale;
        cacheMesh_ = mesh_->generation();
    }
    ++frame_;
    std::vector<bool> have(size_t(wanted), false);
    for (Slot& slot : slots_) {
        if (slot.column < c0 || slot.column > c1 || slot.row < r0 || slot.row > r1) continue;
        have[size_t((slot.row - r0) * (c1 - c0 + 1) + (slot.column - c0))] = true;
        slot.used = frame_;
    }
    for (int i = 0; i < wanted; ++i) {
        if (have[size_t(i)]) continue;
        // The least recently shown slot gets the piece.
        Slot* slot = &*std::min_element(slots_.begin(), slots_.end(),
                                        [](const Slot& a, const Slot& b) { return a.used < b.used; });
        slot->column = c0 + i % (c1 - c0 + 1);
        slot->row = r0 + i / (c1 - c0 + 1);
        slot->used = frame_;

        // Map pixels of the piece, its top row at the window's bottom row,
        // which is the row the copy puts first.
        const int left = slot->column * Piece, top = slot->row * Piece;
        glViewport(0, 0, Piece, Piece);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(left, left + Piece, top, top + Piece, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glColor3f(0, 0, 0);
        rect(left, top, left + Piece, top + Piece);
        drawMesh(0, 0, f.scale, left, top, left + Piece, top + Piece);
        const size_t index = size_t(slot - slots_.data());
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, cacheTexture_);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, GLint(index % (CacheWidth / Piece) * Piece),
                            GLint(index / (CacheWidth / Piece) * Piece), 0, 0, Piece, Piece);
        glDisable(GL_TEXTURE_2D);
    }
    return true;
}

void CityView::drawMesh(double originX, double originY, double scale, int left, int top, int right, int bottom) {
    if (!mesh_ || !tiles_ || mesh_->vertices().empty()) return;
    // The squares in the region, and the chunks that hold them.
    const auto chunks = [scale](double from, double to, double origin, int limit) {
        const int a = std::clamp(int(std::floor((from - origin) / scale)), 0, limit - 1);
        const int b = std::clamp(int(std::ceil((to - origin) / scale)), 1, limit);
        return std::pair<int, int>{a / CityMesh::ChunkSquares, (b - 1) / CityMesh::ChunkSquares};
    };
    const auto [cx0, cx1] = chunks(left, right, originX, MapWidth);
    const auto [cy0, cy1] = chunks(top, bottom, originY, MapHeight);

    glPushMatrix();
    glTranslated(originX, originY, 0);
    glScaled(scale, scale, 1);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, tiles_);
    // Colour: the tile darkened by the vertex shade. Alpha: the tile's own
    // plus the vertex's, so opaque faces (vertex alpha 1) replace what is
    // below and blended ones (0) mix by the tile's alpha.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_PRIMARY_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_ADD);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, GL_PRIMARY_COLOR);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const MeshVertex* v = mesh_->vertices().data();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, sizeof(MeshVertex), &v->x);
    glTexCoordPointer(2, GL_FLOAT, sizeof(MeshVertex), &v->s);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(MeshVertex), v->rgba);
    for (int cy = cy0; cy <= cy1; ++cy) {
        const size_t first = mesh_->chunkStart(cx0, cy), end = mesh_->chunkEnd(cx1, cy);
        if (end > first) glDrawArrays(GL_TRIANGLES, GLint(first), GLsizei(end - first));
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

void CityView::drawZones(const CityFrame& f) {
    // A level may hold 65,536 zones, all over the whole map. A frame takes
    // the visible ones smallest first (the list's order) until they would
    // fill sixteen windows' worth of pixels or number 4,096, and names at
    // most 512 of them, each cut to its rectangle: a frame stays a fraction
    // of a second whatever the level holds, and small zones, drawn last,
    // stay on top.
    struct Shown {
        const ZoneRecord* zone;
        double x0, y0, x1, y1;  // zone y runs upwards from the map's last row
    };
    std::vector<Shown> shown;
    double budget = 16.0 * f.width * f.height;
    for (const ZoneRecord& z : *f.zones) {
        const Shown s{&z, f.originX + z.x1 * f.scale, f.originY + (MapHeight - z.y2) * f.scale,
                      f.originX + z.x2 * f.scale, f.originY + (MapHeight - z.y1) * f.scale};
        if (s.x1 < 0 || s.y1 < 0 || s.x0 > f.width || s.y0 > f.height) continue;
        const double area = (std::min<double>(s.x1, f.width) - std::max(s.x0, 0.0) + 1) *
                            (std::min<double>(s.y1, f.height) - std::max(s.y0, 0.0) + 1);
        if (area > budget || shown.size() == 4096) break;
        budget -= area;
        shown.push_back(s);
    }
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        const double x0 = std::round(it->x0), x1 = std::round(it->x1);
        const double y0 = std::round(it->y0), y1 = std::round(it->y1);
        const int c = zoneColour(it->zone->type);
        glColor4ub(GLubyte(c >> 16), GLubyte(c >> 8), GLubyte(c), 24);
        rect(x0, y0, x1, y1);
        // A two-pixel outline inside the rectangle (one pixel when it is tiny).
        const double w = (x1 - x0 >= 6 && y1 - y0 >= 6) ? 2 : 1;
        glColor4ub(GLubyte(c >> 16), GLubyte(c >> 8), GLubyte(c), 255);
        rect(x0, y0, x1, y0 + w);
        rect(x0, y1 - w, x1, y1);
        rect(x0, y0 + w, x0 + w, y1 - w);
        rect(x1 - w, y0 + w, x1, y1 - w);
    }
    glDisable(GL_BLEND);
    // Names where there is room for them, kept inside the window.
    int named = 0;
    for (auto it = shown.rbegin(); it != shown.rend() && named < 512; ++it) {
        const ZoneRecord& z = *it->zone;
        if (z.name.empty() || it->x1 - it->x0 < 24 || it->y1 - it->y0 < 16) continue;
        const int tx = int(std::max(it->x0, 0.0)) + 4, ty = int(std::max(it->y0, 0.0)) + 14;
        if (tx >= f.width || ty >= f.height) continue;
        // No glyph is narrower than 2 pixels: what would lie past the
        // rectangle or the window is not sent.
        const double room = std::min<double>(it->x1, f.width) - tx;
        const std::string name = z.name.substr(0, size_t(std::max(room, 0.0) / 2) + 1);
        const int c = zoneColour(z.type);
        glColor3ub(0, 0, 0);
        text(tx + 1, ty + 1, name);
        glColor3ub(GLubyte(c >> 16), GLubyte(c >> 8), GLubyte(c));
        text(tx, ty, name);
        ++named;
    }
}

std::vector<uint8_t> readTextureRgba(unsigned name, int width, int height) {
    if (!name) return {};
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    if (w != width || h != height) return {};
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    if (glGetError() != GL_NO_ERROR) return {};
    return rgba;
}

void finishDrawing() { glFinish(); }

void uploadMinimapPicture(unsigned name, const std::vector<uint8_t>& rgba) {
    if (!name || rgba.size() < MinimapBytes) return;
    glBindTexture(GL_TEXTURE_2D, name);
    uploadTexture(GL_TEXTURE_2D, GL_RGBA, MinimapSize, MinimapSize, rgba.data(), FilterDefault);
}

}  // namespace vant::gfx
