// Pawn structure: the skeleton terms on small positions, and the pawn hash
// answering exactly as the computed path does.

#include "eval/terms.h"
#include "eval_fixture.h"

namespace {

SearchState state;
EvalParams params{};

struct PawnResult {
    int score;
    int passed[2];
};

// Sets up a position and runs the pawn term with the given scale, the way
// the frame does (pawn maps first).
PawnResult pawns_of(const char* fen, int scale = 100) {
    set_fen(state, fen);
    params.pawn_structure_scale = scale;
    state.params = &params;
    build_pawn_maps(state);
    const int score = score_pawns(state);
    return {score, {state.eval.passed_files[white], state.eval.passed_files[black]}};
}

constexpr int file_bit(char f) { return 1 << (f - 'a'); }

}  // namespace

using PawnStructure = EvalTest;

TEST_F(PawnStructure, SkeletonTerms) {
    const struct {
        const char* fen;
        int score;
        int white_passed;
        int black_passed;
    } cases[] = {
        // e2 and e3: both doubled (10 each) and isolated (20 each).
        {"4k3/8/8/8/8/4P3/4P3/4K3 w - - 0 1", -60, file_bit('e'), 0},
        // d4 and e4 side by side: +2 each, neither isolated nor backward.
        {"4k3/8/8/8/3PP3/8/8/4K3 w - - 0 1", 4, file_bit('d') | file_bit('e'), 0},
        // An enemy pawn on a neighbouring file behind does not stop a passer,
        // in either direction.
        {"4k3/8/8/3P4/4p3/8/8/4K3 w - - 0 1", 0, file_bit('d'), file_bit('e')},
        // d5 against e7 with c5 covering d6: a candidate (30) beside c5.
        {"4k3/4p3/8/2PP4/8/8/8/4K3 w - - 0 1", 2 + 2 + 30 + 20, file_bit('c'), 0},
        // Without c5, d6 is attacked and not covered: no candidate.
        {"4k3/4p3/8/3P4/8/8/8/4K3 w - - 0 1", 0, 0, 0},
        // d3 behind c4 and e4 is backward (16) ...
        {"4k3/8/8/8/2P1P3/3P4/8/4K3 w - - 0 1", -16, file_bit('c') | file_bit('d') | file_bit('e'), 0},
        // ... and pays half when a pawn stands ahead of it on its file.
        {"4k3/8/3p4/8/2P1P3/3P4/8/4K3 w - - 0 1", -8 + 20, 0, 0},
        // Black mirrored: d6 behind c5 and e5 is backward for black.
        {"4k3/8/3p4/2p1p3/8/8/8/4K3 w - - 0 1", 16, 0, file_bit('c') | file_bit('d') | file_bit('e')},
        // A pawn on the fourth rank whose neighbour two ranks behind can
        // step up safely is not backward (d4 with c2 and e5); c2 itself is.
        {"4k3/8/8/4P3/3P4/8/2P5/4K3 w - - 0 1", -12, 0b11100, 0},
    };
    for (const auto& c : cases) {
        const PawnResult result = pawns_of(c.fen);
        EXPECT_EQ(result.score, c.score) << c.fen;
        EXPECT_EQ(result.passed[white], c.white_passed) << c.fen;
        EXPECT_EQ(result.passed[black], c.black_passed) << c.fen;
    }
}

TEST_F(PawnStructure, HashHitAnswersLikeTheComputedPath) {
    const char* fens[] = {
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "4k3/4p3/8/2PP4/8/8/8/4K3 w - - 0 1",
        "8/pp3k2/2p5/3P4/1P6/8/5KPP/8 b - - 0 1",
        "4k3/8/3p4/8/2P1P3/3P4/8/4K3 w - - 0 1",
    };
    for (const char* fen : fens) {
        for (const int scale : {100, 37, -50, 0}) {
            clear_pawn_table(main_pawn_table);
            const PawnResult computed = pawns_of(fen, scale);
            ASSERT_EQ(pawn_table_entry(main_pawn_table, state.pawn_key).key, state.pawn_key);
            // Disturb the maps: a hit must not read them.
            build_pawn_maps(state);
            state.eval.attack_map[white][0x34] = 0xff;
            const PawnResult cached = pawns_of(fen, scale);
            EXPECT_EQ(cached.score, computed.score) << fen << " scale " << scale;
            EXPECT_EQ(cached.passed[white], computed.passed[white]) << fen;
            EXPECT_EQ(cached.passed[black], computed.passed[black]) << fen;
        }
    }
}

TEST_F(PawnStructure, ZeroScaleStillFindsPassedFiles) {
    const PawnResult result = pawns_of("4k3/8/8/3P4/4p3/8/8/4K3 w - - 0 1", 0);
    EXPECT_EQ(result.score, 0);
    EXPECT_EQ(result.passed[white], file_bit('d'));
    EXPECT_EQ(result.passed[black], file_bit('e'));
    // The scale applies to the difference once: -60 at 50 % is -30.
    clear_pawn_table(main_pawn_table);
    EXPECT_EQ(pawns_of("4k3/8/8/8/8/4P3/4P3/4K3 w - - 0 1", 50).score, -30);
}
