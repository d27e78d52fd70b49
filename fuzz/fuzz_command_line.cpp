// The command line: splitting, option lookup, and the value readers the
// minimap job applies to option values.
#include <vector>

#include "app/command_line.h"
#include "base/text.h"
#include "fuzz_support.h"

using namespace vant;

namespace {

bool ordinary(unsigned char b) { return b >= 33 && b != '"'; }

size_t countIf(const std::string& text, bool (*keep)(unsigned char)) {
    size_t n = 0;
    for (char c : text) n += keep(static_cast<unsigned char>(c)) ? 1 : 0;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string raw(reinterpret_cast<const char*>(data), size);

    for (bool keepQuotes : {false, true}) {
        const CommandLine tokens = tokenizeCommandLine(raw, keepQuotes);
        // No ordinary byte is lost or made up; quotes survive only when kept.
        size_t ordinaryBytes = 0, quoteBytes = 0;
        for (const std::string& t : tokens) {
            ordinaryBytes += countIf(t, ordinary);
            quoteBytes += countIf(t, [](unsigned char b) { return b == '"'; });
        }
        FUZZ_CHECK(ordinaryBytes == countIf(raw, ordinary));
        FUZZ_CHECK(quoteBytes == (keepQuotes ? countIf(raw, [](unsigned char b) { return b == '"'; }) : 0));

        for (size_t i = 0; i < tokens.size() && i < 64; ++i) {
            const std::string& t = tokens[i];
            FUZZ_CHECK(hasOption(tokens, t));
            // The value of a name is the token after its first occurrence.
            size_t first = 0;
            while (tokens[first] != t) ++first;
            const std::string value = optionValue(tokens, t);
            if (first + 1 < tokens.size()) FUZZ_CHECK(value == tokens[first + 1]);

            parseBool(t);
            const int side = clampedMinimapSide(t);
            FUZZ_CHECK(side == 256 || side == 512 || side == 1024 || side == 2048);
            const int step = sizeStepFor(side);
            FUZZ_CHECK(step >= 0 && step <= 3 && (2048 >> step) == side);
            const long long power = roundUpToPowerOfTwo(leadingDecimal(t));
            FUZZ_CHECK(power >= 0 && (power & (power - 1)) == 0);
        }

        if (!keepQuotes && !tokens.empty()) {
            // Arguments the system split stay one token each, quotes and
            // blanks included; only a zero byte cannot be in one.
            std::vector<const char*> argv{"vantedit", raw.c_str()};
            if (raw.find('\0') == std::string::npos) FUZZ_CHECK(argumentTokens(2, argv.data()) == CommandLine{raw});
        }
    }
    return 0;
}
