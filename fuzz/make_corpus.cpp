// Writes the seed corpora of the harnesses into fuzz/corpus/<harness>/.
// Levels are built with the level writers; the hostile variants lie in the
// ways strangers' files do (sizes past the end, records cut off, numbers
// outside every table). Usage: make_fuzz_corpus CORPUS_FOLDER
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/level_writer.h"

using namespace vant;
namespace fs = std::filesystem;

namespace {

fs::path root;

void put(const std::string& harness, const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path folder = root / harness;
    fs::create_directories(folder);
    if (!saveBytes((folder / name).string(), bytes)) {
        std::fprintf(stderr, "cannot write %s\n", (folder / name).c_str());
        std::exit(1);
    }
}
void put(const std::string& harness, const std::string& name, const std::string& text) {
    put(harness, name, std::vector<uint8_t>(text.begin(), text.end()));
}

// A container whose chunks carry the size fields given, not their real sizes.
struct RawChunk {
    std::string type;
    uint32_t claimed;
    std::vector<uint8_t> data;
};
std::vector<uint8_t> rawContainer(const std::string& magic, const std::vector<RawChunk>& chunks) {
    ByteBuffer out;
    for (size_t i = 0; i < 4; ++i) out.u8(i < magic.size() ? uint8_t(magic[i]) : 0);
    out.u16(700);
    for (const RawChunk& c : chunks) {
        for (size_t i = 0; i < 4; ++i) out.u8(i < c.type.size() ? uint8_t(c.type[i]) : 0);
        out.u32(c.claimed);
        out.append(c.data);
    }
    return out.take();
}
RawChunk honest(const std::string& type, std::vector<uint8_t> data) {
    const uint32_t size = uint32_t(data.size());
    return {type, size, std::move(data)};
}
std::vector<uint8_t> u16s(const std::vector<uint16_t>& values) {
    ByteBuffer b;
    for (uint16_t v : values) b.u16(v);
    return b.take();
}
std::vector<uint8_t> u32s(const std::vector<uint32_t>& values) {
    ByteBuffer b;
    for (uint32_t v : values) b.u32(v);
    return b.take();
}
std::vector<uint8_t> filled(size_t n, uint8_t value) { return std::vector<uint8_t>(n, value); }

void commandLines() {
    const char* lines[] = {
        "-saveminimap -sty city.sty -gmp city.gmp -out \"C:\\my maps\\city.jpg\" -size 300 -bluewater 7",
        "-saveminimap -mmp level.mmp -out out.tga -debug yes -benchmark 1 -jpg_quality -20",
        "a \"b c\" d",
        "\"\"",
        "x\"y\"",
        "\"never closed \t tab",
        "-size 99999999999999999999999 -size",
        "\t-debug\tTrue\r\n-out",
    };
    int i = 0;
    for (const char* l : lines) put("command_line", "line" + std::to_string(i++), std::string(l));
}

void chunkDirectories() {
    const std::string h = "chunk_directory";
    put(h, "header_only", rawContainer("GBST", {}));
    put(h, "ends_in_version", std::vector<uint8_t>{'G', 'B', 'M', 'P', 1});
    put(h, "zero_size_then_chunk", rawContainer("GBST", {honest("PALB", {}), honest("PALX", u16s({1, 2}))}));
    put(h, "duplicate", rawContainer("GBMP", {honest("ZONE", filled(6, 0)), honest("ANIM", {}), honest("ZONE", {})}));
    put(h, "size_past_end", rawContainer("GBST", {honest("SPEC", u16s({5, 0})), {"TILE", 0xFFFFFFFFu, filled(10, 1)}}));
    std::vector<uint8_t> loneType = rawContainer("GBMP", {honest("DMAP", {})});
    loneType.insert(loneType.end(), {'Z', 'O', 'N', 'E'});
    put(h, "type_then_end", loneType);
    std::vector<uint8_t> cut = rawContainer("GBMP", {honest("UMAP", filled(12, 3))});
    cut.insert(cut.end(), {'C', 'M', 'A', 'P', 0xFF});
    put(h, "cut_in_size", cut);
    put(h, "short_type", rawContainer("GBST", {honest("A", filled(3, 0)), honest(std::string("\0BC", 3), {})}));
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
    s.addToGroup(2, 2);
    s.addToGroup(5, 2);
    s.addToGroup(7, 1);
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
    for (const char* h : {"style", "style_windowed"}) {
        put(h, "small", smallStyle().bytes());

        // Palettes: entries that name physical palettes past the 320 held,
        // a short colour chunk, bases of every kind.
        put(h, "palx_past_store",
            rawContainer("GBST", {honest("PALX", u16s({0, 319, 320, 65535, 7})), honest("PPAL", filled(1024, 0x40)),
                                  honest("PALB", u16s({65535, 1})), honest("TILE", filled(3000, 9))}));
        put(h, "odd_sizes", rawContainer("GBST", {honest("PALX", filled(3, 1)), honest("PPAL", filled(7, 2)),
                                                  honest("PALB", filled(1, 5)), honest("SPEC", filled(5, 0))}));
        // Sizes that promise far more than the file holds.
        put(h, "lying_sizes",
            rawContainer("GBST", {{"PALX", 0xFFFFFFFFu, u16s({1, 2})}, {"PPAL", 0x7FFFFFFFu, filled(64, 3)}}));
        put(h, "lying_tile", rawContainer("GBST", {honest("PALX", u16s({1})), {"TILE", 0xFFFFFFFFu, filled(70000, 4)}}));
        put(h, "lying_sprites", rawContainer("GBST", {honest("PPAL", filled(64, 3)), honest("PALB", u16s({2})),
                                                      {"SPRG", 0xFFFFFFF0u, filled(300, 6)},
                                                      {"SPRX", 0xFFFFFFFFu, u32s({0, 0xFFFF, 0xFFFFFF00u, 0x00000303u})}}));
        // More tile pages than the atlas holds: 65 pages claimed.
        put(h, "sixty_five_pages", rawContainer("GBST", {{"TILE", 65u * 65536u, filled(200, 1)}}));
        // Missing palette chunks.
        put(h, "no_palx", rawContainer("GBST", {honest("PPAL", filled(256, 9)), honest("TILE", filled(512, 3))}));
        put(h, "no_ppal", rawContainer("GBST", {honest("PALX", u16s({1, 2, 3})), honest("TILE", filled(512, 3)),
                                                honest("SPEC", u16s({1, 0, 2, 0, 2000, 1023}))}));
        // Sprites on pages past the atlas and rectangles off their page.
        StyleWriter far;
        far.setVirtualPalette(0, 1);
        far.setColour(1, 1, Rgb{1, 2, 3});
        std::vector<uint8_t> graphics(256 * 4, 1);
        far.setSpriteGraphics(graphics);
        far.addSprite(255, 255, 255);
        far.addSprite(3 * 256 + 250, 9, 200);
        far.addChunk("SPRX", u32s({0x00400000u, 0x0000FFFFu}));  // a second index: warned about, not read
        put(h, "sprites_off_page", far.bytes());
    }
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
    const std::vector<uint8_t> zone = m.zoneChunk(), anim = m.animChunk();
    std::vector<uint8_t> umap = m.umapChunk();
    umap.resize(12 * 700 + 5);  // short, with a partial last record

    for (const char* h : {"map", "map_windowed"}) {
        put(h, "dmap", m.bytes(BlockMapFormat::Dmap));
        put(h, "short_umap", rawContainer("GBMP", {honest("UMAP", umap), honest("ZONE", zone), honest("ANIM", anim)}));
        put(h, "umap_lying_size", rawContainer("GBMP", {{"UMAP", 0xFFFFFFFFu, filled(100, 7)}}));
        put(h, "cmap_only", rawContainer("GBMP", {honest("CMAP", filled(40, 1))}));
        // Records cut off by their chunk's end, the next chunk right behind.
        std::vector<uint8_t> zoneCut(zone.begin(), zone.end() - 2), animCut(anim.begin(), anim.end() - 1);
        put(h, "records_cut",
            rawContainer("GBMP", {honest("ANIM", animCut), honest("ZONE", zoneCut), honest("PSXM", filled(32, 0x41)),
                                  honest("UMAP", filled(24, 1))}));
        put(h, "lying_records", rawContainer("GBMP", {{"ZONE", 0xFFFFFFFFu, {1, 2, 3, 4, 5, 250, 'a'}},
                                                      {"ANIM", 0x80000000u, {4, 0, 0, 0, 255, 0, 1, 0}}}));
    }
    // A DMAP of nothing but lies: every base entry, height and number wild.
    std::vector<uint8_t> dmap(65536 * 4, 0xFF);
    for (size_t i = 0; i < 65536; i += 7) dmap[4 * i] = dmap[4 * i + 1] = dmap[4 * i + 2] = dmap[4 * i + 3] = 0;
    const std::vector<uint8_t> tail = u32s({3, 0x00000308u, 0xFFFFFFFFu, 0x00000001u, 0xFFFFFFFFu});
    dmap.insert(dmap.end(), tail.begin(), tail.end());
    put("map", "dmap_lying", rawContainer("GBMP", {honest("DMAP", dmap)}));
}

void blockMaps() {
    const std::string h = "block_map";
    auto compact = [](bool umap, const std::vector<uint32_t>& bases, const std::vector<uint8_t>& rest) {
        ByteBuffer b;
        b.u8(umap ? 1 : 0);
        b.u16(uint16_t(bases.size()));
        for (uint32_t v : bases) b.u32(v);
        b.append(rest);
        return b.take();
    };
    BlockInfo block;
    block.lid = 7;
    block.slope = 4;
    ByteBuffer good;  // W = 3: one column of height 5, offset 3, then B = 2 blocks
    good.u32(3);
    good.u8(5);
    good.u8(3);
    good.u16(0);
    good.u32(0);
    good.u32(1);
    good.u32(2);
    good.block(block);
    block.lid = 9;
    good.block(block);
    put(h, "column", compact(false, {0}, good.take()));
    put(h, "lying_bases", compact(false, {0, 0xFFFFFFFFu, 1, 0x40000000u}, u32s({1, 0x00000FFFu, 0})));
    put(h, "huge_word_count", compact(false, {0}, u32s({0xFFFFFFFFu, 0x00000008u, 5, 1})));
    put(h, "tall_column", compact(false, {0, 0}, u32s({2, 0x000000FFu, 0xFFFFFFFFu, 1})));
    put(h, "no_word_count", compact(false, {}, {}));
    put(h, "umap_partial", compact(true, {}, filled(12 * 3 + 7, 0x11)));
}

void mapDescriptions() {
    const std::string h = "map_description";
    put(h, "plain", mapDescriptionText({{"GMPFile", "city.gmp"}, {"STYFile", "..\\styles\\city.sty"},
                                        {"SCRFile", "city.scr"}, {"Description", "Big | city (2 players)"},
                                        {"PlayerCount", "2"}}));
    put(h, "odd_lines", std::string("  [MAPFILES]  \nno equals here\n=\ngmpfile=\nplayercount=300\n[other]\n"
                                    "styfile = a=b.sty\ndescription=\n"));
    put(h, "blank_first", std::string("\r\n[MapFiles]\r\ngmpfile=x.gmp\r\n"));
    put(h, "not_a_description", std::string("GBMP\x01\x02 binary"));
    std::string longLine = "[MapFiles]\ndescription=" + std::string(2500, 'x') + "\n";
    const char dropped[] = "gmp\xFE" "file=\x00z.gmp\xFF\n";  // a zero byte inside
    longLine += std::string(dropped, sizeof dropped - 1);
    put(h, "long_and_dropped_bytes", longLine);
}

void tgas() {
    const std::string h = "tga";
    auto header = [](uint8_t type, uint16_t w, uint16_t hgt, uint8_t depth) {
        ByteBuffer b;
        for (int i = 0; i < 12; ++i) b.u8(i == 2 ? type : 0);
        b.u16(w);
        b.u16(hgt);
        b.u8(depth);
        b.u8(0x20);
        return b;
    };
    ByteBuffer a = header(2, 2, 1, 24);
    a.append(std::vector<uint8_t>{1, 2, 3, 4, 5, 6});
    put(h, "type2_24", a.take());
    ByteBuffer b = header(10, 4, 1, 24);
    b.append(std::vector<uint8_t>{0x83, 10, 20, 30});
    put(h, "type10_run", b.take());
    ByteBuffer c = header(10, 3, 2, 32);
    c.append(std::vector<uint8_t>{0x01, 1, 2, 3, 4, 5, 6, 7, 8, 0x83, 9, 9, 9, 9});
    put(h, "type10_raw_and_run_32", c.take());
    ByteBuffer d = header(10, 2, 2, 24);
    d.append(std::vector<uint8_t>{0x84, 1, 2, 3});
    put(h, "too_many_pixels", d.take());
    ByteBuffer e = header(2, 65535, 65535, 32);
    e.append(filled(100, 1));
    put(h, "huge_claim", e.take());
    put(h, "sixteen_bits", header(2, 1, 1, 16).take());
    put(h, "short_header", std::vector<uint8_t>{0, 0, 2, 0, 0});
}

void recentMaps() {
    const std::string h = "recent_maps";
    std::string twenty;
    for (int i = 0; i < 20; ++i)
        twenty += "0000ABC" + std::to_string(i % 10) + "|maps/m" + std::to_string(i) + ".gmp|s.sty|m.scr|m.mis|Map " +
                  std::to_string(i) + "|\r\n";
    put(h, "twenty", twenty);
    put(h, "odd", std::string("XYZ12345|a|b|c|d|e\nshort|line|\n123456789|||||name|extra|\r|\r\nunfinished|"));
    put(h, "empty", std::string());
}

void settingsFiles() {
    const std::string h = "settings";
    put(h, "typical", std::string("; comment\r\n[paths]\r\n  VANT_Path = C:\\Games\\VANT\\VANT.exe \r\nThumbnails = JPG\r\n"
                                  "a=b=c\r\nkey=\r\n=value\r\n"));
    put(h, "long_line", "vant_path=" + std::string(3000, 'p') + "\n" + std::string(1030, '=') + "\n");
}

void fullscreenFiles() {
    const std::string h = "fullscreen";
    put(h, "two_lines", std::string("1920\r\n1080\r\n"));
    put(h, "one_line", std::string("800"));
    put(h, "empty", std::string());
    put(h, "garbage", std::string("wide\nhigh\n"));
    put(h, "long_first_line", std::string(100, '7') + "\n600\n");
    put(h, "zero_width", std::string("0\n600"));
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
    mapDescriptions();
    tgas();
    recentMaps();
    settingsFiles();
    fullscreenFiles();
    return 0;
}
