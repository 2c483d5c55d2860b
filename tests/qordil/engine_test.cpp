// The engine with the real bitbase library in its run directory: it loads
// it silently, `score` shows the bitbase score, and in self-play at a fixed
// time per move it mates from won positions within the fifty-move rule and
// holds drawn ones. Positions are picked from the tables themselves. The
// long self-play run (20 won positions at one second a move) is run when
// QORDIL_SELFPLAY_ST gives the seconds per move; otherwise a short mate of
// each 3-man kind and one long bishop and knight mate are played at a fifth
// of a second.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/move_input.h"
#include "board/notation.h"
#include "e2e/engine_process.h"
#include "qordil/tables.h"
#include "qordil_helpers.h"
#include "search/game_referee.h"

namespace {

const std::string table_dir = QORDIL_DIR;

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

std::string fen_of(const qordil::Position& p) {
    char board[64] = {};
    const char letters[] = "_KQRBNPkqrbnp";
    for (int i = 0; i < p.count; ++i) board[p.square[i]] = letters[p.code[i]];
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int gap = 0;
        for (int file = 0; file < 8; ++file) {
            const char man = board[rank * 8 + file];
            if (!man) {
                ++gap;
                continue;
            }
            if (gap) fen += char('0' + gap);
            gap = 0;
            fen += man;
        }
        if (gap) fen += char('0' + gap);
        if (rank) fen += '/';
    }
    return fen + (p.side == qordil::white ? " w - - 0 1" : " b - - 0 1");
}

struct MappedTables {
    qordil::TableSet set;
    MappedTables() {
        for (int t = 0; t < qordil::table_count; ++t) set.data[t] = qordil::map_table_file(table_dir.c_str(), t);
    }
    ~MappedTables() {
        for (int t = 0; t < qordil::table_count; ++t) qordil::unmap_table_file(t, set.data[t]);
    }
    bool has(const char* name) const { return set.data[qordil::find_table(name)] != nullptr; }
};

// Positions of a table with white to move and the given result: the
// longest win first when `longest`, then random ones of `min_plies` to
// `max_plies` plies to mate.
std::vector<qordil::Position> pick_positions(const MappedTables& tables, const char* name, int count,
                                             bool want_win, bool longest, int min_plies, unsigned seed,
                                             int max_plies = qordil::max_plies) {
    const int t = qordil::find_table(name);
    const uint8_t* data = tables.set.data[t];
    const int64_t per_side = qordil::table_info(t).size / 2;
    std::vector<qordil::Position> picked;
    if (longest) {
        int best = -1;
        int64_t at = 0;
        for (int64_t i = 0; i < per_side; ++i)
            if (qordil::entry_is_win(data[i]) && data[i] > best) {
                best = data[i];
                at = i;
            }
        picked.push_back(qordil::index_position(t, at));
    }
    std::mt19937 random(seed);
    while (int(picked.size()) < count) {
        const qordil::Position p = qordil_test::random_position(t, random);
        if (p.side != qordil::white) continue;
        const int entry = qordil::lookup_entry(tables.set, p);
        const int plies = qordil::entry_plies(entry);
        const bool fits = want_win ? qordil::entry_is_win(entry) && plies >= min_plies && plies <= max_plies
                                   : entry == qordil::draw_entry;
        if (fits) picked.push_back(p);
    }
    return picked;
}

struct GameRecord {
    referee::GameEnd end = referee::GameEnd::running;
    int loser = -1;           // side mated
    int winner_moves = 0;
    int max_halfmove_clock = 0;
    std::string moves;
    bool stayed_drawn = true;  // every position reached was a bitbase draw
};

// The engine plays both sides from `fen` until the game ends or `max_plies`.
GameRecord self_play(const MappedTables& tables, const qordil::Position& start, const std::string& seconds,
                     int max_plies) {
    static SearchState shadow;
    init_attack_table();
    GameRecord record;
    const std::string fen = fen_of(start);
    set_fen(shadow, fen.c_str());
    EngineProcess engine;
    start_engine(engine);
    EXPECT_TRUE(wait_for(engine, "loading_time = "));
    const std::vector<std::string> setup = {"resign 100000", "force", "setboard " + fen, "st " + seconds};
    for (const std::string& line : setup) send_line(engine, line);
    const int first_side = start.side;
    for (int ply = 0; ply < max_plies; ++ply) {
        send_line(engine, "go");
        std::string line;
        std::string move;
        while (read_line(engine, line, 60000))
            if (line.rfind("move ", 0) == 0) {
                move = line.substr(5);
                break;
            }
        if (move.empty()) {
            ADD_FAILURE() << "no move from " << fen << " after" << record.moves;
            break;
        }
        char text[16] = {};
        move.copy(text, sizeof text - 1);
        Move m = text_to_move(text);
        if (m == 0 || !complete_user_move(shadow, m)) {
            ADD_FAILURE() << "illegal move " << move << " from " << fen << " after" << record.moves;
            break;
        }
        if (shadow.to_move == first_side) ++record.winner_moves;
        make_move(shadow, m);
        record.moves += " " + move;
        if (shadow.halfmove_clock > record.max_halfmove_clock) record.max_halfmove_clock = shadow.halfmove_clock;
        record.end = referee::game_end(shadow);
        if (record.end == referee::GameEnd::mate) record.loser = shadow.to_move;
        if (record.end != referee::GameEnd::running) break;
        // Read the position back for the library's view of it.
        qordil::Position now;
        now.side = shadow.to_move;
        now.count = 2;
        for (int sq = 0; sq < 64; ++sq) {
            const int code = shadow.board[(sq / 8) * 16 + sq % 8];
            if (code == 0) continue;
            if (code == qordil::white_king) now.square[0] = sq;
            else if (code == qordil::black_king) now.square[1] = sq;
            else if (now.count < qordil::max_men) {
                now.code[now.count] = code;
                now.square[now.count++] = sq;
            }
        }
        if (qordil::lookup_entry(tables.set, now) != qordil::draw_entry) record.stayed_drawn = false;
    }
    send_line(engine, "quit");
    wait_exit(engine);
    return record;
}

// Plays every won position and expects mate by the side to move within the
// fifty-move rule.
void expect_mates(const MappedTables& tables, const std::vector<qordil::Position>& won, const std::string& seconds) {
    for (const qordil::Position& p : won) {
        const int plies = qordil::entry_plies(qordil::lookup_entry(tables.set, p));
        const GameRecord game = self_play(tables, p, seconds, 300);
        EXPECT_EQ(game.end, referee::GameEnd::mate) << fen_of(p) << ":" << game.moves;
        EXPECT_EQ(game.loser, p.side ^ 1) << fen_of(p);
        EXPECT_LT(game.max_halfmove_clock, 100) << fen_of(p);
        std::printf("%s  mate in %d moves: mated after %d moves\n", fen_of(p).c_str(), (plies + 1) / 2,
                    game.winner_moves);
    }
}

}  // namespace

TEST(QordilEngine, StartsWithTheLibraryAndScoresFromIt) {
    EngineProcess engine;
    const std::vector<std::string> out =
        run_session(engine, {"setboard 8/8/8/4k3/8/8/8/R3K3 w - - 0 1", "score", "setboard 8/8/8/4k3/8/8/8/R3K3 b - - 0 1",
                             "score"});
    EXPECT_TRUE(contains(out, "loading_time = 0s"));
    EXPECT_FALSE(contains(out, "EgbbProbe not Loaded!"));
    std::vector<int> scores;
    for (const std::string& line : out)
        if (line.rfind("bitbase_score = ", 0) == 0) scores.push_back(std::atoi(line.c_str() + 16));
    ASSERT_EQ(scores.size(), 2u);
    EXPECT_GT(scores[0], 1000);
    EXPECT_LT(scores[1], -1000);
}

TEST(QordilEngine, MatesFromWonPositionsWithinTheFiftyMoveRule) {
    const MappedTables tables;
    const char* seconds = std::getenv("QORDIL_SELFPLAY_ST");
    const bool full = seconds != nullptr && tables.has("KQKR");
    std::vector<qordil::Position> won;
    if (full) {
        for (const char* name : {"KQK", "KRK", "KBNK", "KQKR", "KPK"})
            for (const qordil::Position& p : pick_positions(tables, name, 4, true, true, 1, 17)) won.push_back(p);
        expect_mates(tables, won, seconds);
        return;
    }
    // A short run: a mate in three to five of each 3-man kind and, where the
    // build made the 4-man tables, a bishop and knight mate of 20 moves or
    // more, at a fifth of a second a move.
    for (const char* name : {"KQK", "KRK", "KPK"})
        for (const qordil::Position& p : pick_positions(tables, name, 1, true, false, 5, 5, 9)) won.push_back(p);
    if (tables.has("KBNK"))
        for (const qordil::Position& p : pick_positions(tables, "KBNK", 1, true, false, 39, 5)) won.push_back(p);
    expect_mates(tables, won, "0.2");
}

TEST(QordilEngine, HoldsDrawnEndings) {
    const MappedTables tables;
    std::vector<qordil::Position> drawn = pick_positions(tables, "KPK", 1, false, false, 0, 23);
    if (tables.has("KRKR"))
        for (const qordil::Position& p : pick_positions(tables, "KRKR", 1, false, false, 0, 29)) drawn.push_back(p);
    for (const qordil::Position& p : drawn) {
        const GameRecord game = self_play(tables, p, "0.1", 40);
        EXPECT_TRUE(game.stayed_drawn) << fen_of(p) << ":" << game.moves;
        EXPECT_NE(game.end, referee::GameEnd::mate) << fen_of(p) << ":" << game.moves;
    }
}
