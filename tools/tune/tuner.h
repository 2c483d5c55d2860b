#pragma once
// Fitting the evaluation weights of the personality files to game results
// (the "Texel" method): every quiet position of a set of games is scored by
// the engine's own evaluation, the score is turned into an expected result
// by a logistic curve, and the weights are moved one at a time, by a step
// that halves when no move helps, as long as the mean squared difference
// between expected and real results falls. Each phase set (opening,
// middlegame, endgame) is fitted on the positions that use it.

#include <cstdint>
#include <string>
#include <vector>

#include "board/board.h"
#include "eval/eval_params.h"

// One game: its moves from the initial position, which positions (before
// the move of that index) take part, and the result for white (1, 0.5, 0).
struct TuneGame {
    std::vector<Move> moves;
    std::vector<uint8_t> sampled;
    double result = 0.5;
};

// What read_tune_games keeps and skips.
struct TuneSampling {
    int first_ply = 16;   // positions before this ply are left to the book
};

struct TuneCounts {
    int games = 0;
    int positions = 0;
    int skipped_games = 0;  // without a result, or set up from a FEN
};

// Reads every finished game of a PGN file and marks its quiet positions:
// side to move not in check, and neither the move that led to it nor the
// move played from it captures or promotes. False (with `error` set) when
// the file cannot be read or holds a move that is not legal.
bool read_tune_games(const char* pgn_name, const TuneSampling& sampling, std::vector<TuneGame>& games,
                     TuneCounts& counts, std::string& error);

// Expected result for white of a white-view score in centipawns.
double expected_result(double score, double k);

// The white-view score and the phase set of every marked position, in the
// order of the games, with the weights of eval_param_sets.
struct TuneScores {
    std::vector<int> scores;
    std::vector<uint8_t> sets;
    std::vector<float> results;
};
void score_positions(const std::vector<TuneGame>& games, TuneScores& out);

// Mean squared error over the positions of set `set` (-1: every set).
double mean_error(const TuneScores& scores, double k, int set);

// The logistic scale with the least error for the current weights.
double fit_logistic_scale(const TuneScores& scores);

// The weights that are fitted: the seven scales between the two margins
// of the search, which are left alone.
constexpr const ParamKey* tuned_weights = param_keys + 1;
constexpr int tuned_weight_count = param_key_count - 2;

// Coordinate search on the weights of every set, from `start_step` down to
// a step of 1, on `games`; a step is kept only when it lowers their error
// and does not raise the error of the `held_out` games. Returns the final
// error on `games`; `report` is called after each pass. With `one_set` the
// three sets keep equal weights, fitted on every position.
double tune_weights(const std::vector<TuneGame>& games, const std::vector<TuneGame>& held_out, double k,
                    int start_step, int max_passes, bool one_set,
                    void (*report)(int pass, int step, double error, double held));

// Writes a personality file of one set, with `comment` (lines without the
// leading "# ") at its top. False when the file cannot be written.
bool write_personality_file(const char* path, const EvalParams& params, const std::string& comment);
