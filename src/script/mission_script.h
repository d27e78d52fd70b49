// The mission script step of a windowed load. The script language is not
// read by this program: the step announces the script and hands its path
// to a parser that keeps nothing.
#pragma once

#include <string>

namespace vant {

class Runtime;
struct MapList;

// Announces the current entry's script source, if it has one, and parses it.
void runScriptStep(Runtime& rt, const MapList& maps);

// Reads nothing and keeps nothing; false.
bool parseMissionScript(const std::string& path, int option);

}  // namespace vant
