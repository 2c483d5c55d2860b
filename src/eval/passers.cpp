// Passed-pawn term. Until it is written passed pawns score nothing.

#include "eval/terms.h"

int score_passers(SearchState&) { return 0; }
