// Copying a rectangle of the back buffer to the window under GLX, kept apart
// from the SDL code: the X11 headers define names such as None and Window.
#pragma once

namespace vant::platform {

// The copy of the current GLX context (GLX_MESA_copy_sub_buffer, which
// leaves the back buffer as it is), or null when it has none.
void* findRegionCopy();
// Copies the rectangle (origin bottom left) with what findRegionCopy gave.
void copyRegion(void* copy, int x, int y, int w, int h);

}  // namespace vant::platform
