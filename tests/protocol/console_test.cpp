#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/console.h"
#include "protocol/startup.h"

namespace {

std::vector<std::string> split(std::string text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    char* tokens[max_tokens];
    const int end = split_tokens(buffer.data(), tokens);
    EXPECT_EQ(tokens[end - 1], nullptr);
    return std::vector<std::string>(tokens, tokens + end - 1);
}

// The configuration text collected from a file with these contents.
std::string collect(const std::string& contents, int size, bool* complete = nullptr) {
    FILE* file = std::tmpfile();
    std::fputs(contents.c_str(), file);
    std::rewind(file);
    std::vector<char> text(size_t(size), 'x');
    const bool whole = collect_config_text(file, text.data(), size);
    std::fclose(file);
    if (complete) *complete = whole;
    return text.data();
}

}  // namespace

TEST(SplitTokens, SeparatorRunsAndEmptyText) {
    EXPECT_EQ(split("  setboard\t8/8 w\r\n -  "), (std::vector<std::string>{"setboard", "8/8", "w", "-"}));
    EXPECT_TRUE(split("").empty());
    EXPECT_TRUE(split(" \r\n\t\n").empty());
    EXPECT_EQ(split("E2E4"), std::vector<std::string>{"E2E4"});  // case is kept
}

TEST(SplitTokens, ExtraWordsAreDroppedNotOverflowing) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += 'w';
        text += std::to_string(i);
        text += ' ';
    }
    testing::internal::CaptureStdout();
    const std::vector<std::string> words = split(text);
    const std::string said = testing::internal::GetCapturedStdout();
    ASSERT_EQ(int(words.size()), max_tokens - 1);
    EXPECT_EQ(words.back(), "w254");
    EXPECT_EQ(said, "Error (too many words): 45 words ignored\n");
}

TEST(ConfigText, CommentsAndEmptyLinesAreSkipped) {
    EXPECT_EQ(collect("# comment\n/ another\n\nht 64\n#pht 2\npht\n4\n", 2048), "ht 64\npht\n4\n");
    EXPECT_EQ(collect("# only comments\n\n//\n", 2048), "");
    EXPECT_EQ(collect("name last", 2048), "name last");  // no final newline
}

TEST(ConfigText, LongLinesStayWhole) {
    // A comment longer than one read must not have its tail run as commands.
    const std::string long_comment = "#" + std::string(300, 'c') + " quit\n";
    EXPECT_EQ(collect(long_comment + "ht 1\n", 2048), "ht 1\n");
    const std::string long_line = "name " + std::string(400, 'n') + "\n";
    EXPECT_EQ(collect(long_line, 2048), long_line);
}

TEST(ConfigText, OverflowStopsAtALineBoundary) {
    bool complete = true;
    // 10 bytes hold "ht 64\n" but not the next line as well.
    EXPECT_EQ(collect("ht 64\npht 16\n", 10, &complete), "ht 64\n");
    EXPECT_FALSE(complete);
    EXPECT_EQ(collect("ht 64\n", 7, &complete), "ht 64\n");
    EXPECT_TRUE(complete);
}

TEST(ArgumentLine, JoinsWithSpacesAndStopsBeforeOverflow) {
    char a0[] = "velkan64", a1[] = "sd", a2[] = "8", a3[] = "go";
    char* argv[] = {a0, a1, a2, a3, nullptr};
    char text[16];
    EXPECT_TRUE(build_argument_line(4, argv, text, sizeof text));
    EXPECT_STREQ(text, " sd 8 go");
    EXPECT_TRUE(build_argument_line(1, argv, text, sizeof text));
    EXPECT_STREQ(text, "");
    char small[6];
    EXPECT_FALSE(build_argument_line(4, argv, small, sizeof small));
    EXPECT_STREQ(small, " sd 8");
}
