// The evaluation frame: tempo, cache, lazy modes and the cheap terms.

#include "board/make_move.h"
#include "eval/terms.h"
#include "eval_fixture.h"

namespace {

SearchState state;

// A position reached by a real move (e2e4) so the lazy tests have a
// history entry, evaluated at ply 1 below a parent record the test fills.
void enter_child_of_e4(int parent_lazy, int parent_eval) {
    set_fen(state, start_fen);
    make_move(state, make_move_word(sq_e1 + 16, sq_e1 + 48, white_pawn));
    state.ply = 1;
    state.ply_rec = &state.ply_records[1];
    state.ply_records[0].lazy_score = parent_lazy;
    state.ply_records[0].eval_score = parent_eval;
    state.ply_records[0].eval_flags = 0;
}

void set_window(int alpha, int beta) {
    state.ply_rec->alpha = alpha;
    state.ply_rec->beta = beta;
}

}  // namespace

using Evaluate = EvalTest;

TEST_F(Evaluate, StartPositionIsTheTempoBonusWithAndWithoutPersonality) {
    EXPECT_EQ(evaluate_fen(state, start_fen), 10);
    set_fen(state, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(evaluate(state, eval_full), 10);
    use_shipped_personality();
    EXPECT_EQ(evaluate_fen(state, start_fen), 10);
}

TEST_F(Evaluate, CacheHitMatchesComputedValueAndRestoresDangerFlags) {
    use_shipped_personality();
    const char* fen = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8";
    const int computed = evaluate_fen(state, fen);
    const int evals = state.eval_count;
    EvalEntry& entry = eval_cache_entry(main_eval_cache, state.pos_key);
    ASSERT_EQ(entry.key, state.pos_key);
    EXPECT_EQ(evaluate(state, eval_full), computed);
    EXPECT_EQ(state.eval_count, evals + 1);

    // A cached danger flag of the opponent's king earns the side to move the
    // same extra bonus as the evaluation that raised it.
    entry.flags |= black_king_danger;
    EXPECT_EQ(evaluate(state, eval_full), computed + 10);
    EXPECT_EQ(state.ply_rec->eval_flags & black_king_danger, black_king_danger);
    entry.flags = white_king_danger;
    EXPECT_EQ(evaluate(state, eval_full), computed);
}

TEST_F(Evaluate, LazyModeNeverTouchesTheCache) {
    enter_child_of_e4(0, -40);
    const int lazy_answers = state.lazy_count;
    // Outside the check case the estimate adds the parent's positional
    // part, seen from this side (+40); tempo comes on top.
    const int value = evaluate(state, eval_lazy);
    EXPECT_EQ(value, state.ply_rec->lazy_score + 40 + 10);
    EXPECT_TRUE(state.ply_rec->eval_flags & eval_inexact);
    EXPECT_EQ(state.lazy_count, lazy_answers + 1);
    EXPECT_NE(eval_cache_entry(main_eval_cache, state.pos_key).key, state.pos_key);

    // An existing entry is not read either.
    EvalEntry& entry = eval_cache_entry(main_eval_cache, state.pos_key);
    entry = {state.pos_key, 999, 999, 0, 0};
    EXPECT_EQ(evaluate(state, eval_lazy), value);
}

TEST_F(Evaluate, CheckCaseIgnoresTheParentsPositionalPart) {
    enter_child_of_e4(0, -40);
    state.hist_stack[state.hply - 1].check_kind = 1;  // as if e4 gave check
    const int in_check = evaluate(state, eval_lazy);
    EXPECT_EQ(in_check, state.ply_rec->lazy_score + 10);
    state.hist_stack[state.hply - 1].check_kind = 0;
    state.ply_records[0].eval_flags = eval_inexact;   // parent value was an estimate
    const int after_estimate = evaluate(state, eval_lazy);
    EXPECT_EQ(after_estimate, state.ply_rec->lazy_score + 10);
}

TEST_F(Evaluate, WindowModeTriesTheEstimateThenThePlainScore) {
    // Estimate 1000 lies inside (900, 1100) with the zero margin; the plain
    // lazy score (about 0, margin 300) lies below alpha: lazy answer.
    enter_child_of_e4(1000, 0);
    const int lazy = evaluate(state, eval_full) - 10;
    set_window(lazy + 900, lazy + 1100);
    const int lazy_answers = state.lazy_count;
    EXPECT_EQ(evaluate(state, eval_lazy_test), lazy + 10);
    EXPECT_TRUE(state.ply_rec->eval_flags & eval_inexact);
    EXPECT_EQ(state.lazy_count, lazy_answers + 1);

    // Both tests inside the window: the full evaluation (here the cache
    // entry stored above) answers.
    enter_child_of_e4(0, 0);
    set_window(lazy - 100, lazy + 100);
    const int evals = state.eval_count;
    EXPECT_EQ(evaluate(state, eval_lazy_test), lazy + 10);
    EXPECT_FALSE(state.ply_rec->eval_flags & eval_inexact);
    EXPECT_EQ(state.eval_count, evals + 1);

    // The estimate alone answers when it is outside the window.
    enter_child_of_e4(500, 0);
    set_window(lazy - 100, lazy + 100);
    EXPECT_EQ(evaluate(state, eval_lazy_test), lazy + 500 + 10);
}

// Each position has no queens, no castling rights, pawns on both sides and
// at least 29 units of pieces, so the white-to-move lazy part of the value
// is the piece-square balance and the term under test.
TEST_F(Evaluate, TrappedAndBlockedMen) {
    const struct {
        const char* fen;
        int term;
    } cases[] = {
        {"rnb1kbnN/ppppp1p1/8/8/8/8/PPPPPPPP/RNB1KB1R w - - 0 1", -50},   // knight h8, pawn g7
        {"rnb1kbnN/pppppp2/8/8/8/8/PPPPPPPP/RNB1KB1R w - - 0 1", 0},      // pawn f7 does not count
        {"Nnb1kbnr/1ppppppp/8/8/8/8/PPPPPPPP/R1B1KBNR w - - 0 1", -50},   // knight a8, pawn c7
        {"rnb1kbnr/Bpp1pppp/1p6/8/8/8/PPPPPPPP/RN2KBNR w - - 0 1", -120}, // bishop a7, pawns b6 c7
        {"rnb1kbnr/B2ppppp/1p6/8/8/8/PPPPPPPP/RN2KBNR w - - 0 1", -80},   // bishop a7, pawn b6 only
        {"rnb1kbnr/pppppppp/8/8/8/3N4/PPPPPPPP/R1B1KB1R w - - 0 1", -20}, // d2 blocked
        {"rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNB2BKR w - - 0 1", -70},    // king g1 shuts in h1 rook
        {"rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNB2BK1 w - - 0 1", 0},
    };
    for (const auto& c : cases) {
        evaluate_fen(state, c.fen);
        const int lazy = state.ply_rec->lazy_score;
        EXPECT_EQ(lazy - (state.psq_sum[white] - state.psq_sum[black]), c.term) << c.fen;
    }
}

TEST_F(Evaluate, CastlingTermsWhileRightsRemain) {
    // Short castling ready (+20), long blocked; the black side unchanged.
    const int base = evaluate_fen(state, "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNB1K2R w K - 0 1");
    const int psq_balance = state.psq_sum[white] - state.psq_sum[black];
    EXPECT_EQ(base - 10 - psq_balance, 20);
    // The queen out before castling (-20) cancels that bonus; facing the
    // queen, black's king takes its middlegame value (e8: -20).
    const int queen_out = evaluate_fen(state, "rn2kbnr/pppppppp/8/8/Q7/8/PPPPPPPP/RNB1K2R w K - 0 1");
    EXPECT_EQ(queen_out - 10 - (state.psq_sum[white] - state.psq_sum[black]), 20);
}
