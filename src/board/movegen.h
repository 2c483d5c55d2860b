#pragma once
// Move generators. Each appends to the current ply's list
// (ply_rec->moves from ply_rec->move_count on) in a fixed order that decides
// every later tie in move ordering; none clears or sorts the list.

#include "search/search_state.h"

// Captures, en-passant captures and non-capturing queen promotions.
void generate_captures(SearchState& state);
// Castling, other non-captures and under-promotions.
void generate_quiets(SearchState& state);
// generate_captures then generate_quiets.
void generate_all(SearchState& state);
// Legal moves of a side in check, from the check data of the last move.
void generate_evasions(SearchState& state);
// Non-capturing, non-promoting moves that give check (pseudo-legal).
void generate_quiet_checks(SearchState& state);
