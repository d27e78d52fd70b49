// Splitting and reading the command line.
#pragma once

#include <string>
#include <vector>

namespace vant {

using CommandLine = std::vector<std::string>;

CommandLine tokenizeCommandLine(const std::string& raw, bool keepQuotes);
// The arguments the system already split, without the program's own name:
// each one is one token, whatever bytes it holds. The splitting rules of
// tokenizeCommandLine are for a command line that comes as one text.
CommandLine argumentTokens(int argc, const char* const* argv);

bool hasOption(const CommandLine& tokens, const std::string& name);
std::string optionValue(const CommandLine& tokens, const std::string& name);
bool parseBool(const std::string& text);
int sizeStepFor(int side);
// "-size": rounded up to a power of two and clamped to 256..2048.
int clampedMinimapSide(const std::string& value);

}  // namespace vant
