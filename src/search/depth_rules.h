#pragma once
// The per-move depth decision of the full-width search. After the move loop
// has made a move and stepped into the child's record, this decides the
// child's depth (extensions, reductions) or prunes the move unsearched.

#include "search/search_state.h"

// Sets depth, extended and reduction of the current record (the child of the
// move just made, whose parent is the record below it). Returns false when
// the move is pruned: the caller then takes it back and goes on with the
// next move.
bool adjust_child_depth(SearchState& state);
