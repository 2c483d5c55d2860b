// The UCI front end's pieces: move and score text, reading `go` and turning
// its limits into the clock settings the time management works from.

#include "protocol/uci.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "search/search.h"

namespace {

// Splits words into a token list that lives as long as the object.
struct Words {
    std::vector<std::string> text;
    std::vector<char*> tokens;
    explicit Words(const std::string& line) {
        std::istringstream in(line);
        for (std::string word; in >> word;) text.push_back(word);
        for (std::string& word : text) tokens.push_back(word.data());
        tokens.push_back(nullptr);
    }
    int count() const { return int(text.size()); }
};

}  // namespace

TEST(UciText, MovesAreLongAlgebraicWithLowerCasePromotions) {
    const struct {
        Move move;
        const char* text;
    } cases[] = {
        {make_move_word(0x14, 0x34, white_pawn), "e2e4"},
        {white_castle_short, "e1g1"},
        {black_castle_long, "e8c8"},
        {make_move_word(0x64, 0x74, white_pawn, 0, white_queen), "e7e8q"},
        {make_move_word(0x11, 0x00, black_pawn, white_rook, black_knight), "b2a1n"},
        {0, "0000"},
    };
    for (const auto& c : cases) {
        char text[8];
        uci_move_text(c.move, text);
        EXPECT_STREQ(text, c.text);
    }
}

TEST(UciText, ScoresAreCentipawnsOrMovesToMate) {
    const struct {
        int score;
        const char* text;
    } cases[] = {
        {35, "cp 35"},
        {-120, "cp -120"},
        {2999, "cp 2999"},                          // a bitbase win is no mate count
        {mate_score - ply_step * 2, "mate 1"},      // mated at ply 1
        {mate_score - ply_step * 6, "mate 3"},      // mated at ply 5
        {-(mate_score - ply_step * 3), "mate -1"},  // mated at ply 2
        {-(mate_score - ply_step * 5), "mate -2"},
    };
    for (const auto& c : cases) {
        char text[16];
        uci_score_text(c.score, text, int(sizeof text));
        EXPECT_STREQ(text, c.text) << c.score;
    }
}

TEST(UciGo, LimitsBecomeClockSettings) {
    const TimeControl defaults;
    const struct {
        std::string go;
        int side;
        int time_left, opponent, increment, moves_per_session, moves_to_go, fixed, depth;
        bool no_clock;
        uint64_t nodes;
    } cases[] = {
        // Without a clock of its own side the engine's defaults stand.
        {"", white, defaults.time_left_ms, defaults.opponent_time_ms, 0, 30, 0, unlimited_time,
         no_depth_limit, false, 0},
        {"wtime 10000 btime 9000 winc 100 binc 200", black, 9000, 10000, 200, 0, 0, unlimited_time,
         no_depth_limit, false, 0},
        {"wtime 10000 btime 9000 movestogo 12", white, 10000, 9000, 0, 0, 12, unlimited_time,
         no_depth_limit, false, 0},
        {"wtime -50 btime 100", white, 0, 100, 0, 0, 0, unlimited_time, no_depth_limit, false, 0},
        {"movetime 500", white, 60000, 60000, 0, 30, 0, 500, no_depth_limit, false, 0},
        {"depth 7", white, 60000, 60000, 0, 30, 0, unlimited_time, 7, false, 0},
        {"depth 500", white, 60000, 60000, 0, 30, 0, unlimited_time, no_depth_limit - 1, false, 0},
        {"nodes 5000", white, 60000, 60000, 0, 30, 0, unlimited_time, no_depth_limit, true, 5000},
        {"nodes 5000 movetime 100", white, 60000, 60000, 0, 30, 0, 100, no_depth_limit, false, 5000},
        {"infinite", white, 60000, 60000, 0, 30, 0, unlimited_time, no_depth_limit, true, 0},
        {"ponder wtime 800 btime 900", black, 900, 800, 0, 0, 0, unlimited_time, no_depth_limit, true,
         0},
        // Words that do not read are skipped.
        {"wtime soon depth 3 sideways", white, 60000, 60000, 0, 30, 0, unlimited_time, 3, false, 0},
    };
    for (const auto& c : cases) {
        Words words(c.go);
        UciLimits limits;
        parse_go(words.tokens.data(), words.count(), limits);
        const SearchPlan plan = plan_search(limits, c.side);
        EXPECT_EQ(plan.clock.time_left_ms, c.time_left) << c.go;
        EXPECT_EQ(plan.clock.opponent_time_ms, c.opponent) << c.go;
        EXPECT_EQ(plan.clock.increment_ms, c.increment) << c.go;
        EXPECT_EQ(plan.clock.moves_per_session, c.moves_per_session) << c.go;
        EXPECT_EQ(plan.clock.moves_to_go, c.moves_to_go) << c.go;
        EXPECT_EQ(plan.clock.fixed_time_ms, c.fixed) << c.go;
        EXPECT_EQ(plan.clock.max_depth, c.depth) << c.go;
        EXPECT_EQ(plan.no_clock, c.no_clock) << c.go;
        EXPECT_EQ(plan.node_limit, c.nodes) << c.go;
    }
}

TEST(UciGo, SearchMovesRunToTheNextKeyword) {
    Words words("searchmoves e2e4 d2d4 depth 5 ponder");
    UciLimits limits;
    parse_go(words.tokens.data(), words.count(), limits);
    ASSERT_EQ(limits.search_move_count, 2);
    EXPECT_STREQ(limits.search_moves[0], "e2e4");
    EXPECT_STREQ(limits.search_moves[1], "d2d4");
    EXPECT_EQ(limits.depth, 5);
    EXPECT_TRUE(limits.ponder);
}

TEST(UciGo, MovesToGoPlansAnEvenShareOfTheClock) {
    // U = time - 1 s; L moves left; P = U / L (times 0.95 unless L is 1).
    const struct {
        int time_left, moves_to_go, planned, hard;
    } cases[] = {
        {10000, 1, 9000, 9000},
        {10000, 2, 4275, 6750},
        {10000, 5, 1710, 4500},
        {31000, 30, 950, 15000},
    };
    for (const auto& c : cases) {
        TimeControl clock;
        clock.moves_per_session = 0;
        clock.time_left_ms = c.time_left;
        clock.moves_to_go = c.moves_to_go;
        new_position_flag = 0;
        ponder_mode = 0;
        allot_time(clock, 40);
        EXPECT_EQ(clock.allotted_ms, c.planned) << c.moves_to_go;
        EXPECT_EQ(clock.max_time_ms, c.hard) << c.moves_to_go;
    }
}
