#include <gtest/gtest.h>

#include "app/command_line.h"

using namespace vant;

TEST(Tokenizer, QuotedStretchesAndBlanks) {
    EXPECT_EQ(tokenizeCommandLine("a \"b c\" d", false), (CommandLine{"a", "b c", "d"}));
    EXPECT_EQ(tokenizeCommandLine("\"\"", false), (CommandLine{""}));
    EXPECT_EQ(tokenizeCommandLine("a\"b\"", false), (CommandLine{"a", "b"}));
    EXPECT_EQ(tokenizeCommandLine("x \"open end ", false), (CommandLine{"x", "open end "}));
    EXPECT_EQ(tokenizeCommandLine("a\tb\r\nc", false), (CommandLine{"a", "b", "c"}));
    EXPECT_EQ(tokenizeCommandLine("a \"b\"", true), (CommandLine{"a", "\"b\""}));
    EXPECT_TRUE(tokenizeCommandLine("   ", false).empty());
}
