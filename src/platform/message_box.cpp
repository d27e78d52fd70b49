#include "platform/message_box.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>
#ifdef __linux__
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>
#endif

#include "base/os.h"
#include "base/runtime.h"
#include "base/text.h"

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

#ifdef __linux__
// On X11 the box may be shown by a child process of its own. Should this
// process end while the box is up (a signal), the child goes too, instead of
// keeping a box, and the display connection, for a program that is gone.
std::atomic<pid_t> gBoxParent{0};

void tieBoxToParent() {
    const pid_t parent = gBoxParent.load();
    if (parent == 0) return;  // a fork for something else
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(1);  // the parent ended before this line
}

struct BoxShown {
    BoxShown() {
        static const bool registered = ::pthread_atfork(nullptr, nullptr, tieBoxToParent) == 0;
        (void)registered;
        gBoxParent = ::getpid();
    }
    ~BoxShown() { gBoxParent = 0; }
};
#else
struct BoxShown {};
#endif

}  // namespace

std::string programName() {
    std::string name = fileNameOf(os::programPath(), false);
    for (const char* half : {"-window", "-view"})
        if (name.ends_with(half)) name.resize(name.size() - std::strlen(half));
    return name.empty() ? "vantedit" : name;
}

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
    int shown;
    {
        BoxShown tied;
        shown = SDL_ShowMessageBox(&data, &pressed);
    }
    if (shown != 0) {
        // Nobody saw the question: say so, with the text and the answer
        // taken on the person's behalf (the safe one, as when closed).
        const int answer = safeAnswer(type);
        std::fprintf(stderr, "%s: could not show the box \"%s\" (%s): answered %s\n%s\n", programName().c_str(),
                     caption.c_str(), SDL_GetError(), answerName(answer), text.c_str());
        std::fflush(stderr);
        return answer;
    }
    // Closing the box without a button counts as its safe answer.
    return pressed < 0 ? safeAnswer(type) : pressed;
}

}  // namespace vant::platform
