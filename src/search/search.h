#pragma once
// The full-width alpha-beta search and the quiescence search over the
// explicit PlyRecord stack, with the score and depth scales they share.

#include <atomic>
#include <cstdint>

#include "search/search_state.h"

// Scores are from the side to move. A side mated at distance ply from the
// root scores -(mate_score - ply_step * (ply + 1)).
constexpr int mate_score = 20000;
constexpr int ply_step = 40;
constexpr int no_score = -30000;
constexpr int mate_like_score = 3000;  // beyond this a score depends on the distance to the root

// Depth is counted in eighths of a ply.
constexpr int one_ply = 8;

// Progress of a node (PlyRecord::step).
constexpr int step_scout = 1;  // move loop, the child has a null window
constexpr int step_moves = 2;  // move loop, full-window child or none yet
constexpr int step_iid = 4;    // IID decision / end of the IID pass
constexpr int step_iid_scout = 5;
constexpr int step_iid_moves = 6;
constexpr int step_null = 8;   // fresh node: null-move step

// Set to make every search thread unwind at once (time-out, `?`, a command
// that stops the search). Written by the main thread only.
extern std::atomic<int> abort_flag;
// Nodes of the main search object between two polls of clock and input.
extern uint32_t poll_interval;
// Iteration number of the iterative deepening; the root depth is
// 6 * iteration_depth eighths of a ply.
extern int iteration_depth;
// Ply limit of the bitbase probing rule.
extern int bitbase_ply_limit;

// Whole plies of a depth in eighths, rounded up.
constexpr int depth_in_plies(int depth) { return depth / 8 + (depth % 8 != 0 ? 1 : 0); }

// Searches the node at the current ply, whose alpha, beta, depth, node_type
// and step the caller has set, until it returns or the search is aborted.
// With more than one thread the node may be split; the call returns when
// the node is finished, whichever thread finished it.
void search(SearchState& state);
// A worker's thread continues the state it was given (the idle loop calls
// this when a split attached it). True when worker 0 finished the run of
// the state its own search call started.
bool continue_search(int slot);
// Quiescence search of the node at the current ply (alpha, beta,
// qcheck_budget and after_null set by the caller).
void quiesce(SearchState& state);
