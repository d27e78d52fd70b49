// The settings files.
#include "base/text.h"
#include "config/settings.h"
#include "fuzz_support.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::removeScratchAtExit();
    const std::string path = fuzz::inputFile("settings.cfg", data, size);
    Settings settings;
    readSettingsFile(settings, path);
    // A value is kept trimmed, and only when there is one.
    FUZZ_CHECK(settings.gamePath == trimBlanks(settings.gamePath));
    FUZZ_CHECK(settings.gamePath.size() <= size);
    return 0;
}
