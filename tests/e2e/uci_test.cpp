// The UCI dialogue over pipes: the handshake, positions with special moves,
// the search limits, stop, ponderhit, isready while searching, bad input.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "e2e/engine_process.h"

namespace {

using Lines = std::vector<std::string>;

// Starts the engine, opens UCI and reads to uciok; the handshake lines.
Lines start_uci(EngineProcess& engine) {
    start_engine(engine);
    send_line(engine, "uci");
    Lines lines;
    if (!wait_for(engine, "uciok", &lines)) return {};
    return lines;
}

// Reads to the bestmove line and returns it ("" on timeout); the lines
// before it go to `before` when given.
std::string best_move_line(EngineProcess& engine, Lines* before = nullptr,
                           int timeout_ms = default_timeout_ms) {
    Lines lines;
    std::string line;
    while (read_line(engine, line, timeout_ms)) {
        if (line.rfind("bestmove ", 0) == 0) {
            if (before) *before = lines;
            return line;
        }
        lines.push_back(line);
    }
    return "";
}

// Whether a line comes within timeout_ms (any line but info lines counts).
bool answer_within(EngineProcess& engine, int timeout_ms, std::string& line) {
    while (read_line(engine, line, timeout_ms))
        if (line.rfind("info ", 0) != 0) return true;
    return false;
}

bool is_number(const std::string& word) {
    const size_t start = !word.empty() && word[0] == '-' ? 1 : 0;
    return word.size() > start && word.find_first_not_of("0123456789", start) == std::string::npos;
}

bool is_move(const std::string& word) {
    return (word.size() == 4 || (word.size() == 5 && std::string("qrbn").find(word[4]) != std::string::npos)) &&
           word[0] >= 'a' && word[0] <= 'h' && word[1] >= '1' && word[1] <= '8' && word[2] >= 'a' &&
           word[2] <= 'h' && word[3] >= '1' && word[3] <= '8';
}

// "info depth D seldepth S score cp|mate X [lowerbound|upperbound] nodes N
// nps N time T hashfull H pv M...", each field in its place.
bool is_thinking_line(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    size_t i = 0;
    const auto field = [&](const char* name) {
        const bool ok = i + 1 < w.size() && w[i] == name && is_number(w[i + 1]);
        i += 2;
        return ok;
    };
    if (w.empty() || w[i++] != "info" || !field("depth") || !field("seldepth")) return false;
    if (i + 2 >= w.size() || w[i] != "score" || (w[i + 1] != "cp" && w[i + 1] != "mate") || !is_number(w[i + 2]))
        return false;
    i += 3;
    if (i < w.size() && (w[i] == "lowerbound" || w[i] == "upperbound")) ++i;
    if (!field("nodes") || !field("nps") || !field("time") || !field("hashfull")) return false;
    if (i >= w.size() || w[i++] != "pv" || i == w.size()) return false;
    for (; i < w.size(); ++i)
        if (!is_move(w[i])) return false;
    return true;
}

}  // namespace

TEST(Uci, HandshakeNamesTheEngineAndItsOptions) {
    EngineProcess engine;
    start_engine(engine);
    send_line(engine, "uci");
    Lines lines;
    ASSERT_TRUE(wait_for(engine, "uciok", &lines));
    // The start-up lines come first, as they are: the mode is not known yet.
    Lines expected = startup_lines;
    for (const char* line : {"id name Velkan 1.0", "id author the Velkan developers",
                             "option name Hash type spin default 64 min 1 max 2047",
                             "option name Threads type spin default 1 min 1 max 8",
                             "option name Ponder type check default false",
                             "option name OwnBook type check default false",
                             "option name Personality type combo default velkan.ini var velkan.ini "
                             "var default var endgame var middlegame var opening",
                             "option name EGBB Path type string default ./egbb/",
                             "option name EGBB Load Type type spin default 1 min 0 max 3"})
        expected.push_back(line);
    EXPECT_EQ(lines, expected);
    send_line(engine, "isready");
    send_line(engine, "quit");
    EXPECT_EQ(read_all_lines(engine), Lines{"readyok"});
    EXPECT_EQ(wait_exit(engine), 0);
}

TEST(Uci, OptionsAndBadInputAnswerOnInfoStringLines) {
    const struct {
        std::string input;
        Lines expected;
    } cases[] = {
        {"setoption name Hash value 32", {"info string ht 524288 X 64 = 32MB"}},
        {"setoption name Threads value 2", {"info string + Thread 1 started.", "info string processors [2]"}},
        {"setoption name Personality value default", {}},
        {"setoption name Personality value nosuch", {"info string unknown personality: nosuch"}},
        {"setoption name Colour value red", {"info string unknown option: Colour"}},
        {"xyzzy", {"info string unknown command: xyzzy"}},
        {"joho isready", {"info string unknown command: joho", "readyok"}},
        {"position startpos moves e2e4 e2e4 e7e5",
         {"info string illegal move in position: e2e4 (it and the 1 after it are ignored)"}},
        {"position fen 8/8/8/8 w", {"info string illegal position: 8/8/8/8 w (ignored)"}},
        {"stop", {}},
        {"ponderhit", {}},
    };
    for (const auto& c : cases) {
        EngineProcess engine;
        ASSERT_FALSE(start_uci(engine).empty());
        send_line(engine, c.input);
        send_line(engine, "quit");
        EXPECT_EQ(read_all_lines(engine), c.expected) << c.input;
        EXPECT_EQ(wait_exit(engine), 0) << c.input;
    }
}

TEST(Uci, PositionMovesIncludeCastlingEnPassantAndPromotion) {
    // Each position ends with a move only the right board allows, which
    // searchmoves then makes the only candidate.
    const struct {
        std::string position;
        std::string proof;
    } cases[] = {
        {"startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1 f8c5", "g1h1"},
        {"startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1 f8c5 f1e1 e8g8 d2d3", "g8h8"},
        {"startpos moves e2e4 a7a6 e4e5 d7d5", "e5d6"},
        {"startpos moves e2e4 a7a6 e4e5 d7d5 e5d6 a6a5", "d6c7"},
        {"fen 8/P6k/8/8/8/8/8/K7 w - - 0 1 moves a7a8q h7g6", "a8h8"},
        {"fen 8/P6k/8/8/8/8/8/K7 w - - 0 1 moves a7a8N h7g6", "a8c7"},
        {"fen 4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1 moves e1c1 e8f7", "d1d7"},
    };
    EngineProcess engine;
    ASSERT_FALSE(start_uci(engine).empty());
    for (const auto& c : cases) {
        send_line(engine, "position " + c.position);
        send_line(engine, "go depth 2 searchmoves " + c.proof);
        Lines before;
        EXPECT_EQ(best_move_line(engine, &before), "bestmove " + c.proof) << c.position;
        for (const std::string& line : before)
            EXPECT_EQ(line.find("legal"), std::string::npos) << c.position << ": " << line;
    }
    send_line(engine, "quit");
    EXPECT_EQ(wait_exit(engine), 0);
}

TEST(Uci, LimitedSearchesEndOnTheirOwnWithInfoLines) {
    const struct {
        std::string go;
        int max_depth;
    } cases[] = {
        {"go depth 4", 4},
        {"go movetime 300", 99},
        {"go nodes 20000", 99},
        {"go wtime 2000 btime 2000 winc 10 binc 10", 99},
        {"go wtime 1500 btime 1500 movestogo 1", 99},
        {"go", 99},
    };
    for (const auto& c : cases) {
        EngineProcess engine;
        ASSERT_FALSE(start_uci(engine).empty());
        send_line(engine, "position startpos moves d2d4 g8f6");
        send_line(engine, c.go);
        Lines before;
        const std::string best = best_move_line(engine, &before);
        EXPECT_EQ(best.rfind("bestmove ", 0), 0u) << c.go;
        int thinking = 0;
        for (const std::string& line : before) {
            if (line.rfind("info string", 0) == 0 || line.find(" pv ") == std::string::npos) continue;
            ++thinking;
            EXPECT_TRUE(is_thinking_line(line)) << c.go << ": " << line;
            EXPECT_LE(std::stoi(line.substr(11)), c.max_depth) << c.go << ": " << line;
        }
        EXPECT_GT(thinking, 0) << c.go;
        send_line(engine, "quit");
        EXPECT_EQ(wait_exit(engine), 0) << c.go;
    }
}

TEST(Uci, APositionThatContinuesTheGameKeepsItsClockRules) {
    // The plan of a position just set up is doubled; one that continues the
    // game (or takes back its last moves, as after a ponder miss) is not.
    const struct {
        std::string command;
        std::string plan;
    } cases[] = {
        {"position startpos moves e2e4 e7e5", "[st = 0.20s, mt = 1.00s , hply = 2 , moves_left 40]"},
        {"position startpos moves e2e4 e7e5 g1f3 b8c6", "[st = 0.10s, mt = 1.00s , hply = 4 , moves_left 40]"},
        {"position startpos moves e2e4 e7e5 d2d4 d7d5", "[st = 0.10s, mt = 1.00s , hply = 4 , moves_left 40]"},
        {"ucinewgame", ""},
        {"position startpos moves e2e4 e7e5", "[st = 0.20s, mt = 1.00s , hply = 2 , moves_left 40]"},
        {"position fen r3k3/pp6/8/8/8/8/PP6/R3K3 w - - 0 30", "[st = 0.20s, mt = 1.00s , hply = 58 , moves_left 40]"},
    };
    EngineProcess engine;
    ASSERT_FALSE(start_uci(engine).empty());
    for (const auto& c : cases) {
        send_line(engine, c.command);
        if (c.plan.empty()) continue;
        send_line(engine, "go wtime 5000 btime 5000");
        Lines before;
        EXPECT_EQ(best_move_line(engine, &before).rfind("bestmove ", 0), 0u) << c.command;
        ASSERT_FALSE(before.empty()) << c.command;
        EXPECT_EQ(before[0], "info string " + c.plan) << c.command;
    }
    send_line(engine, "go wtime 5000 btime 5000 movestogo 10");
    Lines before;
    EXPECT_EQ(best_move_line(engine, &before).rfind("bestmove ", 0), 0u);
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(before[0], "info string [st = 0.38s, mt = 2.00s , hply = 58 , moves_left 10]");
    send_line(engine, "quit");
    EXPECT_EQ(wait_exit(engine), 0);
}

TEST(Uci, InfiniteAndPonderWaitForStopWhileIsreadyIsAnswered) {
    const struct {
        std::string position;
        std::string go;
        std::string release;
    } cases[] = {
        {"startpos", "go infinite", "stop"},
        {"startpos moves e2e4", "go ponder wtime 3000 btime 3000", "stop"},
        {"startpos moves e2e4", "go ponder wtime 3000 btime 3000", "ponderhit"},
        // A single legal reply ends the search at once: the answer still waits.
        {"fen 7k/8/8/8/8/8/6q1/K7 w - - 0 1", "go infinite", "stop"},
        {"fen 7k/8/8/8/8/8/6q1/K7 w - - 0 1", "go ponder wtime 3000 btime 3000", "ponderhit"},
    };
    for (const auto& c : cases) {
        const std::string where = c.position + " / " + c.go + " / " + c.release;
        EngineProcess engine;
        ASSERT_FALSE(start_uci(engine).empty());
        send_line(engine, "setoption name OwnBook value false");
        send_line(engine, "position " + c.position);
        send_line(engine, c.go);
        std::string line;
        EXPECT_FALSE(answer_within(engine, 700, line)) << where << ": " << line;
        send_line(engine, "isready");
        ASSERT_TRUE(answer_within(engine, 2000, line)) << where;
        EXPECT_EQ(line, "readyok") << where;
        send_line(engine, c.release);
        EXPECT_EQ(best_move_line(engine, nullptr, 5000).rfind("bestmove ", 0), 0u) << where;
        send_line(engine, "quit");
        EXPECT_EQ(wait_exit(engine), 0) << where;
    }
}

TEST(Uci, CommandsForAnIdleEngineStopASearchAndRunAfterIt) {
    EngineProcess engine;
    ASSERT_FALSE(start_uci(engine).empty());
    send_line(engine, "position startpos");
    send_line(engine, "go infinite");
    // No stop: the new position stops the search, then the second go runs.
    send_line(engine, "position startpos moves e2e4");
    send_line(engine, "go depth 3 searchmoves e7e5");
    EXPECT_EQ(best_move_line(engine).rfind("bestmove ", 0), 0u);
    EXPECT_EQ(best_move_line(engine), "bestmove e7e5");
    // The end of input during an infinite search ends the engine.
    send_line(engine, "go infinite");
    close_input(engine);
    EXPECT_EQ(wait_exit(engine), 0);
}

TEST(Uci, OnlyAFirstLineUciSelectsTheUciSession) {
    EngineProcess engine;
    start_engine(engine);
    send_line(engine, "name First");
    send_line(engine, "uci");
    send_line(engine, "quit");
    EXPECT_EQ(without_startup(read_all_lines(engine)),
              (Lines{"Hello First!", "Error (unknown command): uci", "Bye Bye"}));
}
