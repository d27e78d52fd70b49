// The LevelChecksum: a running CRC-32 (reflected polynomial 0xEDB88320)
// started at 0 and never inverted, fed with the decoded level data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vant {

class LevelChecksum {
public:
    void reset() { value_ = 0; }
    uint32_t value() const { return value_; }
    void feed(const void* data, size_t size) {
        if (enabled_) update(data, size);
    }

    // Only a windowed load reads the checksum (it names the thumbnail). A run
    // that never does switches it off: feeding then does nothing, the value
    // stays where it was, and the loaders skip gathering bytes for it.
    void setEnabled(bool on) { enabled_ = on; }
    bool enabled() const { return enabled_; }

private:
    void update(const void* data, size_t size);
    uint32_t value_ = 0;
    bool enabled_ = true;
};

// The classic one-table, byte-at-a-time update; kept as the reference the
// fast path is tested against.
uint32_t crc32TableUpdate(uint32_t value, const void* data, size_t size);

}  // namespace vant
