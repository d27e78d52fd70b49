// The real binary started without options, on the test display and without
// one: window creation, "fullscreen.txt" and its questions, answered through
// the display with the keyboard.
#include <gtest/gtest.h>

#include <optional>

#include "display.h"
#include "run_binary.h"

using namespace vant::test;

namespace {

const std::string kFailure = "CreateGLWindow() failed with params ";

// A fresh install, with "fullscreen.txt" when `fullscreen` is given.
struct Installed {
    explicit Installed(const std::optional<std::string>& fullscreen) {
        if (fullscreen) writeFile(folder / "fullscreen.txt", *fullscreen);
    }
    TempFolder folder;
    std::filesystem::path binary = installBinary(folder.path());
};

}  // namespace

TEST(WindowedRun, WithoutADisplayTheWindowFailsWithStatusZero) {
    // With a size in the file the question cannot be shown: a silent answer
    // is Cancel, so the windowed start is tried at the size read.
    const std::vector<std::pair<std::optional<std::string>, std::vector<std::string>>> cases = {
        {std::nullopt,
         {"Failed To Register The Window Class.", "ERROR: " + kFailure + "1024 768 32 0, program terminated."}},
        {"800\n600\n", {"Notice: Setting fullscreen mode at: 800x600", kFailure + "800 600 32 0, program terminated."}},
    };
    for (const auto& [file, messages] : cases) {
        SCOPED_TRACE(file.value_or("no fullscreen.txt"));
        Installed app(file);
        const RunResult r = runProgram(app.binary, {}, app.folder.path());  // DISPLAY removed
        EXPECT_EQ(r.status, 0);
        for (const std::string& m : messages) EXPECT_NE(r.stdErr.find(m), std::string::npos) << m << "\n" << r.stdErr;
    }
}

TEST(WindowedRun, FullscreenQuestionsAnsweredOnTheDisplay) {
    struct Case {
        std::optional<std::string> file;
        std::vector<std::pair<std::string, std::string>> boxes;  // caption, key
        int status;
    };
    const Case cases[] = {
        {std::nullopt, {}, 1},  // a plain start makes the window
        // 800 x 800 is no mode of the test display: OK to full screen, then
        // Yes to windowed mode instead.
        {"800", {{"Notice", "Return"}, {"ERROR", "Return"}}, 1},
        // No to windowed mode: "Program Will Now Close.", then the window
        // could not be made.
        {"800\n800\n", {{"Notice", "Return"}, {"ERROR", "Escape"}, {"ERROR", "Return"}, {"ERROR", "Return"}}, 0},
        {"800", {{"Notice", "Escape"}}, 1},  // Cancel starts windowed
        {"", {{"Notice", "Return"}}, 1},     // the display's own size is a mode
        // Unreadable: set to the defaults, 1024 x 768, no mode here: Yes, windowed.
        {"wide\ntall\n", {{"ERROR", "Return"}, {"ERROR", "Return"}}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.value_or("no fullscreen.txt"));
        Installed app(c.file);
        BackgroundRun run(app.binary, {}, app.folder.path());
        for (const auto& [caption, key] : c.boxes) ASSERT_TRUE(run.answer(caption, key)) << caption << run.stdErr();
        EXPECT_EQ(run.wait(), c.status) << run.stdErr();
        if (c.status == 1) {
            EXPECT_EQ(run.stdErr().find(kFailure), std::string::npos) << run.stdErr();
        }
    }
}
