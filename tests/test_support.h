// Small helpers shared by the unit tests: a temporary folder per test and
// little-endian byte building.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace vant::test {

// A fresh folder named after the running test, removed afterwards.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        static int counter = 0;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = std::filesystem::temp_directory_path() /
               ("vant_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
                (info ? info->name() : "test"));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return (path / name).string(); }
    std::string folder() const { return path.string() + "/"; }
};

using ByteVec = std::vector<uint8_t>;

inline void put16(ByteVec& v, uint16_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}

inline void put32(ByteVec& v, uint32_t x) {
    put16(v, uint16_t(x));
    put16(v, uint16_t(x >> 16));
}

}  // namespace vant::test

// Shared by the image and minimap output tests.
#include <fstream>
#include <iterator>

#include "app/runtime.h"

namespace vant::test {

// The whole file; empty when it cannot be read.
inline ByteVec readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteVec(std::istreambuf_iterator<char>(in), {});
}

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

}  // namespace vant::test
