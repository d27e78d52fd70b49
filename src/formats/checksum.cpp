#include "formats/checksum.h"

#include <array>
#include <libdeflate.h>

namespace vant {

namespace {
constexpr std::array<uint32_t, 256> makeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kTable = makeTable();
}  // namespace

uint32_t crc32TableUpdate(uint32_t value, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) value = (value >> 8) ^ kTable[(value ^ p[i]) & 0xFF];
    return value;
}

void LevelChecksum::update(const void* data, size_t size) {
    // libdeflate's CRC-32 inverts on entry and exit; undo both so the running
    // value stays the plain, uninverted register. It folds with carry-less
    // multiplication, several times faster than the table.
    value_ = ~libdeflate_crc32(~value_, data, size);
}

}  // namespace vant
