#include "base/text.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include "base/os.h"

namespace vant {

std::string formatTextV(const char* format, va_list args) {
    std::vector<char> buffer(1024);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (n < 0) {
            if (buffer.size() > (1u << 26)) return std::string();
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(static_cast<size_t>(n) + 1);
    }
}

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = formatTextV(format, args);
    va_end(args);
    return out;
}

void replaceChar(std::string& text, char from, char to) {
    for (char& c : text)
        if (c == from) c = to;
}

void toLowerAscii(std::string& text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

void toUpperAscii(std::string& text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

std::string lowerAscii(std::string text) {
    toLowerAscii(text);
    return text;
}

std::string upperAscii(std::string text) {
    toUpperAscii(text);
    return text;
}

static bool isBlankByte(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string trimBlanks(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isBlankByte(text[begin])) ++begin;
    while (end > begin && isBlankByte(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::vector<std::string> splitLimited(const std::string& text, char separator, int maximumParts) {
    std::vector<std::string> parts;
    if (maximumParts <= 1) {
        parts.push_back(text);
        return parts;
    }
    size_t start = 0;
    while (static_cast<int>(parts.size()) < maximumParts - 1) {
        size_t at = text.find(separator, start);
        if (at == std::string::npos) break;
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    if (start < text.size()) parts.push_back(text.substr(start));
    return parts;
}

std::string fileNameOf(const std::string& path, bool keepExtension) {
    size_t cut = path.rfind('\\');
    if (cut == std::string::npos) cut = path.rfind('/');
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (!keepExtension) {
        size_t dot = name.rfind('.');
        if (dot != std::string::npos) name.resize(dot);
    }
    return name;
}

std::string fileExtension(const std::string& path, bool lowerCase) {
    std::string name = fileNameOf(path, true);
    size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (lowerCase) toLowerAscii(ext);
    return ext;
}

std::string directoryOf(const std::string& path, bool dropSlash) {
    std::string p = path;
    replaceChar(p, '\\', '/');
    size_t slash = p.rfind('/');
    if (slash == std::string::npos) return p;
    return p.substr(0, dropSlash ? slash : slash + 1);
}

std::string stripExtension(const std::string& path) {
    size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(0, dot);
}

std::string sanitizeFileName(std::string text) {
    for (char& c : text) {
        switch (c) {
            case '\\': case '/': case ':': case '*': case '?':
            case '"': case '<': case '>': case '|':
                c = '_';
                break;
            default:
                break;
        }
    }
    return text;
}

int64_t leadingDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    const int64_t limit = int64_t(1) << 40;  // far beyond any meaningful option value
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value < limit) value = value * 10 + (text[i] - '0');
        ++i;
    }
    return negative ? -value : value;
}

int leadingInt(const std::string& text) {
    int64_t v = leadingDecimal(text);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

std::string readTextLine(std::FILE* file) {
    std::string line;
    for (int count = 0; count < 1024; ++count) {
        int c = std::fgetc(file);
        if (c == EOF) break;
        if (c != 0 && c != 254 && c != 255) line.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return line;
}

void appendTextFile(const std::string& path, const std::string& text, const char* mode) {
    std::FILE* f = openFile(path, mode);
    if (!f) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

int64_t fileSize(const std::string& path) {
    std::FILE* f = openFile(path, "rb");
    if (!f) return 0;
    int64_t size = 0;
    if (os::seek(f, 0, SEEK_END)) size = os::tell(f);
    std::fclose(f);
    return size < 0 ? 0 : size;
}

std::FILE* openFile(const std::string& path, const char* mode) { return os::openRegularFile(path, mode); }

std::string whyOpenFailed(const std::string& path) {
    const int error = errno;
    const os::PathKind kind = os::pathKind(path);
    if (kind == os::PathKind::Folder) return "Is a directory";
    if (kind == os::PathKind::Other) return "not a regular file";
    return std::strerror(error ? error : ENOENT);
}

std::string cannotOpenReason(const std::string& path) {
    errno = 0;
    std::FILE* f = openFile(path, "rb");
    if (!f) return "cannot open: " + whyOpenFailed(path);
    std::fclose(f);
    return {};
}

bool fileExists(const std::string& path) {
    std::FILE* f = openFile(path, "r");
    if (!f) return false;
    std::fclose(f);
    return true;
}

long long roundUpToPowerOfTwo(long long value) {
    if (value <= 0) return 0;
    if (value > (1LL << 62)) return 1LL << 62;  // the largest power a long long holds
    long long p = 1;
    while (p < value) p <<= 1;
    return p;
}

}  // namespace vant
