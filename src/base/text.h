// Byte-oriented text, path and small file helpers shared by every module.
// Paths are 8-bit texts in which both '\' and '/' occur; each helper says
// which separator it looks for.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vant {

std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatTextV(const char* format, va_list args);

void replaceChar(std::string& text, char from, char to);
void toLowerAscii(std::string& text);
void toUpperAscii(std::string& text);
std::string lowerAscii(std::string text);
std::string upperAscii(std::string text);
std::string trimBlanks(const std::string& text);
std::vector<std::string> splitLimited(const std::string& text, char separator, int maximumParts);

std::string fileNameOf(const std::string& path, bool keepExtension);
std::string fileExtension(const std::string& path, bool lowerCase);
std::string directoryOf(const std::string& path, bool dropSlash);
std::string stripExtension(const std::string& path);
std::string sanitizeFileName(std::string text);

// Leading-decimal conversion: leading white space, one sign, digits; no
// digits read as 0. Saturates instead of overflowing.
int64_t leadingDecimal(const std::string& text);
int leadingInt(const std::string& text);
// The smallest power of two >= value (0 for value <= 0; saturates at 2^62).
long long roundUpToPowerOfTwo(long long value);

// Reads up to and including a line feed, at most 1,024 bytes; bytes 0, 254
// and 255 are dropped but still counted.
std::string readTextLine(std::FILE* file);
void appendTextFile(const std::string& path, const std::string& text, const char* mode);
int64_t fileSize(const std::string& path);
bool fileExists(const std::string& path);
// fopen ("r", "w", "a", binary or not, "+") of regular files only: folders,
// pipes and devices count as files that cannot be opened, and nothing waits.
std::FILE* openFile(const std::string& path, const char* mode);
// Why the file cannot be opened for reading ("cannot open: ..."), or empty
// when it can. A folder, a named pipe or a device is turned away without
// being opened.
std::string cannotOpenReason(const std::string& path);
// Why opening `path` (with openFile, for reading or writing) just failed;
// errno as the failed call left it.
std::string whyOpenFailed(const std::string& path);

}  // namespace vant
