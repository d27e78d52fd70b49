// The program's owned state for one run, and its two jobs.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"
#include "base/runtime.h"
#include "formats/level.h"
#include "maplist/map_list.h"
#include "minimap/rasterizer.h"

namespace vant {

struct App {
    Runtime rt;
    Level level;
    MapList maps;
    MinimapBuilder builder;
    std::vector<uint8_t> minimap;  // RGBA, from the build until it is saved
};

// Where the program lives; it works from that folder.
std::string programFolder();

// The headless job of "-saveminimap": style + map in, one image out.
void runMinimapJob(App& app, const CommandLine& tokens);

// Writes "benchmark.txt" for a run that started at startTime.
void writeBenchmarkFile(Runtime& rt, const std::string& path);

}  // namespace vant
