#pragma once
// Move ordering: the staged picker of the full-width search, the smaller
// picker of the quiescence search, and the history table and killers that
// order quiet moves. Both pickers work on the current ply's move list and
// hand out one legal move per call.

#include <atomic>
#include <cstdint>

#include "search/search_state.h"

// ---------------------------------------------------------------- constants

// Stages of next_move; gen_stage names the stage whose generation runs next,
// so while the quiet batch is handed out it already reads stage_losing.
constexpr int stage_hash = 1;
constexpr int stage_good_captures = 2;
constexpr int stage_killers = 3;
constexpr int stage_quiets = 4;
constexpr int stage_losing = 5;
constexpr int stage_done = 6;  // also the stage of a node in check

// Stages of next_qmove.
constexpr int qstage_captures = 2;
constexpr int qstage_checks = 3;

// sort_mode values: hand out in list order, or the best remaining score
// first (the quiet batch is marked 2; it behaves like 1).
constexpr int sort_none = 0;
constexpr int sort_best = 1;
constexpr int sort_quiets = 2;

// An entry already handed out by an earlier stage; reaching it in a sorted
// batch means only such entries remain.
constexpr int skip_score = -21474836;
// Added to quiet evasions and losing capture evasions so that they come
// after every other evasion.
constexpr int low_offset = -10737418;

constexpr int hash_move_score = 10000;

// Ordering values of the men by piece code, both colours alike; the king
// counts 0 because it is never captured.
constexpr int order_value[14] = {0, 0, 975, 500, 330, 320, 110, 0, 975, 500, 330, 320, 110, 0};

// ------------------------------------------------------------------ tables

// Quiet-move history [side to move][sq64 of to][sq64 of from], shared by all
// search threads. Updates are relaxed loads and stores without a lock: an
// update lost to another thread only blurs the ordering slightly.
extern std::atomic<int32_t> history_table[2][64][64];

// --------------------------------------------------------- inline helpers

// Most valuable victim, least valuable attacker; promotions count the new man.
constexpr int mvv_lva(Move m) {
    return order_value[move_capture(m)] - order_value[move_piece(m)] +
           order_value[move_promote(m)];
}

inline int history_score(int side, Move m) {
    return history_table[side][sq64(move_to(m))][sq64(move_from(m))].load(
        std::memory_order_relaxed);
}

// ---------------------------------------------------------------- functions

// The next legal move at the current ply, or 0 when the node has none left.
// The search sets gen_stage to 0 on entering a node; hash_move must already
// be validated.
Move next_move(SearchState& state);

// The same for the quiescence search: captures (all evasions in check),
// then quiet checks while qcheck_budget is positive.
Move next_qmove(SearchState& state);

// Rewards a quiet move that failed high at a full-width node of the given
// depth (eighths of a ply) in the history table and the ply's killers.
void update_history_and_killers(SearchState& state, Move m, int depth);

// Start of a search: zero the history table and the best, hash and killer
// moves of every ply record.
void clear_ordering(SearchState& state);
