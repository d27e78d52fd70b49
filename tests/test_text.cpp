// Text, path, option and command-line helpers: the exact cutting rules other
// modules rely on.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "app/command_line.h"
#include "app/runtime.h"
#include "app/text.h"
#include "test_support.h"

using namespace vant;

TEST(PathHelpers, SeparatorsAndExtensions) {
    // Any backslash wins over the slashes, even those after it.
    EXPECT_EQ(fileNameOf("a/b\\c/d.txt", true), "c/d.txt");
    EXPECT_EQ(fileNameOf("city.tar.gz", false), "city.tar");
    EXPECT_EQ(fileNameOf("x\\dir.v2/file", false), "dir");  // the last '.' stands before the slash
    EXPECT_EQ(fileNameOf("folder/", true), "");
    EXPECT_EQ(fileExtension("shot.TGA", true), "tga");
    EXPECT_EQ(fileExtension("shot.TGA", false), "TGA");
    EXPECT_EQ(fileExtension("maps.old/city", true), "");
    EXPECT_EQ(fileExtension("a\\b.sty/c", false), "sty/c");
    EXPECT_EQ(fileExtension("x.\xC4Z", true), "\xC4z");  // only A..Z are lowered
    EXPECT_EQ(directoryOf("a/b\\c/d.txt", false), "a/b/c/");
    EXPECT_EQ(directoryOf("D:\\maps\\city.gmp", true), "D:/maps");
    EXPECT_EQ(directoryOf("/x", true), "");
    EXPECT_EQ(stripExtension("maps.old/city"), "maps");  // looks at the whole path
    EXPECT_EQ(stripExtension("a/b.c.d"), "a/b.c");
    EXPECT_EQ(sanitizeFileName("\\/:*?\"<>|"), "_________");
    EXPECT_EQ(sanitizeFileName(std::string("Area 51.map!#'\x80\xFF")), "Area 51.map!#'\x80\xFF");
}

TEST(TextHelpers, TrimCaseAndSplit) {
    EXPECT_EQ(trimBlanks(std::string(" \x01\x1F \0", 5)), "");
    EXPECT_EQ(trimBlanks(std::string("\t\0a b\r\n", 7)), "a b");
    EXPECT_EQ(trimBlanks("\xA0x\xFF"), "\xA0x\xFF");  // bytes 128..255 are no blanks
    std::string s = "AbZ[@`{\xC4\xE4";
    toLowerAscii(s);
    EXPECT_EQ(s, "abz[@`{\xC4\xE4");
    toUpperAscii(s);
    EXPECT_EQ(s, "ABZ[@`{\xC4\xE4");

    using V = std::vector<std::string>;
    EXPECT_EQ(splitLimited("key=value=more", '=', 2), (V{"key", "value=more"}));
    EXPECT_EQ(splitLimited("a==b", '=', 3), (V{"a", "", "b"}));
    EXPECT_EQ(splitLimited("=", '=', 2), (V{""}));  // an empty last part is dropped
    EXPECT_EQ(splitLimited("", '=', 2), V{});
    EXPECT_EQ(splitLimited("", '=', 1), (V{""}));  // 0 or 1 keeps the whole text
    EXPECT_EQ(splitLimited("a=b", '=', 0), (V{"a=b"}));
}

TEST(FileHelpers, LinesSizesAndAppending) {
    vant::test::TempDir dir;
    const std::string path = dir.file("a.txt");
    auto lines = [&](const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::vector<std::string> read;
        for (std::string l; !(l = readTextLine(f)).empty();) read.push_back(l);
        std::fclose(f);
        return read;
    };
    // At most 1,024 bytes a line; bytes 0, 254 and 255 are dropped but counted.
    EXPECT_EQ(lines(std::string(2000, 'a') + "\nnext\n" + std::string("\0\xFE\xFFz\nend", 8)),
              (std::vector<std::string>{std::string(1024, 'a'), std::string(976, 'a') + "\n", "next\n", "z\n", "end"}));
    EXPECT_EQ(lines(std::string("\0\xFE\xFF", 3) + std::string(1021, 'b') + "c\n"),
              (std::vector<std::string>{std::string(1021, 'b'), "c\n"}));

    std::remove(path.c_str());
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(fileSize(path), 0);
    appendTextFile(path, "abc", "ab");
    appendTextFile(path, "de", "ab");
    EXPECT_EQ(fileSize(path), 5);
    appendTextFile(path, "z", "wb");
    EXPECT_EQ(fileSize(path), 1);
    EXPECT_FALSE(fileExists(dir.path.string()));  // a folder is no file
    appendTextFile(dir.file("missing/x.txt"), "abc", "ab");
    EXPECT_FALSE(fileExists(dir.file("missing/x.txt")));
}

TEST(Options, NumbersAndFlags) {
    const std::vector<std::pair<const char*, bool>> flags = {
        {"1", true}, {"yes", true}, {"true", true}, {"0", false},   {"no", false}, {"false", false}, {"True", false},
        {"", false}, {"+0", false}, {"0x1", false}, {"- 3", false}, {"2", true},   {"  -3", true},   {"7abc", true}};
    for (const auto& [text, on] : flags) EXPECT_EQ(parseBool(text), on) << text;

    EXPECT_EQ(roundUpToPowerOfTwo(0), 0);
    EXPECT_EQ(roundUpToPowerOfTwo((1LL << 29) + 1), 1LL << 30);
    // 2048 / side; the step is its lowest set bit (2048 / 3 = 0b1010101010).
    for (const auto& [side, step] : std::vector<std::pair<int, int>>{{2048, 0}, {256, 3}, {1, 11}, {3, 1}, {384, 0}})
        EXPECT_EQ(sizeStepFor(side), step) << side;
    const std::vector<std::pair<const char*, int>> sides = {
        {"300", 512},   {"256", 256},   {"257", 512},
        {"1025", 2048}, {"5000", 2048}, {"abc", 256},
        {"-1024", 256}, {"", 256},      {"99999999999999999999", 2048}};
    for (const auto& [text, side] : sides) EXPECT_EQ(clampedMinimapSide(text), side) << text;
}

TEST(Options, NamesValuesAndTokens) {
    const CommandLine t{"-a", "1", "-x", "first", "-x", "second", "-out", "-size", "-last"};
    EXPECT_TRUE(hasOption(t, "-last"));
    EXPECT_FALSE(hasOption(t, "-A"));
    EXPECT_EQ(optionValue(t, "-x"), "first");    // the first occurrence
    EXPECT_EQ(optionValue(t, "-out"), "-size");  // the next token, whatever it looks like
    EXPECT_EQ(optionValue(t, "-last"), "");      // the last token names no value
    EXPECT_EQ(optionValue(CommandLine{"-a", "-b", "-b", "x"}, "-b"), "-b");

    EXPECT_EQ(tokenizeCommandLine("a \"b c\" d", false), (CommandLine{"a", "b c", "d"}));
    EXPECT_EQ(tokenizeCommandLine("\"\"", false), (CommandLine{""}));
    EXPECT_EQ(tokenizeCommandLine("a\"b\"", false), (CommandLine{"a", "b"}));
    EXPECT_EQ(tokenizeCommandLine("x \"open end ", false), (CommandLine{"x", "open end "}));
    EXPECT_EQ(tokenizeCommandLine("a\tb\r\nc", false), (CommandLine{"a", "b", "c"}));
    EXPECT_EQ(tokenizeCommandLine("a \"b\"", true), (CommandLine{"a", "\"b\""}));
    EXPECT_TRUE(tokenizeCommandLine("   ", false).empty());
}

TEST(Messages, FormattingAndHeadlessSilence) {
    const std::string big(3000, 'q');  // longer than the first 1,024-byte attempt
    EXPECT_EQ(formatText("<%s|%08X>", big.c_str(), 0x1Fu), "<" + big + "|0000001F>");

    Runtime rt;
    std::vector<std::string> shown;
    rt.responder = [&](int type, const std::string& caption, const std::string& text) {
        shown.push_back(std::to_string(type) + "|" + caption + "|" + text);
        return AnswerYes;
    };
    EXPECT_EQ(rt.showMessage(BoxYesNo, "Notice", "Load %s?\r\n%d", "x", 3), AnswerYes);
    EXPECT_EQ(rt.showMessage(BoxOk, "ERROR", nullptr), 0);  // no format: nothing shown
    EXPECT_EQ(rt.showMessage(BoxOk, "ERROR", "%s", std::string(9000, 'm').c_str()), AnswerYes);
    EXPECT_EQ(shown, (std::vector<std::string>{"4|Notice|Load x?\r\n3", "0|ERROR|" + std::string(8191, 'm')}));
    rt.headless = true;  // every box is silent and answers 0
    EXPECT_EQ(rt.showMessage(BoxYesNo, "ERROR", "x"), 0);
    EXPECT_EQ(rt.showText(BoxOk, "t", "x"), 0);
    EXPECT_EQ(shown.size(), 2u);
}
