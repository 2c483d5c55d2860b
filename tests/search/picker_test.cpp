// The staged pickers: every legal move exactly once with hash moves and
// killers in play, stage order and scores, and the individual ordering rules.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <string>
#include <vector>

#include "board/exchange.h"
#include "search/picker.h"
#include "search/search_fixture.h"

using namespace search_test;

namespace {

#ifdef VELKAN_SANITIZED
constexpr int walk_depth = 2;
#else
constexpr int walk_depth = 3;
#endif

// Deterministic choices for the seeded walk.
struct Rng {
    uint64_t s;
    uint64_t next() {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return s >> 33;
    }
};

// gen_stage while a batch is handed out: the stage counter already points
// past the stage that filled it.
constexpr int hash_batch = stage_hash + 1;
constexpr int good_capture_batch = stage_good_captures + 1;
constexpr int killer_batch = stage_killers + 1;
constexpr int quiet_batch = stage_quiets + 1;
constexpr int losing_batch = stage_losing + 1;
constexpr int evasion_batch = stage_done;

struct HandOut {
    Move move;
    int stage;     // gen_stage when the move was handed out
    int score;     // its ordering score
    int exchange;  // its exchange value
};

std::vector<std::string> epd_positions() {
    std::vector<std::string> fens;
    std::ifstream in(VELKAN_TEST_DATA "/perft-public.epd");
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') fens.push_back(line.substr(0, line.find(" ;")));
    return fens;
}

bool is_one_of(Move m, std::initializer_list<Move> moves) {
    return m != 0 && std::find(moves.begin(), moves.end(), m) != moves.end();
}

// Hands out the whole node and records what came in which stage.
std::vector<HandOut> drain(SearchState& state) {
    PlyRecord& r = *state.ply_rec;
    r.gen_stage = 0;
    std::vector<HandOut> out;
    while (const Move m = next_move(state))
        out.push_back({m, r.gen_stage, r.scores[r.move_index - 1], static_exchange(state, m)});
    return out;
}

std::vector<Move> moves_of(const std::vector<HandOut>& out) {
    std::vector<Move> moves;
    for (const HandOut& h : out) moves.push_back(h.move);
    return moves;
}

// The stage rules for a node not in check: the hash move, captures that keep
// material best first, killers, quiet moves by history, losing captures.
void check_stage_order(const std::vector<HandOut>& out, const PlyRecord& r,
                       std::initializer_list<Move> killers) {
    int previous_stage = 0;
    int previous_score = INT_MAX;
    for (const HandOut& h : out) {
        ASSERT_GE(h.stage, previous_stage);
        if (h.stage != previous_stage) previous_score = INT_MAX;
        previous_stage = h.stage;
        const bool tactical = is_capture(h.move) || is_promotion(h.move);
        switch (h.stage) {
        case hash_batch:
            EXPECT_EQ(h.move, r.hash_move);
            break;
        case good_capture_batch:
            EXPECT_TRUE(tactical && h.exchange >= 0) << std::hex << h.move;
            EXPECT_NE(h.move, r.hash_move);
            EXPECT_EQ(h.score, h.exchange);
            break;
        case killer_batch:
            EXPECT_TRUE(is_one_of(h.move, killers)) << std::hex << h.move;
            break;
        case quiet_batch:
            EXPECT_FALSE(is_capture(h.move));
            EXPECT_FALSE(is_one_of(h.move, killers) || h.move == r.hash_move);
            break;
        case losing_batch:
            EXPECT_TRUE(tactical && h.exchange < 0) << std::hex << h.move;
            break;
        default:
            ADD_FAILURE() << "stage " << h.stage;
        }
        if (h.stage != killer_batch) {
            EXPECT_LE(h.score, previous_score);
        }
        previous_score = h.score;
    }
}

// In check: one batch, best score first, losing capture evasions last.
void check_evasion_order(const std::vector<HandOut>& out) {
    bool losing_seen = false;
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].stage, evasion_batch);
        if (i > 0) {
            EXPECT_LE(out[i].score, out[i - 1].score);
        }
        // (A losing capture as hash move comes first, with the hash score.)
        if (is_capture(out[i].move) && out[i].exchange < 0 && out[i].score < 0) losing_seen = true;
        else if (!is_capture(out[i].move) && !is_promotion(out[i].move) && out[i].score < 0) {
            EXPECT_FALSE(losing_seen) << "quiet evasion after a losing capture";
        }
    }
}

// Hash moves from the pseudo-legal moves (so sometimes illegal ones), killers
// from this position's quiet moves or from nowhere.
void seed_ordering(SearchState& state, const std::vector<Move>& pseudo, Rng& rng) {
    PlyRecord& r = *state.ply_rec;
    std::vector<Move> quiet;
    for (Move m : pseudo)
        if (!is_capture(m) && !is_promotion(m)) quiet.push_back(m);
    const Move foreign = make_move_word(sq_a1, sq_a1 + 33, code_of(knight, state.to_move));
    auto killer = [&]() -> Move {
        const uint64_t pick = rng.next() % 4;
        if (pick == 0 || quiet.empty()) return 0;
        if (pick == 1) return foreign;
        return quiet[rng.next() % quiet.size()];
    };
    r.hash_move = 0;
    if (!pseudo.empty() && rng.next() % 4 != 0) {
        const Move m = pseudo[rng.next() % pseudo.size()];
        if (is_move_valid(state, m)) r.hash_move = m;
    }
    r.killer1 = killer();
    r.killer2 = killer();
    if (r.killer2 == r.killer1) r.killer2 = 0;
    // Some history so that the quiet batch is really sorted.
    for (Move m : quiet)
        if (rng.next() % 3 == 0)
            history_table[state.to_move][sq64(move_to(m))][sq64(move_from(m))] = int(rng.next() % 50);
}

void walk(SearchState& state, int depth, Rng& rng) {
    const std::vector<Move> pseudo = pseudo_legal_moves(state);
    const std::vector<Move> legal = legal_moves(state);
    seed_ordering(state, pseudo, rng);
    PlyRecord& r = *state.ply_rec;
    const bool checked = side_in_check(state);
    const Move up1 = state.ply > 1 ? state.ply_rec[-2].killer1 : 0;
    const Move up2 = state.ply > 1 ? state.ply_rec[-2].killer2 : 0;

    r.gen_stage = 0;
    std::vector<HandOut> out;
    while (const Move m = next_move(state)) {
        out.push_back({m, r.gen_stage, r.scores[r.move_index - 1], static_exchange(state, m)});
        if (depth > 1) {
            make_move(state, m);
            ++state.ply;
            ++state.ply_rec;
            walk(state, depth - 1, rng);
            --state.ply;
            --state.ply_rec;
            unmake_move(state);
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
    std::vector<Move> handed = moves_of(out);
    std::sort(handed.begin(), handed.end());
    ASSERT_EQ(handed, legal) << "in check: " << checked << ", hash " << std::hex << r.hash_move;
    const bool hash_legal = std::binary_search(legal.begin(), legal.end(), r.hash_move);
    if (hash_legal) {
        EXPECT_EQ(out.front().move, r.hash_move);
    }
    if (checked) {
        check_evasion_order(out);
    } else {
        check_stage_order(out, r, {r.killer1, r.killer2, up1, up2});
    }
    ASSERT_FALSE(::testing::Test::HasFailure());
}

class PickerTest : public ::testing::Test {
protected:
    void SetUp() override { state_ = &load_position(start_fen); clear_ordering(*state_); }
    void TearDown() override {
        state_->ply = 0;
        state_->ply_rec = state_->ply_records;
        clear_ordering(*state_);
    }
    SearchState& load(const char* fen) {
        state_ = &load_position(fen);
        return *state_;
    }
    SearchState* state_ = nullptr;
};

TEST_F(PickerTest, HandsOutEveryLegalMoveOnceWithHashMovesAndKillersSeeded) {
    const char* checks[] = {
        "3k4/8/8/p7/1b6/3N4/2P5/RQ2K2R w K - 0 1",
        "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
        "4k3/8/8/8/8/8/3q4/R3K2R w KQ - 0 1",
    };
    std::vector<std::string> fens = epd_positions();
    ASSERT_GT(fens.size(), 20u);
    fens.insert(fens.end(), std::begin(checks), std::end(checks));
    Rng rng{12345};
    for (const std::string& fen : fens) {
        SCOPED_TRACE(fen);
        SearchState& state = load(fen.c_str());
        walk(state, walk_depth, rng);
        if (HasFailure()) return;
        EXPECT_EQ(state.ply, 0);
    }
}

TEST_F(PickerTest, EqualScoresKeepGenerationOrder) {
    SearchState& state = load(start_fen);
    const std::vector<Move> generated = pseudo_legal_moves(state);
    EXPECT_EQ(moves_of(drain(state)), generated);
}

TEST_F(PickerTest, HashCaptureIsPlayedOnce) {
    // exd5 keeps a pawn; Qxd5 loses the queen for it.
    SearchState& state = load("4k3/8/2p5/3p4/4P3/8/8/3QK3 w - - 0 1");
    const Move pawn_takes = find_move(state, sq_e1 + 16 * 3, sq_d8 - 16 * 3);
    const Move queen_takes = find_move(state, sq_d1, sq_d8 - 16 * 3);
    ASSERT_GE(static_exchange(state, pawn_takes), 0);
    ASSERT_LT(static_exchange(state, queen_takes), 0);
    const size_t legal = legal_moves(state).size();

    for (const Move hash : {pawn_takes, queen_takes}) {
        state.ply_rec->hash_move = hash;
        const std::vector<HandOut> out = drain(state);
        ASSERT_EQ(out.size(), legal);
        EXPECT_EQ(out.front().move, hash);
        const std::vector<Move> moves = moves_of(out);
        EXPECT_EQ(std::count(moves.begin(), moves.end(), hash), 1);
        const Move other = hash == pawn_takes ? queen_takes : pawn_takes;
        const auto where = std::find_if(out.begin(), out.end(), [&](const HandOut& h) { return h.move == other; });
        ASSERT_NE(where, out.end());
        EXPECT_EQ(where->stage, other == queen_takes ? losing_batch : good_capture_batch);
        // The losing capture was parked in either case; as hash move it
        // carries skip_score there and ends the batch unplayed.
        EXPECT_GE(state.ply_rec->bad_capture_start, 0);
    }
}

TEST_F(PickerTest, KillersAreValidatedAndNotRepeated) {
    SearchState& state = load(start_fen);
    PlyRecord& r = *state.ply_rec;
    const Move e4 = find_move(state, sq_e1 + 16, sq_e1 + 48);
    const Move nc3 = find_move(state, sq_b1, sq_c1 + 32);
    const Move nf3_g5 = make_move_word(sq_f1 + 32, sq_g1 + 64, white_knight);  // no knight on f3

    r.hash_move = e4;
    r.killer1 = e4;
    r.killer2 = nc3;
    std::vector<HandOut> out = drain(state);
    ASSERT_EQ(out.size(), 20u);
    EXPECT_EQ(out[0].move, e4);
    EXPECT_EQ(out[1].move, nc3);
    EXPECT_EQ(out[1].stage, killer_batch);
    EXPECT_EQ(out[2].stage, quiet_batch);

    r.hash_move = 0;
    r.killer1 = nf3_g5;
    r.killer2 = nc3;
    out = drain(state);
    ASSERT_EQ(out.size(), 20u);
    EXPECT_EQ(out[0].move, nc3);
    EXPECT_EQ(out[0].stage, killer_batch);
    EXPECT_EQ(out[1].stage, quiet_batch);
}

TEST_F(PickerTest, KillersOfTwoPliesUpCountFromPlyTwoOnly) {
    SearchState& state = load(start_fen);
    const Move nf3 = find_move(state, sq_g1, sq_f1 + 32);
    state.ply_records[0].killer1 = nf3;
    for (int ply = 1; ply <= 2; ++ply) {
        state.ply = ply;
        state.ply_rec = state.ply_records + ply;
        const std::vector<HandOut> out = drain(state);
        ASSERT_EQ(out.size(), 20u);
        const auto where = std::find_if(out.begin(), out.end(), [&](const HandOut& h) { return h.move == nf3; });
        ASSERT_NE(where, out.end());
        // At ply 1 the record two plies up is not part of the search: Nf3 is
        // an ordinary quiet move there.
        EXPECT_EQ(where->stage, ply == 2 ? killer_batch : quiet_batch) << "ply " << ply;
    }
}

TEST_F(PickerTest, InCheckEveryEvasionComesInOneBatch) {
    SearchState& state = load("3k4/8/8/p7/1b6/3N4/2P5/RQ2K2R w K - 0 1");
    PlyRecord& r = *state.ply_rec;
    const Move c3 = find_move(state, sq_c1 + 16, sq_c1 + 32);
    const Move knight_takes = find_move(state, sq_d1 + 32, sq_b1 + 48);
    const Move queen_takes = find_move(state, sq_b1, sq_b1 + 48);
    ASSERT_EQ(static_exchange(state, knight_takes), 100);  // the queen wins the pawn back
    const size_t legal = legal_moves(state).size();
    r.killer1 = c3;
    r.gen_stage = 0;
    ASSERT_EQ(next_move(state), knight_takes);
    EXPECT_EQ(r.gen_stage, evasion_batch);
    EXPECT_EQ(size_t(r.move_count), legal);
    // The killer ranks below a capture that wins, above the quiet evasions.
    EXPECT_EQ(next_move(state), c3);
    const std::vector<HandOut> out = drain(state);
    EXPECT_EQ(out.back().move, queen_takes);
    check_evasion_order(out);
}

TEST_F(PickerTest, QuiescenceSkipsLosingCapturesOutOfCheck) {
    SearchState& state = load("4k3/8/2p5/3p4/4P3/8/8/3QK3 w - - 0 1");
    PlyRecord& r = *state.ply_rec;
    const Move pawn_takes = find_move(state, sq_e1 + 48, sq_d1 + 64);
    for (const int budget : {0, 8}) {
        r.qcheck_budget = budget;
        r.gen_stage = 0;
        std::vector<Move> out;
        while (const Move m = next_qmove(state)) {
            EXPECT_GE(static_exchange(state, m), 0) << std::hex << m;
            out.push_back(m);
        }
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out.front(), pawn_takes);
        for (size_t i = 1; i < out.size(); ++i) {
            int check_sq = 0;
            EXPECT_FALSE(is_capture(out[i]));
            EXPECT_NE(gives_check(state, out[i], check_sq), 0);
        }
        EXPECT_EQ(out.size() > 1, budget > 0) << "quiet checks with budget " << budget;
    }
}

TEST_F(PickerTest, QuiescenceInCheckHandsOutEveryEvasion) {
    SearchState& state = load("3k4/8/8/p7/1b6/3N4/2P5/RQ2K2R w K - 0 1");
    PlyRecord& r = *state.ply_rec;
    r.gen_stage = 0;
    r.qcheck_budget = 8;
    std::vector<Move> out;
    while (const Move m = next_qmove(state)) out.push_back(m);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), find_move(state, sq_b1, sq_b1 + 48));  // the losing capture last
    std::sort(out.begin(), out.end());
    EXPECT_EQ(out, legal_moves(state));
}

TEST_F(PickerTest, FailHighsFeedHistoryAndKillers) {
    SearchState& state = load(start_fen);
    PlyRecord& r = *state.ply_rec;
    const Move nf3 = find_move(state, sq_g1, sq_f1 + 32);
    const Move e4 = find_move(state, sq_e1 + 16, sq_e1 + 48);
    const Move capture = make_move_word(sq_e1 + 48, sq_d1 + 64, white_pawn, black_pawn);

    update_history_and_killers(state, nf3, 9);   // two plies
    update_history_and_killers(state, nf3, 17);  // three plies
    EXPECT_EQ(history_score(white, nf3), 4 + 9);
    EXPECT_EQ(r.killer1, nf3);
    EXPECT_EQ(r.killer2, 0u);

    update_history_and_killers(state, e4, 8);
    update_history_and_killers(state, e4, 8);  // already killer1: no shift
    EXPECT_EQ(r.killer1, e4);
    EXPECT_EQ(r.killer2, nf3);
    update_history_and_killers(state, capture, 40);
    EXPECT_EQ(r.killer1, e4);
    EXPECT_EQ(history_score(white, capture), 0);

    state.ply_records[69].best_move = state.ply_records[69].hash_move = nf3;
    clear_ordering(state);
    EXPECT_EQ(history_score(white, nf3), 0);
    EXPECT_EQ(r.killer1, 0u);
    EXPECT_EQ(r.killer2, 0u);
    EXPECT_EQ(state.ply_records[69].best_move, 0u);
    EXPECT_EQ(state.ply_records[69].hash_move, 0u);
}

}  // namespace
