#include "script/mission_script.h"

#include "base/runtime.h"
#include "maplist/map_list.h"

namespace vant {

bool parseMissionScript(const std::string&, int) { return false; }

void runScriptStep(Runtime& rt, const MapList& maps) {
    // No script data survives a load, so there is nothing of the previous
    // one to discard.
    if (!maps.valid(maps.currentMap)) return;
    const std::string& source = maps.currentEntry().scriptSource;
    if (source.empty()) return;
    rt.addProgressLine("Parsing script file... \"%s\"", source.c_str());
    parseMissionScript(source, 1);
}

}  // namespace vant
