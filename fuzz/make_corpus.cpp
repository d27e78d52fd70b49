// Writes the seed corpora of the harnesses into fuzz/corpus/<harness>/.
// Levels are built with the level writers; the hostile variants lie in the
// ways strangers' files do (sizes past the end, records cut off, numbers
// outside every table). Usage: make_fuzz_corpus CORPUS_FOLDER
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/level_writer.h"
#include "../tests/level_bytes.h"

using namespace vant;
using namespace vant::test;
namespace fs = std::filesystem;

namespace {

fs::path root;

// A seed's name and bytes, made from bytes or from text.
struct Seed {
    std::string name;
    ByteVec bytes;
    Seed(std::string n, ByteVec b) : name(std::move(n)), bytes(std::move(b)) {}
    Seed(std::string n, const std::string& text) : name(std::move(n)), bytes(text.begin(), text.end()) {}
};

void put(const std::string& harness, const std::vector<Seed>& seeds) {
    fs::create_directories(root / harness);
    for (const Seed& s : seeds)
        if (!saveBytes((root / harness / s.name).string(), s.bytes)) {
            std::fprintf(stderr, "cannot write %s\n", (root / harness / s.name).c_str());
            std::exit(1);
        }
}

ByteVec filled(size_t n, uint8_t value) { return ByteVec(n, value); }
// Seeds carry version 700, as the game's files do.
ByteVec rawContainer(const std::string& magic, const std::vector<RawChunk>& chunks) {
    return rawChunkFile(magic, chunks, 700);
}
ByteVec plus(ByteVec v, const ByteVec& tail) {
    v.insert(v.end(), tail.begin(), tail.end());
    return v;
}

void commandLines() {
    const char* lines[] = {
        "-saveminimap -sty city.sty -gmp city.gmp -out \"C:\\my maps\\city.jpg\" -size 300 -bluewater 7",
        "-saveminimap -mmp level.mmp -out out.tga -debug yes -benchmark 1 -jpg_quality -20",
        "a \"b c\" d", "\"\"", "x\"y\"", "\"never closed \t tab", "-size 99999999999999999999999 -size",
        "\t-debug\tTrue\r\n-out",
    };
    std::vector<Seed> seeds;
    for (const char* l : lines) seeds.emplace_back("line" + std::to_string(seeds.size()), std::string(l));
    put("command_line", seeds);
}

void chunkDirectories() {
    put("chunk_directory",
        {{"header_only", rawContainer("GBST", {})},
         {"ends_in_version", ByteVec{'G', 'B', 'M', 'P', 1}},
         {"zero_size_then_chunk", rawContainer("GBST", {{"PALB", {}}, {"PALX", u16s({1, 2})}})},
         {"duplicate", rawContainer("GBMP", {{"ZONE", filled(6, 0)}, {"ANIM", {}}, {"ZONE", {}}})},
         {"size_past_end", rawContainer("GBST", {{"SPEC", u16s({5, 0})}, {"TILE", filled(10, 1), 0xFFFFFFFFu}})},
         {"type_then_end", plus(rawContainer("GBMP", {{"DMAP", {}}}), {'Z', 'O', 'N', 'E'})},
         {"cut_in_size", plus(rawContainer("GBMP", {{"UMAP", filled(12, 3)}}), {'C', 'M', 'A', 'P', 0xFF})},
         {"short_type", rawContainer("GBST", {{"A", filled(3, 0)}, {std::string("\0BC", 3), {}}})}});
}

StyleWriter smallStyle() {
    StyleWriter s;
    for (int t = 0; t < 16; ++t) s.setVirtualPalette(size_t(t), uint16_t(t % 3));
    for (int p = 0; p < 3; ++p)
        for (int c = 1; c < 256; ++c) s.setColour(p, c, Rgb{uint8_t(c), uint8_t(p * 80), uint8_t(255 - c)});
    s.setTilePageCount(1);
    for (int t = 0; t < 16; ++t)
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; x += 3) s.setPixel(t, x, y, uint8_t((x + y + t) % 7));
    for (auto [tile, group] : {std::pair{2, 2}, {5, 2}, {7, 1}}) s.addToGroup(tile, group);
    s.setPaletteBase(0, 4);
    std::vector<uint8_t> sprites(3 * 256, 0);
    for (size_t i = 0; i < sprites.size(); ++i) sprites[i] = uint8_t(i % 5);
    s.setSpriteGraphics(sprites);
    s.addSprite(0, 4, 2);
    s.addSprite(250, 20, 3);    // runs off the right edge of its page
    s.addSprite(700, 255, 255); // runs past the end of the graphics
    s.addSprite(5000, 1, 1);    // ptr past the graphics: dropped
    return s;
}

void styles() {
    // Sprites on pages past the atlas and rectangles off their page.
    StyleWriter far;
    far.setVirtualPalette(0, 1);
    far.setColour(1, 1, Rgb{1, 2, 3});
    far.setSpriteGraphics(filled(256 * 4, 1));
    far.addSprite(255, 255, 255);
    far.addSprite(3 * 256 + 250, 9, 200);
    far.addChunk("SPRX", u32s({0x00400000u, 0x0000FFFFu}));  // a second index: warned about, not read
    const std::vector<Seed> seeds = {
        {"small", smallStyle().bytes()},
        // Palettes: entries that name physical palettes past the 320 held,
        // a short colour chunk, bases of every kind.
        {"palx_past_store", rawContainer("GBST", {{"PALX", u16s({0, 319, 320, 65535, 7})}, {"PPAL", filled(1024, 0x40)},
                                                  {"PALB", u16s({65535, 1})}, {"TILE", filled(3000, 9)}})},
        {"odd_sizes", rawContainer("GBST", {{"PALX", filled(3, 1)}, {"PPAL", filled(7, 2)}, {"PALB", filled(1, 5)},
                                            {"SPEC", filled(5, 0)}})},
        // Sizes that promise far more than the file holds.
        {"lying_sizes",
         rawContainer("GBST", {{"PALX", u16s({1, 2}), 0xFFFFFFFFu}, {"PPAL", filled(64, 3), 0x7FFFFFFFu}})},
        {"lying_tile", rawContainer("GBST", {{"PALX", u16s({1})}, {"TILE", filled(70000, 4), 0xFFFFFFFFu}})},
        {"lying_sprites", rawContainer("GBST", {{"PPAL", filled(64, 3)}, {"PALB", u16s({2})},
                                                {"SPRG", filled(300, 6), 0xFFFFFFF0u},
                                                {"SPRX", u32s({0, 0xFFFF, 0xFFFFFF00u, 0x00000303u}), 0xFFFFFFFFu}})},
        // More tile pages than the atlas holds: 65 pages claimed.
        {"sixty_five_pages", rawContainer("GBST", {{"TILE", filled(200, 1), 65u * 65536u}})},
        // Missing palette chunks.
        {"no_palx", rawContainer("GBST", {{"PPAL", filled(256, 9)}, {"TILE", filled(512, 3)}})},
        {"no_ppal", rawContainer("GBST", {{"PALX", u16s({1, 2, 3})}, {"TILE", filled(512, 3)},
                                          {"SPEC", u16s({1, 0, 2, 0, 2000, 1023})}})},
        {"sprites_off_page", far.bytes()}};
    put("style", seeds);
}

MapWriter sampleMap() {
    MapWriter m;
    for (int y = 10; y < 14; ++y)
        for (int x = 10; x < 20; ++x) {
            BlockInfo& b = m.at(x, y, 2);
            b.lid = uint16_t(2 + (x % 3) * 4);  // tiles 2, 6, 10: water in the windowed harness
            b.left = 5;
            b.slope = uint8_t((x % 5) << 2);
        }
    m.at(0, 0, 7).lid = 6;
    m.at(255, 255, 0).lid = 0x3FF;
    m.addZone({1, 10, 20, 5, 3, "Dock"});
    m.addZone({14, 0, 0, 0, 0, std::string("gang\0hidden", 11)});
    m.addZone({30, 250, 250, 255, 255, "too big"});
    m.addAnimation({2, 1, 2, {2, 6, 10}});
    m.addAnimation({0, 0, 0, {}});
    m.addAnimation({2000, 0, 0, {1}});
    return m;
}

void maps() {
    const MapWriter m = sampleMap();
    const ByteVec zone = m.zoneChunk(), anim = m.animChunk();
    ByteVec umap = m.umapChunk();
    umap.resize(12 * 700 + 5);  // short, with a partial last record
    const std::vector<Seed> seeds = {
        {"dmap", m.bytes(BlockMapFormat::Dmap)},
        {"short_umap", rawContainer("GBMP", {{"UMAP", umap}, {"ZONE", zone}, {"ANIM", anim}})},
        {"umap_lying_size", rawContainer("GBMP", {{"UMAP", filled(100, 7), 0xFFFFFFFFu}})},
        {"cmap_only", rawContainer("GBMP", {{"CMAP", filled(40, 1)}})},
        // Records cut off by their chunk's end, the next chunk right behind.
        {"records_cut", rawContainer("GBMP", {{"ANIM", ByteVec(anim.begin(), anim.end() - 1)},
                                              {"ZONE", ByteVec(zone.begin(), zone.end() - 2)},
                                              {"PSXM", filled(32, 0x41)}, {"UMAP", filled(24, 1)}})},
        {"lying_records", rawContainer("GBMP", {{"ZONE", {1, 2, 3, 4, 5, 250, 'a'}, 0xFFFFFFFFu},
                                                {"ANIM", {4, 0, 0, 0, 255, 0, 1, 0}, 0x80000000u}})}};
    put("map", seeds);
    // A DMAP of nothing but lies: every base entry, height and number wild.
    ByteVec dmap(65536 * 4, 0xFF);
    for (size_t i = 0; i < 65536; i += 7) std::fill_n(&dmap[4 * i], 4, 0);
    dmap = plus(dmap, u32s({3, 0x00000308u, 0xFFFFFFFFu, 0x00000001u, 0xFFFFFFFFu}));
    put("map", {{"dmap_lying", rawContainer("GBMP", {{"DMAP", dmap}})}});
}

void blockMaps() {
    auto compact = [](const std::vector<uint32_t>& bases, const ByteVec& rest) {
        ByteBuffer b;
        b.u8(0);
        b.u16(uint16_t(bases.size()));
        for (uint32_t v : bases) b.u32(v);
        b.append(rest);
        return b.take();
    };
    // W = 3: one column of height 5, offset 3, then B = 2 blocks (lids 7, 9).
    ByteVec good = u32s({3, 0x0305, 0, 1, 2});
    for (uint16_t lid : {7, 9}) {
        const auto bytes = blockBytes(BlockInfo{0, 0, 0, 0, lid, 0, 4});
        good.insert(good.end(), bytes.begin(), bytes.end());
    }
    put("block_map", {{"column", compact({0}, good)},
                      {"lying_bases", compact({0, 0xFFFFFFFFu, 1, 0x40000000u}, u32s({1, 0x00000FFFu, 0}))},
                      {"huge_word_count", compact({0}, u32s({0xFFFFFFFFu, 0x00000008u, 5, 1}))},
                      {"tall_column", compact({0, 0}, u32s({2, 0x000000FFu, 0xFFFFFFFFu, 1}))},
                      {"no_word_count", compact({}, {})}});
}

void textFiles() {
    const char dropped[] = "gmp\xFE" "file=\x00z.gmp\xFF\n";  // a zero byte inside
    put("map_description",
        {{"plain", mapDescriptionText({{"GMPFile", "city.gmp"}, {"STYFile", "..\\styles\\city.sty"},
                                       {"SCRFile", "city.scr"}, {"Description", "Big | city (2 players)"},
                                       {"PlayerCount", "2"}})},
         {"odd_lines", std::string("  [MAPFILES]  \nno equals here\n=\ngmpfile=\nplayercount=300\n[other]\n"
                                   "styfile = a=b.sty\ndescription=\n")},
         {"blank_first", std::string("\r\n[MapFiles]\r\ngmpfile=x.gmp\r\n")},
         {"not_a_description", std::string("GBMP\x01\x02 binary")},
         {"long_and_dropped_bytes", "[MapFiles]\ndescription=" + std::string(2500, 'x') + "\n" +
                                        std::string(dropped, sizeof dropped - 1)}});
    std::string twenty;
    for (int i = 0; i < 20; ++i)
        twenty += "0000ABC" + std::to_string(i % 10) + "|maps/m" + std::to_string(i) + ".gmp|s.sty|m.scr|m.mis|Map " +
                  std::to_string(i) + "|\r\n";
    put("recent_maps",
        {{"twenty", twenty},
         {"odd", std::string("XYZ12345|a|b|c|d|e\nshort|line|\n123456789|||||name|extra|\r|\r\nunfinished|")},
         {"empty", std::string()}});
    put("settings", {{"typical", std::string("; comment\r\n[paths]\r\n  VANT_Path = C:\\Games\\VANT\\VANT.exe \r\n"
                                             "Thumbnails = JPG\r\na=b=c\r\nkey=\r\n=value\r\n")},
                     {"long_line", "vant_path=" + std::string(3000, 'p') + "\n" + std::string(1030, '=') + "\n"}});
    put("fullscreen", {{"two_lines", std::string("1920\r\n1080\r\n")}, {"one_line", std::string("800")},
                       {"empty", std::string()}, {"garbage", std::string("wide\nhigh\n")},
                       {"long_first_line", std::string(100, '7') + "\n600\n"}, {"zero_width", std::string("0\n600")}});
}

void tgas() {
    // Top-left origin (descriptor 0x20).
    put("tga", {{"type2_24", tgaFile(2, 2, 1, 24, 0x20, {1, 2, 3, 4, 5, 6})},
                {"type10_run", tgaFile(10, 4, 1, 24, 0x20, {0x83, 10, 20, 30})},
                {"type10_raw_and_run_32",
                 tgaFile(10, 3, 2, 32, 0x20, {0x01, 1, 2, 3, 4, 5, 6, 7, 8, 0x83, 9, 9, 9, 9})},
                {"too_many_pixels", tgaFile(10, 2, 2, 24, 0x20, {0x84, 1, 2, 3})},
                {"huge_claim", tgaFile(2, 65535, 65535, 32, 0x20, filled(100, 1))},
                {"sixteen_bits", tgaFile(2, 1, 1, 16, 0x20, {})},
                {"short_header", ByteVec{0, 0, 2, 0, 0}}});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    root = argv[1];
    commandLines();
    chunkDirectories();
    styles();
    maps();
    blockMaps();
    textFiles();
    tgas();
    return 0;
}
