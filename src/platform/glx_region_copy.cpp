#include "platform/glx_region_copy.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

#include "base/os.h"
#include "platform/message_box.h"

namespace vant::platform {

namespace {
using CopySubBuffer = void (*)(Display*, GLXDrawable, int, int, int, int);

int displayLost(Display*) {
    std::fprintf(stderr, "%s: the connection to the display was lost\n", programName().c_str());
    os::endAtOnce(1);
}
}

void* findRegionCopy() {
    Display* display = glXGetCurrentContext() ? glXGetCurrentDisplay() : nullptr;
    if (!display) return nullptr;
    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    if (!extensions || !std::strstr(extensions, "GLX_MESA_copy_sub_buffer")) return nullptr;
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
}

void copyRegion(void* copy, int x, int y, int w, int h) {
    reinterpret_cast<CopySubBuffer>(copy)(glXGetCurrentDisplay(), glXGetCurrentDrawable(), x, y, w, h);
}

void endWhenDisplayLost() { XSetIOErrorHandler(displayLost); }

}  // namespace vant::platform
