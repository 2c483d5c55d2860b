// Pawn-structure term: doubled, isolated and backward pawns, pawns side by
// side, candidate passed pawns, and the files that hold passed pawns. The
// result depends on the pawns alone, so it is remembered per thread in the
// pawn hash under pawn_key; the stored score is unscaled, so one entry
// serves every personality.
//
// Every test reads the pawn masks and the pawn-only attack map that the
// frame builds just before this call: at that point each attack_map byte is
// 64 times the number of pawns of that colour attacking the square.

#include "eval/eval_params.h"
#include "eval/pawn_table.h"
#include "eval/terms.h"

namespace {

// Penalties by file a..h: centre pawns matter more.
constexpr int doubled_penalty[8] = {8, 8, 8, 10, 10, 8, 8, 8};
constexpr int backward_penalty[8] = {10, 10, 12, 16, 16, 12, 10, 10};
constexpr int isolated_penalty[8] = {16, 16, 16, 20, 20, 16, 16, 16};
// Two pawns on one rank guard each other's stop squares.
constexpr int side_by_side_bonus = 2;

bool is_pawn(int code) { return code == white_pawn || code == black_pawn; }

// A pawn two ranks behind on a neighbouring file (support) can step to the
// square diagonally behind this one (advance) without walking into more
// enemy pawn attacks than own pawns cover.
bool can_be_supported(const SearchState& state, int colour, int support, int advance) {
    const EvalScratch& e = state.eval;
    return state.board[support] == code_of(pawn, colour) && !is_pawn(state.board[advance]) &&
           e.attack_map[colour][advance] >= e.attack_map[1 - colour][advance];
}

// A pawn with own pawns on a neighbouring file but none beside it is
// backward unless it is defended at least as well as attacked, a pawn
// from behind can safely come to defend it, or it is attacked more than
// defended while its stop square is free and safe (it can step away).
bool is_backward(const SearchState& state, int colour, int sq) {
    const EvalScratch& e = state.eval;
    const int them = 1 - colour;
    const int forward = pawn_push[colour];
    if (e.attack_map[colour][sq] > e.attack_map[them][sq]) return false;
    if (relative_rank(sq, colour) >= 3 &&
        (can_be_supported(state, colour, sq - 2 * forward - 1, sq - forward - 1) ||
         can_be_supported(state, colour, sq - 2 * forward + 1, sq - forward + 1)))
        return false;
    const int stop = sq + forward;
    if (!is_pawn(state.board[stop]) && e.attack_map[them][stop] == 0 &&
        e.attack_map[colour][sq] < e.attack_map[them][sq])
        return false;
    return true;
}

// A non-passed pawn with a free file ahead whose path is covered by own
// pawns at least as well as enemy pawns attack it, up to the last rank
// before promotion.
bool is_candidate(const SearchState& state, int colour, int sq) {
    const EvalScratch& e = state.eval;
    const int forward = pawn_push[colour];
    for (int t = sq + forward; relative_rank(t, colour) <= 6; t += forward)
        if (e.attack_map[colour][t] < e.attack_map[1 - colour][t]) return false;
    return true;
}

// Sum of the terms of one colour's pawns; sets that colour's passed files.
int pawn_terms(SearchState& state, int colour) {
    EvalScratch& e = state.eval;
    const int them = 1 - colour;
    int score = 0;
    for (const PieceNode* node = state.piece_list[code_of(pawn, colour)]; node; node = node->next) {
        const int sq = node->sq;
        const int f = file(sq);
        const int r = rank(sq);
        const uint8_t ahead = ranks_ahead(r, colour);
        if (pawn_ranks_at(e, colour, f) & ~(1 << r)) score -= doubled_penalty[f];

        if (e.attack_map[colour][sq + pawn_push[colour]] != 0) {
            score += side_by_side_bonus;
        } else if (pawn_ranks_at(e, colour, f - 1) == 0 && pawn_ranks_at(e, colour, f + 1) == 0) {
            score -= isolated_penalty[f];
        } else if (is_backward(state, colour, sq)) {
            const bool file_ahead_blocked =
                ((pawn_ranks_at(e, colour, f) | pawn_ranks_at(e, them, f)) & ahead) != 0;
            score -= file_ahead_blocked ? backward_penalty[f] / 2 : backward_penalty[f];
        }

        const int enemy_ahead = (pawn_ranks_at(e, them, f - 1) | pawn_ranks_at(e, them, f) |
                                 pawn_ranks_at(e, them, f + 1)) & ahead;
        if (enemy_ahead == 0) {
            e.passed_files[colour] |= 1 << f;
        } else if (((pawn_ranks_at(e, colour, f) | pawn_ranks_at(e, them, f)) & ahead) == 0 &&
                   is_candidate(state, colour, sq)) {
            score += passed_bonus[relative_rank(sq, colour)] / 2;
        }
    }
    return score;
}

}  // namespace

int score_pawns(SearchState& state) {
    EvalScratch& e = state.eval;
    e.passed_files[white] = 0;
    e.passed_files[black] = 0;
    PawnEntry& entry = pawn_table_entry(*state.pawn_table, state.pawn_key);
    int score = 0;
    if (entry.key == state.pawn_key) {
        e.passed_files[white] = entry.passed & 0xff;
        e.passed_files[black] = entry.passed >> 8;
        score = entry.score;
    } else {
        score = pawn_terms(state, white) - pawn_terms(state, black);
        entry.key = state.pawn_key;
        entry.score = int16_t(score);
        entry.passed = uint16_t(e.passed_files[white] | e.passed_files[black] << 8);
    }
    return score * state.params->pawn_structure_scale / 100;
}
