#pragma once
// Consistency check of the board part of a SearchState, for tests and
// Debug-build assertions: recomputes everything make and unmake maintain
// incrementally and compares.

#include "search/search_state.h"

// Whether board, piece lists, nodes, counters and both keys agree with each
// other. Slow (a full pass over the board and every list); never call it on
// a hot path outside assertions.
bool board_is_ok(const SearchState& state);
