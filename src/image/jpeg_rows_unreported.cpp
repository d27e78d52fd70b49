// Linked where libgd is a shared library (or not wrapped): its calls to
// libjpeg cannot be seen, so the picture is handed over whole.
#include "image/jpeg_rows.h"

namespace vant {
bool encoderReportsRows() { return false; }
}  // namespace vant
