// The chunk directory of level files, and the running level checksum.
#include <gtest/gtest.h>

#include "test_support.h"

#include <filesystem>
#include <tuple>

#include "app/runtime.h"
#include "formats/checksum.h"
#include "formats/chunk_file.h"
#include "formats/level_writer.h"

using namespace vant;
using namespace vant::test;
using S = ChunkFileStatus;

namespace {

// "status magic version: TYPE@offset+size ..." with the types in order.
std::string describe(const ChunkDirectory& d) {
    const char* status[] = {"ok", "not found", "bad header"};
    std::string s = status[int(d.status)] + (" " + d.magic) + " " + std::to_string(d.version) + ":";
    for (const auto& [type, e] : d.chunks)
        s += " " + type + "@" + std::to_string(e.offset) + "+" + std::to_string(e.size);
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
    template <typename Bytes>
    ChunkDirectory read(const std::string& name, const Bytes& bytes) {
        EXPECT_TRUE(saveBytes(dir.file(name), ByteVec(bytes.begin(), bytes.end())));
        return readChunkDirectory(rt, dir.file(name));
    }

    TempDir dir;
    Runtime rt;
    std::vector<std::string> boxes;
};

TEST_F(ChunkDirectoryTest, MagicMustMatchTheExtension) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"a.sty", std::string("GBST\x02\x01", 6), "ok GBST 258:"},
        {"a.sty", "GBST\x07", "ok GBST 0:"},  // ends inside the version
        {"a.sty", "GBST", "ok GBST 0:"},
        {"m.gmp", "GBMP\xF4\x01", "ok GBMP 500:"},
        {"up.STY", std::string("GBST\1\0", 6), "ok GBST 1:"},  // extension looked up in lower case
        {"up.STY", "GBMP\1", "bad header  0:"},
        {"up.sty", "gbst\1", "bad header  0:"},  // the magic's case matters
        {"level.dat", "GBST\1", "bad header  0:"},
        {"level", "GBMP\1", "bad header  0:"},
        {"tiny.gmp", "GB", "bad header  0:"},
        {"zero.gmp", std::string("GB\0\0\1\0", 6), "bad header  0:"},  // the magic stops at a zero
    };
    for (const auto& [name, bytes, expected] : cases) {
        const ChunkDirectory d = read(name, bytes);
        EXPECT_EQ(describe(d), expected) << name << " " << bytes.size();
        EXPECT_EQ(d.fileName, dir.file(name));
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ChunkDirectoryTest, ErrorsNameTheUpperCaseExtension) {
    const std::string missing = dir.file("nothing.gmp"), bad = dir.file("level.STY");
    EXPECT_EQ(describe(readChunkDirectory(rt, missing)), "not found  0:");
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
    EXPECT_EQ(describe(d), "ok GBMP 1: AB@33+0 NEXT@22+3 ZERO@14+0");
    EXPECT_TRUE(d.has("ZERO"));
    EXPECT_FALSE(d.has("next"));
    EXPECT_EQ(d.find("DMAP").offset, 0u);
    EXPECT_EQ(d.find("DMAP").size, 0u);

    // A size past the end of the file is kept as stored; what looks like a
    // header inside the missing data is never read.
    d = read("c.gmp", rawChunkFile("GBMP", {{"AAAA", {1, 2}}, {"BBBB", {'C', 'C', 'C', 'C', 0, 0, 0, 0}, 1000}}));
    EXPECT_EQ(describe(d), "ok GBMP 1: AAAA@14+2 BBBB@24+1000");

    // A type without its whole size field, or a partial type, ends the scan.
    for (const std::string& tail : {std::string("BBBB\0\0", 6), std::string("BB")}) {
        ByteVec bytes = rawChunkFile("GBMP", {{"AAAA", {1}}});
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        EXPECT_EQ(describe(read("c.gmp", bytes)), "ok GBMP 1: AAAA@14+1");
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ChunkDirectoryTest, RepeatedChunkWarnsOnceAndTheFirstCounts) {
    const ByteVec bytes = rawChunkFile("GBST", {{"PALX", {1, 2}}, {"PALX", {1, 2, 3, 4}}, {"TILE", {9}}});
    EXPECT_EQ(describe(read("dup.sty", bytes)), "ok GBST 1: PALX@14+2 TILE@36+1");
    rt.headless = true;  // the same scan, silently
    EXPECT_EQ(describe(read("dup.sty", bytes)), "ok GBST 1: PALX@14+2 TILE@36+1");
    EXPECT_EQ(boxes, std::vector<std::string>{"0|WARNING|File contains same chunk more than once (PALX)"});
}

TEST(LevelChecksum, RunningCrcWithoutInversion) {
    EXPECT_EQ(crcBitwise(ByteVec{'a', 'b', 'c'}), 0xCA6598D0u);  // no inversions: not the usual CRC-32
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
