// Level-file bytes built by hand, for the tests and the fuzz seeds:
// little-endian numbers, and chunk files whose size fields may lie.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace vant::test {

using ByteVec = std::vector<uint8_t>;

inline void put16(ByteVec& v, uint16_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}

inline void put32(ByteVec& v, uint32_t x) {
    put16(v, uint16_t(x));
    put16(v, uint16_t(x >> 16));
}

inline ByteVec u16s(std::initializer_list<uint16_t> values) {
    ByteVec v;
    for (uint16_t x : values) put16(v, x);
    return v;
}

inline ByteVec u32s(std::initializer_list<uint32_t> values) {
    ByteVec v;
    for (uint32_t x : values) put32(v, x);
    return v;
}

// A TGA file: the 18-byte header (no id, no colour map), then the data.
inline ByteVec tgaFile(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor,
                       const ByteVec& data = {}) {
    ByteVec v{0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put16(v, width);
    put16(v, height);
    v.insert(v.end(), {depth, descriptor});
    v.insert(v.end(), data.begin(), data.end());
    return v;
}

// A chunk whose size field says `claimed`, or its real size when negative.
struct RawChunk {
    std::string type;
    ByteVec data;
    int64_t claimed = -1;
};

// A chunk file written by hand: magic, version, then the chunks as given,
// size fields that lie included.
inline ByteVec rawChunkFile(const std::string& magic, const std::vector<RawChunk>& chunks, uint16_t version = 1) {
    ByteVec v(magic.begin(), magic.end());
    put16(v, version);
    for (const RawChunk& c : chunks) {
        for (size_t i = 0; i < 4; ++i) v.push_back(i < c.type.size() ? uint8_t(c.type[i]) : 0);
        put32(v, c.claimed < 0 ? uint32_t(c.data.size()) : uint32_t(c.claimed));
        v.insert(v.end(), c.data.begin(), c.data.end());
    }
    return v;
}

}  // namespace vant::test
