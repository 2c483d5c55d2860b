// Passed pawns and pawn endings on positions worked out by hand: the value
// of one passer by its stop square and the kings, the pawn race and its
// inexact flag, and the pawn-ending terms.

#include "eval_fixture.h"

namespace {

SearchState state;
EvalParams params{};

int passers_of(const char* fen, int passed_pawn_scale, bool& inexact) {
    set_fen(state, fen);
    params.passed_pawn_scale = passed_pawn_scale;
    visit_pieces_of(state, params);
    const int score = score_passers(state);
    inexact = (state.ply_rec->eval_flags & eval_inexact) != 0;
    return score;
}

}  // namespace

using Passers = EvalTest;

TEST_F(Passers, HandComputedFigures) {
    const struct {
        const char* fen;
        int scale;
        int score;
        bool inexact;
        const char* why;
    } cases[] = {
        // e5 (base 60) against a queen: + 60 * (9 - 4) / 16 + 60 * 2 / 12.
        {"q5k1/8/8/4P3/8/8/8/6K1 w - - 0 1", 100, 88, false, "free passer"},
        {"q5k1/8/4n3/4P3/8/8/8/6K1 w - - 0 1", 100, 58, false, "stop square occupied: half the base"},
        {"q5k1/6p1/8/4PP2/8/8/8/6K1 w - - 0 1", 100, 148, false, "stop square guarded by f5: double"},
        {"q5k1/8/8/4P3/8/8/8/6K1 w - - 0 1", 50, 44, false, "scaled per pawn"},
        // a6 (base 110) against a bare king: 110 + 440 / 12 + 110 * 7 / 8 =
        // 242; the race in 3 moves against reach 7 is 600; the extra pawn
        // 100; the white king 5 files nearer the pawn (c = 1) 140.
        {"7k/8/P7/8/8/8/8/K7 b - - 0 1", 100, 1082, true, "pawn race"},
        {"7k/8/P7/8/8/8/8/K7 b - - 0 1", 0, 840, true, "race terms are not scaled"},
        // The black king on b8 is in the square: no race; it stands a file
        // nearer the pawn than the white king.
        {"1k6/8/P7/8/8/8/8/K7 b - - 0 1", 0, 100 - 20, true, "king in the square"},
        // Without pawns there is nothing for a king to be near.
        {"8/8/8/8/8/8/k6r/7K w - - 0 1", 100, 0, false, "pawnless ending"},
    };
    for (const auto& c : cases) {
        bool inexact = false;
        EXPECT_EQ(passers_of(c.fen, c.scale, inexact), c.score) << c.why;
        EXPECT_EQ(inexact, c.inexact) << c.why;
    }
}
