#pragma once
// What the full-width search and the quiescence search share about a node:
// the in-check status, the draw rules, the room left on the stacks, the
// bitbase rule, the mate scale and the moves along the PlyRecord stack.
// Both searches walk the same stack of one SearchState, so these helpers
// read and write only that state.

#include "search/search.h"

// ---------------------------------------------------------------- constants

// The last PlyRecord: a node there returns its static evaluation.
constexpr int last_ply = max_ply - 1;
// A node with fewer free hist_stack entries than this also returns its
// static evaluation: its move and the reply's null move need room.
constexpr int min_free_history = 2;
// Draw score of repetitions, the fifty-move rule and stalemate.
constexpr int draw_score = 0;
// Half-moves without capture or pawn move after which the game is drawn.
constexpr int fifty_move_limit = 100;

// --------------------------------------------------------- inline helpers

// Score of the side to move when it is mated at distance ply from the root.
constexpr int mated_at(int ply) { return ply_step * ply - (mate_score - ply_step); }

// The check the last move gave is the in-check status of the side to move.
// hist_stack[-1] exists and holds the status of a position just set up.
inline bool in_check(const SearchState& state) {
    return state.hist_stack[state.hply - 1].check_kind != 0;
}

// No record left to descend into, or hist_stack nearly full.
inline bool out_of_room(const SearchState& state) {
    return state.ply >= last_ply || max_history - state.hply < min_free_history;
}

// Step to the child record after a move (or null move) is made, and back
// before it is taken back. make and unmake never touch ply or ply_rec.
inline void descend(SearchState& state) {
    ++state.ply;
    ++state.ply_rec;
}
inline void ascend(SearchState& state) {
    --state.ply;
    --state.ply_rec;
}

// A move improved alpha at the node of `ply`: its PV becomes the move
// followed by the child's PV.
inline void adopt_child_pv(PlyRecord& node, const PlyRecord& child, int ply, Move m) {
    node.pv[ply] = m;
    for (int i = ply + 1; i < child.pv_length; ++i) node.pv[i] = child.pv[i];
    node.pv_length = child.pv_length;
}

// ---------------------------------------------------------------- functions

// Fifty-move rule or a repetition since the last irreversible move.
bool is_draw_by_rule(const SearchState& state, bool checked);
// Whether the position occurred before with the same side to move since
// the last irreversible move (never looking below the set-up position).
bool is_repetition(const SearchState& state);
// The bitbase rule: probes when the rule allows it at this ply; true with
// the node's value (mate-like, relative to the root) on a hit.
bool probe_bitbase_rule(SearchState& state, int& score);
