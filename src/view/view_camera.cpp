#include "view/view_camera.h"

#include <algorithm>
#include <cmath>

#include "formats/level.h"

namespace vant::view {

void ViewCamera::resize(int width, int height, int reserved) {
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    reserved_ = std::clamp(reserved, 0, height_ - 1);
}

double ViewCamera::fitScale() const { return std::min(width_, height_ - reserved_) / double(MapWidth); }

void ViewCamera::home() {
    scale_ = std::min(fitScale(), MaxScale);
    centreX_ = MapWidth / 2.0;
    centreY_ = MapHeight / 2.0 + reserved_ / 2.0 / scale_;
}

void ViewCamera::lookAt(double x, double y, double scale) {
    scale_ = std::clamp(scale, std::min(1.0, fitScale()), MaxScale);
    centreX_ = x;
    centreY_ = y;
    clampCentre();
}

void ViewCamera::zoom(int steps, double px, double py) {
    if (steps == 0) return;
    // Level k is 2^(k/2); from between two levels the first step goes to
    // the next one in that direction.
    const double level = 2 * std::log2(scale_);
    const double k = steps > 0 ? std::floor(level + 1e-9) + steps : std::ceil(level - 1e-9) + steps;
    const double wanted = std::clamp(std::exp2(k / 2), std::min(1.0, fitScale()), MaxScale);
    const double mx = (px - width_ / 2.0) / scale_ + centreX_, my = (py - height_ / 2.0) / scale_ + centreY_;
    scale_ = wanted;
    centreX_ = mx - (px - width_ / 2.0) / scale_;
    centreY_ = my - (py - height_ / 2.0) / scale_;
    clampCentre();
}

void ViewCamera::pan(double dx, double dy) {
    centreX_ -= dx / scale_;
    centreY_ -= dy / scale_;
    clampCentre();
}

void ViewCamera::clampCentre() {
    // Some of the map always stays in view.
    centreX_ = std::clamp(centreX_, 0.0, double(MapWidth));
    centreY_ = std::clamp(centreY_, 0.0, double(MapHeight));
}

double ViewCamera::originX() const { return std::round(width_ / 2.0 - centreX_ * scale_); }
double ViewCamera::originY() const { return std::round(height_ / 2.0 - centreY_ * scale_); }

bool ViewCamera::squareAt(double px, double py, int& x, int& y) const {
    x = int(std::floor((px + 0.5 - originX()) / scale_));
    y = int(std::floor((py + 0.5 - originY()) / scale_));
    return x >= 0 && y >= 0 && x < MapWidth && y < MapHeight;
}

}  // namespace vant::view
