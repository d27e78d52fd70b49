// The fixed OpenGL state the windowed program starts from.
#pragma once

namespace vant::gfx {

// Texturing on, clear colour black, colour and depth buffers cleared once.
void clearScreenOnce();

// Lights, fog, hints, blending and the rest of the start-up state.
void setRenderingState();

}  // namespace vant::gfx
