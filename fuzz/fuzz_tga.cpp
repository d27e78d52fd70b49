// The TGA reader of the interface pictures.
#include "fuzz_support.h"
#include "image/tga_reader.h"

using namespace vant;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Runtime rt;
    fuzz::silence(rt, AnswerOk);
    rt.headless = false;
    int messages = 0;
    rt.responder = [&messages](int, const std::string& caption, const std::string&) {
        FUZZ_CHECK(caption == "ERROR");
        ++messages;
        return AnswerOk;
    };

    const std::string path = fuzz::inputFile("input.tga", data, size);
    TextureRecord record;
    record.textureName = 7;
    const bool read = readTga(rt, record, path);

    FUZZ_CHECK(record.textureName == 7);
    if (read) {
        FUZZ_CHECK(messages == 0);
        FUZZ_CHECK(record.width > 0 && record.height > 0);
        FUZZ_CHECK(record.bitsPerPixel == 24 || record.bitsPerPixel == 32);
        FUZZ_CHECK(record.pixels.size() == size_t(record.width) * size_t(record.height) * record.bitsPerPixel / 8);
        // Every pixel came from the file: a store larger than the file could
        // only be filled by a run-length file, at most 128 pixels a packet.
        FUZZ_CHECK(record.pixels.size() <= size * 128 * 4);
    } else {
        FUZZ_CHECK(messages == 1);
        FUZZ_CHECK(record.pixels.empty());
    }
    return 0;
}
