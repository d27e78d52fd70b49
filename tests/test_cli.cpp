// The real binary, run as modders script it: options, defaults, clamps and
// the files it leaves behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_binary.h"

namespace fs = std::filesystem;
using namespace vant::test;

namespace {

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        program = installBinary(home.path());
        fs::create_directory(home / "out");
    }
    RunResult run(std::vector<std::string> args) { return runProgram(program, args, elsewhere.path()); }
    std::string out(const std::string& name) const { return (home / "out" / name).string(); }

    // TGA header fields of a written picture.
    static int tgaWidth(const std::string& bytes) {
        return bytes.size() < 18 ? -1 : (uint8_t(bytes[12]) | (uint8_t(bytes[13]) << 8));
    }

    TempFolder home;       // the program's own folder
    TempFolder elsewhere;  // where it is started from
    fs::path program;
};

TEST_F(Cli, MissingOutputEndsSilentlyOrWithDebugMessage) {
    RunResult r = run({"-saveminimap", "-sty", "a.sty", "-gmp", "a.gmp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(home / "debug.txt"));

    r = run({"-saveminimap", "-sty", "a.sty", "-gmp", "a.gmp", "-debug", "1"});
    EXPECT_EQ(r.status, 1);
    const std::string log = readFile(home / "debug.txt");
    EXPECT_NE(log.find("OUTPUT FILE PATH MISSING\r\nuse -out param (requires full path)"), std::string::npos) << log;
    EXPECT_NE(log.find("Quillon's VANT Map Editor"), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 14), "EXIT SUCCESS\r\n");
    // Nothing was loaded: no loader complained about the missing files.
    EXPECT_EQ(log.find("was not found"), std::string::npos);
}

TEST_F(Cli, MissingInputPathStopsWithoutPicture) {
    RunResult r = run({"-saveminimap", "-out", out("a.tga"), "-sty", "x.sty"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(out("a.tga")));

    r = run({"-saveminimap", "-out", out("a.tga"), "-sty", "x.sty", "-debug", "1"});
    EXPECT_NE(readFile(home / "debug.txt").find("STY or GMP file missing!"), std::string::npos);
    EXPECT_FALSE(fs::exists(out("a.tga")));
}

TEST_F(Cli, DebugTakesOnlyRecognisedTrueValues) {
    for (const char* on : {"yes", "true", "1", "2"}) {
        fs::remove(home / "debug.txt");
        run({"-saveminimap", "-sty", "x.sty", "-debug", on});
        EXPECT_TRUE(fs::exists(home / "debug.txt")) << on;
    }
    for (const char* off : {"True", "0", "no", "abc"}) {
        fs::remove(home / "debug.txt");
        run({"-saveminimap", "-sty", "x.sty", "-debug", off});
        EXPECT_FALSE(fs::exists(home / "debug.txt")) << off;
    }
    fs::remove(home / "debug.txt");
    run({"-saveminimap", "-sty", "x.sty", "-debug"});  // last token: no value
    EXPECT_FALSE(fs::exists(home / "debug.txt"));
}

TEST_F(Cli, UnreadableLevelStillGivesAPictureAndTheReasons) {
    const RunResult r = run({"-saveminimap", "-sty", "none.sty", "-gmp", "none.gmp", "-out", out("m.tga"), "-debug", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.signal, 0);
    const std::string tga = readFile(out("m.tga"));
    ASSERT_EQ(tga.size(), 18u + 2048u * 2048u * 3u);
    EXPECT_EQ(tgaWidth(tga), 2048);
    EXPECT_EQ(tga.find_first_not_of('\0', 18), std::string::npos);  // transparent black everywhere
    const std::string log = readFile(home / "debug.txt");
    EXPECT_NE(log.find("STY file was not found: \"none.sty\""), std::string::npos) << log;
    EXPECT_NE(log.find("GMP file was not found: \"none.gmp\""), std::string::npos) << log;
}

TEST_F(Cli, SizeIsRoundedUpAndClamped) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"300", 512}, {"256", 256}, {"5000", 2048}, {"abc", 256}, {"-7", 256}, {"1024", 1024}, {"1025", 2048}};
    for (const auto& [value, side] : cases) {
        const std::string path = out("s" + value + ".tga");
        run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", path, "-size", value});
        EXPECT_EQ(tgaWidth(readFile(path)), side) << value;
    }
    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", out("default.tga")});
    EXPECT_EQ(tgaWidth(readFile(out("default.tga"))), 2048);
}

TEST_F(Cli, FormatFollowsTheLowerCasedExtension) {
    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", out("UP.TGA"), "-size", "256"});
    EXPECT_EQ(tgaWidth(readFile(out("UP.TGA"))), 256);

    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", out("p.bmp"), "-size", "256"});
    EXPECT_EQ(readFile(out("p.bmp")).substr(0, 2), "BM");

    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", out("p.jpg"), "-size", "256"});
    EXPECT_EQ(readFile(out("p.jpg")).substr(0, 2), "\xFF\xD8");

    // Names the writers do not know write nothing; the reason goes to the log.
    for (const char* name : {"p.png", "p.jpeg", "noext"}) {
        run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", out(name), "-size", "256", "-debug", "1"});
        EXPECT_FALSE(fs::exists(out(name))) << name;
    }
    EXPECT_NE(readFile(home / "debug.txt").find("Cannot save image: Unknown image format \"\""), std::string::npos);
}

TEST_F(Cli, JpegQualityIsOneHundredMinusTheValue) {
    auto jpeg = [&](const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> args = {"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", out(name), "-size", "512"};
        args.insert(args.end(), extra.begin(), extra.end());
        run(args);
        return readFile(out(name));
    };
    const std::string q95 = jpeg("d.jpg", {});
    const std::string q100 = jpeg("z.jpg", {"-jpg_quality", "0"});
    const std::string q1 = jpeg("o.jpg", {"-jpg_quality", "99"});
    ASSERT_FALSE(q95.empty());
    EXPECT_EQ(jpeg("five.jpg", {"-jpg_quality", "5"}), q95);
    EXPECT_EQ(jpeg("neg.jpg", {"-jpg_quality", "-20"}), q100);
    EXPECT_EQ(jpeg("big.jpg", {"-jpg_quality", "150"}), q1);
    EXPECT_NE(q95, q100);
    EXPECT_NE(q95, q1);
}

TEST_F(Cli, RelativePathsResolveInTheProgramFolder) {
    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", "out/rel.tga", "-size", "256", "-benchmark", "1"});
    EXPECT_TRUE(fs::exists(home / "out" / "rel.tga"));
    EXPECT_FALSE(fs::exists(elsewhere / "out"));
    const std::string bench = readFile(home / "benchmark.txt");
    // "Minimap generated in %f seconds": six decimals, no line break.
    const std::string head = "Minimap generated in ", tail = " seconds";
    ASSERT_GT(bench.size(), head.size() + tail.size());
    EXPECT_EQ(bench.substr(0, head.size()), head);
    EXPECT_EQ(bench.substr(bench.size() - tail.size()), tail);
    const std::string number = bench.substr(head.size(), bench.size() - head.size() - tail.size());
    const size_t dot = number.find('.');
    ASSERT_NE(dot, std::string::npos) << bench;
    EXPECT_EQ(number.size() - dot - 1, 6u) << bench;
    EXPECT_EQ(number.find_first_not_of("0123456789."), std::string::npos) << bench;
}

TEST_F(Cli, OutputWithoutFolderIsRefused) {
    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", "bare.tga", "-debug", "1"});
    EXPECT_FALSE(fs::exists(home / "bare.tga"));
    EXPECT_NE(readFile(home / "debug.txt").find("Cannot open directory \"bare.tga\" for reading."), std::string::npos);
}

TEST_F(Cli, OddCharactersInTheFileNameBecomeUnderscores) {
    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", out("a:b?c.tga"), "-size", "256"});
    EXPECT_TRUE(fs::exists(out("a_b_c.tga")));
}

TEST_F(Cli, OutputAsLastTokenLoadsNothing) {
    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-debug", "1", "-out"});
    const std::string log = readFile(home / "debug.txt");
    EXPECT_EQ(log.find("was not found"), std::string::npos) << log;
    EXPECT_EQ(log, "EXIT SUCCESS\r\n");
}

TEST_F(Cli, ExplicitStyleAndMapWinOverTheDescription) {
    writeFile(home / "level.mmp", "[MapFiles]\r\nGMPFile = other.gmp\r\nSTYFile = other.sty\r\n");
    run({"-saveminimap", "-mmp", "level.mmp", "-sty", "mine.sty", "-gmp", "mine.gmp", "-out", out("x.tga"), "-size",
         "256", "-debug", "1"});
    const std::string log = readFile(home / "debug.txt");
    EXPECT_NE(log.find("\"mine.sty\""), std::string::npos) << log;
    EXPECT_EQ(log.find("other"), std::string::npos) << log;

    run({"-saveminimap", "-mmp", "./level.mmp", "-sty", "mine.sty", "-out", out("y.tga"), "-size", "256", "-debug", "1"});
    EXPECT_NE(readFile(home / "debug.txt").find("\"./other.sty\""), std::string::npos);
}

TEST_F(Cli, SingleTokenAndNoDisplay) {
    // A lone "-saveminimap" is a description path in headless mode.
    RunResult r = run({"-saveminimap"});
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    if (fs::exists(home / "data" / "minimaps")) {
        for (const auto& entry : fs::directory_iterator(home / "data" / "minimaps"))
            EXPECT_NE(entry.path().extension(), ".jpg") << entry.path();
    }

    // Windowed without a display: the window cannot be made.
    r = run({"level.mmp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.stdErr.find("CreateGLWindow() failed with params 1024 768 32 0, program terminated."),
              std::string::npos)
        << r.stdErr;
}

}  // namespace
