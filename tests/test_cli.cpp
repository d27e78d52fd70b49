// The real binary, run as modders script it: options, defaults, clamps and
// the files it leaves behind. Bare names resolve in the program's folder.

#include <algorithm>
#include <map>
#include <regex>

#include "test_support.h"

namespace fs = std::filesystem;
using namespace vant::test;

namespace {

class Cli : public ::testing::Test, public InstalledJob {
protected:
    void SetUp() override { fs::create_directory(home / "out"); }
    RunResult run(std::vector<std::string> args) { return runProgram(program, args, elsewhere.path()); }
    // A minimap job for level files that do not exist, written to out/name.
    std::string job(const std::string& name, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", out(name)};
        args.insert(args.end(), extra.begin(), extra.end());
        // Every job ends with status 1; anything else is a crash or a failed start.
        const RunResult r = run(args);
        EXPECT_EQ(r.status, 1) << name << ": " << r.stdErr;
        return readFile(out(name));
    }
    // Built with the system's separator: a Windows path mixing the two is cut
    // at its last backslash, as the job names its pictures.
    std::string out(const std::string& name) const { return (home / "out" / name).string(); }
    static int tgaWidth(const std::string& bytes) {
        return bytes.size() < 18 ? -1 : (uint8_t(bytes[12]) | (uint8_t(bytes[13]) << 8));
    }

    TempFolder elsewhere;  // where it is started from
};

TEST_F(Cli, MissingPiecesEndTheRunBeforeAnythingIsLoaded) {
    EXPECT_EQ(run({"-saveminimap", "-sty", "a.sty", "-gmp", "a.gmp", "-debug", "1"}).status, 1);
    EXPECT_NE(log().find("[Quillon's VANT Map Editor] OUTPUT FILE PATH MISSING\r\nuse -out param (requires full path)"),
              std::string::npos);
    EXPECT_EQ(log().find("was not found"), std::string::npos) << log();

    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-debug", "1", "-out"});  // -out names nothing
    EXPECT_EQ(log(), "EXIT SUCCESS\r\n");

    EXPECT_EQ(run({"-saveminimap"}).status, 1);  // a lone "-saveminimap" is a description path
    EXPECT_EQ(run({"-saveminimap", "-out", out("a.tga"), "-sty", "x.sty", "-debug", "1"}).status, 1);
    EXPECT_NE(log().find("STY or GMP file missing!"), std::string::npos) << log();
    EXPECT_FALSE(fs::exists(out("a.tga")));
}

TEST_F(Cli, SizeFormatAndJpegQuality) {
    EXPECT_EQ(tgaWidth(job("s.tga", {"-size", "300"})), 512);
    EXPECT_EQ(tgaWidth(job("default.tga")), 2048);

    // The format follows the lower-cased extension; unknown ones write nothing.
    EXPECT_EQ(tgaWidth(job("UP.TGA", {"-size", "256"})), 256);
    job("p.jpeg", {"-size", "256"});
    EXPECT_FALSE(fs::exists(out("p.jpeg")));

    // The JPEG quality is 100 minus the value, clamped to 1..100; 95 by default.
    auto jpeg = [&](const std::string& value) { return job(value + ".jpg", {"-size", "512", "-jpg_quality", value}); };
    const std::string q95 = job("default.jpg", {"-size", "512"}), q100 = jpeg("0"), q1 = jpeg("99");
    ASSERT_FALSE(q95.empty());
    EXPECT_TRUE(q95 != q100 && q100 != jpeg("1") && q1 != jpeg("98"));
    EXPECT_EQ(jpeg("5"), q95);
    EXPECT_EQ(jpeg("-20"), q100);
    EXPECT_EQ(jpeg("150"), q1);
}

// Turned and mirrored tiles and the job's ways of drawing are compared
// pixel by pixel in Minimap.* and SampleCity.*; here the files the job
// writes, their orientation and channel order.
TEST_F(Cli, TgaAndBmpFilesWholeAgainstAnIndependentDrawing) {
    // Tile 1 has four uniform quadrants A B / C D, tile 2 is one colour E:
    // lids on layer 0, tile 1 at (10, 3), tile 2 in two corners.
    const vant::Rgb colours[5] = {{200, 10, 10}, {10, 200, 10}, {10, 10, 200}, {250, 250, 50}, {90, 60, 30}};
    vant::StyleWriter style;
    for (int i = 0; i < 5; ++i) style.setColour(0, i + 1, colours[i]);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            style.setPixel(1, x, y, uint8_t(1 + (x >= 32) + 2 * (y >= 32)));
            style.setPixel(2, x, y, 5);
        }
    const std::map<std::pair<int, int>, int> lids = {{{10, 3}, 1}, {{255, 0}, 2}, {{0, 255}, 2}};  // square -> tile
    vant::MapWriter map;
    for (const auto& [at, tile] : lids) map.at(at.first, at.second, 0).lid = uint16_t(tile);
    ASSERT_TRUE(vant::saveBytes((home / "t.sty").string(), style.bytes()));
    ASSERT_TRUE(vant::saveBytes((home / "t.gmp").string(), map.bytes()));

    // The picture top row first, blue green red: a square is side / 256
    // pixels across, at 512 a quadrant of tile 1 per pixel, at 256 their
    // rounded mean.
    auto picture = [&](int side) {
        const int f = side / 256;
        std::vector<uint8_t> px(size_t(side) * size_t(side) * 3, 0);
        for (const auto& [square, tile] : lids)
            for (int n = 0; n < f * f; ++n) {
                vant::Rgb c = tile == 2 ? colours[4] : colours[n];
                if (tile == 1 && f == 1)
                    for (auto part : {&vant::Rgb::r, &vant::Rgb::g, &vant::Rgb::b})
                        c.*part = uint8_t((colours[0].*part + colours[1].*part + colours[2].*part +
                                           colours[3].*part + 2) / 4);
                const size_t at = (size_t(square.second * f + n / f) * size_t(side) +
                                   size_t(square.first * f + n % f)) * 3;
                px[at] = c.b, px[at + 1] = c.g, px[at + 2] = c.r;
            }
        return px;
    };
    // The header, then the first byte that differs.
    auto expectFile = [&](const std::string& name, const std::string& side, const std::string& want, size_t header) {
        run({"-saveminimap", "-sty", "t.sty", "-gmp", "t.gmp", "-out", out(name), "-size", side});
        const std::string got = readFile(out(name));
        EXPECT_EQ(got.substr(0, header), want.substr(0, header)) << name;
        const auto differ = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
        EXPECT_TRUE(got == want) << name << ": " << got.size() << " bytes, first difference at "
                                 << (differ.first - got.begin());
    };
    // TGA: 18 header bytes, top-left origin, rows as drawn.
    const std::vector<uint8_t> tga = picture(512);
    std::string want{0, 0, 2, 0, 0, 0, 0, 32, 0, 0, 0, 0, 0, 2, 0, 2, 24, 0x20};
    want.append(tga.begin(), tga.end());
    expectFile("t.tga", "512", want, 18);

    // BMP: 54 header bytes, rows bottom first (no padding at these widths).
    const std::vector<uint8_t> bmp = picture(256);
    vant::test::ByteVec head{'B', 'M'};
    for (uint32_t v : {54u + 196608u, 0x544E4156u, 54u, 40u, 256u, 256u, 0x180001u, 0u, 196608u, 2835u, 2835u, 0u, 0u})
        vant::test::put32(head, v);
    want.assign(head.begin(), head.end());
    for (int row = 255; row >= 0; --row) want.append(bmp.begin() + row * 768, bmp.begin() + (row + 1) * 768);
    expectFile("t.bmp", "256", want, 54);
}

TEST_F(Cli, JpegIsLibgdsOwnEncodingOfTheWholePicture) {
    // libgd is lent a band of rows at a time, each drawn as libjpeg takes
    // the last one: the bytes must be those of the whole picture (the TGA)
    // in a libgd picture of its own.
    ASSERT_EQ(makeSampleCity(home.path()).status, 0);
    for (const std::string side : {"2048", "256"}) {
        auto city = [&](const std::string& name) {
            run({"-saveminimap", "-sty", "sample.sty", "-gmp", "sample.gmp", "-out", out(name), "-size", side});
            return readFile(out(name));
        };
        const std::string tga = city(side + ".tga"), jpg = city(side + ".jpg");
        const int w = tgaWidth(tga);
        ASSERT_EQ(std::to_string(w), side);
        const ByteVec want = gdJpeg(w, w, [&](int x, int y) {
            const auto* p = reinterpret_cast<const uint8_t*>(&tga[18 + (size_t(y) * size_t(w) + size_t(x)) * 3]);
            return p[2] << 16 | p[1] << 8 | p[0];
        }, 95);
        EXPECT_TRUE(jpg == std::string(want.begin(), want.end())) << side;
    }
}

TEST_F(Cli, OwnFilesItCannotWriteAndAMissingWindowedHalfAreNamed) {
    // Where the run log and the benchmark cannot go, standard error says so.
    fs::create_directory(home / "debug.txt");
    fs::create_directory(home / "benchmark.txt");
    const RunResult r = run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", out("d.tga"), "-size", "256",
                             "-debug", "1", "-benchmark", "1"});
    EXPECT_EQ(r.status, 1);
    // (The program folder as the program names it: with either separator.)
    EXPECT_TRUE(r.stdErr.starts_with("vantedit: ")) << r.stdErr;
    EXPECT_NE(r.stdErr.find("/debug.txt: cannot write: Is a directory\n"), std::string::npos) << r.stdErr;
    EXPECT_NE(r.stdErr.find("/benchmark.txt: cannot write: "), std::string::npos) << r.stdErr;

    const fs::path half = home / "vantedit-window";
    if (!fs::exists(half)) return;  // one program for both halves here
    fs::remove(half);
    EXPECT_NE(run({"level.mmp"}).stdErr.find("vantedit: cannot start " + half.string() + ": No such file"),
              std::string::npos);
}

TEST_F(Cli, RelativePathsResolveInTheProgramFolder) {
    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", "out/rel.tga", "-size", "256", "-benchmark", "1"});
    EXPECT_TRUE(fs::exists(home / "out" / "rel.tga"));
    EXPECT_FALSE(fs::exists(elsewhere / "out"));
    // Backslashes separate folders; colons and question marks in the name become underscores.
    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", "out\\a:b?c.tga", "-size", "256"});
    EXPECT_TRUE(fs::exists(home / "out" / "a_b_c.tga"));
    const std::string bench = readFile(home / "benchmark.txt");
    EXPECT_TRUE(std::regex_match(bench, std::regex("Minimap generated in [0-9]+\\.[0-9]{6} seconds"))) << bench;

    // Explicit style and map win over the description's.
    writeFile(home / "level.mmp", "[MapFiles]\r\nGMPFile = other.gmp\r\nSTYFile = other.sty\r\n");
    job("x.tga", {"-mmp", "level.mmp", "-size", "256", "-debug", "1"});
    EXPECT_NE(log().find("\"n.sty\""), std::string::npos) << log();
    EXPECT_EQ(log().find("other"), std::string::npos) << log();
    run({"-saveminimap", "-mmp", "./level.mmp", "-sty", "mine.sty", "-out", out("y.tga"), "-size", "256", "-debug",
         "1"});
    EXPECT_NE(log().find("\"./other.sty\""), std::string::npos) << log();
}

}  // namespace
