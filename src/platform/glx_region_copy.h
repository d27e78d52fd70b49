// What the window needs of X11 and GLX directly, kept apart from the SDL
// code: the X11 headers define names such as None and Window.
#pragma once

namespace vant::platform {

// The copy of the current GLX context (GLX_MESA_copy_sub_buffer, which
// leaves the back buffer as it is), or null when it has none.
void* findRegionCopy();
// Copies the rectangle (origin bottom left) with what findRegionCopy gave.
void copyRegion(void* copy, int x, int y, int w, int h);

// Should the display go away (its server ended, the connection broke), the
// program ends at once with status 1 and a line on standard error. The
// library's own handler would exit, and the window's destructor would then
// wait for ever on the dead connection. So does a request the display
// refuses where nobody expected one (the window destroyed by another
// program): one line instead of the library's dump, then the same end.
void endWhenDisplayLost();

}  // namespace vant::platform
