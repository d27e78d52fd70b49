// The .mmp map description reader.
#include "formats/map_description.h"
#include "fuzz_support.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::removeScratchAtExit();
    const std::string path = fuzz::inputFile("input.mmp", data, size);
    MapDescription record;
    const bool recognised = parseMapDescription(record, path);

    FUZZ_CHECK(record.descriptionFile == path);
    if (recognised) {
        // A file read to its end is completed: it always has a name to show.
        FUZZ_CHECK(!record.displayName.empty());
        FUZZ_CHECK(record.description.find('|') == std::string::npos);
        for (const std::string* p : {&record.gmpfile, &record.styfile, &record.scrfile})
            FUZZ_CHECK(p->find('\\') == std::string::npos);
    } else {
        FUZZ_CHECK(record.displayName.empty() && record.gmpfile.empty() && record.styfile.empty());
    }
    return 0;
}
