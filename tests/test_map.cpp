// The map loader: which block map is read, the order of its records, the
// checksum, files without a usable block map; clearing the store.

#include "test_support.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace vant;
using namespace vant::test;

namespace {

// A 12-byte record with distinct face words.
ByteVec record(uint16_t seed) {
    ByteVec r;
    for (int i = 0; i < 5; ++i) put16(r, uint16_t(seed + i));
    r.push_back(uint8_t(seed * 3));
    r.push_back(uint8_t(seed >> 4));
    return r;
}

ByteVec bytesOf(const BlockInfo& b) {
    const auto* p = reinterpret_cast<const uint8_t*>(&b);
    return ByteVec(p, p + sizeof b);
}

class MapLoad : public ::testing::Test, public LevelFiles {};

TEST_F(MapLoad, UmapWinsOverDmapAndHoldsTheBlocksInFileOrder) {
    MapWriter filled;  // a DMAP that would fill layer 0 if it were read
    for (int i = 0; i < 65536; ++i) filled.at(i % 256, i / 256, 0).lid = 7;

    // Record ((z * 256) + y) * 256 + x is block (x, y, z); this chunk stops
    // after block (5, 3, 2).
    ByteVec umap((size_t(2 * 256 + 3) * 256 + 5 + 1) * 12, 0);
    const ByteVec first = record(0x111), second = record(0x333), last = record(0x222);
    std::copy(first.begin(), first.end(), umap.begin());
    std::copy(second.begin(), second.end(), umap.begin() + 12);
    std::copy(last.begin(), last.end(), umap.end() - 12);
    level.checksum.feed("abc", 3);  // what the style fed before
    ASSERT_TRUE(loadHeadless("m.gmp", rawChunkFile("GBMP", {{"DMAP", filled.dmapChunk()}, {"UMAP", umap}})));
    EXPECT_EQ(bytesOf(level.map.at(0, 0, 0)), first);
    EXPECT_EQ(bytesOf(level.map.at(1, 0, 0)), second);
    EXPECT_EQ(bytesOf(level.map.at(5, 3, 2)), last);
    for (const auto& [x, y, z] : std::vector<std::array<int, 3>>{{2, 0, 0}, {0, 1, 0}, {6, 3, 2}, {5, 3, 3}})
        EXPECT_EQ(bytesOf(level.map.at(x, y, z)), ByteVec(12, 0)) << x << "," << y << "," << z;
    EXPECT_EQ(level.checksum.value(), crcBitwise(crcBitwise(ByteVec{'a', 'b', 'c'}), umap.data(), umap.size()));
}

TEST_F(MapLoad, NoBlockMapOrABadFile) {
    level.checksum.feed("x", 1);
    const uint32_t before = level.checksum.value();
    ASSERT_TRUE(loadHeadless("m.gmp", rawChunkFile("GBMP", {{"CMAP", record(0x55)}, {"ZONE", {1, 1, 1}}})));
    for (int z = 0; z < MapDepth; ++z) EXPECT_EQ(bytesOf(level.map.at(0, 0, z)), ByteVec(12, 0));
    EXPECT_EQ(level.checksum.value(), before);

    EXPECT_FALSE(loadMap(rt, level, maps, -1, dir.file("missing.gmp")));
    EXPECT_FALSE(loadHeadless("m.gmp", rawChunkFile("GBMX", {{"UMAP", record(1)}})));

    // Windowed, an index outside the map list is refused.
    rt.headless = false;
    EXPECT_FALSE(loadMap(rt, level, maps, 7, dir.file("m.gmp")));
    EXPECT_EQ(boxes, std::vector<std::string>{"ERROR|Cannot load map"});
}

TEST(MapFile, ClearingAfterALoadLeavesOnlyZerosAndReleaseHandsThePagesBack) {
    MapFile map;
    EXPECT_FALSE(map.allocated());
    EXPECT_EQ(std::as_const(map).data(), nullptr);  // nothing before the first use
    map.clear();
    const BlockInfo marked{1, 2, 3, 4, 5, 6, 7};
    for (int z = 0; z < MapDepth; ++z) map.at(255, 255, z) = marked, map.at(0, 0, z) = marked;
    map.at(128, 77, 3) = marked;
    map.clear();
    const auto* bytes = reinterpret_cast<const uint8_t*>(std::as_const(map).data());
    EXPECT_EQ(std::count(bytes, bytes + MapFile::BlockCount * sizeof(BlockInfo), 0),
              long(MapFile::BlockCount * sizeof(BlockInfo)));
    map.release();
    EXPECT_FALSE(map.allocated());
    map.at(1, 2, 3).lid = 9;  // allocated again on use
    EXPECT_EQ(std::as_const(map).at(1, 2, 3).lid, 9);
}

}  // namespace
