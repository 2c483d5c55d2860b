// King-safety term: how endangered one king is, in centipawns credited to
// the attacking side. It counts the attacks on the king's neighbourhood
// from the finished attack maps, weighs the pawn shelter of a castled king,
// enemy pawns storming it when the kings stand on distant wings, open files
// beside it and its square, and adds the attacking pieces' closeness
// (tropism). A king with a high attack count raises its danger flag, which
// gives the side to move a small extra tempo.
//
// Everything is stated from the defending king's side: "rank 2" is its own
// second rank, "forward" points towards the enemy.

#include <cstdlib>

#include "eval/evaluate.h"
#include "eval/terms.h"

namespace {

// Attack count to danger, growing roughly with the square of the count.
constexpr int king_attack[29] = {0,   1,   5,   11,  20,  31,  45,  61,  80,  101,
                                 125, 151, 180, 211, 245, 281, 320, 361, 405, 442,
                                 480, 517, 555, 592, 630, 667, 705, 742, 780};
constexpr int max_attack_count = 28;
// A king further up the board, or nearer the centre files, is easier to reach.
constexpr int king_rank_danger[8] = {0, 1, 2, 3, 3, 3, 3, 3};
constexpr int king_file_danger[8] = {1, 0, 2, 3, 3, 2, 0, 1};
// Missing shelter pawns by gap mask (bit 1 near file, 2 middle, 4 far).
constexpr int shelter_gap_danger[8] = {0, 1, 3, 5, 2, 5, 5, 6};

// Attack-map bytes: bits of the rook and queen classes, everything but the
// queen, and the minor and rook classes together.
constexpr int rook_bits = 0x0c;
constexpr int queen_bit = 0x02;
constexpr int not_queen_bits = 0xfd;
constexpr int minor_rook_bits = 0x3c;
constexpr int king_only = 1;

// Below this many units the attacker has too little for a mating attack
// on a sheltered king: shelter terms are dropped and the attack halved.
constexpr int shelter_material = 15;
// Below this many units (with minors or rooks in the zone) the attack
// counts four fifths.
constexpr int full_attack_material = 20;
// The danger flag is raised above this attack count.
constexpr int danger_count = 8;

constexpr int shelter_weight = 7;       // per shelter point
constexpr int storm_weight = 8;         // per rank a storming pawn has left to go
constexpr int open_king_file = 20;      // no pawn at all on the king's file
constexpr int open_neighbour_file = 10;  // per pawnless neighbouring file

constexpr int king_steps[8] = {1, -1, 15, -15, 16, -16, 17, -17};

// Shelter of one file: points for the own pawn nearest the king on ranks
// 2 to 4 (first match counts), none when the file has no pawn there.
struct ShelterFile {
    int points[3];  // own pawn on relative rank 2, 3, 4
    int gap_bit;
};
constexpr ShelterFile near_file{{2, 1, 1}, 1};
constexpr ShelterFile middle_file{{4, 2, 1}, 2};
constexpr ShelterFile far_file{{3, 2, 1}, 4};

// The defender's view of the board: squares by file and relative rank.
struct KingView {
    const SearchState& state;
    int us;
    int square(int f, int relative_r) const { return make_square(f, us == white ? relative_r : 7 - relative_r); }
    int at(int f, int relative_r) const { return state.board[square(f, relative_r)]; }
    bool own(int f, int relative_r, int type) const { return at(f, relative_r) == code_of(type, us); }
    bool enemy_man(int f, int relative_r) const {
        const int code = at(f, relative_r);
        return code != empty && piece_colour[code] == 1 - us;
    }
};

int file_shelter(const KingView& v, int f, const ShelterFile& rule, int& gaps) {
    for (int i = 0; i < 3; ++i)
        if (v.own(f, 1 + i, pawn)) return rule.points[i];
    gaps |= rule.gap_bit;
    return 0;
}

// Shelter points of a king on a wing, with the gap mask of the missing
// files; a king on the d- or e-file has none.
int pawn_shelter(const KingView& v, int king_file, int& gaps) {
    gaps = 0;
    if (king_file == 3 || king_file == 4) return 0;
    const bool queenside = king_file < 3;
    const int near = queenside ? 2 : 5, middle = queenside ? 1 : 6, far = queenside ? 0 : 7;
    int shelter = file_shelter(v, near, near_file, gaps) + file_shelter(v, middle, middle_file, gaps) +
                  file_shelter(v, far, far_file, gaps);
    // Without the middle pawn at home the shelter is a fianchetto at best:
    // it holds only with the near pawn home, its square in front covered,
    // no enemy man lodged in the holes, and the bishop on its long diagonal.
    if (!v.own(middle, 1, pawn)) {
        if (!v.own(near, 1, pawn)) shelter -= 1;
        if (!v.own(near, 2, pawn)) shelter -= 2;
        if (v.enemy_man(near, 2) || v.enemy_man(far, 2)) shelter -= 2;
        if (v.own(middle, 1, bishop)) shelter += 1;
    }
    return shelter;
}

// Enemy pawns advancing on the king's file and its neighbours, counted only
// when the kings stand on different wings (a storm then costs the stormer
// nothing). A pawn level with or right in front of the king is not storming.
int pawn_storm(const SearchState& state, int us, int king_sq) {
    const int them = 1 - us;
    const int king_r = relative_rank(king_sq, us);
    int storm = 0;
    for (int f = file(king_sq) - 1; f <= file(king_sq) + 1; ++f) {
        const int ranks = pawn_ranks_at(state.eval, them, f);  // zero guards off the board
        if (ranks == 0) continue;
        // The enemy pawn nearest to us is the most advanced one of theirs.
        const int front = most_advanced_rank(ranks, them);
        const int r = us == white ? front : 7 - front;
        if (r > king_r + 1) storm += storm_weight * (7 - r);
    }
    return storm;
}

int open_files_near(const SearchState& state, int king_file) {
    const int pawns = state.eval.all_pawn_files;
    int open = 0;
    if (((pawns >> king_file) & 1) == 0) open += open_king_file;
    if (king_file > 0 && ((pawns >> (king_file - 1)) & 1) == 0) open += open_neighbour_file;
    if (king_file < 7 && ((pawns >> (king_file + 1)) & 1) == 0) open += open_neighbour_file;
    return open;
}

}  // namespace

int score_king_safety(SearchState& state, int colour, int tropism) {
    const int us = colour, them = 1 - colour;
    const uint8_t* enemy = state.eval.attack_map[them];
    const uint8_t* own = state.eval.attack_map[us];
    const int k = king_square(state, us);

    // Attacks on the squares around the king: rooks and a queen backed by
    // another attacker count more, and so does a square only the king holds.
    int count = 0;
    int zone = 0;
    for (const int step : king_steps) {
        const int n = k + step;
        if (!on_board(n) || enemy[n] == 0) continue;
        const int a = enemy[n];
        zone |= a;
        count += (a & rook_bits) ? 2 : 1;
        int weight = 1;
        if (a & queen_bit) {
            weight = (a & not_queen_bits) ? 2 : 1;
            count += weight;
        }
        if (own[n] == king_only) count += weight;
    }
    // The three squares two ranks ahead tell which pieces reach the zone.
    const int ahead = 2 * pawn_push[us];
    for (const int side : {-1, 0, 1})
        if (on_board(k + ahead + side)) zone |= enemy[k + ahead + side];

    const int material = state.piece_material[them];
    int terms = 0;
    if (material >= shelter_material) {
        const KingView view{state, us};
        int gaps = 0;
        terms = -shelter_weight * pawn_shelter(view, file(k), gaps);
        if (std::abs(file(k) - file(king_square(state, them))) > 2) terms += pawn_storm(state, us, k);
        terms += open_files_near(state, file(k));
        count += king_rank_danger[relative_rank(k, us)] + king_file_danger[file(k)] + shelter_gap_danger[gaps];
    }

    // What reaches the zone decides how much of the attack is real.
    if (zone == queen_bit || material < shelter_material) {
        count /= 2;
        tropism /= 2;
    } else if (zone & minor_rook_bits) {
        if (material < full_attack_material) {
            count = 4 * count / 5;
            tropism = 4 * tropism / 5;
        }
    } else {
        count = 3 * count / 4;
        tropism = 3 * tropism / 4;
    }

    if (count > danger_count) state.ply_rec->eval_flags |= us == white ? white_king_danger : black_king_danger;
    return tropism + terms + king_attack[count < max_attack_count ? count : max_attack_count];
}
