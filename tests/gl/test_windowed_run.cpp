// The real binary started without options, on the test display and without
// one: window creation, "fullscreen.txt" and its questions answered by keyboard.
#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

#include "display.h"
#include "run_binary.h"

using namespace vant::test;

namespace {

const std::string kFailure = "CreateGLWindow() failed with params ";


}  // namespace

TEST(WindowedRun, WithoutADisplayTheWindowFailsWithStatusZero) {
    // No box can be shown: standard error says so, with the text and the
    // answer taken. Cancel to the full-screen question: the windowed start is
    // tried at the size read.
    const std::string box = "vantedit: could not show the box ";
    const std::vector<std::pair<std::optional<std::string>, std::vector<std::string>>> cases = {
        {std::nullopt,
         {box + "\"ERROR\" (", "): answered OK\nFailed To Register The Window Class.\n",
          "): answered OK\n" + kFailure + "1024 768 32 0, program terminated.\n"}},
        {"800\n600\n",
         {box + "\"Notice\" (", "): answered Cancel\nSetting fullscreen mode at: 800x600",
          kFailure + "800 600 32 0, program terminated."}},
    };
    for (const auto& [file, messages] : cases) {
        SCOPED_TRACE(file.value_or("no fullscreen.txt"));
        InstalledProgram app;
        if (file) writeFile(app.folder / "fullscreen.txt", *file);
        const RunResult r = runProgram(app.binary, {}, app.work.path());  // DISPLAY removed
        EXPECT_EQ(r.status, 0);
        for (const std::string& m : messages) EXPECT_NE(r.stdErr.find(m), std::string::npos) << m << "\n" << r.stdErr;
    }
}

TEST(WindowedRun, FullscreenQuestionsAnsweredOnTheDisplay) {
    using Boxes = std::vector<std::pair<std::string, std::string>>;  // caption, key
    const std::vector<std::tuple<std::optional<std::string>, Boxes, int>> cases = {  // file, boxes, exit status
        {std::nullopt, {}, 1},            // a plain start makes the window
        {"", {{"Notice", "Return"}}, 1},  // the display's own size is a mode
        // 800 x 800 is no mode of the test display: OK to full screen, then
        // Yes to windowed mode instead, or No: "Program Will Now Close.", then
        // the window could not be made.
        {"800", {{"Notice", "Return"}, {"ERROR", "Return"}}, 1},
        {"800\n800\n", {{"Notice", "Return"}, {"ERROR", "Escape"}, {"ERROR", "Return"}, {"ERROR", "Return"}}, 0},
    };
    for (const auto& [file, boxes, status] : cases) {
        SCOPED_TRACE(file.value_or("no fullscreen.txt"));
        InstalledProgram app;
        if (file) writeFile(app.folder / "fullscreen.txt", *file);
        BackgroundRun run(app.binary, {}, app.work.path());
        for (const auto& [caption, key] : boxes) ASSERT_TRUE(run.answer(caption, key)) << caption << run.stdErr();
        EXPECT_EQ(run.wait(), status) << run.stdErr();
        EXPECT_TRUE(status == 0 || run.stdErr().find(kFailure) == std::string::npos) << run.stdErr();
    }
}

TEST(WindowedRun, EndsWhenTheDisplayGoesAway) {
    // A display of its own, whose server ends while the program waits for
    // the answer to its first box: the program ends too, saying why.
    InstalledProgram app;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t server = ::fork();
    if (server == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr);
        ::_exit(127);
    }
    ::close(fds[1]);
    char number[16] = {};
    const ssize_t got = ::read(fds[0], number, sizeof number - 1);
    ::close(fds[0]);
    ASSERT_GT(got, 0) << "no display";
    std::thread ender([server] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
    });
    const int status = inChild([&] {
        const std::string display = "DISPLAY=:" + std::string(number, size_t(got) - 1);  // less the line feed
        const RunResult r = runProgram(app.binary, {"level.mmp"}, app.work.path(), {display});
        return r.stdErr.find("vantedit: the connection to the display was lost") != std::string::npos ? r.status : 99;
    }, -1, false, 30);
    ender.join();
    EXPECT_EQ(status, 1);
}
