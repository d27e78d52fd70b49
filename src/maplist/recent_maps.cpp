#include "maplist/recent_maps.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "base/os.h"
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

// The last `count` lines of the file, found from its end: every line feed
// ends a line, text after the last one is no line, carriage returns vanish
// wherever they stand. Only the first MaxRecentLineBytes bytes of a line are
// kept: six paths and a name fit with room to spare.
constexpr size_t MaxRecentLineBytes = 32768;
// The search for line feeds reads no more than this from the end: twelve
// lines of six paths and a name take a few kilobytes, and a file grown huge
// (or sparse) costs no more than a file of this size. A line that starts
// further back is not kept, nor anything before it.
constexpr uint64_t MaxRecentSearchBytes = uint64_t(16) << 20;

std::vector<std::string> lastLines(std::FILE* f, size_t count) {
    const int64_t size = os::fileSize(f);
    if (count == 0 || size <= 0) return {};
    // Line feeds from the end backwards: the end of the last line, then the
    // end of each line before it, up to the one before the first kept line.
    std::vector<uint64_t> feeds;
    std::vector<char> block(size_t(64) << 10);
    bool reachedStart = true;
    for (uint64_t end = uint64_t(size); end > 0 && feeds.size() <= count;) {
        const uint64_t start = end > block.size() ? end - block.size() : 0;
        if (uint64_t(size) - start > MaxRecentSearchBytes ||
            os::readAt(f, block.data(), size_t(end - start), start) != int64_t(end - start)) {
            reachedStart = false;  // far back, or a read error: what lies before stays unknown
            break;
        }
        for (uint64_t k = end - start; k-- > 0 && feeds.size() <= count;)
            if (block[k] == '\n') feeds.push_back(start + k);
        end = start;
    }
    if (feeds.empty()) return {};
    const size_t lines = std::min(count, feeds.size() - (feeds.size() > count || !reachedStart ? 1 : 0));
    std::vector<std::string> result;
    for (size_t n = lines; n-- > 0;) {
        const uint64_t from = n + 1 < feeds.size() ? feeds[n + 1] + 1 : 0;
        const size_t length = size_t(std::min<uint64_t>(feeds[n] - from, MaxRecentLineBytes));
        std::string line(length, '\0');
        if (length > 0 && os::readAt(f, line.data(), length, from) != int64_t(length)) line.clear();
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        result.push_back(std::move(line));
    }
    return result;
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
    const std::vector<std::string> lines = lastLines(f, size_t(std::max(recent.capacity, 0)));
    std::fclose(f);

    int nextSlot = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
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
