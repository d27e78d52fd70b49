// The real binary started without options, on the test display and without
// one: window creation, "fullscreen.txt" and its questions, answered through
// the display with the keyboard.
#include <gtest/gtest.h>

#include "display.h"
#include "run_binary.h"

using namespace vant::test;
namespace fs = std::filesystem;

namespace {

const std::string kFailure = "CreateGLWindow() failed with params ";

struct Installed {
    TempFolder folder;
    fs::path binary = installBinary(folder.path());
    void fullscreenFile(const std::string& content) { writeFile(folder / "fullscreen.txt", content); }
};

}  // namespace

TEST(WindowedRun, WithoutADisplayTheWindowFailsWithStatusZero) {
    Installed app;
    const RunResult r = runProgram(app.binary, {}, app.folder.path());  // DISPLAY removed
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.stdErr.find("Failed To Register The Window Class."), std::string::npos) << r.stdErr;
    EXPECT_NE(r.stdErr.find("ERROR: " + kFailure + "1024 768 32 0, program terminated."), std::string::npos)
        << r.stdErr;
}

TEST(WindowedRun, WithoutADisplayTheFullscreenSizeIsReported) {
    Installed app;
    app.fullscreenFile("800\n600\n");
    const RunResult r = runProgram(app.binary, {}, app.folder.path());
    EXPECT_EQ(r.status, 0);
    // The question cannot be shown: a silent answer is Cancel, so the
    // windowed start is tried at the size read.
    EXPECT_NE(r.stdErr.find("Notice: Setting fullscreen mode at: 800x600"), std::string::npos) << r.stdErr;
    EXPECT_NE(r.stdErr.find(kFailure + "800 600 32 0, program terminated."), std::string::npos) << r.stdErr;
}

TEST(WindowedRun, PlainStartMakesTheWindowAndEndsWithStatusOne) {
    Installed app;
    BackgroundRun run(app.binary, {}, app.folder.path());
    EXPECT_EQ(run.wait(), 1) << run.stdErr();
    EXPECT_EQ(run.stdErr().find(kFailure), std::string::npos) << run.stdErr();
}

TEST(WindowedRun, ConfirmedFullscreenModeThatDoesNotExistFallsBackToAWindow) {
    Installed app;
    app.fullscreenFile("800");  // 800 x 800: not a mode of the test display
    BackgroundRun run(app.binary, {}, app.folder.path());
    ASSERT_TRUE(run.answer("Notice", "Return")) << run.stdErr();  // OK: full screen, please
    ASSERT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();   // Yes: use windowed mode instead
    EXPECT_EQ(run.wait(), 1) << run.stdErr();
}

TEST(WindowedRun, RefusingWindowedModeEndsTheProgramWithStatusZero) {
    Installed app;
    app.fullscreenFile("800\n800\n");
    BackgroundRun run(app.binary, {}, app.folder.path());
    ASSERT_TRUE(run.answer("Notice", "Return")) << run.stdErr();
    ASSERT_TRUE(run.answer("ERROR", "Escape")) << run.stdErr();  // No
    ASSERT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();  // "Program Will Now Close."
    ASSERT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();  // the window could not be made
    EXPECT_EQ(run.wait(), 0) << run.stdErr();
}

TEST(WindowedRun, CancelledQuestionStartsWindowed) {
    Installed app;
    app.fullscreenFile("800");
    BackgroundRun run(app.binary, {}, app.folder.path());
    ASSERT_TRUE(run.answer("Notice", "Escape")) << run.stdErr();  // Cancel
    EXPECT_EQ(run.wait(), 1) << run.stdErr();
}

TEST(WindowedRun, EmptyFileAsksForTheScreenSizeWhichExists) {
    Installed app;
    app.fullscreenFile("");
    BackgroundRun run(app.binary, {}, app.folder.path());
    ASSERT_TRUE(run.answer("Notice", "Return")) << run.stdErr();  // the display's own size is a mode
    EXPECT_EQ(run.wait(), 1) << run.stdErr();
}

TEST(WindowedRun, UnreadableSizeIsReportedThenFullScreenAtTheDefaults) {
    Installed app;
    app.fullscreenFile("wide\ntall\n");
    BackgroundRun run(app.binary, {}, app.folder.path());
    ASSERT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();  // set to defaults: 1024x768
    ASSERT_TRUE(run.answer("ERROR", "Return")) << run.stdErr();  // 1024 x 768 is no mode here: Yes, windowed
    EXPECT_EQ(run.wait(), 1) << run.stdErr();
}
