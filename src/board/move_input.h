#pragma once
// Matching moves that come from outside (typed coordinate moves, SAN from
// PGN files) against the legal moves, and the legal-move listing. All use
// the current ply's move list as scratch.

#include "search/search_state.h"

// Completes a partial move from text_to_move; 1 when legal, else 0.
int complete_user_move(SearchState& state, Move& m);
// Reads one SAN move of the side to move (the text is cut in place).
int san_to_move(SearchState& state, char* text, Move& m);
// Prints the legal moves in generation order (command `moves`).
void show_legal_moves(SearchState& state);
