// The chunk directory of level files, and the running level checksum.

#include "test_support.h"

#include <tuple>

#include "formats/checksum.h"
#include "formats/chunk_file.h"

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

// Reads with a windowed runtime whose message boxes are recorded.
class ChunkDirectoryTest : public ::testing::Test, public RecordedBoxes {
protected:
    template <typename Bytes>
    ChunkDirectory read(const std::string& name, const Bytes& bytes) {
        EXPECT_TRUE(saveBytes(dir.file(name), ByteVec(bytes.begin(), bytes.end())));
        return readChunkDirectory(rt, dir.file(name));
    }

    TempDir dir;
};

TEST_F(ChunkDirectoryTest, MagicMustMatchTheExtensionAndChunksKeepOffsetAndStoredSize) {
    // "GBST\x07" ends inside the version; the extension is looked up in lower case.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"a.sty", std::string("GBST\x02\x01", 6), "ok GBST 258:"}, {"a.sty", "GBST\x07", "ok GBST 0:"},
        {"m.gmp", "GBMP\xF4\x01", "ok GBMP 500:"}, {"up.STY", std::string("GBST\1\0", 6), "ok GBST 1:"},
        {"up.STY", "GBMP\1", "bad header  0:"}, {"level.dat", "GBST\1", "bad header  0:"},
        {"tiny.gmp", "GB", "bad header  0:"}};
    for (const auto& [name, bytes, expected] : cases) EXPECT_EQ(describe(read(name, bytes)), expected) << name;
    // Chunks: a short type; a size-0 chunk.
    ChunkDirectory d = read("c.gmp", rawChunkFile("GBMP", {{"ZERO", {}}, {"NEXT", {1, 2, 3}}, {"AB", {}}}));
    EXPECT_EQ(describe(d), "ok GBMP 1: AB@33+0 NEXT@22+3 ZERO@14+0");
    EXPECT_TRUE(d.has("ZERO"));
    EXPECT_FALSE(d.has("next"));

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

TEST_F(ChunkDirectoryTest, ErrorsNameTheUpperCaseExtension) {
    const std::string missing = dir.file("nothing.gmp"), bad = dir.file("level.STY");
    EXPECT_EQ(describe(readChunkDirectory(rt, missing)), "not found  0:");
    reportChunkFileStatus(rt, S::NotFound, missing);
    reportChunkFileStatus(rt, S::BadHeader, bad);
    reportChunkFileStatus(rt, S::Ok, missing);
    rt.headless = true;
    reportChunkFileStatus(rt, S::BadHeader, bad);
    EXPECT_EQ(boxes, (std::vector<std::string>{"ERROR|GMP file was not found: \"" + missing + "\"",
                                               "ERROR|Incorrect header on STY file: \"" + bad + "\""}));
}

// Repeated chunks, of several types: one box per file, naming the first.
TEST_F(ChunkDirectoryTest, RepeatedChunkWarnsOnceAndTheFirstCounts) {
    const ByteVec bytes = rawChunkFile(
        "GBST", {{"PALX", {1, 2}}, {"XTRA", {}}, {"PALX", {1, 2, 3, 4}}, {"XTRA", {}}, {"TILE", {9}}, {"PALX", {}}});
    EXPECT_EQ(describe(read("dup.sty", bytes)), "ok GBST 1: PALX@14+2 TILE@52+1 XTRA@24+0");
    rt.headless = true;  // the same scan, silently
    EXPECT_EQ(describe(read("dup.sty", bytes)), "ok GBST 1: PALX@14+2 TILE@52+1 XTRA@24+0");
    EXPECT_EQ(boxes, std::vector<std::string>{"WARNING|File contains same chunk more than once (PALX)"});
}

TEST(LevelChecksum, RunningCrcWithoutInversion) {
    EXPECT_EQ(crcBitwise(ByteVec{'a', 'b', 'c'}), 0xCA6598D0u);  // no inversions: not the usual CRC-32
    // In one go or in odd pieces: always the bitwise register.
    ByteVec text(5000);
    for (size_t i = 0; i < text.size(); ++i) text[i] = uint8_t(i * 37 + 11);
    LevelChecksum whole, pieces;
    whole.feed(text.data(), text.size());
    const size_t cuts[] = {0, 1, 1, 4004, 5000};
    for (size_t i = 0; i + 1 < std::size(cuts); ++i) pieces.feed(text.data() + cuts[i], cuts[i + 1] - cuts[i]);
    for (const LevelChecksum* c : {&whole, &pieces}) EXPECT_EQ(c->value(), crcBitwise(text));
    EXPECT_EQ(crc32TableUpdate(0, text.data(), text.size()), crcBitwise(text));
}

}  // namespace
