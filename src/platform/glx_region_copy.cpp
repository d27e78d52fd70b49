#include "platform/glx_region_copy.h"

#include <GL/glx.h>
#include <cstring>

namespace vant::platform {

namespace {
using CopySubBuffer = void (*)(Display*, GLXDrawable, int, int, int, int);
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

}  // namespace vant::platform
