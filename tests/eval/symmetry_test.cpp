// Colour symmetry: every position of small move trees evaluates exactly as
// its colour mirror does, from the side to move's view, on the computed
// path and on the cache path, with zero weights and with the shipped ones.

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "eval_fixture.h"

namespace {

SearchState tree;
SearchState mirrored;

constexpr int tree_depth = 2;

// Varied material: castling rights and both bishop colours, a lopsided
// middlegame, opposite bishops, a bare-king ending, rook pawns, pawn endings.
constexpr const char* roots[] = {
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "rnbqkb1r/pp1p1ppp/4pn2/2p5/2PP4/2N5/PP2PPPP/R1BQKBNR w KQkq - 0 4",
    "r1b2rk1/pp3ppp/2n5/3q4/3P4/2PB1N2/P4PPP/R2Q1RK1 b - - 0 12",
    "2r3k1/1q3ppp/8/8/8/8/5PPP/1R1R2K1 w - - 0 1",
    "4k3/2p3p1/1p2b3/8/3B4/1P4P1/5P2/4K3 w - - 0 1",
    "8/8/8/3k4/8/8/2BN4/4K3 w - - 0 1",
    "k7/8/8/P7/1K6/8/8/2B5 b - - 0 1",
    "8/pp3k2/8/8/8/8/5KPP/8 w - - 0 1",
    "1k6/1pp5/8/8/8/8/6PP/5RK1 b - - 0 1",
};

// Evaluates the current tree position twice (computed, then cached) and
// its mirror twice; returns the number of positions compared.
int compare_with_mirror() {
    const int computed = evaluate(tree, eval_full);
    EXPECT_EQ(evaluate(tree, eval_full), computed);
    copy_search_state(mirrored, tree);
    mirror_board(mirrored);
    EXPECT_EQ(evaluate(mirrored, eval_full), computed);
    EXPECT_EQ(evaluate(mirrored, eval_full), computed);
    return 1;
}

// Walks the legal moves to the given depth, comparing every node.
int walk(int depth) {
    int compared = compare_with_mirror();
    if (depth == 0 || ::testing::Test::HasFailure()) return compared;
    PlyRecord& rec = tree.ply_records[depth];
    tree.ply_rec = &rec;
    rec.move_count = 0;
    generate_all(tree);
    for (int i = 0; i < rec.move_count; ++i) {
        make_move(tree, rec.moves[i]);
        if (!attacked(tree, tree.to_move, king_square(tree, tree.not_to_move)))
            compared += walk(depth - 1);
        unmake_move(tree);
        tree.ply_rec = &rec;
    }
    return compared;
}

int walk_all_roots() {
    int compared = 0;
    for (const char* fen : roots) {
        set_fen(tree, fen);
        compared += walk(tree_depth);
    }
    return compared;
}

}  // namespace

using Symmetry = EvalTest;

TEST_F(Symmetry, MirroredPositionsEvaluateAlikeWithZeroWeights) {
    const int compared = walk_all_roots();
    EXPECT_GT(compared, 5000);
}

TEST_F(Symmetry, MirroredPositionsEvaluateAlikeWithShippedWeights) {
    use_shipped_personality();
    walk_all_roots();
}
