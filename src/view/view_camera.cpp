#include "view/view_camera.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "formats/level.h"

namespace vant::view {

void ViewCamera::resize(int width, int height, int reserved) {
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    reserved_ = std::clamp(reserved, 0, height_ - 1);
}

double ViewCamera::fitScale() const { return std::min(width_, height_ - reserved_) / double(MapWidth); }

namespace {

// 2^(k/2) up to 8; whole numbers near it beyond, so that squares in the
// close view fall on whole pixels.
constexpr double kSteps[] = {1, 1.4142135623730951, 2, 2.8284271247461903, 4, 5.656854249492381, 8,
                             11, 16, 23, 32, 45, 64};

// A scale the close view can take: whole pixels per square above 8.
double settle(double scale) {
    scale = std::clamp(scale, 0.0, ViewCamera::MaxScale);
    return scale > ViewCamera::CloseFrom ? std::floor(scale) : scale;
}

}  // namespace

void ViewCamera::home() {
    scale_ = settle(fitScale());
    centreX_ = MapWidth / 2.0;
    centreY_ = MapHeight / 2.0 + reserved_ / 2.0 / scale_;
}

void ViewCamera::lookAt(double x, double y, double scale) {
    scale_ = settle(std::max(scale, std::min(1.0, fitScale())));
    centreX_ = x;
    centreY_ = y;
    clampCentre();
}

void ViewCamera::zoom(int steps, double px, double py) {
    double wanted = scale_;
    // From between two steps the first one goes to the next step that way.
    for (; steps > 0; --steps) {
        const double* next = std::upper_bound(std::begin(kSteps), std::end(kSteps), wanted + 1e-9);
        wanted = next == std::end(kSteps) ? MaxScale : *next;
    }
    // Out below the first step only as far as the whole city: in a small
    // window that is under one pixel a square.
    const double least = std::min(1.0, fitScale());
    for (; steps < 0; ++steps) {
        const double* next = std::lower_bound(std::begin(kSteps), std::end(kSteps), wanted - 1e-9);
        wanted = next == std::begin(kSteps) ? least : *(next - 1);
    }
    wanted = settle(std::max(wanted, least));
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
