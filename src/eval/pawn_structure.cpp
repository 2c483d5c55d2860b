// Pawn-structure term. Until it is written the skeleton scores nothing and
// no pawn counts as passed.

#include "eval/terms.h"

int score_pawns(SearchState& state) {
    state.eval.passed_files[white] = 0;
    state.eval.passed_files[black] = 0;
    return 0;
}
