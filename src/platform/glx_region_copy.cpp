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

// Only errors nobody else handles come here (the toolkit and the driver set
// their own handlers around requests that may fail); the library's default
// would print a dump and exit.
int requestRefused(Display* display, XErrorEvent* error) {
    char text[160] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "%s: the display refused a request (%s); was the window closed by another program?\n",
                 programName().c_str(), text);
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

void endWhenDisplayLost() {
    XSetIOErrorHandler(displayLost);
    XSetErrorHandler(requestRefused);
}

}  // namespace vant::platform
