// The full-width search on single nodes at ply 0: mate distances, the draw
// rules, table cutoffs, the null move and its side effects, internal
// iterative deepening, the guard at the end of hist_stack, abort unwinding
// and reproducible node counts.

#include <gtest/gtest.h>

#include "bitbase/bitbase.h"
#include "search/search_node.h"
#include "search_helpers.h"

using namespace search_test_support;

namespace {

constexpr int full_alpha = -30000;
constexpr int full_beta = 30000;
// A window every reasonable position beats: every node fails high.
constexpr int low_alpha = -1001;
constexpr int low_beta = -1000;

constexpr const char* scholar_mate = "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4";
constexpr const char* rook_mate_in_two = "k7/8/2K5/8/8/8/8/7R w - - 0 1";
constexpr const char* back_rank_mated = "R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1";
constexpr const char* stalemated = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";
constexpr const char* queen_up = "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

TransEntry root_entry(const SearchState& state) {
    return tt_slot(state.to_move, state.pos_key, tt_bucket_slots - 1);
}

bool root_key_stored(const SearchState& state) {
    for (int slot = 0; slot < tt_bucket_slots; ++slot)
        if (tt_slot(state.to_move, state.pos_key, slot).key == state.pos_key) return true;
    return false;
}

}  // namespace

TEST(Search, FindsMatesAtTheirDistance) {
    SearchState& one = searchable_position(scholar_mate);
    EXPECT_EQ(search_node(one, 2 * one_ply, full_alpha, full_beta, pv_node), 19920);
    EXPECT_EQ(one.ply_rec->best_move, move_of(one, "h5f7"));
    EXPECT_EQ(one.ply_rec->pv_length, 1);

    SearchState& two = searchable_position(rook_mate_in_two);
    EXPECT_EQ(search_node(two, 4 * one_ply, full_alpha, full_beta, pv_node), 19840);
    EXPECT_EQ(two.ply_rec->pv_length, 3);
}

TEST(Search, NodeWithoutMovesStoresExactMateOrDraw) {
    SearchState& mated = searchable_position(back_rank_mated);
    EXPECT_EQ(search_node(mated, one_ply, full_alpha, full_beta, pv_node), -19960);
    TransHit hit{};
    EXPECT_EQ(tt_probe(mated.to_move, mated.pos_key, one_ply, full_alpha, full_beta, 0, hit), exact);
    EXPECT_EQ(hit.score, -19960);

    SearchState& stale = searchable_position(stalemated);
    EXPECT_EQ(search_node(stale, one_ply, full_alpha, full_beta, cut_node), 0);
    EXPECT_EQ(tt_probe(stale.to_move, stale.pos_key, one_ply, full_alpha, full_beta, 0, hit), exact);
    EXPECT_EQ(hit.score, 0);
}

TEST(Search, FiftyMoveRuleSparesOnlyASideInCheckAtExactlyOneHundred) {
    SearchState& quiet = searchable_position("4k3/8/8/8/8/8/4P3/4K3 w - - 100 80");
    EXPECT_EQ(search_node(quiet, 3 * one_ply, full_alpha, full_beta, pv_node), 0);
    EXPECT_EQ(quiet.nodes, 1u);

    SearchState& checked = searchable_position("R5k1/5ppp/8/8/8/8/8/6K1 b - - 100 80");
    EXPECT_EQ(search_node(checked, one_ply, full_alpha, full_beta, pv_node), -19960);

    SearchState& late = searchable_position("R5k1/5ppp/8/8/8/8/8/6K1 b - - 101 80");
    EXPECT_EQ(search_node(late, one_ply, full_alpha, full_beta, pv_node), 0);
}

TEST(Search, RepetitionScoresZeroBeforeTheTableIsProbed) {
    SearchState& state = searchable_position(start_fen);
    for (const char* m : {"g1f3", "g8f6", "f3g1", "f6g8"}) play(state, m);
    // An entry that would cut this non-PV node with another score.
    tt_store(state.to_move, state.pos_key, 10, 0, exact, 777, 0, 0);
    state.ply_rec->probe_result = -1;
    EXPECT_EQ(search_node(state, 2 * one_ply, full_alpha, full_beta, cut_node), 0);
    EXPECT_EQ(state.nodes, 1u);
    EXPECT_EQ(state.ply_rec->probe_result, -1);
}

TEST(Search, RepetitionNeverLooksBelowTheSetUpPosition) {
    // An earlier game leaves the start position's key in hist_stack[0].
    SearchState& state = searchable_position(start_fen);
    for (const char* m : {"g1f3", "g8f6", "f3g1", "f6g8"}) play(state, m);
    // The same position set up at move 3 with ten reversible half-moves:
    // hply is 4 again, the entries below it belong to the old game.
    set_fen(state, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 10 3");
    ASSERT_EQ(state.hply, 4);
    EXPECT_FALSE(is_repetition(state));
    EXPECT_NE(state.hist_stack[0].pos_key, 0u);

    for (const char* m : {"g1f3", "g8f6", "f3g1", "f6g8"}) play(state, m);
    EXPECT_TRUE(is_repetition(state));
}

TEST(Search, TableCutsOnlyNonPvNodesWithEnoughDepth) {
    SearchState& state = searchable_position(start_fen);
    const Move e4 = move_of(state, "e2e4");
    tt_store(state.to_move, state.pos_key, 3, 0, exact, 123, e4, 0);

    EXPECT_EQ(search_node(state, 3 * one_ply, full_alpha, full_beta, cut_node), 123);
    EXPECT_EQ(state.nodes, 1u);
    EXPECT_EQ(state.ply_rec->best_move, e4);
    EXPECT_EQ(state.ply_rec->pv_length, 1);
    EXPECT_EQ(state.ply_rec->pv[0], e4);

    state.nodes = 0;
    search_node(state, 3 * one_ply + 1, full_alpha, full_beta, cut_node);  // needs 4 plies
    EXPECT_GT(state.nodes, 1u);

    tt_store(state.to_move, state.pos_key, 3, 0, exact, 123, e4, 0);
    state.nodes = 0;
    search_node(state, 3 * one_ply, full_alpha, full_beta, pv_node);
    EXPECT_GT(state.nodes, 1u);
}

TEST(Search, HashMoveImpossibleHereIsDropped) {
    SearchState& state = searchable_position(start_fen);
    const Move ghost = make_move_word(sq_e1, make_square(4, 4), white_queen);  // no queen on e1
    tt_store(state.to_move, state.pos_key, 3, 0, exact, 55, ghost, 0);
    EXPECT_EQ(search_node(state, 3 * one_ply, full_alpha, full_beta, cut_node), 55);
    EXPECT_EQ(state.ply_rec->best_move, 0u);
    EXPECT_EQ(state.ply_rec->pv_length, 0);
}

TEST(NullMove, FailHighStoresALowerBoundOnlyAboveFourPlies) {
    SearchState& deep = searchable_position(queen_up);
    EXPECT_GE(search_node(deep, 5 * one_ply, low_alpha, low_beta, cut_node), low_beta);
    EXPECT_EQ(deep.ply_rec->best_move, 0u);
    EXPECT_EQ(deep.ply_rec->bound, lower);
    const TransEntry e = root_entry(deep);
    EXPECT_EQ(e.key, deep.pos_key);
    EXPECT_EQ(entry_bound(e), lower);
    EXPECT_EQ(e.move, 0u);
    EXPECT_EQ(e.depth, 5);
    EXPECT_EQ(e.flags & 4, 0);  // no mate threat

    SearchState& shallow = searchable_position(queen_up);
    search_node(shallow, 4 * one_ply, low_alpha, low_beta, cut_node);
    EXPECT_EQ(shallow.ply_rec->best_move, 0u);
    EXPECT_EQ(shallow.ply_rec->bound, lower);
    EXPECT_FALSE(root_key_stored(shallow));
}

// Where no null move is allowed the node can only fail high with a real move.
TEST(NullMove, NeverTriedWhereItIsUnsound) {
    struct Case {
        const char* name;
        const char* fen;
        int node_type;
        int step;
    };
    const Case cases[] = {
        {"in check", "4k3/4r3/8/8/8/8/3P1P2/1Q2K3 w - - 0 1", cut_node, step_null},
        {"PV node", queen_up, pv_node, step_null},
        {"five men", "4k3/8/8/8/8/8/8/Q3K2R w - - 0 1", cut_node, step_null},
        {"pawns only", "4k3/pp6/8/8/8/8/PPPPPP2/4K3 w - - 0 1", all_node, step_null},
        {"reply to a null move", queen_up, cut_node, step_moves},
    };
    for (const Case& c : cases) {
        SearchState& state = searchable_position(c.fen);
        search_node(state, 5 * one_ply, low_alpha, low_beta, c.node_type, c.step);
        EXPECT_NE(state.ply_rec->best_move, 0u) << c.name;
    }

    // The table says a null move would fail low here.
    SearchState& state = searchable_position(queen_up);
    tt_store(state.to_move, state.pos_key, 1, 0, upper, -2000, 0, 0);
    search_node(state, 5 * one_ply, low_alpha, low_beta, cut_node);
    EXPECT_EQ(state.ply_rec->probe_result, probe_no_null);
    EXPECT_NE(state.ply_rec->best_move, 0u);

    // The table remembers a mate threat from an earlier visit.
    SearchState& threatened = searchable_position(queen_up);
    tt_store(threatened.to_move, threatened.pos_key, 0, 0, lower, 0, 0, 1);
    search_node(threatened, 5 * one_ply, low_alpha, low_beta, cut_node);
    EXPECT_NE(threatened.ply_rec->best_move, 0u);
}

TEST(NullMove, MateAfterPassingIsStoredAsMateThreat) {
    // Black threatens Re1 mate on the back rank.
    SearchState& state = searchable_position("4r1k1/5ppp/8/8/8/8/R4PPP/6K1 w - - 0 1");
    search_node(state, 5 * one_ply, -1, 0, cut_node);
    EXPECT_EQ(state.ply_rec->mate_threat, 1);
    const TransEntry e = root_entry(state);
    EXPECT_EQ(e.key, state.pos_key);
    EXPECT_EQ(e.flags & 4, 4);
}

// The fail-high move is rewarded once per pass: plies squared, so a node of
// three plies that runs an IID pass of one ply adds 1 + 9.
TEST(Search, DeepNodeWithoutHashMoveRunsAnIidPassFirst) {
    SearchState& deep = searchable_position(start_fen);
    search_node(deep, 3 * one_ply, low_alpha, low_beta, pv_node);
    const Move m = deep.ply_rec->best_move;
    ASSERT_NE(m, 0u);
    EXPECT_EQ(history_score(white, m), 1 + 9);

    SearchState& shallow = searchable_position(start_fen);
    search_node(shallow, 2 * one_ply, low_alpha, low_beta, pv_node);
    EXPECT_EQ(history_score(white, shallow.ply_rec->best_move), 4);

    // With a hash move there is no IID pass.
    SearchState& hinted = searchable_position(start_fen);
    const Move e4 = move_of(hinted, "e2e4");
    tt_store(hinted.to_move, hinted.pos_key, 1, 0, upper, 0, e4, 0);
    search_node(hinted, 3 * one_ply, low_alpha, low_beta, pv_node);
    EXPECT_EQ(hinted.ply_rec->best_move, e4);
    EXPECT_EQ(history_score(white, e4), 9);
}

TEST(Search, NeverWritesPastTheEndOfHistory) {
    SearchState& state = searchable_position(queen_up);
    const int start_hply = max_history - 3;
    state.hply = start_hply;
    state.setup_hply = start_hply;
    state.hist_stack[start_hply - 1] = HistRecord{};
    HistRecord* const stack = state.hist_stack;
    const int score = search_node(state, 6 * one_ply, full_alpha, full_beta, pv_node);
    EXPECT_EQ(state.hist_stack, stack);
    EXPECT_EQ(state.setup_hply, start_hply);
    EXPECT_EQ(state.hply, start_hply);
    EXPECT_GT(score, 0);
    EXPECT_LT(score, mate_like_score);
}

TEST(Search, AbortUnwindsToTheEntryPosition) {
    SearchState& state = searchable_position(queen_up);
    const HashKey key = state.pos_key;
    abort_flag = 1;
    search_node(state, 6 * one_ply, full_alpha, full_beta, pv_node);
    abort_flag = 0;
    EXPECT_EQ(state.ply, 0);
    EXPECT_EQ(state.hply, 0);
    EXPECT_EQ(state.pos_key, key);
}

TEST(Search, FixedDepthSearchRepeatsWithAFullLengthPv) {
#ifdef VELKAN_SANITIZED
    constexpr int depth = 3 * one_ply;
#else
    constexpr int depth = 5 * one_ply;
#endif
    const char* fens[] = {
        start_fen,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    };
    for (const char* fen : fens) {
        uint64_t counts[2];
        int scores[2];
        for (int run = 0; run < 2; ++run) {
            SearchState& state = searchable_position(fen);
            scores[run] = search_node(state, depth, full_alpha, full_beta, pv_node);
            counts[run] = state.nodes;
            // Scout results inside the window are searched again with the full
            // window, so the PV reaches the full depth.
            EXPECT_GE(state.ply_rec->pv_length, depth / one_ply) << fen;
        }
        EXPECT_EQ(counts[0], counts[1]) << fen;
        EXPECT_EQ(scores[0], scores[1]) << fen;
    }
}

// The bitbase rule with the stand-in library, which knows king and queen
// against king. The rule reads only `ply` of the stack, so the tests place
// the node at the ply they need without descending.
class BitbaseRule : public ::testing::Test {
protected:
    void SetUp() override {
        testing::internal::CaptureStdout();
        const bool bound = bind_library(VELKAN_FAKE_EGBB "/complete/", 1 << 20);
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(bound);
        bitbases_loaded = true;
        saved_load_type = egbb_load_type;
    }
    void TearDown() override {
        bitbases_loaded = false;
        egbb_load_type = saved_load_type;
        bitbase_ply_limit = 0;
    }
    int saved_load_type = 0;
};

TEST_F(BitbaseRule, ProbesByPlyAndScoresByDistance) {
    SearchState& state = searchable_position("4k3/8/8/8/8/8/8/3QK3 w - - 0 1");
    int known = 0;
    ASSERT_TRUE(probe_bitbase(state, known));
    ASSERT_GT(known, 0);
    bitbase_ply_limit = 4;
    int score = 0;

    state.ply = 4;  // at the limit: always
    EXPECT_TRUE(probe_bitbase_rule(state, score));
    EXPECT_EQ(score, known - 40 * 4 - 40);
    EXPECT_EQ(state.egbb_probes, 1);

    state.ply = 6;  // beyond it: by load type and men
    egbb_load_type = 0;
    EXPECT_FALSE(probe_bitbase_rule(state, score));
    egbb_load_type = 1;
    EXPECT_TRUE(probe_bitbase_rule(state, score));
    EXPECT_EQ(score, known - 40 * 6 - 40);

    state.ply = 2;  // before it: only after a capture, promotion or pawn move
    play(state, "d1d3");
    EXPECT_FALSE(probe_bitbase_rule(state, score));
    SearchState& captured = searchable_position("4k3/8/8/8/8/8/3r4/3QK3 w - - 0 1");
    play(captured, "d1d2");
    captured.ply = 2;
    EXPECT_TRUE(probe_bitbase_rule(captured, score));
    captured.ply = 0;
}

TEST_F(BitbaseRule, SearchReturnsTheBitbaseScoreWithoutStoring) {
    SearchState& state = searchable_position("4k3/8/8/8/8/8/8/3QK3 w - - 0 1");
    int known = 0;
    ASSERT_TRUE(probe_bitbase(state, known));
    EXPECT_EQ(search_node(state, 4 * one_ply, full_alpha, full_beta, pv_node), known - 40);
    EXPECT_EQ(state.nodes, 1u);
    EXPECT_FALSE(root_key_stored(state));
}
