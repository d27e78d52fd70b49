// The chunk directory of level files, and the running level checksum.
#include <gtest/gtest.h>

#include "test_support.h"

#include <filesystem>

#include "app/runtime.h"
#include "formats/checksum.h"
#include "formats/chunk_file.h"
#include "formats/level_writer.h"

using namespace vant;
using namespace vant::test;
using S = ChunkFileStatus;

namespace {

// The directory as "TYPE@offset+size " in type order.
std::string listing(const ChunkDirectory& d) {
    std::string s;
    for (const auto& [type, e] : d.chunks)
        s += type + "@" + std::to_string(e.offset) + "+" + std::to_string(e.size) + " ";
    return s;
}

// A windowed runtime whose message boxes are recorded as "type|caption|text".
class ChunkDirectoryTest : public ::testing::Test {
protected:
    ChunkDirectoryTest() {
        rt.responder = [this](int type, const std::string& caption, const std::string& text) {
            boxes.push_back(std::to_string(type) + "|" + caption + "|" + text);
            return 0;
        };
    }
    ChunkDirectory read(const std::string& name, const ByteVec& bytes) {
        EXPECT_TRUE(saveBytes(dir.file(name), bytes));
        return readChunkDirectory(rt, dir.file(name));
    }
    ChunkDirectory read(const std::string& name, const std::string& bytes) {
        return read(name, ByteVec(bytes.begin(), bytes.end()));
    }

    TempDir dir;
    Runtime rt;
    std::vector<std::string> boxes;
};

TEST_F(ChunkDirectoryTest, MagicMustMatchTheExtension) {
    const struct {
        const char* name;
        std::string bytes;
        S status;
        uint16_t version;
    } cases[] = {
        {"a.sty", std::string("GBST\x02\x01", 6), S::Ok, 0x0102},
        {"a.sty", "GBST\x07", S::Ok, 0},  // ends inside the version
        {"a.sty", "GBST", S::Ok, 0},
        {"m.gmp", "GBMP\xF4\x01", S::Ok, 500},
        {"up.STY", std::string("GBST\1\0", 6), S::Ok, 1},  // extension looked up in lower case
        {"up.STY", "GBMP\1", S::BadHeader, 0},
        {"up.sty", "gbst\1", S::BadHeader, 0},  // the magic's case matters
        {"level.dat", "GBST\1", S::BadHeader, 0},
        {"level", "GBMP\1", S::BadHeader, 0},
        {"tiny.gmp", "GB", S::BadHeader, 0},
        {"zero.gmp", std::string("GB\0\0\1\0", 6), S::BadHeader, 0},  // the magic stops at a zero
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const ChunkDirectory d = read(cases[i].name, cases[i].bytes);
        EXPECT_EQ(d.status, cases[i].status);
        EXPECT_EQ(d.fileName, dir.file(cases[i].name));
        EXPECT_EQ(d.magic, d.status == S::Ok ? cases[i].bytes.substr(0, 4) : "");
        EXPECT_EQ(d.version, cases[i].version);
        EXPECT_TRUE(d.chunks.empty());
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ChunkDirectoryTest, ErrorsNameTheUpperCaseExtension) {
    const std::string missing = dir.file("nothing.gmp"), bad = dir.file("level.STY");
    EXPECT_EQ(readChunkDirectory(rt, missing).status, S::NotFound);
    reportChunkFileStatus(rt, S::NotFound, missing);
    reportChunkFileStatus(rt, S::BadHeader, bad);
    reportChunkFileStatus(rt, S::NotFound, "C:\\lv.sty/map");  // extension after the last backslash
    reportChunkFileStatus(rt, S::Ok, missing);
    rt.headless = true;
    reportChunkFileStatus(rt, S::BadHeader, bad);
    EXPECT_EQ(boxes, (std::vector<std::string>{"0|ERROR|GMP file was not found: \"" + missing + "\"",
                                               "0|ERROR|Incorrect header on STY file: \"" + bad + "\"",
                                               "0|ERROR|STY/MAP file was not found: \"C:\\lv.sty/map\""}));
}

TEST_F(ChunkDirectoryTest, ChunksAreListedWithOffsetAndStoredSize) {
    // A folder name holding a backslash; a short type; a size-0 chunk.
    std::filesystem::create_directories(dir.path / "sub\\x");
    ChunkDirectory d = read("sub\\x/c.gmp", rawChunkFile("GBMP", {{"ZERO", {}}, {"NEXT", {1, 2, 3}}, {"AB", {}}}));
    EXPECT_EQ(d.status, S::Ok);
    EXPECT_EQ(listing(d), "AB@33+0 NEXT@22+3 ZERO@14+0 ");
    EXPECT_EQ(d.find("NEXT").offset, 22u);
    EXPECT_TRUE(d.has("ZERO"));
    EXPECT_FALSE(d.has("next"));
    EXPECT_EQ(d.find("DMAP").offset, 0u);
    EXPECT_EQ(d.find("DMAP").size, 0u);

    // A size past the end of the file is kept as stored; what looks like a
    // header inside the missing data is never read.
    d = read("c.gmp", rawChunkFile("GBMP", {{"AAAA", {1, 2}}, {"BBBB", {'C', 'C', 'C', 'C', 0, 0, 0, 0}, 1000}}));
    EXPECT_EQ(listing(d), "AAAA@14+2 BBBB@24+1000 ");

    // A type without its whole size field, or a partial type, ends the scan.
    for (const std::string& tail : {std::string("BBBB\0\0", 6), std::string("BB")}) {
        ByteVec bytes = rawChunkFile("GBMP", {{"AAAA", {1}}});
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        d = read("c.gmp", bytes);
        EXPECT_EQ(d.status, S::Ok);
        EXPECT_EQ(listing(d), "AAAA@14+1 ");
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ChunkDirectoryTest, RepeatedChunkWarnsOnceAndTheFirstCounts) {
    const ByteVec bytes = rawChunkFile("GBST", {{"PALX", {1, 2}}, {"PALX", {1, 2, 3, 4}}, {"TILE", {9}}});
    for (bool headless : {false, true}) {  // the headless scan is the same, silently
        rt.headless = headless;
        const ChunkDirectory d = read("dup.sty", bytes);
        EXPECT_EQ(d.status, S::Ok);
        EXPECT_EQ(listing(d), "PALX@14+2 TILE@36+1 ");
    }
    EXPECT_EQ(boxes, std::vector<std::string>{"0|WARNING|File contains same chunk more than once (PALX)"});
}

TEST(LevelChecksum, RunningCrcWithoutInversion) {
    EXPECT_EQ(crcBitwise(ByteVec{'a', 'b', 'c'}), 0xCA6598D0u);
    LevelChecksum zeros;
    zeros.feed(ByteVec(4, 0).data(), 4);  // no inversion at the start: zeros stay zero
    EXPECT_EQ(zeros.value(), 0u);

    // In one go, in odd pieces or byte by byte: always the bitwise register.
    ByteVec text(5000);
    for (size_t i = 0; i < text.size(); ++i) text[i] = uint8_t(i * 37 + 11);
    LevelChecksum whole, pieces, bytes;
    whole.feed(text.data(), text.size());
    const size_t cuts[] = {0, 1, 1, 4004, 5000};
    for (size_t i = 0; i + 1 < std::size(cuts); ++i) pieces.feed(text.data() + cuts[i], cuts[i + 1] - cuts[i]);
    for (uint8_t b : text) bytes.feedByte(b);
    EXPECT_EQ(whole.value(), crcBitwise(text));
    EXPECT_EQ(pieces.value(), crcBitwise(text));
    EXPECT_EQ(bytes.value(), crcBitwise(text));
    EXPECT_EQ(crc32TableUpdate(0, text.data(), text.size()), crcBitwise(text));
    whole.reset();
    EXPECT_EQ(whole.value(), 0u);
}

}  // namespace
