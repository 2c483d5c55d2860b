// Colour symmetry: every position of small move trees evaluates exactly as
// its colour mirror does, from the side to move's view, on the computed
// path and on the cache path, with zero weights and with the shipped ones.

#include "eval/symmetry_walk.h"
#include "eval_fixture.h"

namespace {

SearchState tree;
SearchState mirrored;

// Evaluates the tree position twice (computed, then cached) and its mirror
// twice; the walk below a position stops at the first failure.
bool compare_with_mirror(SearchState& position) {
    const int computed = evaluate(position, eval_full);
    EXPECT_EQ(evaluate(position, eval_full), computed);
    copy_search_state(mirrored, position);
    mirror_board(mirrored);
    EXPECT_EQ(evaluate(mirrored, eval_full), computed);
    EXPECT_EQ(evaluate(mirrored, eval_full), computed);
    return !::testing::Test::HasFailure();
}

int walk_all_roots() { return walk_symmetry_trees(tree, compare_with_mirror); }

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
