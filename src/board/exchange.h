#pragma once
// Static exchange evaluation: the material outcome of a move on its target
// square when both sides keep recapturing with their cheapest man.

#include "search/search_state.h"

// Gain for the mover in units of 100 per pawn.
int static_exchange(const SearchState& state, Move m);
