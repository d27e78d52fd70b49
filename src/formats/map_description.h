// The .mmp map description and its in-memory record.
#pragma once

#include <cstdint>
#include <string>

namespace vant {

struct MapDescription {
    std::string gmpfile;
    std::string styfile;
    std::string scrfile;
    std::string scriptSource;
    std::string descriptionFile;
    std::string description;
    std::string displayName;
    uint32_t checksum = 0;
    int32_t listSequence = -1;
    int32_t thumbnailSlot = -1;
    uint8_t playercount = 1;
    uint16_t matchMarker = 0;
};

// Fills the record from the file. True when the file was read to its end (or
// could not be opened at all); false when a line before the "[mapfiles]"
// header was not the header.
bool parseMapDescription(MapDescription& record, std::string path);
void finishMapDescription(MapDescription& record);
std::string mapDisplayName(const std::string& description, int playerCount, const std::string& nameSource);

}  // namespace vant
