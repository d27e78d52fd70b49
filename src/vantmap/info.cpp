// vantmap info: what each level holds, as the editor's windowed load reads
// it, in words or as one JSON document.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <new>
#include <stdexcept>

#include "base/runtime.h"
#include "base/text.h"
#include "formats/chunk_file.h"
#include "formats/map.h"
#include "formats/style.h"
#include "maplist/map_list.h"
#include "vantmap/commands.h"
#include "vantmap/level_input.h"

namespace vant::vantmap {

namespace {

using nlohmann::ordered_json;

struct InfoOptions {
    std::vector<std::string> levels;
    std::string style;
    bool json = false;
};

// The chunk directory read again without telling anyone: the loaders have
// already said what was wrong with it.
ChunkDirectory quietDirectory(const std::string& path) {
    Runtime quiet;
    quiet.headless = true;
    return readChunkDirectory(quiet, path);
}

ordered_json styleFacts(const std::string& path, const Level& level) {
    const ChunkDirectory dir = quietDirectory(path);
    ordered_json s;
    s["file"] = path;
    s["version"] = dir.version;
    const ChunkEntry tile = dir.find("TILE"), palx = dir.find("PALX"), ppal = dir.find("PPAL");
    s["tile_pages"] = tile.offset ? (uint64_t(tile.size) + 65535) / 65536 : 0;
    s["virtual_palettes"] = palx.offset ? palx.size / 2 : 0;
    s["physical_palettes"] = ppal.offset ? ppal.size / 1024 : 0;
    s["sprites"] = level.sprites.size();
    // Group g lists its tiles; groups are numbered as the file orders them.
    std::vector<std::vector<int>> groups;
    for (int t = 0; t < TileCount; ++t) {
        const uint16_t g = level.surfaceGroup[size_t(t)];
        if (g == 0xFFFF) continue;
        if (groups.size() <= g) groups.resize(size_t(g) + 1);
        groups[g].push_back(t);
    }
    s["surface_groups"] = groups;
    s["water_signature"] = level.waterTint;
    return s;
}

ordered_json mapFacts(const std::string& path, const Level& level) {
    const ChunkDirectory dir = quietDirectory(path);
    ordered_json m;
    m["file"] = path;
    m["version"] = dir.version;
    m["block_map"] = dir.has("UMAP") ? "UMAP" : dir.has("DMAP") ? "DMAP" : "";
    std::vector<uint32_t> perLayer(MapDepth, 0);
    if (const BlockInfo* blocks = level.map.data()) {
        static const BlockInfo empty{};
        for (int z = 0; z < MapDepth; ++z)
            for (size_t i = 0; i < size_t(MapWidth) * MapHeight; ++i)
                if (std::memcmp(&blocks[blockIndex(0, 0, z) + i], &empty, sizeof empty) != 0) ++perLayer[size_t(z)];
    }
    m["blocks_per_layer"] = perLayer;
    std::vector<ZoneRecord> zones = level.map.zones;
    std::stable_sort(zones.begin(), zones.end(), [](const ZoneRecord& a, const ZoneRecord& b) { return a.id < b.id; });
    ordered_json list = ordered_json::array();
    for (const ZoneRecord& z : zones) {
        // Squares and rows as the file numbers them (rows downwards).
        const char* typeName = zoneTypeName(z.type);
        list.push_back({{"id", z.id},
                        {"type", z.type},
                        {"type_name", typeName ? typeName : ""},
                        {"name", z.name},
                        {"x", int(z.x1)},
                        {"y", MapHeight - int(z.y2)},
                        {"w", int(z.x2 - z.x1)},
                        {"h", int(z.y2 - z.y1)}});
    }
    m["zones"] = list;
    ordered_json anims = ordered_json::array();
    for (const TileAnimation& a : level.map.animations) anims.push_back({{"base", a.base}, {"frames", a.frames}});
    m["animations"] = anims;
    m["water_tile"] = level.map.waterTile;
    m["water_tile_animated"] = level.map.waterTileAnimated;
    return m;
}

// One level's facts; "ok" is false when its description, style or map
// could not be read.
ordered_json levelFacts(LevelInput& in) {
    ordered_json facts;
    facts["level"] = in.level;
    LevelReport report;
    bool ok = !in.fromDescription || readDescription(in, report);
    if (ok) {
        if (in.fromDescription) {
            facts["description"] = {{"name", in.description.displayName},
                                    {"text", in.description.description},
                                    {"players", in.description.playercount},
                                    {"script", in.description.scrfile}};
        }
        // Read as the windowed load reads a level (zones, animations,
        // sprites and all), with nothing sent to a graphics card.
        Runtime rt;
        report.listenTo(rt, in.level);
        MapList maps;
        maps.entries.emplace_back();
        maps.entries[0].styfile = in.style;
        maps.entries[0].gmpfile = in.map;
        Level level;
        level.keepTileAtlas = false;
        level.map.clear();
        level.checksum.reset();
        const bool style = loadStyle(rt, level, maps, 0, in.style);
        const bool map = loadMap(rt, level, maps, 0, in.map);
        ok = report.readable(in, style, map);
        const std::string checksum = formatText("%08X", level.checksum.value());
        facts["checksum"] = checksum;
        facts["thumbnail"] = "data/minimaps/" + checksum + ".jpg";
        facts["style"] = style ? styleFacts(in.style, level) : ordered_json(nullptr);
        facts["map"] = map ? mapFacts(in.map, level) : ordered_json(nullptr);
    }
    facts["ok"] = ok;
    ordered_json problems = ordered_json::array();
    for (const LevelReport::Line& l : report.lines())
        problems.push_back({{"file", l.file}, {"message", l.text}, {"error", l.error}});
    facts["problems"] = problems;
    return facts;
}

// File names and names read from the levels may hold any byte: control
// characters are shown as \xNN, so that no name can pass for a line of the
// report or reach the terminal as a command.
std::string printable(const ordered_json& value) {
    std::string out;
    for (const char c : value.get<std::string>()) {
        if (uint8_t(c) < 0x20 || c == 0x7F) out += formatText("\\x%02X", unsigned(uint8_t(c)));
        else out += c;
    }
    return out;
}

void printText(const ordered_json& f) {
    std::string out = printable(f["level"]) + "\n";
    auto line = [&out](const std::string& key, const std::string& value) { out += "  " + key + ": " + value + "\n"; };
    if (f.contains("description")) line("name", printable(f["description"]["name"]));
    if (f.contains("checksum"))
        line("checksum", printable(f["checksum"]) + " (thumbnail " + printable(f["thumbnail"]) + ")");
    if (f.contains("style") && !f["style"].is_null()) {
        const ordered_json& s = f["style"];
        line("style", printable(s["file"]));
        out += formatText("    %d tile pages, %d virtual and %d physical palettes, %d sprites, %d surface groups\n",
                          s["tile_pages"].get<int>(), s["virtual_palettes"].get<int>(),
                          s["physical_palettes"].get<int>(), s["sprites"].get<int>(),
                          int(s["surface_groups"].size()));
        out += std::string("    water signature ") + (s["water_signature"].get<bool>() ? "recognised" : "not recognised") + "\n";
    }
    if (f.contains("map") && !f["map"].is_null()) {
        const ordered_json& m = f["map"];
        line("map", printable(m["file"]) + " (" + printable(m["block_map"]) + ")");
        std::string layers;
        for (const auto& n : m["blocks_per_layer"]) layers += " " + std::to_string(n.get<int>());
        out += "    blocks per layer:" + layers + "\n";
        out += formatText("    %d zones, %d tile animations, water tile %d%s\n", int(m["zones"].size()),
                          int(m["animations"].size()), m["water_tile"].get<int>(),
                          m["water_tile_animated"].get<bool>() ? " (animated)" : "");
        for (const auto& z : m["zones"])
            out += formatText("    zone %d: %s \"%s\" at %d,%d size %dx%d\n", z["id"].get<int>(),
                              printable(z["type_name"]).c_str(), printable(z["name"]).c_str(),
                              z["x"].get<int>(), z["y"].get<int>(), z["w"].get<int>(), z["h"].get<int>());
        for (const auto& a : m["animations"]) {
            std::string frames;
            for (const auto& t : a["frames"]) frames += " " + std::to_string(t.get<int>());
            out += formatText("    animation of tile %d, frames:%s\n", a["base"].get<int>(), frames.c_str());
        }
    }
    for (const auto& p : f["problems"])
        out += "  " + std::string(p["error"].get<bool>() ? "error" : "warning") + ": " +
               printable(p["file"]) + ": " + printable(p["message"]) + "\n";
    if (!f["ok"].get<bool>()) out += "  cannot be read\n";
    std::fputs(out.c_str(), stdout);
}

int runInfo(const InfoOptions& o) {
    std::vector<LevelInput> inputs(o.levels.size());
    for (size_t i = 0; i < o.levels.size(); ++i)
        if (std::string error = classifyLevel(o.levels[i], o.style, inputs[i]); !error.empty()) return usageError(error);
    ordered_json all = ordered_json::array();
    bool failed = false;
    for (LevelInput& in : inputs) {
        // Out of memory (or a vector that could not grow) for this level alone.
        const ordered_json starved = {
            {"level", in.level},
            {"ok", false},
            {"problems", {{{"file", in.level}, {"message", "not enough memory to read it"}, {"error", true}}}}};
        ordered_json facts;
        try {
            facts = levelFacts(in);
        } catch (const std::bad_alloc&) {
            facts = starved;
        } catch (const std::length_error&) {
            facts = starved;
        }
        failed = failed || !facts["ok"].get<bool>();
        if (!facts["ok"].get<bool>()) {
            // Errors go to standard error too, as render tells them.
            std::string errors;
            for (const auto& p : facts["problems"])
                if (p["error"].get<bool>())
                    errors += reportLine(p["file"].get<std::string>(), p["message"].get<std::string>(), true);
            printError(errors);
        }
        if (o.json) all.push_back(std::move(facts));
        else printText(facts);
    }
    // File and zone names are bytes, not always UTF-8: a byte that is not
    // becomes U+FFFD, so the document stays valid JSON.
    if (o.json) std::cout << ordered_json{{"levels", all}}.dump(2, ' ', false, ordered_json::error_handler_t::replace) << "\n";
    return failed ? ExitFailed : ExitOk;
}

}  // namespace

Runner setupInfo(CLI::App& command) {
    auto o = std::make_shared<InfoOptions>();
    command.add_option("LEVEL", o->levels, "Level: a .mmp, or a .gmp with --style")->required();
    command.add_option("--style", o->style, "Style file for .gmp levels");
    command.add_flag("--json", o->json, "One JSON document (see vantmap(1) for its shape)");
    return [o] { return runInfo(*o); };
}

}  // namespace vant::vantmap
