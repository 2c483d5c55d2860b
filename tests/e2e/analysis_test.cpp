// Analysis mode over pipes: restarting on every change of the position,
// the end of an analysis search that stops by itself, and `exit`.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/game_session.h"

namespace {

using Lines = std::vector<std::string>;

// The from-square rank of the root move in a stat01 line ("... Ng8-f6").
char status_move_rank(const std::string& status) {
    const size_t dash = status.find_last_of("-x");
    return dash == std::string::npos || dash == 0 ? '?' : status[dash - 1];
}

}  // namespace

TEST(Analysis, MoveDuringTheSearchRestartsItOnTheNewPosition) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "force");
    send_line(engine, "analyze");
    ASSERT_TRUE(wait_for(engine, "2 "));  // the first thinking line
    send_line(engine, ".");
    std::vector<std::string> skipped;
    ASSERT_TRUE(wait_for(engine, "stat01: ", &skipped));
    send_line(engine, "e2e4");
    ASSERT_TRUE(wait_for(engine, "lazy_eval = "));  // the white search ended
    send_line(engine, ".");
    std::string status;
    ASSERT_TRUE(read_line(engine, status));
    while (status.rfind("stat01: ", 0) != 0) ASSERT_TRUE(read_line(engine, status));
    // Black's move is searched now.
    const char rank = status_move_rank(status);
    EXPECT_TRUE(rank == '7' || rank == '8') << status;

    send_line(engine, "exit");
    ASSERT_TRUE(wait_for(engine, "lazy_eval = "));
    // Analysis is over: a move changes the position without a search.
    EXPECT_EQ(finish_game(engine, {"e7e5", "name Done"}), (Lines{"Hello Done!", "Bye Bye"}));
}

TEST(Analysis, PositionChangeAfterASearchThatEndedByItselfAnalysesAgain) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "sd 3");
    send_line(engine, "force");
    send_line(engine, "analyze");
    ASSERT_TRUE(wait_for(engine, "lazy_eval = "));
    // Nothing runs now; each change starts a depth-limited analysis, and
    // the engine keeps going. (The set-up position has five men: one the
    // bitbases decide would be answered without a search.)
    for (const char* change : {"e2e4", "undo", "setboard 4k3/6pp/8/8/8/8/4P3/4K3 w - - 0 1", "new"}) {
        send_line(engine, change);
        std::vector<std::string> lines;
        EXPECT_TRUE(wait_for(engine, "lazy_eval = ", &lines)) << change;
    }
    send_line(engine, "exit");
    // `new` gave the engine black again: force mode keeps it from answering.
    EXPECT_EQ(finish_game(engine, {"force", "e2e4", "name Alive"}), (Lines{"Hello Alive!", "Bye Bye"}));
}

TEST(Analysis, QuitDuringAnalysisEndsTheProgram) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "analyze");
    ASSERT_TRUE(wait_for(engine, "2 "));
    const Lines rest = finish_game(engine, {}, 3000);
    EXPECT_EQ(rest, Lines{"Bye Bye"});
    EXPECT_EQ(engine.exit_code, 0);
}
