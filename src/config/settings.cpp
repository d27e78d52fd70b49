#include "config/settings.h"

#include <cstdio>
#include <vector>

#include "base/text.h"

namespace vant {

namespace {

constexpr size_t LineBuffer = 1024;

// One line of at most 1,023 bytes, its line feed included; a longer line
// comes back in pieces. Empty only at the end of the file.
std::string readLinePiece(std::FILE* f) {
    std::string line;
    while (line.size() < LineBuffer - 1) {
        const int c = std::fgetc(f);
        if (c == EOF) break;
        line.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return line;
}

}  // namespace

void readSettingsFile(Settings& settings, const std::string& fileName) {
    std::FILE* f = openFile(fileName, "rb");
    if (!f) return;
    for (;;) {
        const std::string line = readLinePiece(f);
        if (line.empty()) break;
        const std::vector<std::string> parts = splitLimited(line, '=', 2);
        if (parts.size() != 2) continue;
        const std::string key = lowerAscii(trimBlanks(parts[0]));
        const std::string value = trimBlanks(parts[1]);
        // "key=" is no setting, whether or not its line break is still on it.
        if (value.empty()) continue;
        if (key == GamePathKey) settings.gamePath = value;
        // Every other pair names nothing the program uses.
    }
    std::fclose(f);
}

void loadSettings(Settings& settings) {
    for (const char* name : {"settings_default.cfg", "settings.cfg", "settings_test.cfg"})
        readSettingsFile(settings, name);
}

}  // namespace vant
