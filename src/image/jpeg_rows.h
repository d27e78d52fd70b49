// What the JPEG writer learns of libgd's calls to libjpeg.
#pragma once

namespace vant {

// Whether libgd's calls to jpeg_write_scanlines are reported to
// jpegRowsWritten: true only in a link that wraps them (see
// jpeg_rows_reported.cpp).
bool encoderReportsRows();
// Called with the number of rows libjpeg has just taken from libgd, on the
// thread that encodes.
void jpegRowsWritten(unsigned rows);

}  // namespace vant
