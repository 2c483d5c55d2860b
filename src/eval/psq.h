#pragma once
// The piece-square table: a value per piece code and 0x88 square index,
// from the man's own side. Make and unmake keep SearchState::psq_sum current
// from it; the evaluation builds it. The king tables live here too: kings
// have no entry in psq (their square is valued by the evaluation according
// to the phase), but the endgame recognisers also read the endgame table.

extern int psq[14][128];

// Base values of the men by colourless type (index 1 king .. 6 pawn).
constexpr int psq_base[7] = {0, 0, 975, 500, 330, 320, 110};

// Builds psq from the piece tables. Idempotent: called at start-up and at
// the start of every search.
void init_psq();

// King square values from the king's own side (black kings read the
// mirrored square sq ^ 0x70). Middlegame: stay home behind the pawns;
// endgame: come to the centre.
int king_psq_mg(int sq);
int king_psq_eg(int sq);
