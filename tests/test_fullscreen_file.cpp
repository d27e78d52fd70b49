// "fullscreen.txt": size lines, the question that confirms them, the
// fallback for unreadable sizes.

#include <fstream>
#include <optional>

#include "app/fullscreen_file.h"
#include "test_support.h"

using namespace vant;

TEST(FullscreenFile, SizesQuestionsAndFallback) {
    auto question = [](int w, int h) {
        return "1|Notice|Setting fullscreen mode at: " + std::to_string(w) + "x" + std::to_string(h) +
               "\r\n\r\nDelete \"fullscreen.txt\" to disable fullscreen mode.";
    };
    const std::string error =
        "0|ERROR|Error while reading width/height from fullscreen.txt file, set to defaults: 1024x768";
    struct Case {
        std::optional<std::string> content;  // none: no file
        int answer;
        bool fullscreen;
        int width, height;
        std::vector<std::string> boxes;
        int screenAsked = 0;
    };
    const std::vector<Case> cases = {
        {std::nullopt, AnswerOk, false, 1024, 768, {}},
        {"1280\r\n1024\r\n", AnswerOk, true, 1280, 1024, {question(1280, 1024)}},
        {"800", AnswerOk, true, 800, 800, {question(800, 800)}},           // one line serves for both
        {"", AnswerCancel, false, 1280, 1024, {question(1280, 1024)}, 1},  // empty: the screen's size
        {"  1600px wide\n900 high\n", AnswerOk, true, 1600, 900, {question(1600, 900)}},
        // A first line over 63 characters: its rest is read as the height.
        {"1280" + std::string(59, ' ') + "720\n", AnswerOk, true, 1280, 720, {question(1280, 720)}},
        {"wide\ntall\n", AnswerOk, true, 1024, 768, {error}},
        {"1024\nx\n", AnswerOk, true, 1024, 768, {error}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.value_or("(no file)"));
        vant::test::TempDir dir;
        if (c.content) std::ofstream(dir.file("fullscreen.txt"), std::ios::binary) << *c.content;
        Runtime rt;
        std::vector<std::string> boxes;
        rt.responder = [&](int type, const std::string& caption, const std::string& text) {
            boxes.push_back(std::to_string(type) + "|" + caption + "|" + text);
            return c.answer;
        };
        int screenAsked = 0;
        WindowRequest request;
        readFullscreenFile(rt, request, [&] { return ++screenAsked, std::pair<int, int>{1280, 1024}; },
                           dir.file("fullscreen.txt"));
        EXPECT_EQ(std::make_tuple(request.fullscreen, request.width, request.height, boxes, screenAsked),
                  std::make_tuple(c.fullscreen, c.width, c.height, c.boxes, c.screenAsked));
    }
}
