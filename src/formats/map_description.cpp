#include "formats/map_description.h"

#include <cstdio>

#include "base/text.h"

namespace vant {

bool parseMapDescription(MapDescription& record, std::string path) {
    replaceChar(path, '\\', '/');
    const std::string folder = directoryOf(path, false);
    record.descriptionFile = path;

    std::FILE* f = openFile(path, "rb");
    if (!f) return true;

    bool headerFound = false;
    for (;;) {
        // The end-of-file test comes before each read, so a final line break
        // gives one last empty read.
        int peek = std::fgetc(f);
        if (peek == EOF) break;
        std::ungetc(peek, f);
        const std::string line = readTextLine(f);
        const std::vector<std::string> parts = splitLimited(line, '=', 2);
        if (!headerFound && !parts.empty()) {
            if (lowerAscii(trimBlanks(parts[0])) != "[mapfiles]") {
                std::fclose(f);
                return false;
            }
            headerFound = true;
        }
        if (parts.size() != 2) continue;
        const std::string key = lowerAscii(trimBlanks(parts[0]));
        const std::string value = trimBlanks(parts[1]);
        if (key == "gmpfile") record.gmpfile = folder + value;
        else if (key == "styfile") record.styfile = folder + value;
        else if (key == "scrfile") record.scrfile = folder + value;
        else if (key == "description") record.description = value;
        else if (key == "playercount") record.playercount = static_cast<uint8_t>(leadingDecimal(value) & 0xFF);
    }
    std::fclose(f);
    finishMapDescription(record);
    return true;
}

void finishMapDescription(MapDescription& record) {
    replaceChar(record.gmpfile, '\\', '/');
    replaceChar(record.styfile, '\\', '/');
    replaceChar(record.scrfile, '\\', '/');
    if (!record.description.empty()) replaceChar(record.description, '|', '/');
    const std::string& source = !record.descriptionFile.empty() ? record.descriptionFile : record.gmpfile;
    record.displayName = mapDisplayName(record.description, record.playercount, source);
    if (record.displayName.empty()) record.displayName = "(no name)";
    if (!record.scrfile.empty()) {
        record.scriptSource = stripExtension(record.scrfile) + ".mis";
        if (!fileExists(record.scriptSource)) record.scriptSource.clear();
    }
}

std::string mapDisplayName(const std::string& description, int playerCount, const std::string& nameSource) {
    if (description.empty()) return fileNameOf(nameSource, true);
    const std::string s = sanitizeFileName(description);
    const char digit = formatText("%d", playerCount)[0];
    for (size_t i = s.size(); i-- > 1;) {
        if (s[i] != digit) continue;
        for (size_t j = i; j-- > 0;) {
            const signed char c = static_cast<signed char>(s[j]);
            if (c <= 32 || c == '-') continue;
            return s.substr(0, j + 1);
        }
    }
    return s;
}

}  // namespace vant
