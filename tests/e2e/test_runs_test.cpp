// The test runs over EPD files through pipes: runeval's score lines and its
// line numbering, runsearch in both output styles, and stopping a search
// run with `?` and `quit`.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/game_session.h"

namespace {

using Lines = std::vector<std::string>;

const Lines start_board = {
    "",          "\trnbqkbnr", "\tpppppppp", "\t________", "\t________",
    "\t________", "\t________", "\tPPPPPPPP", "\tRNBQKBNR",
};

const std::string run_header = "******************************************";

bool starts_with(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

// Reads lines until `count` of them satisfy `wanted`; returns those lines
// (fewer on timeout).
template <typename Wanted>
Lines read_until(EngineProcess& engine, int count, Wanted wanted, Lines* all = nullptr) {
    Lines found;
    std::string line;
    while (int(found.size()) < count && read_line(engine, line)) {
        if (all) all->push_back(line);
        if (wanted(line)) found.push_back(line);
    }
    return found;
}

// The node count of a "nodes = N <...>" statistics line or of a compact row.
long long leading_count(const std::string& line) {
    const size_t digit = line.find_first_of("0123456789");
    return digit == std::string::npos ? -1 : std::stoll(line.substr(digit));
}

bool is_compact_row(const std::string& line) {
    return !line.empty() && line[0] == ' ' && line.find_first_not_of(' ') != std::string::npos;
}

}  // namespace

TEST(RunEval, ScoresEachPositionAndKeepsTheLineNumbers) {
    EngineProcess engine;
    // Operations after the four fields are ignored; an empty line and one of
    // three words are no positions but still count; a CRLF line and a last
    // line without newline (ending in its en-passant field) are read whole.
    write_engine_file(engine, "suite.epd",
                      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - bm e4; id \"start\";\n"
                      "\n"
                      "only three words\n"
                      "8/8/8/8/8/8/8/8 w - -\n"
                      "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq -\r\n"
                      "4k3/8/8/8/8/8/4P3/4K3 b - -");
    without_bitbases(engine);  // `score` of the pawn ending is the evaluation's, as in the run
    ASSERT_TRUE(start_game_engine(engine));
    const Lines out = finish_game(
        engine, {"setboard 4k3/8/8/8/8/8/8/4K3 w - -", "runeval suite.epd", "d",
                 // The same positions scored one by one, for comparison.
                 "setboard rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - score",
                 "setboard r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - score",
                 "setboard 4k3/8/8/8/8/8/4P3/4K3 b - - score"});
    ASSERT_EQ(out.size(), 5 + start_board.size() + 4);
    EXPECT_EQ(out[0], run_header);
    EXPECT_EQ(out[1], "*1* " + out[14].substr(std::string("score = ").size()));
    EXPECT_EQ(out[2], "Error (bad position on line 4): 8/8/8/8/8/8/8/8 w - -");
    EXPECT_EQ(out[3], "*5* " + out[15].substr(std::string("score = ").size()));
    EXPECT_EQ(out[4], "*6* " + out[16].substr(std::string("score = ").size()));
    // The run leaves the start position, whatever stood before it.
    EXPECT_EQ(Lines(out.begin() + 5, out.begin() + 14), start_board);
    EXPECT_EQ(out.back(), "Bye Bye");
}

TEST(RunEval, MissingFileIsReportedAndChangesNothing) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    EXPECT_EQ(finish_game(engine, {"setboard 4k3/8/8/8/8/8/8/4K3 w - -", "runeval nowhere.epd",
                                   "runsearch nowhere.epd name After", "d"}),
              (Lines{"epd file not found!", "epd file not found!", "Hello After!", "", "\t____k___", "\t________",
                     "\t________", "\t________", "\t________", "\t________", "\t________", "\t____K___",
                     "Bye Bye"}));
}

TEST(RunSearch, BothStylesReportEveryPositionAndRepeatTheSameSearches) {
    EngineProcess engine;
    write_engine_file(engine, "suite.epd",
                      "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - bm Bb5;\n"
                      "\n"
                      "4k3/8/8/8/8/8/4P3/4K3 b - -\n"
                      "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - id \"again\";\n");
    without_bitbases(engine);  // the pawn ending is searched, not answered from the bitbases
    ASSERT_TRUE(start_game_engine(engine));
    // Commands sent during a run are read by the search's poll: each run
    // is waited for before the next command goes out.
    send_line(engine, "sd 3");
    send_line(engine, "runsearch suite.epd");
    const auto last_star = [](const std::string& line) { return line == "********** 4 ************"; };
    Lines normal;
    ASSERT_EQ(read_until(engine, 1, last_star, &normal).size(), 1u);
    Lines stars, statistics;
    int thinking = 0;
    for (const std::string& line : normal) {
        if (starts_with(line, "**********")) stars.push_back(line);
        if (starts_with(line, "nodes = ")) statistics.push_back(line);
        if (!line.empty() && line[0] >= '0' && line[0] <= '9') ++thinking;
    }
    EXPECT_EQ(stars, (Lines{run_header, "********** 1 ************", "********** 3 ************",
                            "********** 4 ************"}));
    ASSERT_EQ(statistics.size(), 3u);
    EXPECT_GT(thinking, 0);
    EXPECT_EQ(std::count(normal.begin(), normal.end(), "[sd = 3 , hply = 0]"), 2);
    EXPECT_EQ(std::count(normal.begin(), normal.end(), "[sd = 3 , hply = 1]"), 1);
    for (const std::string& line : normal) EXPECT_FALSE(starts_with(line, "move ")) << line;

    send_line(engine, "pvstyle 1");
    send_line(engine, "runsearch suite.epd");
    Lines compact;
    const Lines rows = read_until(engine, 3, is_compact_row, &compact);
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_GE(compact.size(), 3u);
    EXPECT_EQ(compact[0], "");
    EXPECT_EQ(compact[1], "\t\tNodes     Time      NPS      splits     bad");
    EXPECT_EQ(compact[2], "\t\t=====     ====      ===      ======     ===");
    // Only the time plans and the rows: no thinking lines, no star lines.
    for (size_t i = 3; i < compact.size(); ++i)
        EXPECT_TRUE(starts_with(compact[i], "[sd = 3") || is_compact_row(compact[i])) << compact[i];
    // Every position is searched from empty tables: a position met again
    // and the second run repeat the first search node for node.
    EXPECT_EQ(leading_count(statistics[2]), leading_count(statistics[0]));
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(leading_count(rows[i]), leading_count(statistics[i]));

    Lines rest = finish_game(engine, {"d"});
    EXPECT_EQ(Lines(rest.begin(), rest.end() - 1), start_board);
}

TEST(RunSearch, MoveNowEndsOnePositionAndQuitEndsTheProgram) {
    EngineProcess engine;
    write_engine_file(engine, "suite.epd",
                      "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -\n"
                      "rnbqkb1r/pp1p1ppp/4pn2/2p5/2PP4/2N5/PP2PPPP/R1BQKBNR w KQkq -\n"
                      "4k3/8/8/8/8/8/4P3/4K3 b - -\n");
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "st 100");
    send_line(engine, "runsearch suite.epd");
    const std::string plan = "[st = 100.00s";
    ASSERT_TRUE(wait_for(engine, plan));
    send_line(engine, "new");  // changes the game, not the test position
    send_line(engine, "?");
    ASSERT_TRUE(wait_for(engine, "********** 1 ************", nullptr, 5000));
    ASSERT_TRUE(wait_for(engine, plan, nullptr, 5000));
    send_line(engine, "quit");
    Lines after;
    ASSERT_TRUE(wait_for(engine, "Bye Bye", &after, 5000));
    for (const std::string& line : after) EXPECT_FALSE(starts_with(line, "**********")) << line;
    EXPECT_EQ(wait_exit(engine), 0);
}
