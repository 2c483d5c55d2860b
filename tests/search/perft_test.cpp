// perft over the ply-record stack: published counts, the command's output,
// and the position left as it was found.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "protocol/game.h"
#include "protocol/interpreter.h"
#include "search/perft.h"
#include "search/search_fixture.h"
#include "search/trans_table.h"

using namespace search_test;

namespace {

// Depths whose count stays within this many leaves are checked, so that the
// suite stays quick on two shared cores and under the sanitizers.
#ifdef VELKAN_SANITIZED
constexpr int64_t leaf_budget = 30000;
#else
constexpr int64_t leaf_budget = 1500000;
#endif

TEST(Perft, MatchesPublishedCounts) {
    std::ifstream in(VELKAN_TEST_DATA "/perft-public.epd");
    ASSERT_TRUE(in) << "perft-public.epd missing";
    int checked = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::string fen = line.substr(0, line.find(" ;"));
        SearchState& state = load_position(fen.c_str());
        const HashKey key = state.pos_key;
        const int hply = state.hply;
        std::istringstream fields(line.substr(fen.size()));
        for (std::string field; fields >> field;) {
            if (field != ";" && field[0] == ';') field.erase(0, 1);
            if (field.size() < 2 || field[0] != 'D') continue;
            const int depth = std::stoi(field.substr(1));
            int64_t expected = 0;
            fields >> expected;
            if (expected > leaf_budget) break;
            testing::internal::CaptureStdout();  // the progress dots
            EXPECT_EQ(perft_count(state, depth), expected) << fen << " depth " << depth;
            testing::internal::GetCapturedStdout();
            ++checked;
        }
        EXPECT_EQ(state.pos_key, key);
        EXPECT_EQ(state.hply, hply);
        EXPECT_EQ(state.ply, 0);
    }
    EXPECT_GT(checked, 60);
}

TEST(Perft, DepthZeroCountsLikeDepthOne) {
    SearchState& state = load_position(start_fen);
    EXPECT_EQ(perft_count(state, 0), 20);
    EXPECT_EQ(perft_count(state, 1), 20);
}

TEST(Perft, StartsAtTheCurrentPlyAndLeavesItThere) {
    SearchState& state = load_position("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1");
    state.ply = 5;
    state.ply_rec = state.ply_records + 5;
    testing::internal::CaptureStdout();
    EXPECT_EQ(perft_count(state, 3), 2812);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(14, '.'));
    EXPECT_EQ(state.ply, 5);
    EXPECT_EQ(state.ply_rec, state.ply_records + 5);
    state.ply = 0;
    state.ply_rec = state.ply_records;
}

// Whether the text is `dots` dots, then "\nnodes N\n" and "time S.SS sec\n".
bool is_perft_output(const std::string& out, int dots, int64_t nodes) {
    const std::string head = std::string(dots, '.') + "\nnodes " + std::to_string(nodes) + "\ntime ";
    const std::string tail = " sec\n";
    if (out.compare(0, head.size(), head) != 0 || out.size() < head.size() + tail.size() + 4) return false;
    if (out.compare(out.size() - tail.size(), tail.size(), tail) != 0) return false;
    const std::string seconds = out.substr(head.size(), out.size() - head.size() - tail.size());
    const size_t point = seconds.find('.');
    return point != std::string::npos && point > 0 && seconds.size() == point + 3 &&
           seconds.find_first_not_of("0123456789.") == std::string::npos;
}

TEST(Perft, CommandPrintsADotPerRootMoveThenCountAndTime) {
    SearchState& state = load_position(start_fen);
    testing::internal::CaptureStdout();
    command_perft(state, 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(is_perft_output(out, 0, 20)) << out;

    testing::internal::CaptureStdout();
    command_perft(state, 3);
    out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(is_perft_output(out, 20, 8902)) << out;
}

TEST(Perft, InterpreterRunsItOnTheGameAndRefusesAWordAsDepth) {
    load_position(start_fen);  // builds the attack table
    new_position(game);
    auto run = [](const char* line) {
        char text[64];
        std::snprintf(text, sizeof text, "%s", line);
        char* tokens[max_tokens];
        split_tokens(text, tokens);
        testing::internal::CaptureStdout();
        execute_commands(tokens);
        return testing::internal::GetCapturedStdout();
    };
    EXPECT_TRUE(is_perft_output(run("perft 2"), 20, 400));
    EXPECT_EQ(run("perft two").rfind("Error", 0), 0u);
    EXPECT_EQ(run("ht 1"), "ht 16384 X 64 = 1MB\n");
    resize_tt(tt_default_buckets);
}

}  // namespace
