// Helpers shared by the unit tests: a temporary folder per test, recorded
// message boxes, reference checksums and pictures, levels loaded from bytes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <gd.h>
#include <string>
#include <vector>

#include "base/runtime.h"
#include "formats/level_writer.h"
#include "formats/map.h"
#include "formats/style.h"
#include "level_bytes.h"
#include "maplist/map_list.h"
#include "run_binary.h"

namespace vant::test {

// A fresh temporary folder, removed afterwards, and names inside it, with
// '/' only, also on Windows: a backslash in a path changes how the program
// cuts out file names.
struct TempDir : TempFolder {
    std::filesystem::path path = TempFolder::path();
    std::string file(const std::string& name) const { return folder() + name; }
    std::string folder() const { return path.generic_string() + "/"; }
};


// The whole file; empty when it cannot be read.
inline ByteVec readFileBytes(const std::string& path) {
    const std::string bytes = readFile(path);
    return ByteVec(bytes.begin(), bytes.end());
}

// Pixel (x, y) of the level's tile atlas: red, green, blue, alpha.
inline ByteVec atlasPixel(const Level& level, int x, int y) {
    const auto at = level.tileAtlas.begin() + long((size_t(y) * AtlasSize + size_t(x)) * 4);
    return ByteVec(at, at + 4);
}

// The real vantedit copied into a folder of its own, its home: bare names
// resolve there and "debug.txt" is written there.
struct InstalledJob {
    TempFolder home;
    std::filesystem::path program = installBinary(home.path());
    std::string at(const std::string& name) const { return (home / name).string(); }
    std::string log() const { return readFile(home / "debug.txt"); }
};

// A runtime whose message boxes are kept as "caption|text".
struct RecordedBoxes {
    Runtime rt;
    std::vector<std::string> boxes;
    explicit RecordedBoxes(bool headless = false) {
        rt.headless = headless;
        rt.responder = [this](int, const std::string& caption, const std::string& text) {
            boxes.push_back(caption + "|" + text);
            return 0;
        };
    }
};

// Reference CRC-32 register update, bit by bit: reflected 0xEDB88320, no
// inversions, as the level checksum is defined.
inline uint32_t crcBitwise(uint32_t crc, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}
inline uint32_t crcBitwise(const ByteVec& v) { return crcBitwise(0, v.data(), v.size()); }

// libgd's own JPEG of a w x h picture whose pixel (x, y) is rgb(x, y).
inline ByteVec gdJpeg(int w, int h, const std::function<int(int, int)>& rgb, int quality) {
    gdImagePtr im = gdImageCreateTrueColor(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) gdImageSetPixel(im, x, y, rgb(x, y));
    int n = 0;
    void* data = gdImageJpegPtr(im, &n, quality);
    ByteVec out(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
    gdFree(data);
    gdImageDestroy(im);
    return out;
}

// A level loaded from files written in a temporary folder, with a runtime
// that answers every message box and records it as "caption|text". The
// checksum goes on from load to load.
struct LevelFiles : RecordedBoxes {
    TempDir dir;
    MapList maps;
    Level level;

    // Saves the bytes as `name` and loads them as a style (".sty") or a map,
    // headless or windowed (then from a one-entry map list).
    bool loadHeadless(const std::string& name, const ByteVec& bytes) { return load(name, bytes, false); }
    bool loadWindowed(const std::string& name, const ByteVec& bytes) { return load(name, bytes, true); }
    bool load(const std::string& name, const ByteVec& bytes, bool windowed) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(saveBytes(path, bytes));
        rt.headless = !windowed;
        maps.clear();
        maps.entries.emplace_back();
        const bool style = name.ends_with(".sty");
        (style ? maps.entries[0].styfile : maps.entries[0].gmpfile) = path;
        const int index = windowed ? 0 : -1;
        return style ? loadStyle(rt, level, maps, index, path) : loadMap(rt, level, maps, index, path);
    }
};

}  // namespace vant::test
