// Passed-pawn term: every passed pawn found by the pawn-structure term is
// valued by its rank, by who controls its stop square and its own square,
// and by the distance of both kings, more so once the defender's pieces are
// few. When the defender has no pieces at all, pawns the enemy king cannot
// catch race to promotion. A few pawn-ending terms follow: the extra pawn
// of a pure pawn ending, the king nearer the pawns, and pawns spread wide
// against a lone knight.

#include <algorithm>
#include <cstdlib>

#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "eval/terms.h"

namespace {

// Below this many units the defender's pieces cannot hold a passer back:
// the kings' distances weigh more.
constexpr int few_pieces = 9;
// A pawn that promotes before the other side's does wins the race.
constexpr int race_bonus = 600;
// The side with more pawns in a pure pawn ending.
constexpr int extra_pawn_bonus = 100;
// The king nearer the pawns' centre, by how many files nearer.
constexpr int king_near_pawns[8] = {0, 20, 60, 100, 140, 140, 140, 140};
// Pawns against a lone knight, by passer and by width of the front.
constexpr int knight_units = 3;
constexpr int wide_front_files = 3;
constexpr int passer_wide_bonus = 50;
constexpr int passer_or_wide_bonus = 25;
constexpr int narrow_front_bonus = 12;
// A race no pawn can win leaves this many moves.
constexpr int no_race = 7;

// Mean of the file numbers (a = 1 ... h = 8) of a file mask, truncated;
// 0 for the empty mask.
struct PawnCentres {
    int of[256];
};
constexpr PawnCentres make_pawn_centres() {
    PawnCentres centres{};
    for (int mask = 1; mask < 256; ++mask) {
        int sum = 0, files = 0;
        for (int f = 0; f < 8; ++f)
            if (mask & (1 << f)) {
                sum += f + 1;
                ++files;
            }
        centres.of[mask] = sum / files;
    }
    return centres;
}
constexpr PawnCentres pawn_centre = make_pawn_centres();

// Value of the passed pawn of `us` on sq, before the personality scale;
// lowers `best_race` when the defender has no pieces and the enemy king is
// outside the pawn's square.
int passer_value(SearchState& state, int us, int sq, int& best_race) {
    const int them = 1 - us;
    const EvalScratch& e = state.eval;
    const int forward = pawn_push[us];
    const int stop = sq + forward;
    const int r = relative_rank(sq, us);
    const int g = passed_bonus[r];

    int v = e.attack_map[us][stop] >= 64 ? 2 * g : g;
    if (state.board[stop] != empty)
        v -= g / 2;
    else if (e.attack_map[us][stop] < e.attack_map[them][stop])
        v -= g / 4;
    if (e.attack_map[us][sq] >= 64)
        v += g / 4;
    else if (e.attack_map[us][sq] < e.attack_map[them][sq])
        v -= g / 6;

    const int enemy_king = king_square(state, them);
    const int own = g * (9 - square_distance(king_square(state, us), sq));
    const int far = std::abs(file(enemy_king) - file(sq));
    const int defender_units = state.piece_material[them];
    if (defender_units >= few_pieces) return v + own / 16 + g * far / 12;
    v += own / 12 + g * far / 8;
    if (defender_units == 0) {
        // Moves to promote, a tempo more when the enemy moves first and one
        // for each man in the way; the first move may be a double step.
        int moves = 7 - r + (state.to_move == them ? 1 : 0);
        for (int t = stop; on_board(t); t += forward)
            if (state.board[t] != empty) ++moves;
        if (r == 1 && state.board[stop] == empty && state.board[stop + forward] == empty) --moves;
        // The result depends on the side to move, which a cached value or a
        // child's positional estimate would not know.
        state.ply_rec->eval_flags |= eval_inexact;
        const int reach = std::max(far, 7 - relative_rank(enemy_king, us));
        if (moves < reach && moves < best_race) best_race = moves;
    }
    return v;
}

// Pawns of `us` against a lone enemy knight: a passer and a wide front
// overload it.
int lone_knight_term(const SearchState& state, int us) {
    const int them = 1 - us;
    const int files = state.eval.pawn_files[us];
    if (files == 0 || state.piece_material[them] != knight_units ||
        state.men_count[code_of(knight, them)] != 1)
        return 0;
    const int spread = (std::bit_width(unsigned(files)) - 1) - std::countr_zero(unsigned(files));
    const bool passer = state.eval.passed_files[us] != 0;
    const bool wide = spread >= wide_front_files;
    if (passer && wide) return passer_wide_bonus;
    if (passer || wide) return passer_or_wide_bonus;
    return narrow_front_bonus;
}

}  // namespace

int score_passers(SearchState& state) {
    const EvalScratch& e = state.eval;
    int sum[2] = {0, 0};
    int best_race[2] = {no_race, no_race};
    const int scale = state.params->passed_pawn_scale;
    for (int us = white; us <= black; ++us) {
        for (int f = 0; f < 8; ++f) {
            if (((e.passed_files[us] >> f) & 1) == 0) continue;
            const int sq = make_square(f, most_advanced_rank(pawn_ranks_at(e, us, f), us));
            sum[us] += passer_value(state, us, sq, best_race[us]) * scale / 100;
        }
    }
    if (best_race[white] < best_race[black]) sum[white] += race_bonus;
    else if (best_race[black] < best_race[white]) sum[black] += race_bonus;

    const int units[2] = {state.piece_material[white], state.piece_material[black]};
    if (units[white] == 0 && units[black] == 0) {
        if (state.pawn_count[white] < state.pawn_count[black]) sum[black] += extra_pawn_bonus;
        if (state.pawn_count[black] < state.pawn_count[white]) sum[white] += extra_pawn_bonus;
    }
    // Without pawns the centre would be 0 and favour the king nearer the
    // a-file for nothing: the term needs pawns to be near.
    if ((units[white] == 0 || units[black] == 0) && e.all_pawn_files != 0) {
        // Files of the kings (0..7) against the centre's file number (1..8).
        const int centre = pawn_centre.of[e.all_pawn_files];
        const int near_w = 7 - std::abs(centre - file(king_square(state, white)));
        const int near_b = 7 - std::abs(centre - file(king_square(state, black)));
        if (near_b < near_w) sum[white] += king_near_pawns[near_w - near_b];
        else sum[black] += king_near_pawns[near_b - near_w];
    }
    sum[white] += lone_knight_term(state, white);
    sum[black] += lone_knight_term(state, black);
    return sum[white] - sum[black];
}
