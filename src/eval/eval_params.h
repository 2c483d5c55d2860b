#pragma once
// The evaluation weights a user may tune, in three sets by game phase, and
// the personality files that fill them. Every weight is 0 until a file is
// loaded. The sets change only through commands between searches; search
// threads read them without locking.

#include <cstdint>

#include "search/search_state.h"

// Nine signed weights, in the order of their keys in a personality file.
// The scales are percentages applied to a term; the margins are centipawns.
struct EvalParams {
    int32_t futl_margin;           // futility-pruning margin of the search
    int32_t exchange_scale;        // base of the imbalance and queen bonuses (taken at 75 %)
    int32_t bishop_pair_scale;     // base of the bishop-pair bonus
    int32_t king_safety_scale;     // percent of each king-safety score
    int32_t mobility_scale;        // percent of each side's mobility sum
    int32_t pawn_structure_scale;  // percent of the pawn-structure score
    int32_t passed_pawn_scale;     // percent of each passed pawn's value
    int32_t rook_on_7th_scale;     // percent of the seventh-rank count
    int32_t lazy_margin;           // lazy-evaluation margin (at least 300 in the plain test)
};

// The keys of a personality file, in the order of the fields: the first
// and the last are the search's margins, the seven between them scales.
struct ParamKey {
    const char* name;
    int32_t EvalParams::*field;
};
constexpr int param_key_count = 9;
extern const ParamKey param_keys[param_key_count];

constexpr int opening_set = 0;     // some castling right remains
constexpr int middlegame_set = 1;
constexpr int endgame_set = 2;     // fewer than endgame_material units of pieces
// Total non-pawn material (both sides, pawn units) below which the
// position counts as an endgame.
constexpr int endgame_material = 29;

extern EvalParams eval_param_sets[3];

// The set for the position's phase; the endgame test comes first.
inline const EvalParams* select_params(const SearchState& state) {
    if (state.piece_material[white] + state.piece_material[black] < endgame_material)
        return &eval_param_sets[endgame_set];
    return &eval_param_sets[state.castle_rights != 0 ? opening_set : middlegame_set];
}

// Reads "personality/<name>.per" into one set; keys absent from the file
// keep their value. False (with a message) when the file cannot be opened.
bool load_personality(const char* name, int set);

// Command `personality`: one file for all three phases.
bool command_personality(const char* name);
// Command `multi_personality`: one file per phase, stopping at the first
// missing file (the sets loaded before it stay loaded).
bool command_multi_personality(const char* opening, const char* middlegame,
                               const char* endgame);
