#pragma once
// The static evaluation: the value of the position held in a SearchState,
// in centipawns from the side to move, with a lazy estimate for nodes far
// outside their window and a per-thread cache of full evaluations.

#include <cstdint>

#include "search/search_state.h"

// Bits of PlyRecord::eval_flags.
// The record's eval_score is an estimate (or came from a pawn race), so a
// child may not reuse its positional part.
constexpr uint16_t eval_inexact = 1;
constexpr uint16_t white_king_danger = 2;
constexpr uint16_t black_king_danger = 4;

// Evaluation modes.
constexpr int eval_full = 0;       // full evaluation or cache answer
constexpr int eval_lazy_test = 1;  // lazy answer when far outside (alpha, beta)
constexpr int eval_lazy = 2;       // always the lazy estimate; cache untouched

// Returns the evaluation from the side to move's view and leaves
// eval_score, lazy_score and eval_flags of the current PlyRecord set.
int evaluate(SearchState& state, int mode);

// Adds the side-to-move bonus to the current record's eval_score.
void apply_tempo(SearchState& state);

// Command `score`: prints the value of the game position.
void command_score(SearchState& game);
