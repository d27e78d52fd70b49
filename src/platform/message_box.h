// Modal message boxes of the windowed program.
#pragma once

#include <string>

namespace vant::platform {

// Shows a modal box without owner window for the box types 0 (OK),
// 1 (OK/Cancel), 4 (Yes/No), 16 (stop, OK) and 48 (exclamation, OK) and
// returns the button pressed (1 OK, 2 Cancel, 6 Yes, 7 No). Return presses
// the first button, Escape the safe one (Cancel, No, or OK when alone).
// When no box can be shown, standard error names the box, the reason and
// the answer taken (the safe one), followed by the text.
int showMessageBox(int type, const std::string& caption, const std::string& text);

// The name the program goes by in messages: its file's name, without the
// "-window" or "-view" of the windowed halves.
std::string programName();

}  // namespace vant::platform
