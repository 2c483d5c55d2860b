// Piece-activity term. Until it is written pieces score nothing and the
// attack maps hold only the pawn attacks.

#include "eval/terms.h"

void score_pieces(SearchState&, PieceSums&) {}
