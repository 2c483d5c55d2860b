// The parallel search. The split bookkeeping is tested on worker slots that
// have no thread: the test plays each thread's part itself, in an order it
// chooses, so nested splits, a fail-high stopping the sibling copies, the
// last finisher taking over the split point and the hand-back of the root
// state happen deterministically. Real threads then search fixed depths and
// play games, which the ThreadSanitizer build runs too.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "board/board_check.h"
#include "eval/eval_cache.h"
#include "eval/pawn_table.h"
#include "protocol/game.h"
#include "search/game_referee.h"
#include "search/parallel.h"
#include "search/root.h"
#include "search/root_commands.h"
#include "search/search_node.h"
#include "search/search_helpers.h"
#include "search/table_sizes.h"
#include "search/time_control.h"

using namespace search_test_support;

namespace {

constexpr const char* middlegame_fen =
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";

// Slots 1 .. slots-1 marked idle without a thread, with tables of their own;
// everything is put back as it was at the end of the test.
struct FakeWorkers {
    PawnTable pawn[max_workers];
    EvalCache eval[max_workers];
    int slots;

    explicit FakeWorkers(int count, int idle_slots = -1) : slots(count) {
        if (idle_slots < 0) idle_slots = count - 1;
        for (int j = 1; j < slots; ++j) {
            resize_pawn_table(pawn[j], 0);
            resize_eval_table(eval[j], 0);
            workers[j].pawn_table = &pawn[j];
            workers[j].eval_cache = &eval[j];
            workers[j].status = j <= idle_slots ? worker_idle : worker_parked;
        }
        worker_count = slots;
        idle_count = idle_slots;
    }
    // Makes one more fake slot idle, as its thread would on finding no work.
    void make_idle(int slot) {
        workers[slot].status = worker_idle;
        ++idle_count;
    }
    ~FakeWorkers() {
        for (int j = 1; j < slots; ++j) {
            workers[j].status = worker_not_running;
            workers[j].state = nullptr;
            workers[j].pawn_table = nullptr;
            workers[j].eval_cache = nullptr;
        }
        for (int i = 1; i < pool_size; ++i) search_pool[i].in_use = 0;
        workers[0].status = worker_working;
        worker_count = 1;
        idle_count = 0;
    }
    FakeWorkers(const FakeWorkers&) = delete;
    FakeWorkers& operator=(const FakeWorkers&) = delete;
};

int pool_entries_in_use() {
    int used = 0;
    for (int i = 1; i < pool_size; ++i) used += search_pool[i].in_use;
    return used;
}

// The state of the searchable position after `move`, standing at a fresh
// node at ply 1 in the middle of a search run that began at ply 0, its
// first move searched: the shape of a node that is offered for splitting.
SearchState& node_after(const char* fen, const char* move) {
    SearchState& state = searchable_position(fen);
    state.base_ply = 0;
    play(state, move);
    descend(state);
    PlyRecord& node = *state.ply_rec;
    node.depth = 5 * one_ply;
    node.alpha = -100;
    node.beta = 100;
    node.node_type = pv_node;
    node.step = step_moves;
    node.gen_stage = 0;
    node.hash_move = 0;
    node.legal_moves = 1;
    node.best_score = -60;
    node.best_move = 0;
    node.bound = upper;
    node.pv_length = state.ply;
    state.worker_index = 0;
    state.split_master = nullptr;
    state.copy_count = 0;
    for (SearchState*& copy : state.copies) copy = nullptr;
    state.splits = 0;
    workers[0].state = &state;
    return state;
}

// Legal moves of the position after `move`, sorted.
std::vector<Move> legal_after(const char* fen, const char* move) {
    static SearchState state;
    set_fen(state, fen);
    play(state, move);
    std::vector<Move> moves = referee::legal_moves(state);
    std::sort(moves.begin(), moves.end());
    return moves;
}

SearchState& copy_of(const SearchState& split_point, int slot) {
    return *split_point.copies[slot];
}

}  // namespace

TEST(ParallelSplit, EveryIdleWorkerAndTheSplitterGetACopy) {
    FakeWorkers fake(3);
    SearchState& sp = node_after(middlegame_fen, "e1g1");
    ASSERT_TRUE(try_split(sp));
    EXPECT_EQ(sp.splits, 1);
    EXPECT_EQ(sp.copy_count, 3);
    EXPECT_EQ(pool_entries_in_use(), 3);
    for (int slot = 0; slot < 3; ++slot) {
        SCOPED_TRACE(slot);
        const SearchState& copy = copy_of(sp, slot);
        EXPECT_EQ(workers[slot].state.load(), &copy);
        EXPECT_EQ(workers[slot].status.load(), worker_working);
        EXPECT_EQ(copy.split_master, &sp);
        EXPECT_EQ(copy.worker_index, slot);
        EXPECT_EQ(copy.base_ply, sp.ply);
        EXPECT_EQ(copy.ply, sp.ply);
        EXPECT_EQ(copy.pos_key, sp.pos_key);
        EXPECT_EQ(copy.hply, sp.hply);
        EXPECT_EQ(copy.nodes, 0u);
        EXPECT_EQ(copy.ply_rec->best_move, Move(0));
        EXPECT_EQ(copy.ply_rec->best_score, -60);
        EXPECT_EQ(copy.eval_cache, workers[slot].eval_cache);
        EXPECT_EQ(copy.pawn_table, workers[slot].pawn_table);
        EXPECT_TRUE(board_is_ok(copy));
    }
    EXPECT_NE(copy_of(sp, 1).eval_cache, copy_of(sp, 2).eval_cache);
}

TEST(ParallelSplit, CopiesTakeEachMoveOnceAndShareTheBestScore) {
    FakeWorkers fake(3);
    SearchState& sp = node_after(middlegame_fen, "e1g1");
    ASSERT_TRUE(try_split(sp));
    SearchState* copies[3] = {&copy_of(sp, 0), &copy_of(sp, 1), &copy_of(sp, 2)};

    // Copy 1 has found a better move before it asks for its next one: the
    // split point takes its score and window; copy 2, behind, takes them
    // from the split point and forgets its own best move.
    PlyRecord& ahead = *copies[1]->ply_rec;
    ahead.best_score = 35;
    ahead.best_move = 0x1234;
    ahead.alpha = 35;
    ahead.bound = exact;

    std::vector<Move> handed;
    for (int turn = 1;; turn = (turn + 1) % 3) {
        const Move m = pick_split_move(*copies[turn]);
        if (m == 0) break;
        handed.push_back(m);
        const PlyRecord& node = *copies[turn]->ply_rec;
        EXPECT_EQ(node.current_move, m);
        EXPECT_EQ(node.moves[node.move_index - 1], m);
        EXPECT_EQ(node.legal_moves, sp.ply_rec->legal_moves);
        EXPECT_EQ(node.best_score, 35);
        EXPECT_EQ(node.alpha, 35);
    }
    EXPECT_EQ(sp.ply_rec->best_score, 35);
    EXPECT_EQ(sp.ply_rec->best_move, Move(0x1234));
    EXPECT_EQ(sp.ply_rec->bound, exact);
    EXPECT_EQ(copies[2]->ply_rec->best_move, Move(0));
    // One move was searched before the split; the copies counted on.
    EXPECT_EQ(sp.ply_rec->legal_moves, 1 + int(handed.size()));
    std::sort(handed.begin(), handed.end());
    EXPECT_EQ(handed, legal_after(middlegame_fen, "e1g1"));
}

TEST(ParallelSplit, FailHighStopsSiblingsAndTheirNestedSplits) {
    FakeWorkers fake(4, 1);
    SearchState& sp = node_after(middlegame_fen, "e1g1");
    ASSERT_TRUE(try_split(sp));
    SearchState& copy0 = copy_of(sp, 0);
    SearchState& copy1 = copy_of(sp, 1);

    // Worker 1 goes one ply deeper and splits there with two more workers,
    // which become idle only now.
    const Move m = pick_split_move(copy1);
    ASSERT_NE(m, Move(0));
    make_move(copy1, m);
    descend(copy1);
    PlyRecord& deeper = *copy1.ply_rec;
    deeper.depth = 4 * one_ply;
    deeper.gen_stage = 0;
    deeper.hash_move = 0;
    deeper.step = step_moves;
    deeper.legal_moves = 1;
    deeper.best_score = -20;
    fake.make_idle(2);
    fake.make_idle(3);
    ASSERT_TRUE(try_split(copy1));
    EXPECT_EQ(copy1.copy_count, 3);
    SearchState& nested1 = copy_of(copy1, 1);
    SearchState& nested2 = copy_of(copy1, 2);
    SearchState& nested3 = copy_of(copy1, 3);
    EXPECT_EQ(nested2.split_master, &copy1);
    EXPECT_EQ(nested2.base_ply, 2);
    EXPECT_EQ(workers[1].state.load(), &nested1);
    EXPECT_EQ(pool_entries_in_use(), 5);

    // Worker 0's copy fails high at the split ply: every copy of the split
    // point stops, and so do the copies made from them.
    stop_split_point(copy0);
    for (SearchState* stopped : {&copy0, &copy1, &nested1, &nested2, &nested3})
        EXPECT_EQ(stopped->stopped.load(), 1);
    EXPECT_EQ(sp.stopped.load(), 0);

    // The stopped copies merge in any order; the last one of each split
    // point continues it.
    nested2.nodes = 7;
    nested3.nodes = 5;
    nested1.nodes = 3;
    EXPECT_EQ(merge_copy(nested2, 2), nullptr);
    EXPECT_EQ(workers[2].state.load(), nullptr);
    EXPECT_EQ(workers[2].status.load(), worker_idle);
    EXPECT_EQ(merge_copy(nested3, 3), nullptr);
    EXPECT_EQ(merge_copy(nested1, 1), &copy1);
    EXPECT_EQ(workers[1].state.load(), &copy1);
    EXPECT_EQ(copy1.nodes, 15u);
    EXPECT_EQ(copy1.copy_count, 0);

    EXPECT_EQ(merge_copy(copy1, 1), nullptr);
    PlyRecord& refutation = *copy0.ply_rec;
    refutation.best_score = 150;
    refutation.best_move = copy0.ply_rec->current_move = 0x4321;
    refutation.bound = lower;
    copy0.nodes = 100;
    EXPECT_EQ(merge_copy(copy0, 0), &sp);
    EXPECT_EQ(sp.ply_rec->best_score, 150);
    EXPECT_EQ(sp.ply_rec->best_move, Move(0x4321));
    EXPECT_EQ(sp.ply_rec->bound, lower);
    EXPECT_EQ(sp.nodes, 115u);
    EXPECT_EQ(sp.copy_count, 0);
    EXPECT_EQ(workers[0].state.load(), &sp);
    EXPECT_EQ(pool_entries_in_use(), 0);
}

TEST(ParallelSplit, LastFinisherTakesTheSplitPointAndHandsTheRootBack) {
    FakeWorkers fake(2);
    SearchState& sp = node_after(middlegame_fen, "e1g1");
    ASSERT_TRUE(try_split(sp));
    SearchState& copy0 = copy_of(sp, 0);
    SearchState& copy1 = copy_of(sp, 1);
    ASSERT_NE(pick_split_move(copy1), Move(0));

    // Worker 0 runs out of moves first and waits.
    EXPECT_EQ(merge_copy(copy0, 0), nullptr);
    EXPECT_EQ(workers[0].state.load(), nullptr);
    EXPECT_EQ(workers[0].status.load(), worker_idle);

    // Worker 1 found the best move, with its variation and a killer.
    PlyRecord& result = *copy1.ply_rec;
    const Move best = result.current_move;
    result.best_score = 40;
    result.best_move = best;
    result.bound = exact;
    result.pv[1] = best;
    result.pv[2] = 0x0a0b;
    result.pv_length = 3;
    copy1.ply_records[4].killer1 = 0x0c0d;
    EXPECT_EQ(merge_copy(copy1, 1), &sp);
    EXPECT_EQ(sp.ply_rec->best_move, best);
    EXPECT_EQ(sp.ply_rec->pv_length, 3);
    EXPECT_EQ(sp.ply_rec->pv[2], Move(0x0a0b));
    EXPECT_EQ(sp.ply_records[4].killer1, Move(0x0c0d));
    // Worker 1 now owns the split point, with its own tables.
    EXPECT_EQ(workers[1].state.load(), &sp);
    EXPECT_EQ(sp.worker_index, 1);
    EXPECT_EQ(sp.eval_cache, workers[1].eval_cache);

    // It finishes the run of that state (no copy): the state goes back to
    // worker 0, which polls again and evaluates with its own tables.
    hand_back(sp, 1);
    EXPECT_EQ(workers[0].status.load(), worker_handed_back);
    EXPECT_EQ(workers[0].state.load(), &sp);
    EXPECT_EQ(sp.worker_index, 0);
    EXPECT_EQ(sp.eval_cache, &main_eval_cache);
    EXPECT_EQ(sp.pawn_table, &main_pawn_table);
    EXPECT_EQ(workers[1].state.load(), nullptr);
    EXPECT_EQ(workers[1].status.load(), worker_idle);
}

TEST(ParallelSplit, SplitsOnlyWithPoolRoomForTheSplitterToo) {
    // Free pool entries -> workers attached (two are idle); the splitter's
    // own entry is reserved before any worker is attached.
    const struct {
        int free_entries;
        int attached;
    } cases[] = {{0, 0}, {1, 0}, {2, 1}, {3, 2}, {9, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.free_entries);
        FakeWorkers fake(3);
        for (int i = 1 + c.free_entries; i < pool_size; ++i) search_pool[i].in_use = 1;
        SearchState& sp = node_after(middlegame_fen, "e1g1");
        EXPECT_EQ(try_split(sp), c.attached > 0);
        EXPECT_EQ(sp.copy_count, c.attached > 0 ? c.attached + 1 : 0);
        EXPECT_EQ(pool_entries_in_use(), pool_size - 1 - c.free_entries +
                                             (c.attached > 0 ? c.attached + 1 : 0));
        EXPECT_EQ(workers[0].state.load(), c.attached > 0 ? sp.copies[0] : &sp);
    }
}

TEST(ParallelSplit, NodesThatAreNeverSplit) {
    const struct {
        const char* what;
        const char* fen;
        const char* move;
        int gen_stage;
        bool stopped;
        bool at_base;
    } cases[] = {
        {"picker handing out losing captures", middlegame_fen, "e1g1", stage_done, false, false},
        {"stopped copy", middlegame_fen, "e1g1", 0, true, false},
        {"first node of the run", middlegame_fen, "e1g1", 0, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeWorkers fake(2);
        SearchState& sp = node_after(c.fen, c.move);
        sp.ply_rec->gen_stage = c.gen_stage;
        sp.stopped = c.stopped;
        if (c.at_base) sp.base_ply = sp.ply;
        EXPECT_FALSE(try_split(sp));
        EXPECT_EQ(pool_entries_in_use(), 0);
        EXPECT_EQ(workers[1].status.load(), worker_idle);
        sp.stopped = 0;
    }
}

// ------------------------------------------------------------ real threads

namespace {

// Standard output and input go to /dev/null while this is in scope: the
// searches print their lines, and the poll must not read the test's input.
struct QuietConsole {
    int saved_out = dup(1);
    int saved_in = dup(0);
    QuietConsole() {
        std::fflush(stdout);
        const int null_fd = open("/dev/null", O_RDWR);
        dup2(null_fd, 1);
        dup2(null_fd, 0);
        close(null_fd);
    }
    ~QuietConsole() {
        std::fflush(stdout);
        dup2(saved_out, 1);
        dup2(saved_in, 0);
        close(saved_out);
        close(saved_in);
    }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;
};

// A fixed iteration limit without clock, and `threads` threads, for as long
// as it is in scope.
struct FixedDepth {
    TimeControl saved_clock = time_control;
    int saved_pvstyle = pvstyle;
    int saved_engine_side = engine_side;
    FixedDepth(int depth, int threads) {
        time_control.max_depth = depth;
        time_control.fixed_time_ms = unlimited_time;
        pvstyle = 1;
        engine_side = neither_side;
        no_clock = 0;
        ponder_mode = 0;
        set_worker_count(threads);
    }
    ~FixedDepth() {
        set_worker_count(1);
        time_control = saved_clock;
        pvstyle = saved_pvstyle;
        engine_side = saved_engine_side;
    }
    FixedDepth(const FixedDepth&) = delete;
    FixedDepth& operator=(const FixedDepth&) = delete;
};

#if defined(VELKAN_SANITIZED) || !defined(NDEBUG)
constexpr int fixed_depth = 8;
#else
constexpr int fixed_depth = 11;
#endif

struct SearchOutcome {
    Move move = 0;
    int score = 0;
    uint64_t nodes = 0;
    int splits = 0;
    int bad_splits = 0;
    std::string fault;
};

SearchOutcome search_position(const char* fen) {
    SearchOutcome out;
    clear_all_tables();
    set_fen(game, fen);
    copy_search_state(main_search_state, game);
    out.move = find_best_move(main_search_state);
    const SearchState& root = main_search_state;
    out.score = root.ply_records[0].best_score;
    out.nodes = root.nodes;
    out.splits = root.splits;
    out.bad_splits = root.bad_splits;
    if (root.pos_key != game.pos_key || root.hply != game.hply || root.ply != 0)
        out.fault = "the root state is not back at the root";
    else if (!board_is_ok(main_search_state))
        out.fault = "the root state's board differs from its recomputation";
    else if (pool_entries_in_use() != 0)
        out.fault = "pool entries still in use";
    else if (workers[0].state.load() != &main_search_state ||
             workers[0].status.load() != worker_working)
        out.fault = "worker 0 does not hold the root state";
    for (int slot = 1; slot < worker_count.load() && out.fault.empty(); ++slot)
        if (workers[slot].state.load() != nullptr || workers[slot].status.load() != worker_parked)
            out.fault = "helper " + std::to_string(slot) + " not parked without a state";
    const std::vector<Move> legal = referee::legal_moves(game);
    if (out.fault.empty() && std::find(legal.begin(), legal.end(), out.move) == legal.end())
        out.fault = "no legal move returned";
    return out;
}

constexpr const char* parallel_fens[] = {
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2r2rk1/1bqnbppp/p2ppn2/1p6/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 0 13",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
};

// White mates in three with the rooks.
constexpr const char* mate_fen = "5k2/8/8/8/8/8/8/R3K2R w KQ - 0 1";

}  // namespace

class ParallelSearch : public testing::TestWithParam<int> {};

TEST_P(ParallelSearch, FixedDepthSearchesEndCleanOnEveryThread) {
    const int threads = GetParam();
    init_attack_table();
    init_psq();
    std::vector<SearchOutcome> outcomes;
    {
        const FixedDepth depth(fixed_depth, threads);
        ASSERT_EQ(worker_count.load(), threads);
        const QuietConsole quiet;
        for (const char* fen : parallel_fens) outcomes.push_back(search_position(fen));
    }
    int splits = 0;
    for (size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_TRUE(outcomes[i].fault.empty()) << parallel_fens[i] << ": " << outcomes[i].fault;
        EXPECT_GT(outcomes[i].nodes, 0u);
        splits += outcomes[i].splits;
        if (threads == 1) {
            EXPECT_EQ(outcomes[i].splits, 0);
            EXPECT_EQ(outcomes[i].bad_splits, 0);
        }
    }
    if (threads > 1) {
        EXPECT_GT(splits, 0);
    }
}

TEST_P(ParallelSearch, MateInThreeIsFoundOnEveryThread) {
    init_attack_table();
    init_psq();
    SearchOutcome outcome;
    {
        const FixedDepth depth(9, GetParam());
        const QuietConsole quiet;
        outcome = search_position(mate_fen);
    }
    EXPECT_TRUE(outcome.fault.empty()) << outcome.fault;
    EXPECT_EQ(shown_score(outcome.score), 9994);
}

INSTANTIATE_TEST_SUITE_P(OnThreads, ParallelSearch, testing::Values(1, 2, 4));

namespace {

#if defined(VELKAN_SANITIZED)
constexpr int selfplay_games = 2;
constexpr int selfplay_plies = 24;
#else
constexpr int selfplay_games = 6;
constexpr int selfplay_plies = 80;
#endif

// One game from an opening of the referee's list, both sides searched to a
// fixed depth on the current threads. Returns a fault or "".
std::string play_parallel_game(int index, std::mt19937& rng) {
    static SearchState game_state;
    clear_all_tables();
    set_fen(game_state, referee::varied_fens[index % std::size(referee::varied_fens)]);
    for (int i = 0, random = 2 + int(rng() % 4); i < random; ++i) {
        const std::vector<Move> legal = referee::legal_moves(game_state);
        if (legal.empty()) return "";
        make_move(game_state, legal[rng() % legal.size()]);
    }
    for (int ply = 0; ply < selfplay_plies; ++ply) {
        if (referee::game_end(game_state) != referee::GameEnd::running) return "";
        const HashKey key = game_state.pos_key;
        copy_search_state(main_search_state, game_state);
        const Move chosen = find_best_move(main_search_state);
        if (game_state.pos_key != key) return "the search changed the game";
        if (main_search_state.pos_key != key || main_search_state.ply != 0)
            return "the root state is not back at the root";
        if (pool_entries_in_use() != 0) return "pool entries still in use";
        if (!referee::is_legal_by_trial(game_state, chosen))
            return "illegal move " + referee::move_text(chosen);
        make_move(game_state, chosen);
        if (!board_is_ok(game_state)) return "board differs from its recomputation";
    }
    return "";
}

}  // namespace

TEST(ParallelSelfplay, GamesOnTwoAndThreeThreadsStayLegal) {
    init_attack_table();
    init_psq();
    std::mt19937 rng(20261210u);
    std::vector<std::string> faults;
    {
        const QuietConsole quiet;
        for (int threads : {2, 3}) {
            const FixedDepth depth(5, threads);
            for (int index = 0; index < selfplay_games; ++index)
                faults.push_back(play_parallel_game(index + threads, rng));
        }
    }
    for (size_t i = 0; i < faults.size(); ++i) EXPECT_EQ(faults[i], "") << "game " << i;
}

// ----------------------------------------------------------------- threads

namespace {

int launches = 0;
int refuse_from_slot = max_workers;

std::thread launch_or_refuse(void (*body)(int), int slot) {
    ++launches;
    if (slot >= refuse_from_slot)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    return std::thread(body, slot);
}

}  // namespace

TEST(ParallelWorkers, RefusedThreadKeepsTheThreadsAlreadyStarted) {
    const QuietConsole quiet;
    const auto usual_launch = launch_worker_thread;
    launch_worker_thread = launch_or_refuse;
    refuse_from_slot = 2;
    launches = 0;
    EXPECT_EQ(set_worker_count(5), 2);
    EXPECT_EQ(launches, 2);
    EXPECT_EQ(workers[1].status.load(), worker_parked);
    EXPECT_EQ(workers[2].status.load(), worker_not_running);
    EXPECT_EQ(worker_pawn_table(2), nullptr);
    EXPECT_EQ(set_worker_count(1), 1);
    EXPECT_EQ(workers[1].status.load(), worker_not_running);
    refuse_from_slot = max_workers;
    EXPECT_EQ(set_worker_count(3), 3);
    EXPECT_EQ(set_worker_count(1), 1);
    launch_worker_thread = usual_launch;
}

TEST(ParallelWorkers, EveryThreadHasTablesOfTheCurrentSize) {
    const QuietConsole quiet;
    set_worker_count(3);
    command_pht("1");
    command_eht("2");
    for (int slot = 0; slot < 3; ++slot) {
        SCOPED_TRACE(slot);
        ASSERT_NE(worker_pawn_table(slot), nullptr);
        EXPECT_EQ(worker_pawn_table(slot)->entries.size(), 65536u);
        EXPECT_EQ(worker_eval_cache(slot)->entries.size(), 131072u);
        worker_pawn_table(slot)->entries[5].key = 99;
        worker_eval_cache(slot)->entries[7].key = 99;
    }
    EXPECT_NE(worker_pawn_table(1), worker_pawn_table(2));
    EXPECT_EQ(worker_pawn_table(3), nullptr);
    // A thread started later gets the current sizes.
    set_worker_count(4);
    EXPECT_EQ(worker_eval_cache(3)->entries.size(), 131072u);
    clear_all_tables();
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(worker_pawn_table(slot)->entries[5].key, 0u);
        EXPECT_EQ(worker_eval_cache(slot)->entries[7].key, 0u);
    }
    set_worker_count(1);
    EXPECT_EQ(worker_pawn_table(1), nullptr);
    command_pht("0");
    command_eht("0");
    resize_pawn_table(main_pawn_table, default_pawn_entries);
    resize_eval_table(main_eval_cache, default_eval_entries);
}
