#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <vector>

#include "base/runtime.h"

namespace vant::platform {

namespace {

// The answer of a box closed without a button: Cancel, No, or OK.
int safeAnswer(int type) {
    return type == BoxOkCancel ? AnswerCancel : type == BoxYesNo ? AnswerNo : AnswerOk;
}

const char* answerName(int answer) {
    switch (answer) {
    case AnswerCancel: return "Cancel";
    case AnswerYes: return "Yes";
    case AnswerNo: return "No";
    default: return "OK";
    }
}

}  // namespace

int showMessageBox(int type, const std::string& caption, const std::string& text) {
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    std::vector<SDL_MessageBoxButtonData> buttons;
    const Uint32 both = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    switch (type) {
    case BoxOkCancel:
        buttons = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, AnswerOk, "OK"},
                   {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, AnswerCancel, "Cancel"}};
        break;
    case BoxYesNo:
        flags = SDL_MESSAGEBOX_WARNING;
        buttons = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, AnswerYes, "Yes"},
                   {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, AnswerNo, "No"}};
        break;
    case BoxStop:
        flags = SDL_MESSAGEBOX_ERROR;
        buttons = {{both, AnswerOk, "OK"}};
        break;
    case BoxExclamation:
        flags = SDL_MESSAGEBOX_WARNING;
        buttons = {{both, AnswerOk, "OK"}};
        break;
    default:
        buttons = {{both, AnswerOk, "OK"}};
        break;
    }

    const SDL_MessageBoxData data = {flags,          nullptr, caption.c_str(), text.c_str(), int(buttons.size()),
                                     buttons.data(), nullptr};
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) {
        // Nobody saw the question: say so, with the text and the answer
        // taken on the person's behalf (the safe one, as when closed).
        const int answer = safeAnswer(type);
        std::fprintf(stderr, "vantedit: could not show the box \"%s\" (%s): answered %s\n%s\n", caption.c_str(),
                     SDL_GetError(), answerName(answer), text.c_str());
        std::fflush(stderr);
        return answer;
    }
    // Closing the box without a button counts as its safe answer.
    return pressed < 0 ? safeAnswer(type) : pressed;
}

}  // namespace vant::platform
