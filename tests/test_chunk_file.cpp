// The chunk directory of level files, and the running level checksum.
#include <gtest/gtest.h>

#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/runtime.h"
#include "formats/checksum.h"
#include "formats/chunk_file.h"

using namespace vant;
using namespace vant::test;

namespace {

namespace fs = std::filesystem;


struct Bytes {
    std::vector<uint8_t> b;
    Bytes& raw(const std::string& s) {
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& u8(uint8_t v) {
        b.push_back(v);
        return *this;
    }
    Bytes& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
    Bytes& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
    Bytes& fill(size_t n, uint8_t v) {
        b.insert(b.end(), n, v);
        return *this;
    }
    // A chunk header with a stated size, then `actual` data bytes.
    Bytes& chunk(const std::string& type, uint32_t size, size_t actual) {
        raw(type).u32(size);
        return fill(actual, 0xAB);
    }
    Bytes& chunk(const std::string& type, uint32_t size) { return chunk(type, size, size); }
};

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct Box {
    int type;
    std::string caption, text;
};

struct RecordingRuntime {
    Runtime rt;
    std::vector<Box> boxes;
    RecordingRuntime() {
        rt.headless = false;
        rt.responder = [this](int type, const std::string& caption, const std::string& text) {
            boxes.push_back({type, caption, text});
            return 0;
        };
    }
};

// Bit-by-bit CRC-32 register update, reflected polynomial, no inversions.
uint32_t crcBits(uint32_t value, const std::string& bytes) {
    for (unsigned char c : bytes) {
        value ^= c;
        for (int k = 0; k < 8; ++k) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    }
    return value;
}

}  // namespace

TEST(ChunkDirectory, HeaderOnlyAndTruncatedVersion) {
    TempDir dir;
    RecordingRuntime r;
    const std::string sty = dir.file("a.sty");
    writeFile(sty, Bytes().raw("GBST").u16(0x0102).b);
    ChunkDirectory d = readChunkDirectory(r.rt, sty);
    EXPECT_EQ(d.status, ChunkFileStatus::Ok);
    EXPECT_EQ(d.magic, "GBST");
    EXPECT_EQ(d.version, 0x0102);
    EXPECT_EQ(d.fileName, sty);
    EXPECT_TRUE(d.chunks.empty());

    // Ends inside the version field: still accepted, nothing listed.
    writeFile(sty, Bytes().raw("GBST").u8(7).b);
    d = readChunkDirectory(r.rt, sty);
    EXPECT_EQ(d.status, ChunkFileStatus::Ok);
    EXPECT_TRUE(d.chunks.empty());

    writeFile(sty, Bytes().raw("GBST").b);
    d = readChunkDirectory(r.rt, sty);
    EXPECT_EQ(d.status, ChunkFileStatus::Ok);
    EXPECT_TRUE(d.chunks.empty());
    EXPECT_TRUE(r.boxes.empty());

    const std::string gmp = dir.file("m.gmp");
    writeFile(gmp, Bytes().raw("GBMP").u16(500).b);
    d = readChunkDirectory(r.rt, gmp);
    EXPECT_EQ(d.status, ChunkFileStatus::Ok);
    EXPECT_EQ(d.magic, "GBMP");
    EXPECT_EQ(d.version, 500);
}

TEST(ChunkDirectory, MagicMustMatchTheExtension) {
    TempDir dir;
    RecordingRuntime r;

    // Upper-case extension is looked up in lower case.
    const std::string upper = dir.file("level.STY");
    writeFile(upper, Bytes().raw("GBST").u16(1).b);
    EXPECT_EQ(readChunkDirectory(r.rt, upper).status, ChunkFileStatus::Ok);

    writeFile(upper, Bytes().raw("GBMP").u16(1).b);
    ChunkDirectory d = readChunkDirectory(r.rt, upper);
    EXPECT_EQ(d.status, ChunkFileStatus::BadHeader);
    EXPECT_EQ(d.magic, "");
    EXPECT_EQ(d.version, 0);
    EXPECT_TRUE(d.chunks.empty());
    reportChunkFileStatus(r.rt, d.status, upper);
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].caption, "ERROR");
    EXPECT_EQ(r.boxes[0].text, "Incorrect header on STY file: \"" + upper + "\"");

    // Case matters in the magic itself.
    writeFile(upper, Bytes().raw("gbst").u16(1).b);
    EXPECT_EQ(readChunkDirectory(r.rt, upper).status, ChunkFileStatus::BadHeader);

    // Unknown or missing extensions have no magic to match.
    const std::string other = dir.file("level.dat");
    writeFile(other, Bytes().raw("GBST").u16(1).b);
    EXPECT_EQ(readChunkDirectory(r.rt, other).status, ChunkFileStatus::BadHeader);
    const std::string bare = dir.file("level");
    writeFile(bare, Bytes().raw("GBMP").u16(1).b);
    EXPECT_EQ(readChunkDirectory(r.rt, bare).status, ChunkFileStatus::BadHeader);

    // Fewer than four bytes.
    const std::string tiny = dir.file("tiny.gmp");
    writeFile(tiny, Bytes().raw("GB").b);
    EXPECT_EQ(readChunkDirectory(r.rt, tiny).status, ChunkFileStatus::BadHeader);

    // A magic stops at its first zero byte.
    const std::string zero = dir.file("zero.gmp");
    writeFile(zero, Bytes().raw("GB").u16(0).u16(1).b);
    EXPECT_EQ(readChunkDirectory(r.rt, zero).status, ChunkFileStatus::BadHeader);
}

TEST(ChunkDirectory, NotFoundAndMixedSeparators) {
    TempDir dir;
    RecordingRuntime r;
    const std::string missing = dir.file("nothing.gmp");
    ChunkDirectory d = readChunkDirectory(r.rt, missing);
    EXPECT_EQ(d.status, ChunkFileStatus::NotFound);
    EXPECT_TRUE(d.chunks.empty());
    reportChunkFileStatus(r.rt, d.status, missing);
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].caption, "ERROR");
    EXPECT_EQ(r.boxes[0].text, "GMP file was not found: \"" + missing + "\"");

    // The extension comes after the last backslash, slashes included.
    r.boxes.clear();
    reportChunkFileStatus(r.rt, ChunkFileStatus::NotFound, "C:\\lv.sty/map");
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].text, "STY/MAP file was not found: \"C:\\lv.sty/map\"");

    // Status 0 shows nothing.
    r.boxes.clear();
    reportChunkFileStatus(r.rt, ChunkFileStatus::Ok, missing);
    EXPECT_TRUE(r.boxes.empty());

    // A real path whose folder name holds a backslash.
    fs::create_directories(dir.path / "sub\\x");
    const std::string mixed = (dir.path / "sub\\x" / "level.gmp").string();
    writeFile(mixed, Bytes().raw("GBMP").u16(3).chunk("UMAP", 2).b);
    d = readChunkDirectory(r.rt, mixed);
    EXPECT_EQ(d.status, ChunkFileStatus::Ok);
    EXPECT_EQ(d.find("UMAP").offset, 14u);

    // Headless: the errors are silent.
    r.boxes.clear();
    r.rt.headless = true;
    reportChunkFileStatus(r.rt, ChunkFileStatus::BadHeader, missing);
    EXPECT_TRUE(r.boxes.empty());
}

TEST(ChunkDirectory, ChunkOffsetsSizesAndOddLayouts) {
    TempDir dir;
    RecordingRuntime r;
    const std::string path = dir.file("c.gmp");

    // Size-0 chunk, then a chunk right after its 8-byte header.
    writeFile(path, Bytes().raw("GBMP").u16(1).chunk("ZERO", 0).chunk("NEXT", 3).b);
    ChunkDirectory d = readChunkDirectory(r.rt, path);
    ASSERT_EQ(d.status, ChunkFileStatus::Ok);
    ASSERT_EQ(d.chunks.size(), 2u);
    EXPECT_EQ(d.find("ZERO").offset, 14u);
    EXPECT_EQ(d.find("ZERO").size, 0u);
    EXPECT_EQ(d.find("NEXT").offset, 22u);
    EXPECT_EQ(d.find("NEXT").size, 3u);
    EXPECT_TRUE(d.has("ZERO"));
    // Absent types read as offset 0 and size 0.
    EXPECT_EQ(d.find("DMAP").offset, 0u);
    EXPECT_EQ(d.find("DMAP").size, 0u);
    EXPECT_FALSE(d.has("DMAP"));
    // Types are compared byte for byte.
    EXPECT_FALSE(d.has("next"));

    // A size past the end of the file: listed with its stored size, and what
    // would follow inside the missing data is never read.
    Bytes past;
    past.raw("GBMP").u16(1).chunk("AAAA", 2).raw("BBBB").u32(1000).raw("CCCC").u32(0);
    writeFile(path, past.b);
    d = readChunkDirectory(r.rt, path);
    ASSERT_EQ(d.status, ChunkFileStatus::Ok);
    ASSERT_EQ(d.chunks.size(), 2u);
    EXPECT_EQ(d.find("AAAA").offset, 14u);
    EXPECT_EQ(d.find("BBBB").offset, 24u);
    EXPECT_EQ(d.find("BBBB").size, 1000u);
    EXPECT_FALSE(d.has("CCCC"));

    // A type without its whole size field is not listed.
    writeFile(path, Bytes().raw("GBMP").u16(1).chunk("AAAA", 1).raw("BBBB").u16(0).b);
    d = readChunkDirectory(r.rt, path);
    EXPECT_EQ(d.status, ChunkFileStatus::Ok);
    EXPECT_EQ(d.chunks.size(), 1u);
    EXPECT_FALSE(d.has("BBBB"));

    // A dangling partial type ends the scan too.
    writeFile(path, Bytes().raw("GBMP").u16(1).chunk("AAAA", 1).raw("BB").b);
    d = readChunkDirectory(r.rt, path);
    EXPECT_EQ(d.status, ChunkFileStatus::Ok);
    EXPECT_EQ(d.chunks.size(), 1u);

    // A type is the text up to its first zero byte.
    writeFile(path, Bytes().raw("GBMP").u16(1).raw("AB").u16(0).u32(0).b);
    d = readChunkDirectory(r.rt, path);
    EXPECT_EQ(d.find("AB").offset, 14u);
    EXPECT_TRUE(r.boxes.empty());
}

TEST(ChunkDirectory, DuplicateChunkWarnsOnceAndKeepsTheFirst) {
    TempDir dir;
    RecordingRuntime r;
    const std::string path = dir.file("dup.sty");
    // header 6; PALX data at 14 (2 bytes); PALX again at 24 (4 bytes); TILE at 36.
    writeFile(path, Bytes().raw("GBST").u16(1).chunk("PALX", 2).chunk("PALX", 4).chunk("TILE", 1).b);
    ChunkDirectory d = readChunkDirectory(r.rt, path);
    EXPECT_EQ(d.status, ChunkFileStatus::Ok);
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].caption, "WARNING");
    EXPECT_EQ(r.boxes[0].text, "File contains same chunk more than once (PALX)");
    EXPECT_EQ(r.boxes[0].type, 0);
    EXPECT_EQ(d.find("PALX").offset, 14u);
    EXPECT_EQ(d.find("PALX").size, 2u);
    EXPECT_EQ(d.find("TILE").offset, 36u);
    EXPECT_EQ(d.find("TILE").size, 1u);

    // Headless: the same scan, silently.
    r.boxes.clear();
    r.rt.headless = true;
    d = readChunkDirectory(r.rt, path);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(d.find("PALX").offset, 14u);
}

TEST(LevelChecksum, RunningCrcWithoutInversion) {
    LevelChecksum c;
    EXPECT_EQ(c.value(), 0u);
    c.feed("abc", 3);
    EXPECT_EQ(c.value(), 0xCA6598D0u);
    EXPECT_EQ(crcBits(0, "abc"), 0xCA6598D0u);

    // Feeding in pieces, byte by byte, or in one go gives the same value.
    LevelChecksum bytes;
    for (char ch : std::string("abc")) bytes.feedByte(uint8_t(ch));
    EXPECT_EQ(bytes.value(), 0xCA6598D0u);
    LevelChecksum pieces;
    pieces.feed("a", 1);
    pieces.feed("", 0);
    pieces.feed("bc", 2);
    EXPECT_EQ(pieces.value(), 0xCA6598D0u);
    EXPECT_EQ(crc32TableUpdate(0, "abc", 3), 0xCA6598D0u);

    // Zero bytes keep a zero register at zero (no inversion at the start).
    LevelChecksum zeros;
    const uint8_t z[4] = {0, 0, 0, 0};
    zeros.feed(z, 4);
    EXPECT_EQ(zeros.value(), 0u);

    // A longer text against the bit-by-bit register.
    std::string text;
    for (int i = 0; i < 5000; ++i) text.push_back(char(i * 37 + 11));
    LevelChecksum longer;
    longer.feed(text.data(), text.size());
    EXPECT_EQ(longer.value(), crcBits(0, text));
    longer.reset();
    EXPECT_EQ(longer.value(), 0u);
}
