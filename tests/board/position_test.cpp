#include <gtest/gtest.h>

#include <vector>

#include "board/keys.h"
#include "board/notation.h"
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

namespace {

std::vector<int> list_squares(const SearchState& state, int code) {
    std::vector<int> squares;
    for (const PieceNode* node = state.piece_list[code]; node; node = node->next) squares.push_back(node->sq);
    return squares;
}

}  // namespace

TEST(Position, StartPositionListsRunFromTheHighestSquare) {
    static SearchState state;
    new_position(state);
    EXPECT_EQ(list_squares(state, white_pawn), (std::vector<int>{23, 22, 21, 20, 19, 18, 17, 16}));
    EXPECT_EQ(list_squares(state, white_knight), (std::vector<int>{sq_g1, sq_b1}));
    EXPECT_EQ(list_squares(state, black_rook), (std::vector<int>{sq_h8, sq_a8}));
    EXPECT_EQ(state.piece_material[white], 31);
    EXPECT_EQ(state.piece_material[black], 31);
    EXPECT_EQ(state.pawn_count[white], 8);
    EXPECT_EQ(state.men_total, 32);
    EXPECT_EQ(state.men_count[black_king], 1);
}

TEST(Position, KeyIgnoresTheSideToMoveButNotEnPassantOrRights) {
    static SearchState state;
    set_fen(state, "4k3/8/8/3p4/8/8/8/4K3 w - - 0 1");
    const HashKey white_key = state.pos_key;
    const HashKey pawns = state.pawn_key;
    set_fen(state, "4k3/8/8/3p4/8/8/8/4K3 b - - 0 1");
    EXPECT_EQ(state.pos_key, white_key);
    // No white pawn can take on d6, yet the square is part of the key.
    set_fen(state, "4k3/8/8/3p4/8/8/8/4K3 w - d6 0 1");
    EXPECT_EQ(state.pos_key, white_key ^ ep_keys[3]);
    EXPECT_EQ(state.pawn_key, pawns);
    set_fen(state, "r3k3/8/8/3p4/8/8/8/4K3 w q - 0 1");
    EXPECT_EQ(state.pos_key, white_key ^ piece_keys[black_rook][sq64(sq_a8)] ^ castle_keys[0] ^
                                 castle_keys[black_long]);
}
