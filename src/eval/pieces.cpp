// Piece-activity term: every knight, bishop, rook and queen walks the
// squares it attacks, entering them into its colour's attack map, and is
// scored for mobility, outposts, pins and x-rays, the seventh rank, open
// files, rooks behind passed pawns, connected rooks and closeness to the
// enemy king. The kings' neighbourhoods are entered last.
//
// Visiting order is white knights, black knights, white bishops, ... , black
// queens. A piece's safe-square test reads the enemy's map as far as it is
// built, and that order guarantees it already holds every attacker class the
// test looks at (pawns for minors; pawns and minors for rooks; pawns, minors
// and rooks for the queen's files and ranks).

#include <cstdlib>

#include "eval/eval_params.h"
#include "eval/terms.h"

namespace {

// Units one attacker adds to an attack_map byte, by class.
constexpr uint8_t pawn_unit = 64;
constexpr uint8_t minor_unit = 16;
constexpr uint8_t rook_unit = 4;
constexpr uint8_t queen_unit = 2;
constexpr uint8_t king_unit = 1;

constexpr int knight_steps[8] = {18, -18, 14, -14, 33, -33, 31, -31};
constexpr int diagonal_steps[4] = {17, -17, 15, -15};
constexpr int straight_steps[4] = {16, -16, 1, -1};
constexpr int king_steps[8] = {1, -1, 15, -15, 16, -16, 17, -17};

// Closeness to the enemy king by Chebyshev distance (rooks also by file
// distance when their file is at least half open).
constexpr int minor_tropism[8] = {0, 10, 15, 10, 5, 0, 0, 0};
constexpr int rook_file_tropism[8] = {25, 25, 10, 5, 0, 0, 0, 0};
constexpr int queen_tropism[8] = {0, 0, 20, 20, 15, 5, 0, 0};

// A piece that attacks an enemy piece which shields a more valuable one
// behind it: the shielding side loses this much.
constexpr int pin_penalty = 20;
// A bishop on the rim hemmed in by a pawn diagonally in front (own) or
// behind (enemy) on the neighbouring file.
constexpr int rim_bishop_penalty = 10;
// In an endgame a rook on the rank of the enemy's least advanced pawns
// attacks them from the side.
constexpr int rook_pawn_rank_bonus = 20;
constexpr int rook_behind_passer_bonus = 20;
constexpr int connected_rooks_bonus = 10;
// Weights of the seventh-rank and open-file counts (scored by the frame).
constexpr int rook_seventh_weight = 2;
constexpr int queen_seventh_weight = 3;
constexpr int open_file_weight = 2;
constexpr int half_open_file_weight = 1;

// Per-square tables from white's side (0x88 indexes; off-board entries 0).
struct SquareTables {
    int mobility_weight[128];  // 1 + distance to the nearest edge
    int outpost[128];          // files c-f of ranks 4-6
};

constexpr SquareTables make_square_tables() {
    SquareTables tables{};
    for (int sq = 0; sq < 128; ++sq) {
        if (!on_board(sq)) continue;
        const int f = file(sq), r = rank(sq);
        int edge = f < 7 - f ? f : 7 - f;
        const int rank_edge = r < 7 - r ? r : 7 - r;
        if (rank_edge < edge) edge = rank_edge;
        tables.mobility_weight[sq] = 1 + edge;
        if (r >= 3 && r <= 5 && f >= 2 && f <= 5) tables.outpost[sq] = (f == 3 || f == 4) ? 15 : 10;
    }
    return tables;
}
constexpr SquareTables square_tables = make_square_tables();

constexpr int type_bit(int type) { return 1 << type; }

// How a sliding piece treats its rays: what it adds to the attack map, which
// enemy attacks make a square unsafe, which own men it sees through (and
// with which unit), and which enemy men shield which others behind them.
struct RayRule {
    uint8_t unit;
    uint8_t unsafe_mask;
    int xray_types;
    uint8_t xray_unit;
    int shield_types;
    int target_types;
};

constexpr RayRule bishop_rule{minor_unit, 0xc0, type_bit(queen), minor_unit,
                              type_bit(queen) | type_bit(rook) | type_bit(knight),
                              type_bit(king) | type_bit(queen) | type_bit(rook)};
constexpr RayRule rook_rule{rook_unit, 0xf0, type_bit(queen) | type_bit(rook), rook_unit,
                            type_bit(queen) | type_bit(bishop) | type_bit(knight),
                            type_bit(king) | type_bit(queen)};
// The queen's x-rays through a rook or bishop count as that piece's class.
constexpr RayRule queen_straight_rule{queen_unit, 0xfc, type_bit(queen) | type_bit(rook), rook_unit,
                                      type_bit(bishop) | type_bit(knight), type_bit(king)};
constexpr RayRule queen_diagonal_rule{queen_unit, 0xc0, type_bit(queen) | type_bit(bishop), rook_unit,
                                      type_bit(rook) | type_bit(knight), type_bit(king)};

// Squares a piece reaches: all weighted, the safe ones weighted and counted.
struct Mobility {
    int all = 0;
    int safe = 0;
    int safe_count = 0;
    void add(int sq, bool is_safe) {
        const int weight = square_tables.mobility_weight[sq];
        all += weight;
        if (is_safe) {
            safe += weight;
            ++safe_count;
        }
    }
};

// A minor piece or rook with almost no safe square is nearly trapped, the
// more so the further forward it stands.
int low_mobility_penalty(int safe_count, int relative_r) {
    if (safe_count == 0) return 5 * relative_r + 5;
    if (safe_count == 1) return (5 * relative_r + 5) >> 1;
    return 0;
}

// A queen needs more room: up to two safe squares cost.
int queen_low_mobility_penalty(int safe_count, int relative_r) {
    if (safe_count == 0) return 10 * relative_r + 10;
    return safe_count <= 2 ? low_mobility_penalty(safe_count - 1, relative_r) : 0;
}

// Outpost worth v on sq: small when an enemy pawn on a neighbouring file
// can still chase the piece away, doubled when none can, with more for
// each own pawn defending it.
int outpost(const SearchState& state, int us, int sq, int v) {
    if (v == 0) return 0;
    const EvalScratch& e = state.eval;
    const int them = 1 - us;
    const int f = file(sq);
    const uint8_t ahead = ranks_ahead(rank(sq), us);
    if ((pawn_ranks_at(e, them, f - 1) | pawn_ranks_at(e, them, f + 1)) & ahead) return v;
    if (pawn_ranks_at(e, them, f) & ahead) return 2 * v + (e.attack_map[us][sq] >= pawn_unit ? v : 0);
    const int behind = sq - pawn_push[us];
    const int own_pawn = code_of(pawn, us);
    return 2 * v + (state.board[behind - 1] == own_pawn ? v : 0) +
           (state.board[behind + 1] == own_pawn ? v : 0);
}

// Walks one ray of a sliding piece: mobility and attacks over the empty
// squares, the attack on the first man, then an x-ray through an own man or
// a pin or skewer of an enemy one. The rule is a template argument so each
// piece gets its own specialised loop.
template <const RayRule& rule>
void walk_ray(SearchState& state, PieceSums& sums, int us, int sq, int step, Mobility& mobility) {
    const int* board = state.board;
    uint8_t* own = state.eval.attack_map[us];
    const uint8_t* enemy = state.eval.attack_map[1 - us];
    int t = sq + step;
    for (; board[t] == empty; t += step) {
        mobility.add(t, (enemy[t] & rule.unsafe_mask) == 0);
        own[t] += rule.unit;
    }
    if (!on_board(t)) return;
    own[t] += rule.unit;
    const int code = board[t];
    const int bit = type_bit(piece_type[code]);
    if (piece_colour[code] == us) {
        if (rule.xray_types & bit)
            for (int u = t + step; board[u] == empty; u += step) own[u] += rule.xray_unit;
    } else if (rule.shield_types & bit) {
        int u = t + step;
        while (board[u] == empty) u += step;
        if (piece_colour[board[u]] == 1 - us && (rule.target_types & type_bit(piece_type[board[u]])))
            sums.score[1 - us] -= pin_penalty;
    }
}

int tropism_at(const int (&table)[8], int sq, int enemy_king) {
    return table[square_distance(sq, enemy_king)];
}

void visit_knight(SearchState& state, PieceSums& sums, int us, int sq, int enemy_king) {
    uint8_t* own = state.eval.attack_map[us];
    const uint8_t* enemy = state.eval.attack_map[1 - us];
    Mobility mobility;
    for (const int step : knight_steps) {
        const int t = sq + step;
        if (state.board[t] == empty) mobility.add(t, enemy[t] < pawn_unit);
        own[t] += minor_unit;  // also on men and off-board guard bytes, which nobody reads
    }
    sums.mobility[us] += (mobility.all + 2 * mobility.safe) >> 2;
    sums.mobility[us] -= low_mobility_penalty(mobility.safe_count, relative_rank(sq, us));
    const int relative_sq = us == white ? sq : sq ^ 0x70;
    sums.score[us] += outpost(state, us, sq, square_tables.outpost[relative_sq]);
    sums.tropism[us] += tropism_at(minor_tropism, sq, enemy_king);
}

// A bishop on the a- or h-file is shut in by an own pawn diagonally in
// front of it or an enemy pawn diagonally behind it.
int rim_bishop(const SearchState& state, int us, int sq) {
    const int f = file(sq);
    if (f != 0 && f != 7) return 0;
    const int inward = f == 0 ? 1 : -1;
    const int forward = pawn_push[us];
    int score = 0;
    if (state.board[sq + forward + inward] == code_of(pawn, us)) score -= rim_bishop_penalty;
    if (state.board[sq - forward + inward] == code_of(pawn, 1 - us)) score -= rim_bishop_penalty;
    return score;
}

void visit_bishop(SearchState& state, PieceSums& sums, int us, int sq, int enemy_king) {
    Mobility mobility;
    for (const int step : diagonal_steps) walk_ray<bishop_rule>(state, sums, us, sq, step, mobility);
    sums.mobility[us] += (3 * mobility.safe + 2 * mobility.all) >> 2;
    sums.mobility[us] -= low_mobility_penalty(mobility.safe_count, relative_rank(sq, us));
    const int relative_sq = us == white ? sq : sq ^ 0x70;
    sums.score[us] += rim_bishop(state, us, sq) +
                      outpost(state, us, sq, square_tables.outpost[relative_sq] / 2);
    sums.tropism[us] += tropism_at(minor_tropism, sq, enemy_king);
}

// A rook or queen on the seventh or eighth rank counts when it confines the
// enemy king to its back rank or finds enemy pawns on their home rank.
bool on_seventh(const SearchState& state, int us, int sq, int enemy_king) {
    const int r = relative_rank(sq, us);
    if (r < 6) return false;
    const int enemy_home_rank = us == white ? 6 : 1;
    return relative_rank(enemy_king, us) >= r ||
           (state.eval.pawn_rank_bits[1 - us] & (1 << enemy_home_rank)) != 0;
}

// Open and half-open files, rooks behind passed pawns of either colour.
void rook_file_terms(SearchState& state, PieceSums& sums, int us, int sq, int enemy_king) {
    const EvalScratch& e = state.eval;
    const int them = 1 - us;
    const int f = file(sq);
    const int tropism = rook_file_tropism[std::abs(file(enemy_king) - f)];
    const bool own_pawns = (e.pawn_files[us] >> f) & 1;
    const bool enemy_pawns = (e.pawn_files[them] >> f) & 1;
    if (!own_pawns) {
        sums.tropism[us] += tropism;
        sums.open_files[us] += enemy_pawns ? half_open_file_weight : open_file_weight;
    } else if (!enemy_pawns) {
        sums.tropism[us] += tropism / 2;
    }
    // Ranks counted from our side: behind our passer is below its front
    // pawn, behind theirs is beyond their front pawn.
    const int r = relative_rank(sq, us);
    const auto front_pawn = [&](int colour) {
        const int front = most_advanced_rank(pawn_ranks_at(e, colour, f), colour);
        return us == white ? front : 7 - front;
    };
    if (((e.passed_files[us] >> f) & 1) && r < front_pawn(us)) sums.score[us] += rook_behind_passer_bonus;
    if (((e.passed_files[them] >> f) & 1) && r > front_pawn(them))
        sums.score[us] += rook_behind_passer_bonus;
}

void visit_rook(SearchState& state, PieceSums& sums, int us, int sq, int enemy_king, bool endgame) {
    const EvalScratch& e = state.eval;
    // Read before this rook's own rays: only rooks visited earlier count.
    const bool connected = (e.attack_map[us][sq] & (rook_unit * 3)) != 0;
    Mobility mobility;
    for (const int step : straight_steps) walk_ray<rook_rule>(state, sums, us, sq, step, mobility);
    sums.mobility[us] += (mobility.all + 2 * mobility.safe) >> 2;
    sums.mobility[us] -= low_mobility_penalty(mobility.safe_count, relative_rank(sq, us));

    const int enemy_pawn_ranks = e.pawn_rank_bits[1 - us];
    if (on_seventh(state, us, sq, enemy_king))
        sums.seventh[us] += rook_seventh_weight;
    else if (endgame && enemy_pawn_ranks != 0 && rank(sq) == most_advanced_rank(enemy_pawn_ranks, us))
        sums.score[us] += rook_pawn_rank_bonus;
    rook_file_terms(state, sums, us, sq, enemy_king);
    sums.tropism[us] += tropism_at(minor_tropism, sq, enemy_king);
    if (connected) sums.score[us] += connected_rooks_bonus;
}

void visit_queen(SearchState& state, PieceSums& sums, int us, int sq, int enemy_king) {
    Mobility mobility;
    for (const int step : straight_steps) walk_ray<queen_straight_rule>(state, sums, us, sq, step, mobility);
    for (const int step : diagonal_steps) walk_ray<queen_diagonal_rule>(state, sums, us, sq, step, mobility);
    sums.mobility[us] += (mobility.safe + (mobility.all >> 1)) >> 2;
    sums.mobility[us] -= queen_low_mobility_penalty(mobility.safe_count, relative_rank(sq, us));
    if (on_seventh(state, us, sq, enemy_king)) sums.seventh[us] += queen_seventh_weight;
    sums.tropism[us] += tropism_at(queen_tropism, sq, enemy_king);
}

}  // namespace

void score_pieces(SearchState& state, PieceSums& sums) {
    const int kings[2] = {king_square(state, white), king_square(state, black)};
    const bool endgame = state.piece_material[white] + state.piece_material[black] < endgame_material;
    for (const int type : {knight, bishop, rook, queen}) {
        for (int us = white; us <= black; ++us) {
            const int enemy_king = kings[1 - us];
            for (const PieceNode* node = state.piece_list[code_of(type, us)]; node; node = node->next) {
                switch (type) {
                case knight: visit_knight(state, sums, us, node->sq, enemy_king); break;
                case bishop: visit_bishop(state, sums, us, node->sq, enemy_king); break;
                case rook: visit_rook(state, sums, us, node->sq, enemy_king, endgame); break;
                default: visit_queen(state, sums, us, node->sq, enemy_king); break;
                }
            }
        }
    }
    for (int us = white; us <= black; ++us)
        for (const int step : king_steps) state.eval.attack_map[us][kings[us] + step] += king_unit;
}
