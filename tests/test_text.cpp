// Text, path and option helpers: the exact cutting rules other modules rely on.
#include <gtest/gtest.h>

#include "test_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/command_line.h"
#include "app/runtime.h"
#include "app/text.h"

using namespace vant;
using namespace vant::test;

namespace {

namespace fs = std::filesystem;


void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

}  // namespace

TEST(PathHelpers, FileNameOfPrefersBackslash) {
    EXPECT_EQ(fileNameOf("D:\\maps\\city.gmp", true), "city.gmp");
    EXPECT_EQ(fileNameOf("D:\\maps\\city.gmp", false), "city");
    EXPECT_EQ(fileNameOf("maps/city", false), "city");
    EXPECT_EQ(fileNameOf("maps/city", true), "city");
    EXPECT_EQ(fileNameOf("city.tar.gz", false), "city.tar");
    EXPECT_EQ(fileNameOf("city.tar.gz", true), "city.tar.gz");
    // Any backslash wins, even when a slash follows it.
    EXPECT_EQ(fileNameOf("a/b\\c/d.txt", true), "c/d.txt");
    EXPECT_EQ(fileNameOf("a/b\\c/d.txt", false), "c/d");
    // The cut before the extension looks at the name only... but the name may
    // still hold a slash, so the last '.' can stand before it.
    EXPECT_EQ(fileNameOf("x\\dir.v2/file", false), "dir");
    EXPECT_EQ(fileNameOf("plain", true), "plain");
    EXPECT_EQ(fileNameOf("folder/", true), "");
    EXPECT_EQ(fileNameOf("", false), "");
    EXPECT_EQ(fileNameOf(".hidden", false), "");
}

TEST(PathHelpers, FileExtensionOfTheNamePart) {
    EXPECT_EQ(fileExtension("shot.TGA", true), "tga");
    EXPECT_EQ(fileExtension("shot.TGA", false), "TGA");
    EXPECT_EQ(fileExtension("archive.tar.gz", false), "gz");
    EXPECT_EQ(fileExtension("a folder.old\\file", true), "");
    EXPECT_EQ(fileExtension("maps.old/city", true), "");
    EXPECT_EQ(fileExtension("name.", true), "");
    EXPECT_EQ(fileExtension("noext", true), "");
    // After a backslash the rest, slashes included, is the name.
    EXPECT_EQ(fileExtension("a\\b.sty/c", false), "sty/c");
    // Only A..Z change when lower-casing.
    EXPECT_EQ(fileExtension("x.\xC4Z", true), "\xC4z");
}

TEST(PathHelpers, DirectoryOfTurnsBackslashesFirst) {
    EXPECT_EQ(directoryOf("D:\\maps\\city.gmp", false), "D:/maps/");
    EXPECT_EQ(directoryOf("D:\\maps\\city.gmp", true), "D:/maps");
    EXPECT_EQ(directoryOf("city.gmp", false), "city.gmp");
    EXPECT_EQ(directoryOf("city.gmp", true), "city.gmp");
    EXPECT_EQ(directoryOf("a/b\\c/d.txt", false), "a/b/c/");
    EXPECT_EQ(directoryOf("/x", false), "/");
    EXPECT_EQ(directoryOf("/x", true), "");
    EXPECT_EQ(directoryOf("dir/", true), "dir");
}

TEST(PathHelpers, StripExtensionLooksAtTheWholePath) {
    EXPECT_EQ(stripExtension("maps.old/city"), "maps");
    EXPECT_EQ(stripExtension("missions/m1.scr"), "missions/m1");
    EXPECT_EQ(stripExtension("a/b.c.d"), "a/b.c");
    EXPECT_EQ(stripExtension("city"), "city");
    EXPECT_EQ(stripExtension(""), "");
}

TEST(PathHelpers, SanitizeFileNameReplacesTheNineBytes) {
    EXPECT_EQ(sanitizeFileName("\\/:*?\"<>|"), "_________");
    EXPECT_EQ(sanitizeFileName("Area 51 - 4.map!#'"), "Area 51 - 4.map!#'");
    EXPECT_EQ(sanitizeFileName("a:b?c.tga"), "a_b_c.tga");
    EXPECT_EQ(sanitizeFileName(std::string("\x80\xFF", 2)), std::string("\x80\xFF", 2));
}

TEST(TextHelpers, TrimBlanksRemovesControlBytesOnly) {
    EXPECT_EQ(trimBlanks("\tx\r\n"), "x");
    EXPECT_EQ(trimBlanks(std::string(" \x01\x1F \0", 5)), "");
    EXPECT_EQ(trimBlanks(""), "");
    EXPECT_EQ(trimBlanks("  a b  "), "a b");
    // Bytes 128..255 are not blanks here.
    EXPECT_EQ(trimBlanks("\xA0x\xFF"), "\xA0x\xFF");
    EXPECT_EQ(trimBlanks(std::string("\0k\0", 3)), "k");
}

TEST(TextHelpers, CaseChangesOnlyTouchAsciiLetters) {
    std::string s = "AbZ[@`{\xC4\xE4";
    toLowerAscii(s);
    EXPECT_EQ(s, "abz[@`{\xC4\xE4");
    toUpperAscii(s);
    EXPECT_EQ(s, "ABZ[@`{\xC4\xE4");
    std::string r = "a\\b\\c";
    replaceChar(r, '\\', '/');
    EXPECT_EQ(r, "a/b/c");
}

TEST(TextHelpers, SplitLimited) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitLimited("key=value=more", '=', 2), (V{"key", "value=more"}));
    EXPECT_EQ(splitLimited("=", '=', 2), (V{""}));
    EXPECT_EQ(splitLimited("a==b", '=', 3), (V{"a", "", "b"}));
    EXPECT_EQ(splitLimited("", '=', 2), V{});
    EXPECT_EQ(splitLimited("a=", '=', 2), (V{"a"}));
    EXPECT_EQ(splitLimited("a=\n", '=', 2), (V{"a", "\n"}));
    EXPECT_EQ(splitLimited("no separator", '=', 2), (V{"no separator"}));
    EXPECT_EQ(splitLimited("a=b=c=d", '=', 3), (V{"a", "b", "c=d"}));
    EXPECT_EQ(splitLimited("a=b=c", '=', 10), (V{"a", "b", "c"}));
    // A maximum of 0 or 1 keeps the whole text, even when empty.
    EXPECT_EQ(splitLimited("", '=', 1), (V{""}));
    EXPECT_EQ(splitLimited("", '=', 0), (V{""}));
    EXPECT_EQ(splitLimited("a=b", '=', 1), (V{"a=b"}));
    EXPECT_EQ(splitLimited("a=b", '=', 0), (V{"a=b"}));
}

TEST(TextHelpers, ReadTextLineCutsAt1024BytesAndDropsSomeBytes) {
    TempDir dir;
    const std::string path = dir.file("lines.txt");
    writeBytes(path, std::string(2000, 'a') + "\n" + "next\n" + std::string("\0\xFE\xFEz", 4) + "\n" + "end");
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(readTextLine(f), std::string(1024, 'a'));
    EXPECT_EQ(readTextLine(f), std::string(976, 'a') + "\n");
    EXPECT_EQ(readTextLine(f), "next\n");
    EXPECT_EQ(readTextLine(f), "z\n");
    EXPECT_EQ(readTextLine(f), "end");
    EXPECT_EQ(readTextLine(f), "");
    std::fclose(f);

    // Dropped bytes still count towards the 1,024.
    writeBytes(path, std::string("\0\xFE\xFF", 3) + std::string(1021, 'b') + "c\n");
    f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(readTextLine(f), std::string(1021, 'b'));
    EXPECT_EQ(readTextLine(f), "c\n");
    std::fclose(f);
}

TEST(FileHelpers, SizeExistsAndAppend) {
    TempDir dir;
    const std::string path = dir.file("a.txt");
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(fileSize(path), 0);
    appendTextFile(path, "abc", "ab");
    appendTextFile(path, "de", "ab");
    EXPECT_TRUE(fileExists(path));
    EXPECT_EQ(fileSize(path), 5);
    appendTextFile(path, "z", "wb");
    EXPECT_EQ(fileSize(path), 1);
    // A folder is not a file.
    EXPECT_FALSE(fileExists(dir.path.string()));
    // A file that cannot be opened is skipped silently.
    appendTextFile(dir.file("missing/x.txt"), "abc", "ab");
    EXPECT_FALSE(fileExists(dir.file("missing/x.txt")));
}

TEST(Options, ParseBool) {
    EXPECT_TRUE(parseBool("1"));
    EXPECT_TRUE(parseBool("true"));
    EXPECT_TRUE(parseBool("yes"));
    EXPECT_FALSE(parseBool("0"));
    EXPECT_FALSE(parseBool("false"));
    EXPECT_FALSE(parseBool("no"));
    // Anything else: its leading decimal number.
    EXPECT_FALSE(parseBool("True"));
    EXPECT_FALSE(parseBool("Yes"));
    EXPECT_FALSE(parseBool(""));
    EXPECT_FALSE(parseBool("abc"));
    EXPECT_FALSE(parseBool("+0"));
    EXPECT_FALSE(parseBool("0x1"));
    EXPECT_TRUE(parseBool("2"));
    EXPECT_TRUE(parseBool("  -3"));
    EXPECT_TRUE(parseBool("7abc"));
    EXPECT_FALSE(parseBool("- 3"));
}

TEST(Options, RoundUpToPowerOfTwo) {
    EXPECT_EQ(roundUpToPowerOfTwo(0), 0);
    EXPECT_EQ(roundUpToPowerOfTwo(1), 1);
    EXPECT_EQ(roundUpToPowerOfTwo(2), 2);
    EXPECT_EQ(roundUpToPowerOfTwo(3), 4);
    EXPECT_EQ(roundUpToPowerOfTwo(300), 512);
    EXPECT_EQ(roundUpToPowerOfTwo(1024), 1024);
    EXPECT_EQ(roundUpToPowerOfTwo(1025), 2048);
    EXPECT_EQ(roundUpToPowerOfTwo(32 * 128), 4096);
    EXPECT_EQ(roundUpToPowerOfTwo((1LL << 29) + 1), 1LL << 30);
    EXPECT_EQ(roundUpToPowerOfTwo(1LL << 30), 1LL << 30);
}

TEST(Options, SizeStepAndClampedSide) {
    EXPECT_EQ(sizeStepFor(2048), 0);
    EXPECT_EQ(sizeStepFor(1024), 1);
    EXPECT_EQ(sizeStepFor(512), 2);
    EXPECT_EQ(sizeStepFor(256), 3);
    EXPECT_EQ(sizeStepFor(1), 11);
    // 2048 / 3 = 682 = 0b1010101010: lowest set bit is bit 1.
    EXPECT_EQ(sizeStepFor(3), 1);
    // 2048 / 384 = 5: bit 0.
    EXPECT_EQ(sizeStepFor(384), 0);

    EXPECT_EQ(clampedMinimapSide("300"), 512);
    EXPECT_EQ(clampedMinimapSide("256"), 256);
    EXPECT_EQ(clampedMinimapSide("257"), 512);
    EXPECT_EQ(clampedMinimapSide("600"), 1024);
    EXPECT_EQ(clampedMinimapSide("1024"), 1024);
    EXPECT_EQ(clampedMinimapSide("1025"), 2048);
    EXPECT_EQ(clampedMinimapSide("5000"), 2048);
    EXPECT_EQ(clampedMinimapSide("abc"), 256);
    EXPECT_EQ(clampedMinimapSide("-1024"), 256);
    EXPECT_EQ(clampedMinimapSide("0"), 256);
    EXPECT_EQ(clampedMinimapSide(""), 256);
    EXPECT_EQ(clampedMinimapSide("99999999999999999999"), 2048);
}

TEST(Options, HasOptionAndOptionValue) {
    const CommandLine t{"-a", "1", "-x", "first", "-x", "second", "-out", "-size", "-last"};
    EXPECT_TRUE(hasOption(t, "-a"));
    EXPECT_TRUE(hasOption(t, "-last"));
    EXPECT_FALSE(hasOption(t, "-A"));
    EXPECT_FALSE(hasOption(t, "-"));
    EXPECT_EQ(optionValue(t, "-a"), "1");
    // The first occurrence names the value.
    EXPECT_EQ(optionValue(t, "-x"), "first");
    // The value is the next token, even when it looks like an option.
    EXPECT_EQ(optionValue(t, "-out"), "-size");
    EXPECT_EQ(optionValue(t, "-size"), "-last");
    // The last token is never a name.
    EXPECT_EQ(optionValue(t, "-last"), "");
    EXPECT_EQ(optionValue(t, "-missing"), "");
    EXPECT_EQ(optionValue(CommandLine{}, "-a"), "");
    EXPECT_FALSE(hasOption(CommandLine{}, "-a"));
    // A value token can itself be found as an option name.
    const CommandLine u{"-a", "-b", "-b", "x"};
    EXPECT_EQ(optionValue(u, "-b"), "-b");
    EXPECT_TRUE(hasOption(CommandLine{"-out"}, "-out"));
    EXPECT_EQ(optionValue(CommandLine{"-out"}, "-out"), "");
}

TEST(Messages, FormattingAndHeadlessSilence) {
    // Longer than the first 1,024-byte attempt.
    const std::string big(3000, 'q');
    EXPECT_EQ(formatText("<%s|%d>", big.c_str(), 42), "<" + big + "|42>");
    EXPECT_EQ(formatText("%08X.%s", 0xCA6598D0u, "jpg"), "CA6598D0.jpg");
    EXPECT_EQ(formatText("%08X", 0x1Fu), "0000001F");

    Runtime rt;
    std::vector<std::string> shown;
    rt.responder = [&](int type, const std::string& caption, const std::string& text) {
        shown.push_back(std::to_string(type) + "|" + caption + "|" + text);
        return 6;
    };
    rt.headless = false;
    EXPECT_EQ(rt.showMessage(4, "Notice", "Load %s?\r\n%d", "x", 3), 6);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "4|Notice|Load x?\r\n3");
    // No format: nothing shown.
    EXPECT_EQ(rt.showMessage(0, "ERROR", nullptr), 0);
    EXPECT_EQ(shown.size(), 1u);
    // At most 8,191 characters.
    EXPECT_EQ(rt.showMessage(0, "ERROR", "%s", std::string(9000, 'm').c_str()), 6);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], "0|ERROR|" + std::string(8191, 'm'));
    // Headless: every box is silent and answers 0.
    rt.headless = true;
    for (int type : {0, 1, 4, 16, 48}) EXPECT_EQ(rt.showMessage(type, "ERROR", "x"), 0);
    EXPECT_EQ(rt.showText(4, "t", "x"), 0);
    EXPECT_EQ(shown.size(), 2u);
}
