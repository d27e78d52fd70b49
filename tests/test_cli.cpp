// The real binary, run as modders script it: options, defaults, clamps and
// the files it leaves behind. Bare names resolve in the program's folder.
#include <gtest/gtest.h>

#include <regex>

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
    // A minimap job for level files that do not exist, written to out/name.
    std::string job(const std::string& name, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", out(name)};
        args.insert(args.end(), extra.begin(), extra.end());
        run(args);
        return readFile(out(name));
    }
    std::string out(const std::string& name) const { return (home / "out" / name).string(); }
    std::string log() const { return readFile(home / "debug.txt"); }
    static int tgaWidth(const std::string& bytes) {
        return bytes.size() < 18 ? -1 : (uint8_t(bytes[12]) | (uint8_t(bytes[13]) << 8));
    }

    TempFolder home;       // the program's own folder
    TempFolder elsewhere;  // where it is started from
    fs::path program;
};

TEST_F(Cli, MissingPiecesEndTheRunBeforeAnythingIsLoaded) {
    EXPECT_EQ(run({"-saveminimap", "-sty", "a.sty", "-gmp", "a.gmp", "-debug", "1"}).status, 1);
    EXPECT_NE(log().find("[Quillon's VANT Map Editor] OUTPUT FILE PATH MISSING\r\nuse -out param (requires full path)"),
              std::string::npos);
    EXPECT_EQ(log().find("was not found"), std::string::npos) << log();

    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-debug", "1", "-out"});  // -out names nothing
    EXPECT_EQ(log(), "EXIT SUCCESS\r\n");

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

    // Quality is 100 minus the value (clamped to 0..99); 95 by default.
    auto jpeg = [&](const std::string& value) { return job(value + ".jpg", {"-size", "512", "-jpg_quality", value}); };
    const std::string q95 = job("default.jpg", {"-size", "512"}), q100 = jpeg("0");
    ASSERT_FALSE(q95.empty());
    EXPECT_NE(q95, q100);
    EXPECT_EQ(jpeg("5"), q95);
    EXPECT_EQ(jpeg("-20"), q100);
    EXPECT_EQ(jpeg("150"), jpeg("99"));
}

TEST_F(Cli, RelativePathsResolveInTheProgramFolder) {
    run({"-saveminimap", "-sty", "n.sty", "-gmp", "n.gmp", "-out", "out/rel.tga", "-size", "256", "-benchmark", "1"});
    EXPECT_TRUE(fs::exists(home / "out" / "rel.tga"));
    EXPECT_FALSE(fs::exists(elsewhere / "out"));
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

TEST_F(Cli, SingleTokenAndNoDisplay) {
    // A lone "-saveminimap" is a description path in headless mode.
    EXPECT_EQ(run({"-saveminimap"}).status, 1);

#ifdef _WIN32
    GTEST_SKIP() << "a Windows session always has a display to open the window on";
#endif
    // Windowed without a display: the window cannot be made.
    const RunResult r = run({"level.mmp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.stdErr.find("CreateGLWindow() failed with params 1024 768 32 0, program terminated."),
              std::string::npos)
        << r.stdErr;
}

}  // namespace
