#pragma once
// One record of the explicit search stack. A SearchState holds max_ply of
// them; the record of ply p is the parent of the record of ply p + 1. Because
// the whole progress of a node (its move list, picker state and `step`) is in
// its record, a node can be continued by another thread from a copy.

#include <cstdint>

#include "board/board.h"

// Node types.
constexpr int pv_node = 0;
constexpr int cut_node = 1;
constexpr int all_node = 2;

struct PlyRecord {
    Move moves[max_moves];   // move list written by the generators
    int scores[max_moves];   // ordering score of each move
    Move pv[max_ply];        // principal variation below this node: ply .. pv_length - 1
    int pv_length;           // one past the last pv entry; ply when empty
    Move current_move;       // the move being searched
    // Picker state.
    int move_count;
    int move_index;
    int gen_stage;
    int sort_mode;
    int bad_capture_start;
    int bad_capture_end;
    int best_score;          // fail-soft best so far
    Move best_move;          // 0 = none
    Move hash_move;          // validated transposition-table move
    int extended;            // the move leading here was extended
    int reduction;           // whole plies this node's depth was reduced by
    int probe_result;        // transposition-table probe result code
    int mate_threat;
    int legal_moves;         // moves handed out so far
    int alpha;
    int beta;
    int node_type;           // pv_node, cut_node or all_node
    int child_node_type;     // type given to the first child
    int iid_alpha;
    int iid_beta;
    int iid_depth;
    int depth;               // remaining depth in eighths of a ply
    int bound;               // bound type to store
    int step;                // the node's progress in the search loop
    Move killer1;
    Move killer2;
    int qcheck_budget;       // quiescence check depth
    int after_null;          // quiescence node reached by a null move
    // Owned by the evaluation: last value at this ply, its lazy part and flags.
    int eval_score;
    int lazy_score;
    uint16_t eval_flags;
};
