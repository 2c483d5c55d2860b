#pragma once
// Playing moves on a SearchState and taking them back exactly. make_move also
// works out, before touching the board, whether the move gives check and
// records that in the history entry, where the next node reads it as its
// in-check status. None of these functions tests legality.

#include "search/search_state.h"

// Plays a pseudo-legal move of the side to move and pushes a HistRecord.
void make_move(SearchState& state, Move m);
// Takes back the move recorded in hist_stack[hply - 1].
void unmake_move(SearchState& state);
// Passes the move to the opponent (null-move search).
void make_null(SearchState& state);
void unmake_null(SearchState& state);
// The check_kind value the move would give (0 none, 1 direct, 2 indirect,
// 3 both, 4/5 en-passant double line); check_sq receives the square of the
// indirect checker or 0. Reads the position before the move.
int gives_check(const SearchState& state, Move m, int& check_sq);
