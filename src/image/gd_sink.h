// Between the image writers and libgd: an output context over a ByteSink,
// and the picture as a libgd true-colour image.
#pragma once

#include <gd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/byte_sink.h"
#include "image/image_writer.h"

namespace vant {

// libgd's output context over a ByteSink, gathering libgd's small pieces into
// large writes. It remembers the last two bytes, so a stream that stopped
// short of its end-of-image marker shows.
struct SinkContext {
    gdIOCtx ctx;  // first: libgd hands back a pointer to it
    ByteSink* sink = nullptr;
    uint8_t tail[2] = {0, 0};
    size_t written = 0;
    size_t used = 0;
    uint8_t buffer[size_t(64) << 10];

    static SinkContext* of(gdIOCtxPtr c) { return reinterpret_cast<SinkContext*>(c); }
    void flush() {
        // A failed write is the sink's to report; the encoder runs to its end.
        if (used) sink->write(buffer, used);
        used = 0;
    }
    static int putBuf(gdIOCtxPtr c, const void* data, int size) {
        SinkContext* self = of(c);
        if (size <= 0) return 0;
        const auto* bytes = static_cast<const uint8_t*>(data);
        for (size_t left = size_t(size); left > 0;) {
            if (self->used == sizeof self->buffer) self->flush();
            const size_t n = std::min(left, sizeof self->buffer - self->used);
            std::memcpy(self->buffer + self->used, bytes, n);
            self->used += n;
            bytes += n;
            left -= n;
        }
        self->written += size_t(size);
        self->tail[0] = self->written >= 2 ? (size >= 2 ? bytes[-2] : self->tail[1]) : 0;
        self->tail[1] = bytes[-1];
        return size;
    }
    static void putC(gdIOCtxPtr c, int value) {
        const uint8_t b = uint8_t(value);
        putBuf(c, &b, 1);
    }
    static void release(gdIOCtxPtr) {}  // the context is ours to free
};

std::unique_ptr<SinkContext> sinkContext(ByteSink& out);
// The picture as a libgd true-colour image; null when it cannot be made.
gdImagePtr trueColorImage(RowSource& rows);
// "Cannot write file ..." through the run's message boxes.
void reportWriteFailure(Runtime& rt, const std::string& path, const std::string& reason);

}  // namespace vant
