// vantmap end to end: the real binary on levels written by the project's
// own writers, run from a folder of its own with relative paths.
#include <nlohmann/json.hpp>

#include <array>

#include "test_support.h"

#include "base/text.h"
#include "minimap/output.h"

namespace fs = std::filesystem;
using vant::test::RunResult;

namespace vant {
namespace {

const fs::path kVantmap = VANTMAP_BINARY;

RunResult vantmap(const fs::path& cwd, const std::vector<std::string>& args, bool keepOutput = false) {
    return test::runProgram(kVantmap, args, cwd, {}, keepOutput);
}

// Style: tile t (1..3) is filled with colour index 1 of its own palette,
// red, green and blue in turn; groups [2] and [3, 1].
void writeStyle(const fs::path& path) {
    StyleWriter style;
    const Rgb colours[] = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}};
    for (int t = 1; t <= 3; ++t) {
        style.setVirtualPalette(size_t(t), uint16_t(t));
        style.setColour(t, 1, colours[t - 1]);
        for (int i = 0; i < 64 * 64; ++i) style.setPixel(t, i % 64, i / 64, 1);
    }
    for (auto [tile, group] : {std::pair{2, 0}, {3, 1}, {1, 1}}) style.addToGroup(tile, group);
    ASSERT_TRUE(saveBytes(path.string(), style.bytes()));
}

// Map: red lids over a 40 x 40 square of layer 0, green ones over a
// 10 x 10 corner of it on layer 2 (unless left out), two zones, one animation.
MapWriter cityMap(bool withLayer2 = true) {
    MapWriter map;
    for (int i = 0; i < 40 * 40; ++i) map.at(i % 40, i / 40, 0).lid = 1;
    for (int i = 0; withLayer2 && i < 10 * 10; ++i) map.at(i % 10, i / 10, 2).lid = 2;
    map.addZone({1, 100, 120, 60, 50, "Docks"});
    map.addZone({14, 200, 10, 8, 8, "gang_a"});
    map.addAnimation({3, 0, 0, {3, 1, 2}});
    return map;
}

void writeLevel(const fs::path& dir, const std::string& name) {
    ASSERT_TRUE(saveText((dir / (name + ".mmp")).string(),
                         mapDescriptionText({{"STYFile", "city.sty"}, {"GMPFile", name + ".gmp"}, {"Description", name}})));
}

// The blue, green, red bytes of pixel (x, y) of a top-left-origin TGA.
uint32_t tgaPixel(const std::string& tga, int side, int x, int y) {
    const size_t at = 18 + (size_t(y) * size_t(side) + size_t(x)) * 3;
    if (tga.size() < at + 3) return 0xFF000000u;  // no such pixel: no colour
    return uint32_t(uint8_t(tga[at + 2])) << 16 | uint32_t(uint8_t(tga[at + 1])) << 8 | uint8_t(tga[at]);
}

TEST(Vantmap, SamePicturesAsTheEditor) {
    test::TempFolder home;
    for (const char* dir : {"levels", "shots", "bin"}) fs::create_directories(home / dir);
    ASSERT_EQ(test::makeSampleCity(home / "levels").status, 0);
    const fs::path vantedit = test::installBinary(home / "bin");
    for (const char* ext : {"tga", "jpg"}) {
        const fs::path edited = home / (std::string("edited.") + ext);
        test::runProgram(vantedit, {"-saveminimap", "-mmp", (home / "levels/sample.mmp").string(), "-out",
                                    edited.string(), "-size", "1024", "-jpg_quality", "20"},
                         home.path());
        const RunResult r = vantmap(home.path(), {"render", "levels/sample.mmp", "-o", std::string("shots/m.") + ext,
                                                  "--size", "1024", "--quality", "80"});
        EXPECT_EQ(r.status, 0) << r.stdErr;
        EXPECT_EQ(r.stdErr, "");
        ASSERT_TRUE(fs::exists(edited));
        EXPECT_TRUE(test::readFile(edited) == test::readFile(home / "shots" / (std::string("m.") + ext))) << ext;
    }
}

TEST(Vantmap, UsageErrorsHelpAndVersion) {
    test::TempFolder home;
    const RunResult help = vantmap(home.path(), {"render", "--help"}, true);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.stdOut.find("--hide-layer"), std::string::npos);
    const RunResult version = vantmap(home.path(), {"--version"}, true);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.stdOut.rfind("vantmap ", 0), 0u);
    const std::vector<std::vector<std::string>> wrong = {
        {}, {"render", "a.mmp", "--size", "1000"}, {"render", "a.mmp", "--size", "4096"},
        {"render", "a.mmp", "--quality", "0"}, {"render", "a.mmp", "--hide-layer", "8"}, {"render", "a.gmp"},
        {"render", "a.mmp", "-o", "a.gif"}, {"render", "a.mmp", "-o", ""}, {"render", "a.gmp", "--style", "a.style"},
        {"info", "a.txt"}, {"rendr", "a.mmp"}};
    for (const auto& args : wrong) {
        const RunResult r = vantmap(home.path(), args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.stdErr.rfind("vantmap: ", 0), 0u) << r.stdErr;
        if (!args.empty() && args[0] == "rendr") {
            EXPECT_NE(r.stdErr.find("unknown subcommand 'rendr'"), std::string::npos) << r.stdErr;
        }
    }
    EXPECT_TRUE(fs::is_empty(home.path()));
}

// Levels of the project's writers: a batch with a failed level among good
// ones, hidden layers, zones, the info report, a damaged style.
TEST(Vantmap, BatchHiddenLayersZonesInfoAndDamage) {
    test::TempFolder home;
    const fs::path pack = home / "pack";
    for (const fs::path& dir : {home / "out", pack}) fs::create_directories(dir);
    writeStyle(pack / "city.sty");
    const MapWriter map = cityMap();
    ASSERT_TRUE(saveBytes((pack / "a.gmp").string(), map.bytes()));
    ASSERT_TRUE(saveBytes((pack / "b.gmp").string(), cityMap(false).bytes()));
    // A map cut inside its zones is drawn whole: a warning. Cut inside its
    // block map, the level cannot be read.
    std::vector<uint8_t> cut = map.bytes();
    cut.resize(cut.size() - 10);  // into the ZONE chunk, the last one
    ASSERT_TRUE(saveBytes((pack / "zonecut.gmp").string(), cut));
    cut.resize(cut.size() / 2);
    ASSERT_TRUE(saveBytes((pack / "cut.gmp").string(), cut));
    for (const char* name : {"a", "b", "c", "zonecut", "cut"}) writeLevel(pack, name);

    // Two good levels and one whose map is missing, into one folder that
    // already holds a picture for the missing one.
    test::writeFile(home / "out/c.png", "old picture");
    const RunResult r = vantmap(home.path(), {"render", "pack/a.mmp", "pack/c.mmp", "pack/b.mmp", "-o", "out", "-j", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.stdErr.find("vantmap: pack/c.gmp: cannot open: No such file or directory\n"), std::string::npos)
        << r.stdErr;
    EXPECT_EQ(test::readFile(home / "out/c.png"), "old picture");
    for (const char* name : {"out/a.png", "out/b.png"}) EXPECT_EQ(test::readFile(home / name).substr(1, 3), "PNG");
    EXPECT_EQ(std::distance(fs::directory_iterator(home / "out"), {}), 3);

    auto render = [&](const std::string& map, std::vector<std::string> extra) {
        std::vector<std::string> args = {"render", map, "--style", "city.sty", "--size", "256", "-o", "p.tga"};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(vantmap(pack, args).status, 0);
        return test::readFile(pack / "p.tga");
    };
    const std::string full = render("a.gmp", {}), bare = render("b.gmp", {});
    EXPECT_NE(full, bare);
    EXPECT_EQ(render("a.gmp", {"--hide-layer", "2"}), bare);
    EXPECT_EQ(render("a.gmp", {"--hide-layer", "2", "--hide-layer", "0"}), render("b.gmp", {"--hide-layer", "0"}));

    // At 256 pixels a square is a pixel: the Docks outline (a navigation
    // zone, cyan) runs along squares 100..159 x 120..169, on black.
    const std::string zones = render("b.gmp", {"--zones"});
    for (const auto& [x, y, want] : std::vector<std::array<uint32_t, 3>>{
             {100, 150, 0x00FFFF}, {159, 150, 0x00FFFF}, {130, 169, 0x00FFFF}, {99, 150, 0}, {150, 160, 0}})
        EXPECT_EQ(tgaPixel(zones, 256, int(x), int(y)), want) << x << "," << y;
    EXPECT_EQ(tgaPixel(zones, 256, 200, 10), tgaPixel(zones, 256, 207, 17));  // gang_a, one colour
    EXPECT_NE(tgaPixel(zones, 256, 200, 10), 0u);
    for (int x : {20, 100, 130})  // the picture under the outlines is unchanged
        EXPECT_EQ(tgaPixel(zones, 256, x, 20), tgaPixel(bare, 256, x, 20));

    // A zone name that is not UTF-8 comes out as U+FFFD in valid JSON; in the
    // text, control bytes are shown, never sent to the terminal.
    MapWriter latin = cityMap();
    latin.addZone({1, 10, 10, 5, 5, "caf\xE9"});
    latin.addZone({1, 10, 10, 5, 5, "x\n  error: \x1B[2J"});
    ASSERT_TRUE(saveBytes((pack / "latin.gmp").string(), latin.bytes()));
    const RunResult text = vantmap(pack, {"info", "latin.gmp", "--style", "city.sty"}, true);
    EXPECT_NE(text.stdOut.find("\"x\\x0A  error: \\x1B[2J\""), std::string::npos) << text.stdOut;
    // A description whose map line is empty names no map.
    test::writeFile(pack / "nomap.mmp", "[MapFiles]\r\nGMPFile=\r\nSTYFile=city.sty\r\n");
    EXPECT_NE(vantmap(pack, {"info", "nomap.mmp"}).stdErr.find("nomap.mmp: names no map file"), std::string::npos);
    const RunResult info =
        vantmap(pack, {"info", "--json", "a.mmp", "cut.mmp", "zonecut.mmp", "latin.gmp", "--style", "city.sty"}, true);
    EXPECT_EQ(info.status, 1);
    const auto doc = nlohmann::json::parse(info.stdOut);
    ASSERT_EQ(doc["levels"].size(), 4u);
    EXPECT_EQ(doc["levels"][3]["map"]["zones"][2]["name"], "caf\uFFFD");
    const auto& city = doc["levels"][0];
    EXPECT_TRUE(city["ok"].get<bool>() && city["problems"].empty());
    test::LevelFiles sum;  // loads with the checksum the job skips
    ASSERT_TRUE(sum.loadHeadless("c.sty", test::readFileBytes((pack / "city.sty").string())));
    ASSERT_TRUE(sum.loadHeadless("c.gmp", map.bytes()));
    EXPECT_EQ(city["checksum"], formatText("%08X", sum.level.checksum.value()));
    EXPECT_EQ(city["style"]["surface_groups"], nlohmann::json::parse("[[2],[1,3]]"));
    EXPECT_EQ(city["style"]["tile_pages"], 1);
    EXPECT_EQ(city["map"]["block_map"], "DMAP");
    EXPECT_EQ(city["map"]["blocks_per_layer"], nlohmann::json::parse("[1600,0,100,0,0,0,0,0]"));
    EXPECT_EQ(city["map"]["zones"][0], nlohmann::json::parse(
        R"({"id":0,"type":1,"type_name":"Navigation","name":"Docks","x":100,"y":120,"w":60,"h":50})"));
    EXPECT_EQ(city["map"]["zones"][1]["name"], "gang_a");
    EXPECT_EQ(city["map"]["animations"], nlohmann::json::parse(R"([{"base":3,"frames":[3,1,2]}])"));
    const auto& damaged = doc["levels"][1];
    EXPECT_FALSE(damaged["ok"].get<bool>());
    ASSERT_FALSE(damaged["problems"].empty());
    EXPECT_EQ(damaged["problems"][0]["file"], "./cut.gmp");
    EXPECT_NE(info.stdErr.find("vantmap: ./cut.gmp: chunk DMAP is cut short"), std::string::npos) << info.stdErr;
    const auto& zonecut = doc["levels"][2];
    EXPECT_TRUE(zonecut["ok"].get<bool>() && zonecut["map"]["zones"].size() == 1u);
    EXPECT_EQ(zonecut["problems"][0], nlohmann::json::parse(
        R"({"file":"./zonecut.gmp","message":"chunk ZONE is cut short: 13 of 23 bytes in the file","error":false})"));

    // Never written over the level's own files.
    const std::string style = test::readFile(pack / "city.sty");
    const RunResult own = vantmap(pack, {"render", "a.gmp", "--style", "city.sty", "-o", "city.sty", "--format", "tga"});
    EXPECT_EQ(own.status, 1);
    EXPECT_NE(own.stdErr.find("a.gmp: the picture would be written over city.sty"), std::string::npos) << own.stdErr;
    EXPECT_EQ(test::readFile(pack / "city.sty"), style);

    // A style cut short is damage: nothing written without --force.
    test::writeFile(pack / "city.sty", style.substr(0, style.size() - 1000));
    EXPECT_EQ(vantmap(home.path(), {"render", "pack/a.mmp", "-o", "cut.tga"}).status, 1);
    EXPECT_FALSE(fs::exists(home / "cut.tga"));
    const RunResult forced = vantmap(home.path(), {"render", "pack/a.mmp", "-o", "cut.tga", "--force"});
    EXPECT_EQ(forced.status, 1);
    EXPECT_NE(forced.stdErr.find("vantmap: pack/city.sty: chunk TILE is cut short"), std::string::npos) << forced.stdErr;
    EXPECT_TRUE(fs::exists(home / "cut.tga"));
}

}  // namespace
}  // namespace vant
