#pragma once
// Attack tests and the legality checks for moves that did not come from a
// generator. All read the position before the move and never change it.

#include "search/search_state.h"

// Whether any man of `colour` attacks `sq` (pins ignored). 0 for a colour
// other than white or black.
int attacked(const SearchState& state, int colour, int sq);
// 1 when a and b share no queen line or a square strictly between is occupied.
int line_blocked(const SearchState& state, int a, int b);
// Step from the king of `colour` towards `sq` when the man on sq is pinned
// against that king by an enemy slider; 0 otherwise.
int pin_direction(const SearchState& state, int sq, int colour);
// For a pseudo-legal move while not in check: 1 when it exposes the own king.
int leaves_king_in_check(const SearchState& state, Move m);
// Whether a table or killer move is pseudo-legal in this position.
int is_move_valid(const SearchState& state, Move m);
// Whether the side to move is in check, computed from the board.
bool side_in_check(const SearchState& state);
