// Material balance: the phase's parameter set, the piece-square sums with
// imbalance and bishop-pair bonuses, the drawishness scales of endings that
// are hard to win, and the endings against a bare king, which get a final
// score of their own. Every rule is written once for a colour `us` on
// squares seen from its own side (relative), so black's rules are exact
// mirrors of white's.

#include <cstdlib>

#include "eval/eval_params.h"
#include "eval/psq.h"
#include "eval/terms.h"

namespace {

// Bonus base of a won ending against a bare king, and the pull of the kings
// towards each other per square of distance.
constexpr int bare_king_bonus = 500;
constexpr int king_distance_weight = 10;
// Total piece units of both sides below which opposite bishops are drawish.
constexpr int opposite_bishops_material = 17;

struct SideMaterial {
    int units;  // non-pawn material in pawn units
    int pawns;
    int knights;
    int bishops;
    int queens;
};

SideMaterial side_material(const SearchState& state, int colour) {
    return {state.piece_material[colour], state.pawn_count[colour],
            state.men_count[code_of(knight, colour)], state.men_count[code_of(bishop, colour)],
            state.men_count[code_of(queen, colour)]};
}

constexpr int relative(int sq, int colour) { return colour == white ? sq : sq ^ 0x70; }
constexpr bool is_light(int sq) { return ((file(sq) + rank(sq)) & 1) != 0; }
int distance(int a, int b) {
    const int df = std::abs(file(a) - file(b));
    const int dr = std::abs(rank(a) - rank(b));
    return df > dr ? df : dr;
}

// Highest on the a1-h8 diagonal, 0 in the h1 and a8 corners.
int kbn_corner(int sq) { return 70 - 10 * std::abs(file(sq) - rank(sq)); }

int first_bishop(const SearchState& state, int colour) {
    return state.piece_list[code_of(bishop, colour)]->sq;
}

// Only rook pawns with no bishop, or the bishop that cannot cover the
// queening corner: when the defending king reaches the corner (or is
// ahead of the pawn on the knight file) and no enemy pawn on that file can
// be used to deflect it, the ending is a draw.
void wrong_rook_pawn(const SearchState& state, int us, const SideMaterial& own, int scale[2]) {
    if (own.pawns == 0 || !(own.units == 0 || (own.units == 3 && own.bishops == 1))) return;
    int files = 0;
    int lead_rank = 0;
    for (const PieceNode* node = state.piece_list[code_of(pawn, us)]; node; node = node->next) {
        const int sq = relative(node->sq, us);
        files |= 1 << file(sq);
        if (rank(sq) > lead_rank) lead_rank = rank(sq);
    }
    if (files != 0x01 && files != 0x80) return;
    const int pawn_file = files == 0x01 ? 0 : 7;
    const int knight_file = files == 0x01 ? 1 : 6;
    if (own.bishops == 1 &&
        is_light(relative(first_bishop(state, us), us)) == is_light(make_square(pawn_file, 7)))
        return;
    const int defender = relative(king_square(state, 1 - us), us);
    const int kf = file(defender);
    const int kr = rank(defender);
    const int corner_distance = std::abs(kf - pawn_file) > 7 - kr ? std::abs(kf - pawn_file) : 7 - kr;
    if (!(corner_distance <= 1 || (lead_rank < kr && kf == knight_file))) return;
    const int enemy_pawn = code_of(pawn, 1 - us);
    for (int r = lead_rank; r <= 6; ++r)
        if (state.board[relative(make_square(knight_file, r), us)] == enemy_pawn) return;
    scale[us] = 0;
}

// The scale rules of one side that depend only on the two sides' material.
void material_scales(const SideMaterial& own, int& scale) {
    // Without pawns, less than a rook (or two knights) cannot mate.
    if (own.pawns == 0 && (own.units < 4 || (own.units == 6 && own.knights == 2))) scale = 0;
}

void pawnless_scales(const SideMaterial& own, const SideMaterial& other, int& scale) {
    // A pawnless edge of at most a minor piece rarely wins; two bishops
    // against a knight keep half.
    if (own.pawns == 0 && own.units >= other.units && own.units - other.units <= 3)
        scale = (own.bishops == 2 && other.knights == 1) ? scale / 2 : scale / 8;
    // One pawn against equal or more material is usually given back.
    if (own.pawns == 1 && other.units >= own.units) {
        if (own.units == 3 || (own.units == 6 && own.knights == 2))
            scale /= 8;
        else
            scale /= (other.units - own.units < 3) ? 4 : 8;
    }
}

void opposite_bishops(const SearchState& state, const SideMaterial side[2], int scale[2]) {
    const int total = side[white].units + side[black].units;
    if (total >= opposite_bishops_material || side[white].units != side[black].units) return;
    if (side[white].bishops != 1 || side[black].bishops != 1) return;
    if (is_light(first_bishop(state, white)) == is_light(first_bishop(state, black))) return;
    if (std::abs(side[white].pawns - side[black].pawns) > 2) return;
    for (int us = white; us <= black; ++us) {
        if (side[us].pawns < side[1 - us].pawns) continue;
        scale[us] = total == 6 ? scale[us] / 2 : scale[us] * 3 / 4;
    }
}

// Final score, from us's view, of an ending against a bare king (the
// defender may still have pawns): drive the lone king to the edge, or for
// bishop and knight to a corner the bishop covers; two knights cannot mate.
int bare_king_score(const SearchState& state, int us, const SideMaterial& own) {
    const int them = 1 - us;
    const int defender = relative(king_square(state, them), us);
    int score = state.psq_sum[us] - state.psq_sum[them] + bare_king_bonus -
                king_distance_weight * distance(king_square(state, us), king_square(state, them));
    if (own.units != 6 || own.pawns > 0 || own.bishops == 2)
        score -= king_psq_eg(defender);
    else if (own.bishops == 1)
        score -= is_light(relative(first_bishop(state, us), us)) ? kbn_corner(defender)
                                                                 : kbn_corner(defender ^ 7);
    else
        score = 0;
    return score;
}

// Bonus for the side ahead in material (trading down helps it), the queen
// bonus and the bishop pair, added to the two sides' sums.
void imbalance(const SearchState& state, const SideMaterial side[2], int sums[2]) {
    const int x = state.params->exchange_scale * 75 / 100;
    const SideMaterial& w = side[white];
    const SideMaterial& b = side[black];
    const int d = w.units - b.units;
    const int dm = (w.knights + w.bishops) - (b.knights + b.bishops);
    if (d > 4) sums[white] += 4 * x;
    else if (d < -4) sums[black] += 4 * x;
    else if (d > 2) { if (w.pawns > 1) sums[white] += 2 * x; }
    else if (d < -2) { if (b.pawns > 1) sums[black] += 2 * x; }
    else if (dm > 2) sums[white] += 3 * x / 2;
    else if (dm < -2) sums[black] += 3 * x / 2;
    else if (dm == 2) sums[white] += w.bishops > 0 ? 3 * x / 2 : x;
    else if (dm == -2) sums[black] += b.bishops > 0 ? 3 * x / 2 : x;
    else {
        if (d == 2 && w.pawns > 1) sums[white] += w.bishops > 0 ? 2 * x / 3 : x;
        if (d == -2 && b.pawns > 1) sums[black] += b.bishops > 0 ? 2 * x / 3 : x;
    }
    int open = 16 - w.pawns - b.pawns;
    if (open > 10) open = 10;
    const int pair = open * state.params->bishop_pair_scale / 6;
    for (int us = white; us <= black; ++us) {
        const SideMaterial& other = side[1 - us];
        sums[us] += 4 * x * side[us].queens / 3;
        if (side[us].bishops < 2) continue;
        const int share = other.bishops > 0 ? 50 : other.knights > 0 ? 60 : 80;
        sums[us] += pair * share / 100;
    }
}

}  // namespace

bool score_material(SearchState& state, int scale[2], int& score) {
    state.params = select_params(state);
    const SideMaterial side[2] = {side_material(state, white), side_material(state, black)};
    for (int us = white; us <= black; ++us) {
        material_scales(side[us], scale[us]);
        wrong_rook_pawn(state, us, side[us], scale);
        pawnless_scales(side[us], side[1 - us], scale[us]);
    }
    opposite_bishops(state, side, scale);

    for (int us = white; us <= black; ++us) {
        if (side[1 - us].units == 0 && side[us].units >= 5) {
            const int value = bare_king_score(state, us, side[us]);
            score = us == white ? value : -value;
            return true;
        }
    }
    int sums[2] = {state.psq_sum[white], state.psq_sum[black]};
    imbalance(state, side, sums);
    score = sums[white] - sums[black];
    return false;
}
