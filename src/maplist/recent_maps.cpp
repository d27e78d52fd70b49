#include "maplist/recent_maps.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "base/text.h"
#include "image/byte_sink.h"
#include "maplist/map_list.h"

namespace vant {

namespace {

// At most eight characters; anything that is not a hex digit counts as 0.
uint32_t parseChecksum(const std::string& text) {
    uint32_t value = 0;
    for (size_t i = 0; i < text.size() && i < 8; ++i) {
        const char c = text[i];
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') digit = uint32_t(c - '0');
        else if (c >= 'A' && c <= 'F') digit = uint32_t(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f') digit = uint32_t(c - 'a' + 10);
        value = value * 16 + digit;
    }
    return value;
}

std::string readWholeFile(std::FILE* f) {
    std::string bytes;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
    return bytes;
}

// Every line feed ends a line, carriage returns vanish wherever they stand,
// and an unfinished last line is not a line.
std::vector<std::string> cutLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : bytes) {
        if (c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
        } else if (c != '\r') {
            line.push_back(c);
        }
    }
    return lines;
}

bool sameFiles(const MapDescription& a, const MapDescription& b) {
    return a.gmpfile == b.gmpfile && a.styfile == b.styfile && a.scrfile == b.scrfile &&
           a.scriptSource == b.scriptSource;
}

bool admitted(const RecentMaps& recent, uint32_t checksum, int slot) {
    return recent.admit && recent.admit(checksum, slot);
}

}  // namespace

std::string thumbnailPathFor(uint32_t checksum) { return formatText("data/minimaps" "/%08X.%s", checksum, "jpg"); }

bool thumbnailIsSaved(uint32_t checksum, int) { return fileExists(thumbnailPathFor(checksum)); }

void loadRecentMaps(RecentMaps& recent) {
    recent.list.clear();
    recent.sequence = 0;
    std::FILE* f = openFile(recent.path, "rb");
    if (!f) return;
    const std::vector<std::string> lines = cutLines(readWholeFile(f));
    std::fclose(f);

    const size_t capacity = size_t(std::max(recent.capacity, 0));
    const size_t first = lines.size() > capacity ? lines.size() - capacity : 0;
    int nextSlot = 0;
    for (size_t i = first; i < lines.size(); ++i) {
        const std::vector<std::string> parts = splitLimited(lines[i], '|', INT_MAX);
        if (parts.size() < 6) continue;
        MapDescription record;
        record.checksum = parseChecksum(parts[0]);
        record.gmpfile = parts[1];
        record.styfile = parts[2];
        record.scrfile = parts[3];
        record.scriptSource = parts[4];
        record.displayName = parts[5];
        record.listSequence = recent.sequence;
        record.thumbnailSlot = nextSlot;
        record.matchMarker = 0;
        if (!admitted(recent, record.checksum, nextSlot)) continue;
        recent.list.push_back(std::move(record));
        ++recent.sequence;
        ++nextSlot;
    }
}

std::string formatRecentMaps(const RecentMaps& recent) {
    std::string text;
    for (const MapDescription& r : recent.list) {
        text += formatText("%08X|%s|%s|%s|%s|%s|\r\n", r.checksum, r.gmpfile.c_str(), r.styfile.c_str(),
                           r.scrfile.c_str(), r.scriptSource.c_str(), r.displayName.c_str());
    }
    return text;
}

void updateRecentMaps(RecentMaps& recent, const MapList& maps, uint32_t checksum) {
    // Without a loaded entry there is nothing to remember; the file is left alone.
    if (!maps.valid(maps.currentMap) || !maps.valid(maps.currentStyle)) return;

    const MapDescription& current = maps.currentEntry();
    MapDescription r;
    r.gmpfile = current.gmpfile;
    r.styfile = maps.styleEntry().styfile;
    r.scrfile = current.scrfile;
    r.scriptSource = current.scriptSource;
    r.displayName = current.displayName;
    r.matchMarker = current.matchMarker;
    r.checksum = checksum;

    auto known = std::find_if(recent.list.begin(), recent.list.end(),
                              [&](const MapDescription& e) { return sameFiles(e, r); });
    if (known != recent.list.end()) {
        known->checksum = checksum;
        known->listSequence = recent.sequence++;
    } else {
        const bool full = recent.capacity > 0 && int(recent.list.size()) >= recent.capacity;
        int slot = 0;
        if (full) {
            slot = recent.list.front().thumbnailSlot;
        } else {
            for (const MapDescription& e : recent.list) slot = std::max(slot, e.thumbnailSlot + 1);
        }
        if (recent.capacity > 0 && admitted(recent, checksum, slot)) {
            if (full) recent.list.erase(recent.list.begin());
            r.listSequence = recent.sequence++;
            r.thumbnailSlot = slot;
            recent.list.push_back(std::move(r));
        }
    }
    std::stable_sort(recent.list.begin(), recent.list.end(), [](const MapDescription& a, const MapDescription& b) {
        return a.listSequence < b.listSequence;
    });

    const std::string text = formatRecentMaps(recent);
    writeFileAtomically(recent.path, text.data(), text.size());
}

}  // namespace vant
