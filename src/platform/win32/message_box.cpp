#include "platform/message_box.h"

#include <windows.h>

#include "base/runtime.h"

namespace vant::platform {

// The program's box types and answers are the system's own numbers.
static_assert(BoxOk == MB_OK && BoxOkCancel == MB_OKCANCEL && BoxYesNo == MB_YESNO &&
              BoxStop == (MB_OK | MB_ICONSTOP) && BoxExclamation == (MB_OK | MB_ICONEXCLAMATION));
static_assert(AnswerOk == IDOK && AnswerCancel == IDCANCEL && AnswerYes == IDYES && AnswerNo == IDNO);

int showMessageBox(int type, const std::string& caption, const std::string& text) {
    const int pressed = MessageBoxA(nullptr, text.c_str(), caption.c_str(), UINT(type));
    return pressed != 0 ? pressed : stderrResponder(type, caption, text);
}

}  // namespace vant::platform
