#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "bitbase/bitbase.h"
#include "board/make_move.h"
#include "board/notation.h"
#include "protocol/game.h"
#include "qordil/tables.h"
#include "search/root.h"
#include "search/root_commands.h"
#include "search/search.h"
#include "search/time_control.h"
#include "search/trans_table.h"

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Thinking lines start with a digit (the iteration number); the time and
// statistics lines do not.
std::vector<std::string> thinking_lines(const std::string& text) {
    std::vector<std::string> result;
    for (const std::string& line : lines_of(text))
        if (!line.empty() && line[0] >= '0' && line[0] <= '9') result.push_back(line);
    return result;
}

int field(const std::string& line, int index) {
    std::istringstream in(line);
    long long value = 0;
    for (int i = 0; i <= index; ++i) in >> value;
    return int(value);
}

// Searches a FEN position to a fixed iteration limit on the main search
// object, as the engine's turn does, and returns the output.
class RootSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        time_control = TimeControl{};
        no_clock = ponder_mode = 0;
        pvstyle = 0;
        clear_all_tables();
    }
    void TearDown() override {
        time_control = TimeControl{};
        bitbases_loaded = false;
    }

    std::string search(const char* fen, int depth, Move& best) {
        char depth_text[8];
        std::snprintf(depth_text, sizeof depth_text, "%d", depth);
        char* args[] = {depth_text};
        command_sd(args, 1);
        set_fen(main_search_state, fen);
        testing::internal::CaptureStdout();
        best = find_best_move(main_search_state);
        return testing::internal::GetCapturedStdout();
    }

    static std::string text_of(Move m) {
        char text[8];
        move_to_text(m, text);
        return text;
    }
};

TEST(RootDisplay, MateScoresShowMovesToMate) {
    EXPECT_EQ(shown_score(mate_score - 2 * ply_step), 9998);  // mate in one
    EXPECT_EQ(shown_score(mate_score - 4 * ply_step), 9996);
    EXPECT_EQ(shown_score(-(mate_score - 3 * ply_step)), -9997);
    EXPECT_EQ(shown_score(17200), 17200);
    EXPECT_EQ(shown_score(-250), -250);
}

TEST(RootOrder, SortIsHighestFirstAndKeepsTiesInListOrder) {
    static PlyRecord root;
    const int scores[] = {5, 9, 5, 7, 9, 1};
    root.move_count = 6;
    for (int i = 0; i < 6; ++i) {
        root.moves[i] = Move(i + 1);
        root.scores[i] = scores[i];
    }
    sort_root_list(root);
    const Move expected[] = {2, 5, 4, 1, 3, 6};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(root.moves[i], expected[i]) << i;
}

TEST(AspirationWindow, SequenceOfWindows) {
    AspirationWindow w{80, 320, narrow_half_width, 0};
    // Iterations up to 7 are followed by the full window, whatever happened.
    EXPECT_EQ(next_window(w, 500, lower, 2, false), WindowResult::full);
    EXPECT_EQ(w.alpha, -infinite_score);
    EXPECT_EQ(w.beta, infinite_score);
    // From iteration 8 on: +-30 around the last score.
    EXPECT_EQ(next_window(w, 40, exact, 8, false), WindowResult::held);
    EXPECT_EQ(w.alpha, 10);
    EXPECT_EQ(w.beta, 70);
    // Fail low: widen below only; above only after an earlier fail-high.
    EXPECT_EQ(next_window(w, 0, upper, 9, false), WindowResult::fail_low);
    EXPECT_EQ(w.alpha, -120);
    EXPECT_EQ(w.beta, 70);
    EXPECT_EQ(next_window(w, -130, upper, 9, false), WindowResult::fail_low);
    EXPECT_EQ(w.alpha, -130 - 480);
    EXPECT_EQ(w.beta, 70);
    // Fail high after a fail low opens the lower side again too.
    EXPECT_EQ(next_window(w, 90, lower, 9, false), WindowResult::fail_high);
    EXPECT_EQ(w.beta, 90 + 1920);
    EXPECT_EQ(w.alpha, 90 - 1920);
    // A held window narrows again.
    EXPECT_EQ(next_window(w, 95, exact, 9, false), WindowResult::held);
    EXPECT_EQ(w.half_width, narrow_half_width);
    // Mate-like scores and bitbase roots are searched full width.
    EXPECT_EQ(next_window(w, 3000, exact, 12, false), WindowResult::full);
    EXPECT_EQ(next_window(w, 95, exact, 12, true), WindowResult::full);
}

TEST_F(RootSearchTest, SingleLegalMoveIsAnsweredWithoutSearch) {
    Move best = 0;
    // The cornered king's only move takes the rook.
    const std::string out = search("7k/8/8/8/8/8/1r6/K7 w - - 0 1", 10, best);
    EXPECT_EQ(text_of(best), "a1b2");
    const auto lines = lines_of(out);
    ASSERT_EQ(lines.size(), 1u) << out;
    EXPECT_EQ(field(lines[0], 3), 0);  // no node searched
    EXPECT_EQ(lines[0].substr(lines[0].size() - 6), "Ka1xb2");
}

TEST_F(RootSearchTest, NoLegalMove) {
    Move best = 1;
    EXPECT_EQ(search("7k/8/8/8/8/8/1r6/Kr6 w - - 0 1", 4, best), "no moves\n");
    EXPECT_EQ(best, 0u);
}

TEST_F(RootSearchTest, DepthLimitEndsAfterThatIteration) {
    Move best = 0;
    const std::string out = search(start_fen, 4, best);
    const auto thinking = thinking_lines(out);
    ASSERT_FALSE(thinking.empty()) << out;
    EXPECT_EQ(field(thinking.front(), 0), 2);
    EXPECT_EQ(field(thinking.back(), 0), 4);
    EXPECT_NE(best, 0u);
    EXPECT_NE(out.find("[sd = 4 , hply = 0]"), std::string::npos);
    EXPECT_NE(out.find("nodes = "), std::string::npos);
    EXPECT_NE(out.find("lazy_eval = "), std::string::npos);
    // The search object is back at its root position.
    EXPECT_EQ(main_search_state.ply, 0);
    EXPECT_EQ(main_search_state.hply, 0);

    // Iteration 2 always runs, even below the limit.
    search(start_fen, 1, best);
    EXPECT_NE(best, 0u);
}

TEST_F(RootSearchTest, MateInOneShowsTheReducedMateScore) {
    Move best = 0;
    const std::string out = search("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 4, best);
    EXPECT_EQ(text_of(best), "a1a8");
    const auto thinking = thinking_lines(out);
    ASSERT_FALSE(thinking.empty());
    EXPECT_EQ(field(thinking.back(), 1), 9998) << out;
    EXPECT_NE(thinking.back().find("Ra1-a8"), std::string::npos);
}

TEST_F(RootSearchTest, LongerMatesShowTheirDistanceForEitherSide) {
    struct Case {
        const char* fen;
        int depth;
        int shown;  // the score field of the last thinking line
    };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/8/RR4K1 w - - 0 1", 6, 9996},         // mate in two
        {"5k2/8/8/8/8/8/8/R3K2R w KQ - 0 1", 9, 9994},        // mate in three
        {"6k1/8/6K1/8/8/8/8/R7 b - - 0 1", 8, -9995},         // mated in two
    };
    for (const Case& c : cases) {
        Move best = 0;
        const auto thinking = thinking_lines(search(c.fen, c.depth, best));
        ASSERT_FALSE(thinking.empty()) << c.fen;
        EXPECT_EQ(field(thinking.back(), 1), c.shown) << c.fen;
    }
}

TEST_F(RootSearchTest, CompactStyleShowsOnlyTheTableRow) {
    pvstyle = 1;
    Move best = 0;
    const std::string out = search(start_fen, 3, best);
    EXPECT_TRUE(thinking_lines(out).empty());
    const auto lines = lines_of(out);
    ASSERT_EQ(lines.size(), 2u) << out;  // time line and the row
    EXPECT_EQ(lines[1][0], ' ');
    pvstyle = 0;
}

TEST_F(RootSearchTest, BitbasesFilterAndDecideTheRoot) {
    bool bound = false;
    testing::internal::CaptureStdout();
    bound = bind_library(VELKAN_FAKE_EGBB "/complete", 1 << 20);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(bound);
    bitbases_loaded = true;

    // The lone king can take the unguarded queen: a draw instead of a loss,
    // played at once without a search.
    Move best = 0;
    std::string out = search("8/8/8/8/8/1k6/1Q6/7K b - - 0 1", 6, best);
    EXPECT_EQ(text_of(best), "b3b2");
    EXPECT_EQ(lines_of(out).size(), 1u) << out;
    EXPECT_EQ(previous_score, 0);

    // Won for white: moves that hang the queen are dropped from the root,
    // so the search never plays one.
    set_fen(main_search_state, "8/8/8/8/8/1k6/8/Q6K w - - 0 1");
    const PlyRecord& root = main_search_state.ply_records[0];
    bitbase_root = true;
    build_root_list(main_search_state, 3000);
    for (int i = 0; i < root.move_count; ++i) {
        const std::string move = text_of(root.moves[i]);
        EXPECT_NE(move, "a1a2") << "hangs the queen";
        EXPECT_NE(move, "a1b2") << "hangs the queen";
    }
    EXPECT_GT(root.move_count, 10);
    out = search("8/8/8/8/8/1k6/8/Q6K w - - 0 1", 4, best);
    EXPECT_NE(text_of(best), "a1a2");
    bitbases_loaded = false;
}

TEST(RootBitbase, BestMoveIsPlayedWhenItShortensTheMateOrTheRootIsNotWon) {
    struct Case {
        const char* what;
        std::vector<int> scores;  // sorted, best first
        int root_value;
        bool decides;
    };
    const Case cases[] = {
        {"a win one ply nearer the mate", {2019, 1999, 1000}, 1999, true},
        {"wins scored alike (a win-draw-loss library)", {3000, 3000}, 3000, false},
        {"no move shortens the mate", {1999, 1979}, 1999, false},
        {"a draw", {0, -2000}, 0, true},
        {"the longest defence", {-1500, -2999}, -1520, true},
        {"no moves", {}, 0, false},
    };
    static PlyRecord root;
    for (const Case& c : cases) {
        root.move_count = int(c.scores.size());
        for (size_t i = 0; i < c.scores.size(); ++i) root.scores[i] = c.scores[i];
        EXPECT_EQ(bitbase_move_decides(root, c.root_value), c.decides) << c.what;
    }
}

// With the real library the engine answers a bitbase root at once with the
// move one ply nearer the mate, for the losing side as well (no defence
// lasts longer). Tables a build did not make are skipped.
TEST_F(RootSearchTest, RealBitbasesPlayTheFastestMateAtOnce) {
    testing::internal::CaptureStdout();
    const bool bound = bind_library(QORDIL_DIR, 1 << 20);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(bound);
    bitbases_loaded = true;
    const char* positions[] = {
        "8/8/8/4k3/8/8/8/R3K3 w - - 0 1",   // rook
        "8/8/8/4k3/8/8/8/Q3K3 b - - 0 1",   // queen, the lone king to move
        "4k3/8/4K3/4P3/8/8/8/8 w - - 0 1",  // pawn
        "8/8/8/4k3/8/8/8/KBN5 w - - 0 1",   // bishop and knight
        "8/8/8/4k3/8/8/3r4/Q3K3 b - - 0 1", // queen against rook, the rook to move
    };
    int played = 0;
    for (const char* fen : positions) {
        set_fen(main_search_state, fen);
        int root_value = 0;
        if (!probe_bitbase(main_search_state, root_value)) continue;
        ASSERT_NE(root_value, 0) << fen;
        Move best = 0;
        const std::string out = search(fen, 8, best);
        EXPECT_EQ(thinking_lines(out).size(), 1u) << fen << "\n" << out;
        EXPECT_EQ(field(thinking_lines(out)[0], 3), 0) << "no node searched: " << out;
        make_move(main_search_state, best);
        int child_value = 0;
        ASSERT_TRUE(probe_bitbase(main_search_state, child_value)) << fen;
        const int step = root_value > 0 ? qordil::score_per_ply : -qordil::score_per_ply;
        EXPECT_EQ(-child_value, root_value + step) << fen << " " << text_of(best);
        ++played;
    }
    EXPECT_GE(played, 3);
    bitbases_loaded = false;
}

}  // namespace
