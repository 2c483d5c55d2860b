// Randomised self-play: the engine plays both sides of many short games at a
// small fixed depth, each game opened by a few random moves from a fixed
// seed. Every move the search returns is checked against the referee's
// legal moves, the game is checked to be untouched by the search, and the
// board's incremental state is checked against a recomputation after every
// move. A fault is reported with the starting FEN and the moves leading to it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "board/board_check.h"
#include "eval/psq.h"
#include "protocol/game.h"
#include "search/game_referee.h"
#include "search/root.h"
#include "search/search.h"
#include "search/time_control.h"
#include "search/trans_table.h"

using referee::GameEnd;

namespace {

constexpr int opening_count = int(std::size(referee::varied_fens));

// Game counts sized so that the Release run stays well under half a minute
// on a busy two-core machine; the slower builds play a sample.
// Release plays several batches, each its own test so that they run side by
// side; each batch draws its openings from its own seed.
#if defined(VELKAN_SANITIZED)
constexpr int game_count = 16;
constexpr int batch_count = 1;
#elif !defined(NDEBUG)
constexpr int game_count = 24;
constexpr int batch_count = 1;
#else
constexpr int game_count = 120;
constexpr int batch_count = 3;
#endif
constexpr int search_depth = 3;
// Each game opens with between min and max random plies.
constexpr int min_random_plies = 1;
constexpr int max_random_plies = 8;
// Engine plies per game before it is called off; far below the history size
// so that the searches never run out of history records.
constexpr int engine_ply_cap = 160;
constexpr unsigned rng_seed = 20240611u;

// Standard output and input go to /dev/null while this is in scope: the
// search prints a time line and statistics for every move, and its poll
// reads standard input, which must not feed it commands.
struct QuietConsole {
    int saved_out;
    int saved_in;

    QuietConsole() {
        std::fflush(stdout);
        saved_out = dup(1);
        saved_in = dup(0);
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

// The globals a search reads, set as `sd` sets them and put back afterwards.
struct FixedDepthSettings {
    TimeControl saved_clock = time_control;
    int saved_pvstyle = pvstyle;
    int saved_engine_side = engine_side;

    FixedDepthSettings() {
        time_control.max_depth = search_depth;
        time_control.fixed_time_ms = unlimited_time;
        pvstyle = 1;
        engine_side = neither_side;
        no_clock = 0;
        ponder_mode = 0;
    }
    ~FixedDepthSettings() {
        time_control = saved_clock;
        pvstyle = saved_pvstyle;
        engine_side = saved_engine_side;
    }
    FixedDepthSettings(const FixedDepthSettings&) = delete;
    FixedDepthSettings& operator=(const FixedDepthSettings&) = delete;
};

struct GameRecord {
    std::string fen;
    std::vector<std::string> moves;  // coordinate text, random opening included
    int engine_plies = 0;
    GameEnd end = GameEnd::running;
    std::string fault;               // empty when the game was clean
};

std::string describe(const GameRecord& record) {
    std::string text = record.fault + "\n  from " + record.fen + "\n  moves";
    for (const std::string& m : record.moves) text += " " + m;
    return text;
}

// Plays m on the game and checks what make_move maintains incrementally.
// Returns a fault description or "".
std::string play_checked(SearchState& game_state, Move m, GameRecord& record) {
    make_move(game_state, m);
    record.moves.push_back(referee::move_text(m));
    if (!board_is_ok(game_state)) return "board state differs from its recomputation";
    const bool check_recorded = game_state.hist_stack[game_state.hply - 1].check_kind != 0;
    if (check_recorded != side_in_check(game_state)) return "recorded check status is wrong";
    return "";
}

// Checks the move the search chose against the referee's legal moves.
std::string judge(SearchState& game_state, Move chosen) {
    const std::vector<Move> generated = referee::generated_moves(game_state);
    int matches = 0;
    for (Move m : generated) matches += m == chosen;
    if (chosen == 0) return "search returned no move in a running game";
    if (matches != 1) return "move " + referee::move_text(chosen) + " matches " +
                             std::to_string(matches) + " generated moves";
    if (!referee::is_legal_by_trial(game_state, chosen))
        return "illegal move " + referee::move_text(chosen);
    return "";
}

void play_game(SearchState& game_state, SearchState& searcher, std::mt19937& rng, int index,
               GameRecord& record) {
    record.fen = referee::varied_fens[index % opening_count];
    clear_all_tables();
    set_fen(game_state, record.fen.c_str());
    const int random_plies = min_random_plies + int(rng() % (max_random_plies - min_random_plies + 1));
    for (int i = 0; i < random_plies; ++i) {
        const std::vector<Move> legal = referee::legal_moves(game_state);
        if (legal.empty()) break;
        record.fault = play_checked(game_state, legal[rng() % legal.size()], record);
        if (!record.fault.empty()) return;
    }
    while ((record.end = referee::game_end(game_state)) == GameEnd::running &&
           record.engine_plies < engine_ply_cap) {
        const HashKey key_before = game_state.pos_key;
        const int hply_before = game_state.hply;
        copy_search_state(searcher, game_state);
        const Move chosen = find_best_move(searcher);
        if (game_state.pos_key != key_before || game_state.hply != hply_before) {
            record.fault = "the search changed the game position";
            return;
        }
        record.fault = judge(game_state, chosen);
        if (record.fault.empty()) record.fault = play_checked(game_state, chosen, record);
        if (!record.fault.empty()) return;
        ++record.engine_plies;
    }
}

}  // namespace

class SelfPlay : public testing::TestWithParam<int> {};

TEST_P(SelfPlay, EngineMovesAreLegalAndKeepTheBoardConsistent) {
    static SearchState game_state;
    static SearchState searcher;
    init_attack_table();
    init_psq();

    std::vector<GameRecord> records(game_count);
    {
        const FixedDepthSettings settings;
        const QuietConsole quiet;
        std::mt19937 rng(rng_seed + unsigned(GetParam()));
        for (int i = 0; i < game_count; ++i) play_game(game_state, searcher, rng, i, records[i]);
    }

    int engine_plies = 0;
    int ended[6] = {};
    for (const GameRecord& record : records) {
        EXPECT_TRUE(record.fault.empty()) << describe(record);
        engine_plies += record.engine_plies;
        ++ended[int(record.end)];
    }
    // Some games must end on the board, not at the cap: a loop that never
    // finishes a game checks far less than it seems to.
    EXPECT_GT(ended[int(GameEnd::mate)] + ended[int(GameEnd::repetition)], 0);
    std::printf("%d games, %d engine moves: %d mates, %d stalemates, %d repetitions, "
                "%d fifty-move, %d no material, %d called off\n",
                game_count, engine_plies, ended[int(GameEnd::mate)], ended[int(GameEnd::stalemate)],
                ended[int(GameEnd::repetition)], ended[int(GameEnd::fifty_moves)],
                ended[int(GameEnd::no_material)], ended[int(GameEnd::running)]);
}

INSTANTIATE_TEST_SUITE_P(Batches, SelfPlay, testing::Range(0, batch_count));
