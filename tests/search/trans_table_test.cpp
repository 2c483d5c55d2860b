// Transposition table: replacement, move keeping, bounds and depth rules,
// mate-distance conversion and the `ht` sizing command.

#include <gtest/gtest.h>

#include <string>

#include "eval/eval_cache.h"
#include "eval/pawn_table.h"
#include "search/search_fixture.h"
#include "search/table_sizes.h"
#include "search/trans_table.h"

namespace {

class TransTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resize_tt(16));
        tt_new_search(0);
    }
    void TearDown() override { resize_tt(tt_default_buckets); }

    // The n-th key that maps to bucket 5.
    static HashKey key_in_bucket(int n) { return 5 + HashKey(n) * (tt_mask + 1) + (HashKey(n) << 40); }

    static std::string run_ht(const char* megabytes) {
        testing::internal::CaptureStdout();
        command_ht(megabytes);
        return testing::internal::GetCapturedStdout();
    }
};

constexpr Move move_a = make_move_word(sq_e1 + 16, sq_e1 + 48, white_pawn);
constexpr Move move_b = make_move_word(sq_g1, sq_g1 + 31, white_knight);

TEST_F(TransTableTest, NewKeysAlwaysReplaceSlotThree) {
    const HashKey k1 = key_in_bucket(1), k2 = key_in_bucket(2);
    tt_store(white, k1, 4, 0, exact, 10, move_a, 0);
    EXPECT_EQ(tt_slot(white, k1, 3).key, k1);
    for (int slot = 0; slot < 3; ++slot) EXPECT_EQ(tt_slot(white, k1, slot).key, 0u);

    tt_store(white, k2, 1, 0, upper, -5, 0, 0);
    const TransEntry e = tt_slot(white, k2, 3);
    EXPECT_EQ(e.key, k2);
    EXPECT_EQ(e.move, 0u);  // a new key writes the move even when it is 0
    TransHit hit;
    EXPECT_EQ(tt_probe(white, k1, 8, -100, 100, 0, hit), probe_miss);
    EXPECT_EQ(hit.move, 0u);
}

TEST_F(TransTableTest, KeyHeldInAnEarlierSlotIsUpdatedInPlace) {
    const HashKey k1 = key_in_bucket(1), k2 = key_in_bucket(2);
    TransSlot& slot1 = trans_table.buckets[black][k1 & tt_mask].slots[1];
    slot1.key = k1;
    slot1.data = pack_entry_data(move_a, 7, 2, exact - 3);
    tt_store(black, k2, 3, 0, lower, 50, move_b, 0);
    tt_store(black, k1, 6, 0, upper, -20, move_b, 1);

    const TransEntry e = tt_slot(black, k1, 1);
    EXPECT_EQ(e.move, move_b);
    EXPECT_EQ(e.depth, 6);
    EXPECT_EQ(e.score, -20);
    EXPECT_EQ(entry_bound(e), upper);
    EXPECT_EQ(e.flags & 4, 4);
    EXPECT_EQ(tt_slot(black, k2, 3).key, k2);  // the other key was left alone
}

TEST_F(TransTableTest, StoreWithoutMoveKeepsTheOldMove) {
    const HashKey k = key_in_bucket(3);
    tt_store(white, k, 5, 0, lower, 30, move_a, 0);
    tt_store(white, k, 7, 0, upper, -40, 0, 0);
    const TransEntry e = tt_slot(white, k, 3);
    EXPECT_EQ(e.move, move_a);
    EXPECT_EQ(e.depth, 7);
    EXPECT_EQ(entry_bound(e), upper);
}

TEST_F(TransTableTest, MoveOnlyStoreOfTheSameMoveChangesNothing) {
    const HashKey k = key_in_bucket(4);
    tt_store(white, k, 9, 0, exact, 123, move_a, 1);
    tt_new_search(7);
    tt_store(white, k, 0, 0, move_only, 0, move_a, 0);
    TransEntry e = tt_slot(white, k, 3);
    EXPECT_EQ(e.depth, 9);
    EXPECT_EQ(e.score, 123);
    EXPECT_EQ(e.flags, (exact - 3) | 4);  // bound, threat and age 0 untouched

    // Another move replaces the entry's meaning: depth 0, move only, new age.
    tt_store(white, k, 0, 0, move_only, 0, move_b, 0);
    e = tt_slot(white, k, 3);
    EXPECT_EQ(e.move, move_b);
    EXPECT_EQ(e.depth, 0);
    EXPECT_EQ(e.score, 0);
    EXPECT_EQ(e.flags, (move_only - 3) | 7 << 3);
    TransHit hit;
    EXPECT_EQ(tt_probe(white, k, 0, -30000, 30000, 0, hit), probe_hit);
    EXPECT_EQ(hit.move, move_b);
}

TEST_F(TransTableTest, MateScoresAreStoredRelativeToTheNode) {
    const HashKey k = key_in_bucket(5);
    TransHit hit;
    tt_store(white, k, 3, 2, exact, 19880, move_a, 0);
    EXPECT_EQ(tt_slot(white, k, 3).score, 20000);
    EXPECT_EQ(tt_probe(white, k, 8, -30000, 30000, 1, hit), exact);
    EXPECT_EQ(hit.score, 19920);

    tt_store(white, k, 3, 2, exact, -19880, move_a, 0);
    EXPECT_EQ(tt_slot(white, k, 3).score, -20000);
    tt_probe(white, k, 8, -30000, 30000, 1, hit);
    EXPECT_EQ(hit.score, -19920);

    // Ordinary scores pass unchanged, at the boundary too.
    for (int score : {3000, -3000, 0, 150}) {
        tt_store(white, k, 3, 9, exact, score, move_a, 0);
        tt_probe(white, k, 8, -30000, 30000, 4, hit);
        EXPECT_EQ(hit.score, score);
    }
    // Far from the root a lost score must not wrap round to a win.
    tt_store(white, k, 3, 69, upper, -30000, 0, 0);
    EXPECT_LT(tt_slot(white, k, 3).score, -3000);
}

TEST_F(TransTableTest, CutoffsNeedTheDepthInWholePliesRoundedUp) {
    const HashKey k = key_in_bucket(6);
    TransHit hit;
    tt_store(white, k, 3, 0, exact, 10, move_a, 0);
    EXPECT_EQ(tt_probe(white, k, 24, -50, 50, 0, hit), exact);
    EXPECT_EQ(tt_probe(white, k, 25, -50, 50, 0, hit), probe_hit);
    EXPECT_EQ(hit.move, move_a);

    tt_store(white, k, 3, 0, lower, 60, move_a, 0);
    EXPECT_EQ(tt_probe(white, k, 24, -50, 50, 0, hit), lower);
    EXPECT_EQ(tt_probe(white, k, 24, -50, 61, 0, hit), probe_hit);

    tt_store(white, k, 3, 0, upper, -60, move_a, 0);
    EXPECT_EQ(tt_probe(white, k, 24, -50, 50, 0, hit), upper);
    EXPECT_EQ(tt_probe(white, k, 24, -61, 50, 0, hit), probe_no_null);

    // A shallow upper bound below beta predicts a failing null move ...
    tt_store(white, k, 0, 0, upper, 20, 0, 1);
    EXPECT_EQ(tt_probe(white, k, 25, -50, 50, 0, hit), probe_no_null);
    EXPECT_EQ(hit.mate_threat, 1);
    // ... but not when it reaches beta, nor when it is too shallow.
    EXPECT_EQ(tt_probe(white, k, 25, -50, 20, 0, hit), probe_hit);
    EXPECT_EQ(tt_probe(white, k, 33, -50, 50, 0, hit), probe_hit);
}

TEST_F(TransTableTest, SidesToMoveHaveSeparateTables) {
    const HashKey k = key_in_bucket(7);
    tt_store(white, k, 2, 0, exact, 5, move_a, 0);
    TransHit hit;
    EXPECT_EQ(tt_probe(black, k, 8, -50, 50, 0, hit), probe_miss);
    EXPECT_EQ(tt_probe(white, k, 8, -50, 50, 0, hit), exact);
}

TEST_F(TransTableTest, HtReportsBothSidesAndRoundsUpToPowersOfTwo) {
    EXPECT_EQ(run_ht("64"), "ht 1048576 X 64 = 64MB\n");
    EXPECT_EQ(tt_mask, 524287u);
    EXPECT_EQ(run_ht("100"), "ht 2097152 X 64 = 128MB\n");
    EXPECT_EQ(tt_mask, 1048575u);
    EXPECT_EQ(run_ht("1"), "ht 16384 X 64 = 1MB\n");
}

TEST_F(TransTableTest, HtZeroEmptiesTheTableAndKeepsItsSize) {
    const HashKey k = key_in_bucket(8);
    tt_store(white, k, 2, 0, exact, 5, move_a, 0);
    EXPECT_EQ(run_ht("0"), "ht 0 X 64 = 0MB\n");
    EXPECT_EQ(tt_mask, 15u);
    TransHit hit;
    EXPECT_EQ(tt_probe(white, k, 8, -50, 50, 0, hit), probe_miss);
}

TEST_F(TransTableTest, HtRefusesBadSizesAndKeepsTheTable) {
    const HashKey k = key_in_bucket(9);
    tt_store(black, k, 2, 0, exact, 5, move_a, 0);
    for (const char* text : {"2048", "-1", "abc", "12x", "", "+5", " 5", "99999999999"}) {
        const std::string out = run_ht(text);
        EXPECT_EQ(out.rfind("Error", 0), 0u) << out;
        EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line for '" << text << "'";
    }
    EXPECT_EQ(tt_mask, 15u);
    TransHit hit;
    EXPECT_EQ(tt_probe(black, k, 8, -50, 50, 0, hit), exact);
}

TEST_F(TransTableTest, PrincipalVariationIsReinsertedAsMoveOnlyEntries) {
    SearchState& state = search_test::load_position(start_fen);
    const HashKey start_key = state.pos_key;
    Move pv[3];
    HashKey keys[3];
    const int squares[3][2] = {{sq_e1 + 16, sq_e1 + 48}, {sq_e8 - 16, sq_e8 - 48}, {sq_g1, sq_f1 + 32}};
    for (int i = 0; i < 3; ++i) {
        keys[i] = state.pos_key;
        pv[i] = search_test::find_move(state, squares[i][0], squares[i][1]);
        make_move(state, pv[i]);
    }
    for (int i = 0; i < 3; ++i) unmake_move(state);
    // After 1. e4 the table already knows ...e5 from a real search.
    tt_store(black, keys[1], 6, 1, exact, 25, pv[1], 0);
    PlyRecord& root = *state.ply_rec;
    std::copy(pv, pv + 3, root.pv);
    root.pv_length = 3;

    tt_new_search(4);
    tt_store_pv(state);
    EXPECT_EQ(state.pos_key, start_key);
    EXPECT_EQ(state.hply, 0);
    for (int i : {0, 2}) {
        const TransEntry e = tt_slot(i % 2, keys[i], 3);
        EXPECT_EQ(e.key, keys[i]);
        EXPECT_EQ(e.move, pv[i]);
        EXPECT_EQ(e.depth, 0);
        EXPECT_EQ(e.flags, (move_only - 3) | 4 << 3);
    }
    const TransEntry kept = tt_slot(black, keys[1], 3);
    EXPECT_EQ(kept.depth, 6);
    EXPECT_EQ(entry_bound(kept), exact);
    root.pv_length = 0;
}

TEST(TableSizes, PawnAndEvalTablesGetTheWholeSizePerThread) {
    auto run = [](void (*command)(const char*), const char* megabytes) {
        testing::internal::CaptureStdout();
        command(megabytes);
        return testing::internal::GetCapturedStdout();
    };
    EXPECT_EQ(run(command_pht, "4"), "pht 262144 X 16 = 4MB\n");
    EXPECT_EQ(main_pawn_table.entries.size(), 262144u);
    EXPECT_EQ(run(command_pht, "0"), "pht 0 X 16 = 0MB\n");
    EXPECT_EQ(main_pawn_table.entries.size(), 262144u);
    EXPECT_EQ(run(command_eht, "3"), "eht 262144 X 16 = 4MB\n");
    EXPECT_EQ(run(command_eht, "4096").rfind("Error", 0), 0u);
    EXPECT_EQ(main_eval_cache.entries.size(), 262144u);
    resize_pawn_table(main_pawn_table, default_pawn_entries);
    resize_eval_table(main_eval_cache, default_eval_entries);
}

TEST(TableSizes, ClearAllTablesEmptiesEveryTable) {
    tt_store(white, 77, 3, 0, exact, 1, 0, 0);
    pawn_table_entry(main_pawn_table, 77).key = 77;
    eval_cache_entry(main_eval_cache, 77).key = 77;
    clear_all_tables();
    TransHit hit;
    EXPECT_EQ(tt_probe(white, 77, 8, -1, 1, 0, hit), probe_miss);
    EXPECT_EQ(pawn_table_entry(main_pawn_table, 77).key, 0u);
    EXPECT_EQ(eval_cache_entry(main_eval_cache, 77).key, 0u);
}

}  // namespace
