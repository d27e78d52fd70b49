// vantmap render: each level's minimap into a picture, levels in parallel.
#include <CLI/CLI.hpp>
#include <gd.h>
#include <gdfonts.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "base/runtime.h"
#include "base/text.h"
#include "formats/chunk_file.h"
#include "formats/file_reader.h"
#include "formats/map.h"
#include "image/image_writer.h"
#include "image/png_writer.h"
#include "maplist/map_list.h"
#include "minimap/output.h"
#include "minimap/rasterizer.h"
#include "minimap/zone_colours.h"
#include "vantmap/commands.h"
#include "vantmap/level_input.h"

namespace vant::vantmap {

namespace {

struct RenderOptions {
    std::vector<std::string> levels;
    std::string output;
    bool outputGiven = false;  // -o '' is an empty path, not no -o
    std::string style;
    std::string format;
    int size = 2048;
    std::string water = "auto";
    int quality = 95;
    std::vector<int> hiddenLayers;
    bool zones = false;
    int jobs = 0;
    bool force = false;
    bool quiet = false;
};

struct RenderJob {
    LevelInput input;
    std::string output;
};

// Each zone's rectangle in the colour of its type, its name inside the top
// left corner over a dark shadow. Zones come in file order.
void drawZones(gdImagePtr im, const std::vector<ZoneRecord>& zones) {
    const int side = gdImageSX(im);
    const double perSquare = double(side) / MapWidth;
    const int thickness = side >= 1024 ? side / 1024 : 1;
    gdImageSetThickness(im, thickness);
    gdFontPtr font = gdFontGetSmall();
    for (const ZoneRecord& z : zones) {
        // File rows run downwards; the record keeps them upwards from 256.
        const int x0 = int(z.x1 * perSquare), x1 = int(z.x2 * perSquare) - 1;
        const int y0 = int((MapHeight - z.y2) * perSquare), y1 = int((MapHeight - z.y1) * perSquare) - 1;
        const int colour = zoneColour(z.type);
        if (x1 < x0 || y1 < y0) {
            gdImageSetPixel(im, x0, y0, colour);
            continue;
        }
        gdImageRectangle(im, x0, y0, x1, y1, colour);
        if (z.name.empty() || x1 - x0 < 4 * font->w || side < 256) continue;
        auto* text = reinterpret_cast<unsigned char*>(const_cast<char*>(z.name.c_str()));
        const int tx = x0 + thickness + 2, ty = y0 + thickness + 1;
        gdImageString(im, font, tx + 1, ty + 1, text, 0x000000);
        gdImageString(im, font, tx, ty, text, colour);
    }
}

// The zones of a map, read as the windowed load reads them, in file order.
std::vector<ZoneRecord> readZones(const std::string& mapPath) {
    Runtime quiet;
    quiet.headless = true;
    MapFile map;
    ChunkReader file(mapPath);
    if (!file.open()) return {};
    const ChunkDirectory dir = readChunkDirectory(quiet, file);
    if (dir.status != ChunkFileStatus::Ok) return {};
    loadZones(file, dir, map);
    std::stable_sort(map.zones.begin(), map.zones.end(),
                     [](const ZoneRecord& a, const ZoneRecord& b) { return a.id < b.id; });
    return std::move(map.zones);
}

int formatNumber(const std::string& name) {
    if (name == "png") return FormatPng;
    if (name == "jpg" || name == "jpeg") return FormatJpg;
    if (name == "tga") return FormatTga;
    if (name == "bmp") return FormatBmp;
    return -1;
}

// Draws and writes one level. False when it failed; what went wrong is in
// the report.
bool renderLevel(const RenderOptions& o, int format, RenderJob& job, LevelReport& report) {
    LevelInput& in = job.input;
    if (in.fromDescription && !readDescription(in, report)) return false;
    // The picture never replaces one of the level's own files.
    for (const std::string& own : {in.level, in.style, in.map}) {
        std::error_code ec;
        if (std::filesystem::equivalent(job.output, own, ec)) {
            report.error(in.level, "the picture would be written over " + own + "; no picture written");
            return false;
        }
    }

    Runtime rt;
    rt.headless = true;
    rt.waterTintMode = o.water == "never" ? 0 : (o.water == "always" ? 2 : 1);
    rt.jpegQuality = o.quality;
    report.listenTo(rt, in.level);

    Level level;
    MapList maps;
    MinimapBuilder builder;
    for (int z : o.hiddenLayers) builder.hiddenLayers = uint8_t(builder.hiddenLayers | (1u << z));

    const MinimapLevelLoad load = loadLevelForMinimap(rt, level, maps, in.style, in.map);
    if (!report.readable(in, load.style, load.map)) {
        report.fail();
        if (!o.force) {
            report.error(in.level, "no picture written" +
                                       (fileExists(job.output) ? " (" + job.output + " left as it was)" : std::string()));
            return false;
        }
    }

    // The same rows and writers as the editor's job; only PNG and the zone
    // overlay go through a whole picture held by libgd.
    const std::unique_ptr<RowSource> rows = scaledMinimapRows(builder, level, o.size);
    auto write = [&](RowSource& picture) {
        return format == FormatPng ? writePngRows(rt, job.output, picture)
                                   : writeImageRows(rt, job.output, format, picture, o.quality);
    };
    bool written;
    if (o.zones) {
        TrueColorPicture picture(*rows);
        if (picture.ok()) drawZones(picture.image(), readZones(in.map));
        written = picture.ok() && write(picture);
    } else {
        written = write(*rows);
    }
    if (!written) report.fail();
    return !report.failed();
}

// Where each level's picture goes; a text is a usage error.
std::string planOutputs(const RenderOptions& o, int& format, std::vector<RenderJob>& jobs, std::string& folderToMake) {
    namespace fs = std::filesystem;
    if (o.outputGiven && o.output.empty()) return "-o: the path is empty";
    std::error_code ec;
    const bool folderNamed = !o.output.empty() && (o.output.back() == '/' || fs::is_directory(o.output, ec));
    const bool folderMode = o.levels.size() > 1 || folderNamed || o.output.empty();
    format = o.format.empty() ? -1 : formatNumber(o.format);
    if (!folderMode && format < 0) {
        format = formatNumber(fileExtension(o.output, true));
        if (format < 0) return o.output + ": cannot tell the picture format from the name; use --format";
    }
    if (format < 0) format = FormatPng;
    const std::string folder = o.output.empty() ? std::string() : o.output;
    const char* ext = format == FormatPng ? "png" : format == FormatJpg ? "jpg" : format == FormatTga ? "tga" : "bmp";
    std::map<std::string, std::string> taken;
    for (const std::string& level : o.levels) {
        RenderJob job;
        if (std::string error = classifyLevel(level, o.style, job.input); !error.empty()) return error;
        if (folderMode) {
            const fs::path base = folder.empty() ? fs::path() : fs::path(folder);
            job.output = (base / (fileNameOf(level, false) + "." + ext)).string();
            // A path that cannot be resolved (a folder that may not be
            // searched, a name too long) is compared as written; its
            // level then fails on writing, with the reason.
            fs::path same = fs::weakly_canonical(job.output, ec);
            if (ec) same = fs::absolute(job.output, ec).lexically_normal();
            auto [at, fresh] = taken.emplace(same.string(), level);
            if (!fresh) return level + " and " + at->second + " would both be drawn into " + job.output;
        } else {
            job.output = o.output;
        }
        jobs.push_back(std::move(job));
    }
    // The folder is made only for a run that goes ahead.
    if (folderMode && !folder.empty() && !fs::is_directory(folder, ec)) folderToMake = folder;
    return {};
}

int runRender(const RenderOptions& o) {
    int format = -1;
    std::vector<RenderJob> jobs;
    std::string folder;
    if (std::string error = planOutputs(o, format, jobs, folder); !error.empty()) return usageError(error);
    if (std::error_code ec; !folder.empty() && !std::filesystem::create_directories(folder, ec) && ec) {
        // Not the command's fault but the system's: a failure, not a usage error.
        std::fprintf(stderr, "vantmap: %s: cannot make the folder: %s\n", folder.c_str(), ec.message().c_str());
        return 1;
    }

    const bool progress = !o.quiet && ::isatty(STDOUT_FILENO);
    const int threads = std::max(1, std::min<int>(o.jobs > 0 ? o.jobs : int(std::thread::hardware_concurrency()),
                                                   int(jobs.size())));
    std::atomic<size_t> next{0};
    std::atomic<int> finished{0}, failed{0};
    auto work = [&] {
        for (size_t i; (i = next++) < jobs.size();) {
            const auto start = std::chrono::steady_clock::now();
            LevelReport report;
            bool ok = false;
            try {
                ok = renderLevel(o, format, jobs[i], report);
            } catch (const std::bad_alloc&) {
                // Out of memory for this level alone: the others go on, and
                // its picture file is left as it was (never half-written).
                report.error(jobs[i].input.level, "not enough memory to draw it; no picture written");
            } catch (const std::length_error&) {
                report.error(jobs[i].input.level, "not enough memory to draw it; no picture written");
            } catch (const std::exception& e) {
                report.error(jobs[i].input.level, std::string(e.what()) + "; no picture written");
            }
            report.print();
            if (!ok) ++failed;
            const int n = ++finished;
            if (progress && ok) {
                const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                std::printf("[%d/%zu] %s \u2192 %s  %.2f s\n", n, jobs.size(), jobs[i].input.level.c_str(),
                            jobs[i].output.c_str(), seconds);
                std::fflush(stdout);
            }
        }
    };
    std::vector<std::thread> pool;
    try {
        for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    } catch (const std::system_error&) {
        // No more threads to be had (a process limit): fewer do the work.
    }
    work();
    for (std::thread& t : pool) t.join();
    return failed ? ExitFailed : ExitOk;
}

}  // namespace

Runner setupRender(CLI::App& command) {
    auto o = std::make_shared<RenderOptions>();
    command.add_option("LEVEL", o->levels, "Level: a .mmp, or a .gmp with --style")->required();
    const CLI::Option* output = command.add_option(
        "-o,--output", o->output,
        "Picture to write (one level), or the folder for the pictures (several levels, or a folder)");
    command.add_option("--style", o->style, "Style file for .gmp levels");
    command.add_option("--format", o->format, "Picture format; default from the -o name, else png")
        ->check(CLI::IsMember({"png", "jpg", "jpeg", "tga", "bmp"}));
    command.add_option("--size", o->size, "Picture side in pixels: a power of two from 16 to 2048")
        ->check(CLI::Validator(
            [](const std::string& v) -> std::string {
                const long n = std::strtol(v.c_str(), nullptr, 10);
                if (n >= 16 && n <= 2048 && (n & (n - 1)) == 0) return {};
                return "must be a power of two from 16 to 2048, not " + v;
            },
            "POWER OF TWO 16..2048"))
        ->capture_default_str();
    command.add_option("--water", o->water, "Water tint: auto (stock style only), always, never")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->capture_default_str();
    command.add_option("--quality", o->quality, "JPEG quality")->check(CLI::Range(1, 100))->capture_default_str();
    command.add_option("--hide-layer", o->hiddenLayers, "Leave layer Z (0..7) out of the picture; repeatable")
        ->check(CLI::Range(0, 7))
        ->allow_extra_args(false);
    command.add_flag("--zones", o->zones, "Draw each zone's rectangle and name");
    command.add_option("-j,--jobs", o->jobs, "Levels drawn at once (default: the number of cores)")
        ->check(CLI::Range(1, 256));
    command.add_flag("--force", o->force, "Write a picture even for a level whose style or map cannot be read");
    command.add_flag("-q,--quiet", o->quiet, "No progress lines");
    return [o, output] {
        o->outputGiven = output->count() > 0;
        return runRender(*o);
    };
}

}  // namespace vant::vantmap
