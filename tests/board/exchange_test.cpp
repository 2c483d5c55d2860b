#include <gtest/gtest.h>

#include "board/exchange.h"
#include "board/notation.h"

namespace {

struct AttackTableReady {
    AttackTableReady() { init_attack_table(); }
};
const AttackTableReady attack_table_ready;

// Square from its text ("e4").
constexpr int at(const char* text) { return make_square(text[0] - 'a', text[1] - '1'); }

// The exchange value of the move from-to in the given position; the moving,
// captured and promoted codes are read from the board as a generator would.
int exchange(const char* fen, const char* from, const char* to, int promote = 0) {
    static SearchState state;
    set_fen(state, fen);
    const Move m = make_move_word(at(from), at(to), state.board[at(from)], state.board[at(to)], promote);
    return static_exchange(state, m);
}

}  // namespace

TEST(StaticExchange, SingleCaptures) {
    // Pawn takes an undefended knight, then the same knight defended by a pawn.
    EXPECT_EQ(exchange("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4", "d5"), 300);
    EXPECT_EQ(exchange("4k3/8/2p5/3n4/4P3/8/8/4K3 w - - 0 1", "e4", "d5"), 200);
    // Queen takes a pawn defended by a pawn.
    EXPECT_EQ(exchange("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1", "d1", "d5"), -800);
    // Black captures too: the first recapture belongs to white.
    EXPECT_EQ(exchange("4k3/8/8/3b4/4P3/5P2/8/4K3 b - - 0 1", "d5", "e4"), -200);
}

TEST(StaticExchange, SlidersBehindTheCapturerJoin) {
    // Rook takes rook; the queen behind the capturing rook recaptures last.
    EXPECT_EQ(exchange("3rk3/8/8/3r4/8/8/3R4/3QK3 w - - 0 1", "d2", "d5"), 500);
    EXPECT_EQ(exchange("3rk3/8/8/3r4/8/8/3R4/4K3 w - - 0 1", "d2", "d5"), 0);
    // A bishop behind the capturing pawn backs it up on the diagonal.
    EXPECT_EQ(exchange("3rk3/8/8/3n4/4P3/5B2/8/4K3 w - - 0 1", "e4", "d5"), 300);
    EXPECT_EQ(exchange("3rk3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4", "d5"), 200);
    // A slider of the wrong kind behind the capturer does not join.
    EXPECT_EQ(exchange("3rk3/8/8/3n4/4P3/5R2/8/4K3 w - - 0 1", "e4", "d5"), 200);
}

TEST(StaticExchange, CheapestRecapturerGoesFirst) {
    // The queen on d8 is found before the rook on h5, yet the rook must take
    // first: Rxd5 Rxd5 Rxd5 Qxd5 loses two rooks for a rook and a pawn.
    EXPECT_EQ(exchange("k2q4/8/8/R2p3r/8/8/8/3R3K w - - 0 1", "d1", "d5"), -400);
}

TEST(StaticExchange, KingCapturesOnlyUndefendedMen) {
    EXPECT_EQ(exchange("4k3/8/8/8/8/8/3p4/4K3 w - - 0 1", "e1", "d2"), 100);
    EXPECT_LT(exchange("4k3/8/8/8/8/2p5/3p4/4K3 w - - 0 1", "e1", "d2"), -100);
}

TEST(StaticExchange, QuietMovesAndPromotions) {
    // A knight steps onto a square a pawn attacks, then onto a quiet one.
    EXPECT_EQ(exchange("4k3/8/3p4/8/8/5N2/8/4K3 w - - 0 1", "f3", "e5"), -300);
    EXPECT_EQ(exchange("4k3/8/3p4/8/8/5N2/8/4K3 w - - 0 1", "f3", "g5"), 0);
    // A promotion counts as the pawn it is.
    EXPECT_EQ(exchange("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7", "b8", white_queen), -100);
    EXPECT_EQ(exchange("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7", "a8", white_queen), 500);
}
