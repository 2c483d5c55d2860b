// The evaluation frame: material first, then the cheap terms (trapped men,
// castling, king square) that make up the lazy score; a lazy answer when the
// window allows it; else the evaluation cache; else the full evaluation with
// pawn maps, pawn structure, pieces, passed pawns and king safety. Every
// term is computed per colour; the result is white minus black, negated for
// black to move, scaled by the drawishness of the side ahead.

#include <cstring>

#include "bitbase/bitbase.h"
#include "eval/eval_cache.h"
#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "eval/psq.h"
#include "eval/terms.h"
#include "protocol/console.h"

namespace {

// The plain lazy test never trusts a margin below this: without the
// parent's positional part the lazy score misses whole terms.
constexpr int min_plain_lazy_margin = 300;
constexpr int tempo_bonus = 10;
// Extra bonus for the side to move when the opponent's king is in danger.
constexpr int danger_tempo_bonus = 10;
// Piece units the side to move needs for the tempo bonus (more than a minor).
constexpr int tempo_material = 3;
// A side with a queen and more than this many units keeps the enemy king
// in its middlegame shelter.
constexpr int king_shelter_material = 14;
// A queen plus more than this many units can attack the enemy king.
constexpr int king_attack_material = 9;

constexpr int trapped_bishop_penalty = 120;   // also with a pawn on c7 behind it
constexpr int caught_bishop_penalty = 80;
constexpr int trapped_knight_penalty = 120;
constexpr int blocked_rook_penalty = 70;       // rook shut in by its uncastled king
constexpr int stuck_bishop_penalty = 50;
constexpr int cornered_knight_penalty = 50;
constexpr int blocked_centre_pawn_penalty = 20;
constexpr int early_queen_penalty = 20;        // queen out before castling
constexpr int short_castle_ready_bonus = 20;
constexpr int long_castle_ready_bonus = 10;

// Squares named from white's side; black reads them mirrored.
constexpr int sq_a2 = 16, sq_b2 = 17, sq_d2 = 19, sq_e2 = 20, sq_g2 = 22, sq_h2 = 23;
constexpr int sq_d3 = 35, sq_e3 = 36;
constexpr int sq_b5 = 65, sq_g5 = 70;
constexpr int sq_a6 = 80, sq_b6 = 81, sq_c6 = 82, sq_f6 = 85, sq_g6 = 86, sq_h6 = 87;
constexpr int sq_a7 = 96, sq_b7 = 97, sq_c7 = 98, sq_f7 = 101, sq_g7 = 102, sq_h7 = 103;

constexpr int relative(int sq, int colour) { return colour == white ? sq : sq ^ 0x70; }

// Reads the board on squares named from one colour's side.
struct SideView {
    const int* board;
    int colour;
    int at(int sq) const { return board[relative(sq, colour)]; }
    bool is(int sq, int type) const { return at(sq) == code_of(type, colour); }
    bool enemy(int sq, int type) const { return at(sq) == code_of(type, 1 - colour); }
};

int trapped_bishops(const SideView& v) {
    int score = 0;
    if ((v.is(sq_a7, bishop) || (v.is(sq_b8, bishop) && v.enemy(sq_c7, pawn))) && v.enemy(sq_b6, pawn))
        score -= v.enemy(sq_c7, pawn) ? trapped_bishop_penalty : caught_bishop_penalty;
    if ((v.is(sq_h7, bishop) || (v.is(sq_g8, bishop) && v.enemy(sq_f7, pawn))) && v.enemy(sq_g6, pawn))
        score -= v.enemy(sq_f7, pawn) ? trapped_bishop_penalty : caught_bishop_penalty;
    if (v.is(sq_a6, bishop) && v.enemy(sq_b5, pawn)) score -= stuck_bishop_penalty;
    if (v.is(sq_h6, bishop) && v.enemy(sq_g5, pawn)) score -= stuck_bishop_penalty;
    return score;
}

int trapped_knights(const SideView& v) {
    int score = 0;
    if (v.is(sq_a7, knight) && v.enemy(sq_b7, pawn) && v.enemy(sq_c6, pawn)) score -= trapped_knight_penalty;
    if (v.is(sq_h7, knight) && v.enemy(sq_g7, pawn) && v.enemy(sq_f6, pawn)) score -= trapped_knight_penalty;
    if (v.is(sq_a8, knight) && (v.enemy(sq_a7, pawn) || v.enemy(sq_c7, pawn))) score -= cornered_knight_penalty;
    if (v.is(sq_h8, knight) && (v.enemy(sq_h7, pawn) || v.enemy(sq_g7, pawn))) score -= cornered_knight_penalty;
    return score;
}

// Trapped and blocked men of one colour.
int trapped_men(const SearchState& state, int colour) {
    const SideView v{state.board, colour};
    int score = trapped_bishops(v) + trapped_knights(v);
    if ((v.is(sq_f1, king) || v.is(sq_g1, king)) &&
        (v.is(sq_h1, rook) || v.is(sq_h2, rook) || v.is(sq_g1, rook) || v.is(sq_g2, rook)))
        score -= blocked_rook_penalty;
    if ((v.is(sq_c1, king) || v.is(sq_b1, king)) &&
        (v.is(sq_a1, rook) || v.is(sq_a2, rook) || v.is(sq_b1, rook) || v.is(sq_b2, rook)))
        score -= blocked_rook_penalty;
    if (v.is(sq_d2, pawn) && v.at(sq_d3) != empty) score -= blocked_centre_pawn_penalty;
    if (v.is(sq_e2, pawn) && v.at(sq_e3) != empty) score -= blocked_centre_pawn_penalty;
    return score;
}

// While a side may still castle: keep the queen home, clear the way.
int castling_terms(const SearchState& state, int colour) {
    const int rights = (state.castle_rights >> (2 * colour)) & (white_short | white_long);
    if (rights == 0) return 0;
    const SideView v{state.board, colour};
    int score = 0;
    const int queen_code = code_of(queen, colour);
    if (state.men_count[queen_code] == 1 && rank(relative(state.piece_list[queen_code]->sq, colour)) > 1)
        score -= early_queen_penalty;
    if (rights & white_short) {
        if (v.at(sq_f1) == empty && v.at(sq_g1) == empty) score += short_castle_ready_bonus;
    } else if (v.at(sq_b1) == empty && v.at(sq_c1) == empty && v.at(sq_d1) == empty) {
        score += long_castle_ready_bonus;
    }
    return score;
}

// The king hides while the enemy can still attack it and centralises in
// the endgame.
int king_square_term(const SearchState& state, int colour, bool endgame) {
    const int them = 1 - colour;
    const int sq = relative(king_square(state, colour), colour);
    if (state.men_count[code_of(queen, them)] > 0 && state.piece_material[them] > king_shelter_material)
        return king_psq_mg(sq);
    return endgame ? king_psq_eg(sq) : 0;
}

int side_to_move_view(const SearchState& state, int white_view) {
    return state.to_move == white ? white_view : -white_view;
}

// Scales a value by the drawishness of the side whose part is larger.
int scale_by_leader(int value, int white_part, int black_part, const int scale[2]) {
    if (white_part > black_part) return value * scale[white] / full_scale;
    if (black_part > white_part) return value * scale[black] / full_scale;
    return value;
}

// Whether the move recorded at a history index gave check. Indexes before
// this game's set-up record count as no check.
bool gave_check(const SearchState& state, int index) {
    if (index < state.setup_hply - 1 || index < -1) return false;
    return state.hist_stack[index].check_kind != 0;
}

// Modes 1 and 2: decides whether the lazy score answers. At the root there
// is no parent record, so only the plain test is used there.
bool lazy_answer(const SearchState& state, int mode, int lazy, int& answer) {
    const PlyRecord& rec = *state.ply_rec;
    const int margin = state.params->lazy_margin;
    const bool check_case = state.ply == 0 || gave_check(state, state.hply - 1) ||
                            gave_check(state, state.hply - 2) ||
                            (state.ply_rec[-1].eval_flags & eval_inexact) != 0;
    if (!check_case) {
        // The parent's positional part, seen from this side, completes the
        // lazy score into an estimate of the full one.
        const PlyRecord& parent = state.ply_rec[-1];
        const int estimate = lazy + parent.lazy_score - parent.eval_score;
        int estimate_margin = margin;
        const int last = state.hply - 1;
        if (margin <= min_plain_lazy_margin && last >= state.setup_hply &&
            piece_type[move_capture(state.hist_stack[last].move)] == queen)
            estimate_margin = min_plain_lazy_margin;
        if (mode == eval_lazy || estimate - estimate_margin > rec.beta ||
            estimate + estimate_margin < rec.alpha) {
            answer = estimate;
            return true;
        }
    }
    const int plain_margin = margin > min_plain_lazy_margin ? margin : min_plain_lazy_margin;
    if (mode == eval_lazy || lazy - plain_margin > rec.beta || lazy + plain_margin < rec.alpha) {
        answer = lazy;
        return true;
    }
    return false;
}

template <int N>
int bonus_at(const int (&table)[N], int index) {
    return table[index < 0 ? 0 : index >= N ? N - 1 : index];
}

// Mobility, seventh rank and open files of one colour, weighted.
int activity(const PieceSums& sums, int colour, const EvalParams& params) {
    return sums.mobility[colour] * params.mobility_scale / 100 +
           bonus_at(seventh_bonus, sums.seventh[colour] * params.rook_on_7th_scale / 100) +
           bonus_at(open_file_bonus, sums.open_files[colour]);
}

// Everything past the cache: returns the scaled side-to-move value.
int full_evaluation(SearchState& state, int ws, int bs, const int scale[2]) {
    build_pawn_maps(state);
    ws += score_pawns(state);
    PieceSums sums{};
    score_pieces(state, sums);
    const EvalParams& params = *state.params;
    ws += sums.score[white] + activity(sums, white, params);
    bs += sums.score[black] + activity(sums, black, params);
    int total = score_passers(state) + ws;
    if (state.men_count[black_queen] > 0 && state.piece_material[black] > king_attack_material)
        bs += score_king_safety(state, white, sums.tropism[black]) * params.king_safety_scale / 100;
    if (state.men_count[white_queen] > 0 && state.piece_material[white] > king_attack_material)
        total += score_king_safety(state, black, sums.tropism[white]) * params.king_safety_scale / 100;
    ++state.eval_count;
    return scale_by_leader(side_to_move_view(state, total - bs), total, bs, scale);
}

}  // namespace

void build_pawn_maps(SearchState& state) {
    EvalScratch& scratch = state.eval;
    std::memset(scratch.attack_map_storage, 0, sizeof scratch.attack_map_storage);
    std::memset(scratch.pawn_ranks, 0, sizeof scratch.pawn_ranks);
    for (int colour = white; colour <= black; ++colour) {
        uint8_t* attacks = scratch.attack_map[colour];
        const int forward = pawn_push[colour];
        int files = 0;
        int ranks = 0;
        for (const PieceNode* node = state.piece_list[code_of(pawn, colour)]; node; node = node->next) {
            const int sq = node->sq;
            attacks[sq + forward - 1] += 64;
            attacks[sq + forward + 1] += 64;
            pawn_ranks_at(scratch, colour, file(sq)) |= uint8_t(1 << rank(sq));
            ranks |= 1 << rank(sq);
            files |= 1 << file(sq);
        }
        scratch.pawn_files[colour] = files;
        scratch.pawn_rank_bits[colour] = ranks;
    }
    scratch.all_pawn_files = scratch.pawn_files[white] | scratch.pawn_files[black];
}

int evaluate(SearchState& state, int mode) {
    PlyRecord& rec = *state.ply_rec;
    rec.eval_flags = 0;
    int scale[2] = {full_scale, full_scale};
    int material = 0;
    if (score_material(state, scale, material)) {
        ++state.eval_count;
        rec.eval_score = rec.lazy_score = side_to_move_view(state, material);
        apply_tempo(state);
        return rec.eval_score;
    }

    const bool endgame = state.piece_material[white] + state.piece_material[black] < endgame_material;
    int side_sum[2] = {material, 0};
    for (int colour = white; colour <= black; ++colour)
        side_sum[colour] += trapped_men(state, colour) + castling_terms(state, colour) +
                            king_square_term(state, colour, endgame);
    const int ws = side_sum[white];
    const int bs = side_sum[black];
    const int lazy = scale_by_leader(side_to_move_view(state, ws - bs), ws, bs, scale);
    rec.lazy_score = lazy;

    int answer = 0;
    if (mode != eval_full && lazy_answer(state, mode, lazy, answer)) {
        ++state.lazy_count;
        rec.eval_flags |= eval_inexact;
        rec.eval_score = answer;
        apply_tempo(state);
        return rec.eval_score;
    }

    EvalEntry& entry = eval_cache_entry(*state.eval_cache, state.pos_key);
    if (entry.key == state.pos_key) {
        ++state.eval_count;
        rec.eval_score = side_to_move_view(state, entry.score);
        rec.lazy_score = side_to_move_view(state, entry.lazy_score);
        rec.eval_flags = entry.flags;
        apply_tempo(state);
        return rec.eval_score;
    }

    rec.eval_score = full_evaluation(state, ws, bs, scale);
    // A pawn race depends on the side to move, which the key does not hold:
    // such a value is not cached, so the other side cannot be answered with it.
    if ((rec.eval_flags & eval_inexact) == 0) {
        entry.key = state.pos_key;
        entry.score = int16_t(side_to_move_view(state, rec.eval_score));
        entry.lazy_score = int16_t(side_to_move_view(state, lazy));
        entry.flags = rec.eval_flags;
    }
    apply_tempo(state);
    return rec.eval_score;
}

void apply_tempo(SearchState& state) {
    PlyRecord& rec = *state.ply_rec;
    if (state.piece_material[state.to_move] > tempo_material) rec.eval_score += tempo_bonus;
    const uint16_t danger = state.to_move == black ? white_king_danger : black_king_danger;
    if (rec.eval_flags & danger) rec.eval_score += danger_tempo_bonus;
}

void command_score(SearchState& game) {
    int score = 0;
    if (game.men_total < 6 && bitbases_loaded && probe_bitbase(game, score)) {
        emit("bitbase_score = %d\n", score);
        return;
    }
    emit("score = %d\n", evaluate(game, eval_full));
}
