// The headless job's own paths: the drawing handed to libgd as true-colour
// rows, the JPEG streamed through a sink, and a block store that is cleared
// by handing its pages back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <gd.h>

#include "base/runtime.h"
#include "formats/map.h"
#include "formats/style.h"
#include "image/byte_sink.h"
#include "image/image_writer.h"
#include "maplist/map_list.h"
#include "minimap/output.h"
#include "minimap/rasterizer.h"
#include "run_binary.h"
#include "test_support.h"

using namespace vant;
using namespace vant::test;

namespace {

class SampleCity : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempFolder;
        makeSampleCity(dir_->path().string());
    }
    static void TearDownTestSuite() { delete dir_; }
    static void load(Level& level) { loadSampleCity(dir_->path().string(), level, false); }
    static TempFolder* dir_;
};
TempFolder* SampleCity::dir_ = nullptr;

// Pulls a whole picture through nextTrueColor.
std::vector<int> trueColorPicture(RowSource& rows) {
    const int side = rows.width();
    std::vector<int> picture(size_t(side) * size_t(side), -1);
    std::vector<int*> pointers(size_t(rows.bandRows()));
    for (int y = 0; y < side; y += rows.bandRows()) {
        for (size_t r = 0; r < pointers.size(); ++r) pointers[r] = &picture[(size_t(y) + r) * size_t(side)];
        EXPECT_TRUE(rows.nextTrueColor(pointers.data()));
    }
    EXPECT_FALSE(rows.nextTrueColor(pointers.data()));
    return picture;
}

}  // namespace

TEST_F(SampleCity, TrueColorRowsMatchTheFilteredPlainPicture) {
    Level level;
    load(level);
    MinimapBuilder plain;
    plain.skipHidden = false;
    const std::vector<uint8_t> full = plain.build(level);
    MinimapBuilder quick;
    for (int side : {2048, 1024, 512, 256, 128, 16}) {
        SCOPED_TRACE(side);
        const std::vector<uint8_t> bgr = boxFilter(full.data(), 4, side);
        auto rows = scaledMinimapRows(quick, level, side);
        const std::vector<int> words = trueColorPicture(*rows);
        size_t mismatches = 0;
        for (size_t i = 0; i < words.size(); ++i) {
            const int expected = (int(bgr[3 * i + 2]) << 16) | (int(bgr[3 * i + 1]) << 8) | int(bgr[3 * i]);
            mismatches += words[i] != expected;
        }
        EXPECT_EQ(mismatches, 0u);
    }
}

TEST_F(SampleCity, StreamedJpegEqualsLibgdsOwnInMemoryEncoding) {
    Level level;
    load(level);
    MinimapBuilder builder;
    const std::vector<uint8_t> bgr = builder.buildScaled(level, 512);
    gdImagePtr im = gdImageCreateTrueColor(512, 512);
    ASSERT_NE(im, nullptr);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            const uint8_t* p = &bgr[(size_t(y) * 512 + size_t(x)) * 3];
            gdImageSetPixel(im, x, y, gdTrueColor(p[2], p[1], p[0]));
        }
    int size = 0;
    void* reference = gdImageJpegPtr(im, &size, 95);
    ASSERT_NE(reference, nullptr);
    const std::vector<uint8_t> expected(static_cast<uint8_t*>(reference), static_cast<uint8_t*>(reference) + size);
    gdFree(reference);
    gdImageDestroy(im);

    auto rows = scaledMinimapRows(builder, level, 512);
    VectorSink sink;
    ASSERT_TRUE(encodeJpegRows(*rows, 95, sink));
    EXPECT_TRUE(sink.bytes == expected);
}

TEST(BlockStore, ClearingAfterALoadLeavesOnlyZeros) {
    MapFile map;
    EXPECT_FALSE(map.allocated());
    EXPECT_EQ(std::as_const(map).data(), nullptr);  // nothing before the first use
    map.clear();
    ASSERT_TRUE(map.allocated());
    const BlockInfo marked{1, 2, 3, 4, 5, 6, 7};
    for (int z = 0; z < MapDepth; ++z) map.at(255, 255, z) = marked, map.at(0, 0, z) = marked;
    map.at(128, 77, 3) = marked;
    map.clear();
    const auto* bytes = reinterpret_cast<const uint8_t*>(std::as_const(map).data());
    size_t nonzero = 0;
    for (size_t i = 0; i < MapFile::BlockCount * sizeof(BlockInfo); ++i) nonzero += bytes[i] != 0;
    EXPECT_EQ(nonzero, 0u);
    map.release();
    EXPECT_FALSE(map.allocated());
    map.at(1, 2, 3).lid = 9;  // allocated again on use
    EXPECT_EQ(std::as_const(map).at(1, 2, 3).lid, 9);
}
