// The attack table answers "can a man of this kind on square a reach square
// t on an empty board?" with one lookup by the difference t - a, and gives
// the unit step along the line for sliders. 0x88 differences are unique per
// geometric relation, which is what makes one table serve every square.
// Example: a knight on g1 (6) reaches f3 (37): entry 37 - 6 = +31 has flag 16.

#include "board/board.h"

AttackEntry attack_table[257];

void init_attack_table() {
    for (auto& entry : attack_table) entry = {0, 0};

    attack_table[128 + 15].flags |= flag_white_pawn;
    attack_table[128 + 17].flags |= flag_white_pawn;
    attack_table[128 - 15].flags |= flag_black_pawn;
    attack_table[128 - 17].flags |= flag_black_pawn;

    // Orthogonal directions first, then diagonals.
    constexpr int queen_directions[8] = {1, -1, 16, -16, 17, -17, 15, -15};
    for (int i = 0; i < 8; ++i) {
        const int dir = queen_directions[i];
        const int line_flags = i < 4 ? (flag_queen | flag_rook) : (flag_queen | flag_bishop);
        attack_table[128 + dir].flags |= flag_king;
        for (int j = 1; j <= 7; ++j) {
            attack_table[128 + j * dir].step = dir;
            attack_table[128 + j * dir].flags |= line_flags;
        }
    }

    constexpr int knight_jumps[8] = {18, -18, 14, -14, 33, -33, 31, -31};
    for (int jump : knight_jumps) attack_table[128 + jump].flags |= flag_knight;
}
