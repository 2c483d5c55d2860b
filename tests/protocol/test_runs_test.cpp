// runeval through the interpreter over the positions of the colour-symmetry
// trees, with the shipped personality: every position must come out as one
// "*N* S" line, numbered in file order, and the game ends at the start.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "eval/eval_fixture.h"
#include "eval/symmetry_walk.h"
#include "protocol/game.h"
#include "protocol/interpreter.h"

namespace {

SearchState tree;

// Runs one command line in `dir` and returns what it printed.
std::string run_in(const std::string& dir, const std::string& line, bool& go_on) {
    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    char* tokens[max_tokens];
    split_tokens(text.data(), tokens);
    char previous[4096];
    if (!getcwd(previous, sizeof previous) || chdir(dir.c_str()) != 0) return "cannot enter " + dir;
    testing::internal::CaptureStdout();
    go_on = execute_commands(tokens);
    const std::string said = testing::internal::GetCapturedStdout();
    if (chdir(previous) != 0) return "cannot return to " + std::string(previous);
    return said;
}

}  // namespace

using RunEvalSymmetry = EvalTest;

TEST_F(RunEvalSymmetry, TreesGiveOnlyScoreLinesWithTheShippedPersonality) {
    const std::filesystem::path epd =
        std::filesystem::temp_directory_path() / ("velkan-runeval-" + std::to_string(getpid()) + ".epd");
    int positions = 0;
    {
        std::ofstream out(epd);
        positions = walk_symmetry_trees(tree, [&out](SearchState& position) {
            out << epd_fields(position) << " id \"tree\";\n";
            return true;
        });
    }
    ASSERT_GT(positions, 5000);

    set_fen(game, "4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    bool go_on = false;
    const std::string said = run_in(VELKAN_RUN_DIR, "personality default runeval " + epd.string(), go_on);
    std::filesystem::remove(epd);
    EXPECT_TRUE(go_on);

    std::istringstream lines(said);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "******************************************");
    int expected_number = 0;
    while (std::getline(lines, line)) {
        ++expected_number;
        char prefix_text[32];
        std::snprintf(prefix_text, sizeof prefix_text, "*%d* ", expected_number);
        const std::string prefix = prefix_text;
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << "line " << expected_number << ": " << line;
        const std::string score = line.substr(prefix.size());
        ASSERT_FALSE(score.empty()) << line;
        ASSERT_EQ(score.find_first_not_of("-0123456789"), std::string::npos) << line;
    }
    EXPECT_EQ(expected_number, positions);

    new_position(tree);
    EXPECT_EQ(game.pos_key, tree.pos_key);
    EXPECT_EQ(game.to_move, white);
}
