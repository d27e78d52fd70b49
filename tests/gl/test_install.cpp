// The installed program folder, moved after installing: the headless job and
// a windowed load run from it, and the load's files land beside the
// installed binary.
#include <gtest/gtest.h>

#include <cstdlib>

#include "display.h"
#include "run_binary.h"

using namespace vant::test;
namespace fs = std::filesystem;

TEST(Install, TheMovedFolderRunsTheJobAndAWindowedLoad) {
    TempFolder work;
    const fs::path installed = work / "installed", home = work / "moved here";
    const std::string install = std::string("'" CMAKE_COMMAND_PATH "' --install '" VANT_BUILD_DIR "' --prefix '") +
                                installed.string() + "' > /dev/null";
    ASSERT_EQ(std::system(install.c_str()), 0);
    fs::rename(installed, home);
    for (const char* file : {"vantedit", "vantedit-window", "README.md", "data/loading.tga", "data/minimaps"})
        EXPECT_TRUE(fs::exists(home / file)) << file;

    const RunResult made = runProgram(MAKE_SAMPLE_CITY, {work.path().string() + "/"}, work.path());
    ASSERT_EQ(made.status, 0) << made.stdErr;
    const std::string mmp = (work / "sample.mmp").string(), picture = (work / "city.jpg").string();
    const RunResult job = runProgram(home / "vantedit", {"-saveminimap", "-mmp", mmp, "-out", picture, "-size", "256"},
                                     work.path());
    EXPECT_EQ(job.status, 1) << job.stdErr;
    ASSERT_TRUE(fs::exists(picture)) << job.stdErr;

    BackgroundRun run(home / "vantedit", {mmp}, work.path());
    ASSERT_TRUE(run.answer("NOTICE", "Return")) << run.stdErr();
    ASSERT_EQ(run.wait(), 1) << run.stdErr();
    std::vector<fs::path> thumbnails;
    for (const auto& entry : fs::directory_iterator(home / "data/minimaps")) thumbnails.push_back(entry.path());
    ASSERT_EQ(thumbnails.size(), 1u);
    EXPECT_TRUE(readFile(thumbnails[0]) == readFile(picture)) << "thumbnail differs from the headless picture";
    EXPECT_TRUE(fs::exists(home / "recent_maps.txt") && fs::exists(home / "loading.log"));
}
