// The quiescence search on single nodes at ply 0: stand pat, mates found
// inside it, where quiet checks are tried, the evaluation mode below a null
// move, and losing captures.

#include <gtest/gtest.h>

#include "search/search_node.h"
#include "search_helpers.h"

using namespace search_test_support;

namespace {

constexpr int full_alpha = -30000;
constexpr int full_beta = 30000;

// 1.Nf6+ has the single reply Kh8, then 2.Rh1 mates: both quiet checks.
constexpr const char* single_reply_mate = "6k1/8/6K1/3N4/8/B7/8/R7 w - - 0 1";
// Here the only check 1.Ne7+ leaves two replies (Kh8, Kf8).
constexpr const char* double_reply_check = "6k1/8/2N3K1/8/8/B7/8/R7 w - - 0 1";

}  // namespace

TEST(Quiesce, StandPatAtOrAboveBetaReturnsAtOnce) {
    SearchState& state = searchable_position("rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_GE(quiesce_node(state, -2000, -1000), -1000);
    EXPECT_EQ(state.ply_rec->legal_moves, 0);
    EXPECT_EQ(state.qnodes, 1u);
    EXPECT_EQ(state.nodes, 1u);
}

TEST(Quiesce, MateIsFoundButStalemateKeepsTheStandPat) {
    SearchState& mated = searchable_position("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(quiesce_node(mated, full_alpha, full_beta), mated_at(0));

    SearchState& stale = searchable_position("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_LT(quiesce_node(stale, full_alpha, full_beta), -500);
}

TEST(Quiesce, QuietChecksAtTheFirstPlyAndAfterASingleReply) {
    SearchState& state = searchable_position(single_reply_mate);
    EXPECT_EQ(quiesce_node(state, full_alpha, full_beta), -mated_at(3));
    EXPECT_EQ(state.ply_rec->pv_length, 3);

    // Without budget at the entry no quiet check is tried at all.
    SearchState& no_budget = searchable_position(single_reply_mate);
    EXPECT_LT(quiesce_node(no_budget, full_alpha, full_beta, 0), mate_like_score);

    // Two replies only offset the ply: the mate two plies later is not seen.
    SearchState& two_replies = searchable_position(double_reply_check);
    EXPECT_LT(quiesce_node(two_replies, full_alpha, full_beta), mate_like_score);
}

TEST(Quiesce, BelowANullMoveEveryStandPatIsLazy) {
    const char* busy = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    SearchState& reply = searchable_position(busy);
    quiesce_node(reply, full_alpha, full_beta, one_ply, 1);
    EXPECT_GT(reply.qnodes, 1u);
    EXPECT_EQ(reply.eval_count, 0);

    SearchState& normal = searchable_position(busy);
    quiesce_node(normal, full_alpha, full_beta);
    EXPECT_GT(normal.eval_count, 0);
}

TEST(Quiesce, LosingCapturesOnlyOutOfCheck) {
    // Qxd5 loses the queen to c6xd5: not searched (no quiet checks either).
    SearchState& state = searchable_position("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1");
    quiesce_node(state, full_alpha, full_beta, 0);
    EXPECT_EQ(state.ply_rec->legal_moves, 0);
    EXPECT_EQ(state.qnodes, 1u);

    // In check the only evasion, Qxc1 into the other rook's defence, is
    // searched.
    SearchState& checked = searchable_position("2r1k3/8/8/8/8/8/PP6/K1rQ4 w - - 0 1");
    quiesce_node(checked, full_alpha, full_beta);
    EXPECT_EQ(checked.ply_rec->legal_moves, 1);
}
