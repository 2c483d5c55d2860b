#pragma once
// The term functions of the full evaluation and the scratch helpers they
// share. Each term works on white's view (white minus black) unless it
// fills per-colour sums; evaluate() combines them.

#include <bit>
#include <cstdint>

#include "search/search_state.h"

// Drawishness scales are eighths: 8 keeps a side's advantage whole, 0 turns
// it into a draw.
constexpr int full_scale = 8;

// Per-colour results of the piece visit.
struct PieceSums {
    int score[2];       // direct score (outposts, pins, rook files...)
    int mobility[2];    // weighted by mobility_scale
    int tropism[2];     // closeness to the enemy king, input of king safety
    int seventh[2];     // weighted count of heavy pieces on the seventh rank
    int open_files[2];  // weighted count of rooks on open files
};

// Bonus by weighted seventh-rank count and by weighted open-file count.
constexpr int seventh_bonus[18] = {0, 0, 40, 30, 70, 100, 200, 200, 200,
                                   200, 200, 200, 200, 200, 200, 200, 200, 200};
constexpr int open_file_bonus[13] = {0, 10, 20, 30, 50, 60, 70, 90, 100, 110, 130, 140, 150};

// The bit mask of ranks holding pawns of one colour on a file; files -1
// and 8 are zero guards so neighbour tests need no range check.
inline uint8_t& pawn_ranks_at(EvalScratch& scratch, int colour, int file_index) {
    return scratch.pawn_ranks[colour][file_index + 1];
}
inline uint8_t pawn_ranks_at(const EvalScratch& scratch, int colour, int file_index) {
    return scratch.pawn_ranks[colour][file_index + 1];
}

// Base value of a passed pawn by its rank counted from its own side; the
// pawn-structure term gives candidates half of it.
constexpr int passed_bonus[8] = {0, 10, 18, 30, 60, 110, 150, 0};

// Rank of a square counted from a colour's own side (0 = its back rank).
constexpr int relative_rank(int sq, int colour) {
    return colour == white ? rank(sq) : 7 - rank(sq);
}

// Chebyshev distance: the number of king moves between two squares.
constexpr int square_distance(int a, int b) {
    const int df = file(a) > file(b) ? file(a) - file(b) : file(b) - file(a);
    const int dr = rank(a) > rank(b) ? rank(a) - rank(b) : rank(b) - rank(a);
    return df > dr ? df : dr;
}

// Rank bits strictly in front of rank r for a colour: above it for white,
// below it for black. ANDed with a pawn_ranks byte it finds the pawns ahead.
constexpr uint8_t ranks_ahead(int r, int colour) {
    return colour == white ? uint8_t(0xff << (r + 1)) : uint8_t((1 << r) - 1);
}

// Rank (0..7) of the pawn furthest forward for a colour in a rank mask,
// the highest bit for white and the lowest for black; the mask is not 0.
inline int most_advanced_rank(int rank_bits, int colour) {
    return colour == white ? std::bit_width(unsigned(rank_bits)) - 1 : std::countr_zero(unsigned(rank_bits));
}

// Clears the scratch maps, enters the pawn attacks into attack_map and builds
// the pawn masks: the first step of every full evaluation.
void build_pawn_maps(SearchState& state);
// Chooses params and may lower the scales; true when the ending is
// recognised, with score the final white-view value; otherwise score is the
// material balance (psq_sum included) with imbalance bonuses.
bool score_material(SearchState& state, int scale[2], int& score);
// Pawn skeleton through the pawn hash, scaled; fills passed_files. Needs the
// pawn attacks and pawn masks of the scratch.
int score_pawns(SearchState& state);
// Visits every piece and both kings, completing both attack maps.
void score_pieces(SearchState& state, PieceSums& sums);
// Passed pawns, races and pawn-ending terms; reads the finished maps.
int score_passers(SearchState& state);
// Danger of the king of `colour` (credited to its opponent), unscaled;
// may raise that king's danger flag.
int score_king_safety(SearchState& state, int colour, int tropism);
