#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/fullscreen_file.h"
#include "app/runtime.h"
#include "run_binary.h"

using namespace vant;
using vant::test::TempFolder;
using vant::test::writeFile;

namespace {

struct Box {
    int type;
    std::string caption, text;
};

struct FullscreenCase {
    TempFolder folder;
    Runtime rt;
    std::vector<Box> boxes;
    int answer = AnswerOk;
    int screenAsked = 0;
    WindowRequest request;

    FullscreenCase() {
        rt.responder = [this](int type, const std::string& caption, const std::string& text) {
            boxes.push_back({type, caption, text});
            return answer;
        };
    }
    void run(const std::string* content) {
        const std::string path = (folder / "fullscreen.txt").string();
        if (content) writeFile(path, *content);
        readFullscreenFile(rt, request, [this] {
            ++screenAsked;
            return std::pair<int, int>{1280, 1024};
        }, path);
    }
    void run(const std::string& content) { run(&content); }
};

std::string question(int w, int h) {
    return "Setting fullscreen mode at: " + std::to_string(w) + "x" + std::to_string(h) +
           "\r\n\r\nDelete \"fullscreen.txt\" to disable fullscreen mode.";
}

}  // namespace

TEST(FullscreenFile, AbsentFileKeepsTheWindowedDefaults) {
    FullscreenCase c;
    c.run(nullptr);
    EXPECT_FALSE(c.request.fullscreen);
    EXPECT_EQ(c.request.width, 1024);
    EXPECT_EQ(c.request.height, 768);
    EXPECT_TRUE(c.boxes.empty());
    EXPECT_EQ(c.screenAsked, 0);
}

TEST(FullscreenFile, TwoLinesAreWidthAndHeightConfirmedWithOk) {
    FullscreenCase c;
    c.run("1280\r\n1024\r\n");
    EXPECT_TRUE(c.request.fullscreen);
    EXPECT_EQ(c.request.width, 1280);
    EXPECT_EQ(c.request.height, 1024);
    ASSERT_EQ(c.boxes.size(), 1u);
    EXPECT_EQ(c.boxes[0].type, BoxOkCancel);
    EXPECT_EQ(c.boxes[0].caption, "Notice");
    EXPECT_EQ(c.boxes[0].text, question(1280, 1024));
}

TEST(FullscreenFile, OneLineServesForBothSides) {
    FullscreenCase c;
    c.run("800");
    EXPECT_EQ(c.request.width, 800);
    EXPECT_EQ(c.request.height, 800);
    ASSERT_EQ(c.boxes.size(), 1u);
    EXPECT_EQ(c.boxes[0].text, question(800, 800));
}

TEST(FullscreenFile, EmptyFileAsksForTheScreenSizeAndCancelStaysWindowed) {
    FullscreenCase c;
    c.answer = AnswerCancel;
    c.run("");
    EXPECT_EQ(c.screenAsked, 1);
    EXPECT_FALSE(c.request.fullscreen);
    EXPECT_EQ(c.request.width, 1280);  // the size read stays
    EXPECT_EQ(c.request.height, 1024);
    ASSERT_EQ(c.boxes.size(), 1u);
    EXPECT_EQ(c.boxes[0].text, question(1280, 1024));
}

TEST(FullscreenFile, SilentBoxCountsAsCancel) {
    FullscreenCase c;
    c.rt.headless = true;  // every box answers 0
    c.run("640\n480\n");
    EXPECT_FALSE(c.request.fullscreen);
    EXPECT_TRUE(c.boxes.empty());
}

TEST(FullscreenFile, UnreadableSizeFallsBackWithAnErrorAndStaysFullScreen) {
    for (const std::string content : {"wide\ntall\n", "0\n0\n", "1024\nx\n", "\n768\n"}) {
        FullscreenCase c;
        c.run(content);
        EXPECT_TRUE(c.request.fullscreen) << content;
        EXPECT_EQ(c.request.width, 1024) << content;
        EXPECT_EQ(c.request.height, 768) << content;
        ASSERT_EQ(c.boxes.size(), 1u) << content;
        EXPECT_EQ(c.boxes[0].type, BoxOk);
        EXPECT_EQ(c.boxes[0].caption, "ERROR");
        EXPECT_EQ(c.boxes[0].text,
                  "Error while reading width/height from fullscreen.txt file, set to defaults: 1024x768");
        EXPECT_EQ(c.screenAsked, 0) << content;
    }
}

TEST(FullscreenFile, NumbersAreLeadingDecimalsOfShortLines) {
    FullscreenCase c;
    c.run("  1600px wide\n900 high\n");
    EXPECT_EQ(c.request.width, 1600);
    EXPECT_EQ(c.request.height, 900);

    // A first line longer than 63 characters: its rest is read as the height.
    FullscreenCase longLine;
    longLine.run("1280" + std::string(59, ' ') + "720\n");
    EXPECT_EQ(longLine.request.width, 1280);
    EXPECT_EQ(longLine.request.height, 720);
}
