// Where the view looks and how close: the map point at the window's centre
// and the pixels per square, with the zoom steps, panning and the mapping
// between window pixels and squares.
#pragma once

#include <utility>

namespace vant::view {

class ViewCamera {
public:
    static constexpr double MaxScale = 64;  // one tile pixel per screen pixel
    static constexpr double CloseFrom = 8;  // above this the squares are drawn from their tiles

    // The window's size, and the strip along its bottom edge that the map
    // is not fitted into (the status line).
    void resize(int width, int height, int reserved);

    // Pixels per square that show the whole map above the reserved strip.
    double fitScale() const;
    // The whole map, centred above the reserved strip.
    void home();
    // Centred on the map point (x, y), in squares, at that scale.
    void lookAt(double x, double y, double scale);

    // Zoom steps go by about the square root of two, from 1 pixel per
    // square (or less when that is what fits) to 64; above 8 (the close
    // view) they are whole pixels per square. steps > 0 zooms in. The map
    // point under the window pixel (px, py) stays where it is.
    void zoom(int steps, double px, double py);
    void zoomAtCentre(int steps) { zoom(steps, width_ / 2.0, height_ / 2.0); }
    // Moves the picture by (dx, dy) window pixels.
    void pan(double dx, double dy);

    double scale() const { return scale_; }
    // Window position of the map's top-left corner, in whole pixels, so that
    // at whole scales squares and texels fall on pixels.
    double originX() const;
    double originY() const;
    // The square under a window pixel; false outside the map.
    bool squareAt(double px, double py, int& x, int& y) const;
    int width() const { return width_; }
    int height() const { return height_; }

private:
    void clampCentre();
    int width_ = 1024, height_ = 768, reserved_ = 0;
    double centreX_ = 128, centreY_ = 128;  // squares; y down the rows
    double scale_ = 8;
};

}  // namespace vant::view
