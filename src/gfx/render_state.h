// The fixed OpenGL state the windowed program starts from.
#pragma once

namespace vant::gfx {

// Texturing on, clear colour black, colour and depth buffers cleared once.
void clearScreenOnce();

// Lights, fog, hints, blending and the rest of the start-up state.
void setRenderingState();

// Flat 2D drawing over the scene: pushes every attribute and both matrices
// and switches depth test, lighting, fog, alpha test and culling off; all of
// it is put back when the scope ends. The texture LOD bias is kept by hand:
// popping the texture state does not keep it on every driver.
class OverlayScope {
public:
    OverlayScope();
    ~OverlayScope();
    OverlayScope(const OverlayScope&) = delete;
    OverlayScope& operator=(const OverlayScope&) = delete;

private:
    float lodBias_ = 0;
};

}  // namespace vant::gfx
