// Micro-benchmarks of each phase of the minimap job, on the sample city.
// The level is read from $VANT_SAMPLE_DIR (sample.sty, sample.gmp), which
// bench/run generates first.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "base/runtime.h"
#include "formats/chunk_file.h"
#include "formats/file_reader.h"
#include "formats/map.h"
#include "formats/style.h"
#include "image/byte_sink.h"
#include "image/image_writer.h"
#include "maplist/map_list.h"
#include "minimap/output.h"
#include "minimap/rasterizer.h"

using namespace vant;

namespace {

std::string sampleFile(const char* name) {
    const char* dir = std::getenv("VANT_SAMPLE_DIR");
    return std::string(dir ? dir : "out/bench/sample") + "/" + name;
}

// The loaded sample level and its minimap, made once.
struct Sample {
    Runtime rt;
    Level level;
    MapList maps;
    std::vector<uint8_t> minimap;
    std::vector<uint8_t> dmapChunk;
    Sample() {
        rt.headless = true;
        level.map.clear();
        loadStyle(rt, level, maps, -1, sampleFile("sample.sty"));
        loadMap(rt, level, maps, -1, sampleFile("sample.gmp"));
        MinimapBuilder builder;
        minimap = builder.build(level);
        const ChunkDirectory dir = readChunkDirectory(rt, sampleFile("sample.gmp"));
        const ChunkEntry dmap = dir.find("DMAP");
        ChunkReader file(sampleFile("sample.gmp"));
        if (dmap.offset && file.open()) {
            const FileBytes chunk = file.read(dmap.offset, dmap.size);
            dmapChunk.assign(chunk.begin(), chunk.end());
        }
    }
};

Sample& sample() {
    static Sample s;
    return s;
}

void BM_ChunkScan(benchmark::State& state) {
    Runtime rt;
    rt.headless = true;
    const std::string sty = sampleFile("sample.sty"), gmp = sampleFile("sample.gmp");
    for (auto _ : state) {
        benchmark::DoNotOptimize(readChunkDirectory(rt, sty));
        benchmark::DoNotOptimize(readChunkDirectory(rt, gmp));
    }
}
BENCHMARK(BM_ChunkScan)->Unit(benchmark::kMicrosecond);

void BM_StyleDecode(benchmark::State& state) {
    Runtime rt;
    rt.headless = true;
    MapList maps;
    Level level;
    level.keepTileAtlas = state.range(0) != 0;  // 0: what the headless job does
    level.checksum.setEnabled(state.range(0) != 0);  // the job does not sum either
    for (auto _ : state) {
        level.checksum.reset();
        loadStyle(rt, level, maps, -1, sampleFile("sample.sty"));
        benchmark::DoNotOptimize(level.checksum.value());
    }
}
BENCHMARK(BM_StyleDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DmapDecode(benchmark::State& state) {
    const std::vector<uint8_t>& chunk = sample().dmapChunk;
    MapFile map;
    LevelChecksum sum;
    for (auto _ : state) {
        map.clear();
        decodeDmap(chunk.data(), chunk.size(), map, sum);
        benchmark::DoNotOptimize(sum.value());
    }
}
BENCHMARK(BM_DmapDecode)->Unit(benchmark::kMillisecond);

void BM_ReducedAtlas(benchmark::State& state) {
    const Level& level = sample().level;
    for (auto _ : state) benchmark::DoNotOptimize(reduceAtlas(level.tileAtlas));
}
BENCHMARK(BM_ReducedAtlas)->Unit(benchmark::kMillisecond);

void BM_Rasterizer(benchmark::State& state) {
    const Level& level = sample().level;
    MinimapBuilder builder;
    builder.skipHidden = state.range(0) != 0;
    for (auto _ : state) benchmark::DoNotOptimize(builder.build(level));
}
BENCHMARK(BM_Rasterizer)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_ScaledDraw(benchmark::State& state) {
    Sample& s = sample();
    MinimapBuilder builder;
    for (auto _ : state) benchmark::DoNotOptimize(builder.buildScaled(s.level, int(state.range(0))));
}
BENCHMARK(BM_ScaledDraw)->Arg(2048)->Arg(256)->Unit(benchmark::kMillisecond);

void BM_BoxFilter(benchmark::State& state) {
    const std::vector<uint8_t>& minimap = sample().minimap;
    for (auto _ : state) benchmark::DoNotOptimize(boxFilter(minimap.data(), 4, int(state.range(0))));
}
BENCHMARK(BM_BoxFilter)->Arg(2048)->Arg(256)->Unit(benchmark::kMillisecond);

// The windowed load's thumbnail: where its detail lies.
void BM_DetailCentre(benchmark::State& state) {
    const std::vector<uint8_t> thumbnail = boxFilter(sample().minimap.data(), 4, 256);
    for (auto _ : state) benchmark::DoNotOptimize(detailCentre(thumbnail.data(), 256));
}
BENCHMARK(BM_DetailCentre)->Unit(benchmark::kMillisecond);

void BM_Checksum(benchmark::State& state) {
    std::vector<uint8_t> data(16u << 20, 0x5A);
    for (auto _ : state) {
        if (state.range(0)) {
            LevelChecksum sum;
            sum.feed(data.data(), data.size());
            benchmark::DoNotOptimize(sum.value());
        } else {
            benchmark::DoNotOptimize(crc32TableUpdate(0, data.data(), data.size()));
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_Checksum)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

std::vector<uint8_t> bgrPicture(int side) { return boxFilter(sample().minimap.data(), 4, side); }

void BM_WriteTga(benchmark::State& state) {
    const std::vector<uint8_t> pixels = bgrPicture(2048);
    for (auto _ : state) {
        VectorSink sink;
        sink.bytes.reserve(pixels.size() + 64);
        writeTga(sink, ImageView{pixels.data(), 2048, 2048, 3, false});
        benchmark::DoNotOptimize(sink.bytes.data());
    }
}
BENCHMARK(BM_WriteTga)->Unit(benchmark::kMillisecond);

void BM_WriteBmp(benchmark::State& state) {
    const std::vector<uint8_t> pixels = bgrPicture(2048);
    for (auto _ : state) {
        VectorSink sink;
        sink.bytes.reserve(pixels.size() + 64);
        writeBmp(sink, ImageView{pixels.data(), 2048, 2048, 3, false});
        benchmark::DoNotOptimize(sink.bytes.data());
    }
}
BENCHMARK(BM_WriteBmp)->Unit(benchmark::kMillisecond);

void BM_EncodeJpeg(benchmark::State& state) {
    const int side = int(state.range(0));
    const std::vector<uint8_t> pixels = bgrPicture(side);
    for (auto _ : state) benchmark::DoNotOptimize(encodeJpeg(ImageView{pixels.data(), side, side, 3, false}, 95));
}
BENCHMARK(BM_EncodeJpeg)->Arg(2048)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
