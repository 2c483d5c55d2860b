#pragma once
// Move-generation count over the game's own search stack: every legal move
// sequence of the given length is made and unmade once, through the staged
// picker, so the count checks generation, legality and make/unmake together.

#include <cstdint>

#include "search/search_state.h"

// Leaf nodes `depth` plies below the current position (depth 0 counts like
// depth 1). Uses the state's ply records from the current ply up and its
// node counter; leaves the position as it was.
int64_t perft_count(SearchState& state, int depth);

// The `perft` command: one "." per root move from depth 2 on, then the
// count and the time taken.
void command_perft(SearchState& game, int depth);
