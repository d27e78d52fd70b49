// Splitting and reading the command line.
#pragma once

#include <string>
#include <vector>

namespace vant {

using CommandLine = std::vector<std::string>;

CommandLine tokenizeCommandLine(const std::string& raw, bool keepQuotes);
// Rebuilds the raw command line from the arguments the system split for us:
// arguments that are empty or hold blanks are quoted, others kept as they are.
std::string joinArguments(int argc, const char* const* argv);

bool hasOption(const CommandLine& tokens, const std::string& name);
std::string optionValue(const CommandLine& tokens, const std::string& name);
bool parseBool(const std::string& text);
int sizeStepFor(int side);
// "-size": rounded up to a power of two and clamped to 256..2048.
int clampedMinimapSide(const std::string& value);

}  // namespace vant
