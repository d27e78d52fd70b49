// Text, path, option and command-line helpers: the exact cutting rules other
// modules rely on.

#include <cstdio>
#include <fstream>

#include "app/command_line.h"
#include "base/text.h"
#include "test_support.h"

using namespace vant;
using V = std::vector<std::string>;

TEST(PathHelpers, SeparatorsExtensionsAndTrim) {
    // Any backslash wins over the slashes, even those after it.
    EXPECT_EQ(fileNameOf("a/b\\c/d.txt", true), "c/d.txt");
    EXPECT_EQ(fileExtension("shot.TGA", true), "tga");
    EXPECT_EQ(fileExtension("maps.old/city", true), "");
    EXPECT_EQ(fileExtension("a\\b.sty/c", false), "sty/c");
    EXPECT_EQ(directoryOf("a/b\\c/d.txt", false), "a/b/c/");
    EXPECT_EQ(directoryOf("D:\\maps\\city.gmp", true), "D:/maps");
    EXPECT_EQ(stripExtension("maps.old/city"), "maps");  // looks at the whole path
    EXPECT_EQ(sanitizeFileName("A. #!\\/:*?\"<>|'\x80\xFF"), "A. #!_________'\x80\xFF");
    // Trimming; splitting is checked through the settings and recent-maps files.
    EXPECT_EQ(trimBlanks(std::string("\t\0a b\r\n\x01\x1F", 9)), "a b");
    EXPECT_EQ(trimBlanks("\xA0x\xFF"), "\xA0x\xFF");  // bytes 128..255 are no blanks
}

TEST(FileHelpers, LinesAndAppending) {
    vant::test::TempDir dir;
    const std::string path = dir.file("a.txt");
    auto lines = [&](const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        V read;
        for (std::string l; !(l = readTextLine(f)).empty();) read.push_back(l);
        std::fclose(f);
        return read;
    };
    // At most 1,024 bytes a line; bytes 0, 254 and 255 are dropped but counted.
    EXPECT_EQ(lines(std::string(2000, 'a') + "\nnext\n" + std::string("\0\xFE\xFFz\nend", 8)),
              (V{std::string(1024, 'a'), std::string(976, 'a') + "\n", "next\n", "z\n", "end"}));
    EXPECT_EQ(lines(std::string("\0\xFE\xFF", 3) + std::string(1021, 'b') + "c\n"), (V{std::string(1021, 'b'), "c\n"}));

    EXPECT_FALSE(fileExists(dir.path.string()));  // a folder is no file
    appendTextFile(dir.file("missing/x.txt"), "abc", "ab");
    EXPECT_FALSE(fileExists(dir.file("missing/x.txt")));
}

TEST(Options, NumbersFlagsNamesValuesAndTokens) {
    const std::vector<std::pair<const char*, bool>> flags = {{"yes", true},  {"True", false}, {"", false},
                                                             {"  -3", true}, {"- 3", false},  {"0x1", false}};
    for (const auto& [text, on] : flags) EXPECT_EQ(parseBool(text), on) << text;

    const std::vector<std::pair<const char*, int>> sides = {{"256", 256},   {"257", 512},  {"1024", 1024},
                                                            {"1025", 2048}, {"abc", 256}, {"99999999999999999999", 2048}};
    for (const auto& [text, side] : sides) EXPECT_EQ(clampedMinimapSide(text), side) << text;

    const CommandLine t{"-a", "1", "-x", "first", "-x", "second", "-out", "-size", "-last"};
    EXPECT_TRUE(hasOption(t, "-last"));
    EXPECT_FALSE(hasOption(t, "-A"));
    EXPECT_EQ(optionValue(t, "-x"), "first");    // the first occurrence
    EXPECT_EQ(optionValue(t, "-out"), "-size");  // the next token, whatever it looks like
    EXPECT_EQ(optionValue(t, "-last"), "");      // the last token names no value

    // A command line that comes as one text (Windows) is split by these rules.
    EXPECT_EQ(tokenizeCommandLine("a \"b c\"\td", false), (CommandLine{"a", "b c", "d"}));
    EXPECT_EQ(tokenizeCommandLine("\"\"", false), (CommandLine{""}));
    EXPECT_EQ(tokenizeCommandLine("a\"b\"", false), (CommandLine{"a", "b"}));
    EXPECT_EQ(tokenizeCommandLine("x \"open end ", false), (CommandLine{"x", "open end "}));
}

TEST(Messages, Formatting) {
    const std::string big(3000, 'q');  // longer than the first 1,024-byte attempt
    EXPECT_EQ(formatText("<%s|%08X>", big.c_str(), 0x1Fu), "<" + big + "|0000001F>");

    Runtime rt;
    V shown;
    rt.responder = [&](int type, const std::string& caption, const std::string& text) {
        shown.push_back(std::to_string(type) + "|" + caption + "|" + text);
        return AnswerYes;
    };
    EXPECT_EQ(rt.showMessage(BoxYesNo, "Notice", "Load %s?\r\n%d", "x", 3), AnswerYes);
    EXPECT_EQ(rt.showMessage(BoxOk, "ERROR", "%s", std::string(9000, 'm').c_str()), AnswerYes);
    EXPECT_EQ(shown, (V{"4|Notice|Load x?\r\n3", "0|ERROR|" + std::string(8191, 'm')}));
}
