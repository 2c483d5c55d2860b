#include <gtest/gtest.h>

#include "board/keys.h"
#include "search/search_state.h"

namespace {

struct AttackTableReady {
    AttackTableReady() { init_attack_table(); }
};
const AttackTableReady attack_table_ready;

}  // namespace

TEST(Position, EmptyBoardKeysHoldOnlyTheCastleTerm) {
    static SearchState state;
    init_position(state);
    EXPECT_EQ(state.pos_key, castle_keys[0]);
    EXPECT_NE(state.pos_key, 0u);
    EXPECT_EQ(state.pawn_key, 0u);
    EXPECT_EQ(state.men_total, 0);
}

TEST(Position, GuardBandsAreBorder) {
    static SearchState state;
    EXPECT_EQ(state.board[-48], border);
    EXPECT_EQ(state.board[175], border);
    EXPECT_EQ(state.board[8], border);   // off-board index inside the 128 block
    EXPECT_EQ(state.board[0], empty);
    EXPECT_EQ(state.board[119], empty);
}

TEST(AttackTable, StepsAndFlags) {
    EXPECT_EQ(attack_entry(31).flags, flag_knight);
    EXPECT_EQ(attack_entry(31).step, 0);
    EXPECT_EQ(attack_entry(1).flags, flag_king | flag_queen | flag_rook);
    EXPECT_EQ(attack_entry(7 * 17).step, 17);
    EXPECT_EQ(attack_entry(17).flags, flag_king | flag_queen | flag_bishop | flag_white_pawn);
    EXPECT_EQ(attack_entry(-15).flags, flag_king | flag_queen | flag_bishop | flag_black_pawn);
    EXPECT_EQ(attack_entry(18).step, 0);
}
