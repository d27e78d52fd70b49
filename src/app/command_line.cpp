#include "app/command_line.h"

#include "base/text.h"

namespace vant {

CommandLine tokenizeCommandLine(const std::string& raw, bool keepQuotes) {
    CommandLine tokens;
    std::string current;
    bool inToken = false, inQuotes = false;
    auto finish = [&] {
        tokens.push_back(current);
        current.clear();
    };
    for (char ch : raw) {
        const unsigned char b = static_cast<unsigned char>(ch);
        if (b == '"') {
            if (!inQuotes && inToken) {
                finish();
                inToken = false;
            }
            if (keepQuotes) current.push_back(ch);
            if (inQuotes) {
                finish();
                inToken = inQuotes = false;
            } else {
                inToken = inQuotes = true;
            }
        } else if (b < 33) {
            if (inQuotes) {
                current.push_back(ch);
            } else if (inToken) {
                finish();
                inToken = false;
            }
        } else {
            current.push_back(ch);
            inToken = true;
        }
    }
    if (!current.empty()) finish();
    return tokens;
}

CommandLine argumentTokens(int argc, const char* const* argv) {
    CommandLine tokens;
    for (int i = 1; i < argc; ++i) tokens.emplace_back(argv[i]);
    return tokens;
}

bool hasOption(const CommandLine& tokens, const std::string& name) {
    for (const std::string& t : tokens)
        if (t == name) return true;
    return false;
}

std::string optionValue(const CommandLine& tokens, const std::string& name) {
    for (size_t i = 0; i + 1 < tokens.size(); ++i)
        if (tokens[i] == name) return tokens[i + 1];
    return std::string();
}

bool parseBool(const std::string& text) {
    if (text == "1" || text == "true" || text == "yes") return true;
    if (text == "0" || text == "false" || text == "no") return false;
    return leadingDecimal(text) != 0;
}

int sizeStepFor(int side) {
    if (side <= 0) return 0;
    const int q = 2048 / side;
    if (q == 0) return 0;
    return __builtin_ctz(static_cast<unsigned>(q));
}

int clampedMinimapSide(const std::string& value) {
    const long long v = leadingDecimal(value);
    if (v <= 256) return 256;
    if (v > 1024) return 2048;
    return static_cast<int>(roundUpToPowerOfTwo(v));
}

}  // namespace vant
