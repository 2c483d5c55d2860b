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

TEST(SplitTokens, TooManyWordsRefuseTheWholeText) {
    // The longest line that can be read holds no more words than the list.
    EXPECT_GE(max_tokens - 1, max_line_length / 2);
    const auto words_text = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += "w ";
        return text;
    };
    testing::internal::CaptureStdout();
    EXPECT_EQ(int(split(words_text(max_tokens - 1)).size()), max_tokens - 1);
    EXPECT_TRUE(split(words_text(max_tokens) + "quit").empty());
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(said, "Error (too many words): " + std::to_string(max_tokens + 1) + " words, at most " +
                        std::to_string(max_tokens - 1) + "; the line is ignored\n");
}

TEST(FileLines, LinesUpToTheLimitAreWholeLongerOnesRefused) {
    const std::string longest(max_line_length, 'a');
    const std::string too_long(max_line_length + 1, 'b');
    FILE* file = std::tmpfile();
    std::fputs(("short\n" + longest + "\n" + too_long + " quit\n\nlast").c_str(), file);
    std::rewind(file);
    std::vector<char> buffer(input_line_size);
    int length = 0;
    const struct {
        FileLine got;
        std::string text;
        int length;
    } expected[] = {
        {FileLine::line, "short\n", 5},
        {FileLine::line, longest + "\n", max_line_length},
        {FileLine::too_long, std::string(max_line_length, 'b'), max_line_length + 6},
        {FileLine::line, "\n", 0},
        {FileLine::line, "last", 4},  // no newline at the end of the file
        {FileLine::end, "", 0},
    };
    for (const auto& line : expected) {
        EXPECT_EQ(read_file_line(file, buffer.data(), &length), line.got) << line.text.substr(0, 8);
        EXPECT_EQ(buffer.data(), line.text);
        EXPECT_EQ(length, line.length);
    }
    std::fclose(file);
}

TEST(ConfigText, CommentsAndEmptyLinesAreSkipped) {
    EXPECT_EQ(collect("# comment\n/ another\n\nht 64\n#pht 2\npht\n4\n", 2048), "ht 64\npht\n4\n");
    EXPECT_EQ(collect("# only comments\n\n//\n", 2048), "");
    EXPECT_EQ(collect("name last", 2048), "name last");  // no final newline
}

TEST(ConfigText, LongLinesStayWhole) {
    // A comment longer than one read must not have its tail run as commands.
    const std::string long_comment = std::string("#") + std::string(300, 'c') + " quit\n";
    EXPECT_EQ(collect(long_comment + "ht 1\n", 2048), "ht 1\n");
    const std::string long_line = std::string("name ") + std::string(400, 'n') + "\n";
    EXPECT_EQ(collect(long_line, 2048), long_line);
    // Beyond the limit a line is refused whole, and only that line.
    const std::string longest = std::string("name ") + std::string(max_line_length - 5, 'n') + "\n";
    EXPECT_EQ(collect(longest, command_text_size), longest);
    testing::internal::CaptureStdout();
    const std::string refused = std::string("name ") + std::string(max_line_length, 'n') + " quit\n";
    EXPECT_EQ(collect("ht 1\n" + refused + "pht 1\n", command_text_size), "ht 1\npht 1\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error (line too long): velkan.ini line 2, " + std::to_string(max_line_length + 10) +
                  " bytes; at most " + std::to_string(max_line_length) + " are read, the line is ignored\n");
    // A comment stays a comment however long.
    EXPECT_EQ(collect(std::string("#") + std::string(2 * max_line_length, 'c') + " quit\nht 1\n", 2048), "ht 1\n");
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
