// Looking around a loaded city: the level is loaded in a window exactly as
// the editor's windowed run loads it (progress lines, messages, textures,
// thumbnail, recent maps, load log), then shown top-down until the person
// quits.
//
// Mouse drag or arrow keys pan; the wheel zooms around the pointer, + and -
// around the centre; Home shows the whole map; Z shows the zones; L cycles
// the highest layer drawn; Esc or closing the window ends the view.
#pragma once

#include <string>

#include "base/runtime.h"

namespace vant::view {

struct ViewRequest {
    std::string level;  // a map description (.mmp), or a map (.gmp) with a style
    std::string style;  // the style file for a map given alone; empty for a .mmp
    bool fullscreen = false;
    // Measurement: after the load, pan a close-up at 16 pixels per square
    // for this many frames, print the frame rate and end.
    int benchmarkFrames = 0;
    // Who answers the message boxes; empty: the platform's boxes, shown.
    MessageResponder responder;
    // Hears the damage the readers pass over without a box (see
    // Runtime::problemListener); empty: nobody.
    std::function<void(const std::string& file, const std::string& text, bool damaged)> problems;
};

// Returns the process's exit status: 0 when the person quit the view, 1
// when the level or the window could not be opened, 2 for a request that
// makes no sense. Relative paths are taken from the current directory; the
// program then works from its own folder, as the editor does.
int runView(const ViewRequest& request);

}  // namespace vant::view
