// Linked only where libgd comes from a static archive and the link wraps
// jpeg_write_scanlines (-Wl,--wrap=jpeg_write_scanlines): every row libgd
// hands to libjpeg is then reported, so the rows it reads can be drawn just
// before it reads them (see encodeJpegRows).
#include <cstdio>

#include <jpeglib.h>

#include "image/jpeg_rows.h"

extern "C" JDIMENSION __real_jpeg_write_scanlines(j_compress_ptr cinfo, JSAMPARRAY rows, JDIMENSION count);

extern "C" JDIMENSION __wrap_jpeg_write_scanlines(j_compress_ptr cinfo, JSAMPARRAY rows, JDIMENSION count) {
    const JDIMENSION written = __real_jpeg_write_scanlines(cinfo, rows, count);
    vant::jpegRowsWritten(written);
    return written;
}

namespace vant {
bool encoderReportsRows() { return true; }
}  // namespace vant
