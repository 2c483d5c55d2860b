// Whole games over pipes, from set-up positions close to their end: how the
// engine announces mates, draws and resignations, and what it does on a
// game that is already over.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/game_session.h"

namespace {

using Lines = std::vector<std::string>;

}  // namespace

TEST(Games, EngineMatesAndAnnouncesTheResult) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    for (const char* line : {"new", "level 40 5 0", "time 30000", "otim 30000", "sd 3",
                             "setboard 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "go"})
        send_line(engine, line);
    EXPECT_EQ(game_lines_until(engine, "1-0"), (Lines{"move a1a8", "1-0 {White mates}"}));
    // The game is over: `go` does nothing until a new position.
    EXPECT_EQ(finish_game(engine, {"go", "name After"}), (Lines{"Hello After!", "Bye Bye"}));
}

TEST(Games, GoOnAMatedPositionClaimsWithoutSearching) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "setboard 6k1/8/8/8/8/8/5PPP/r5K1 w - - 0 1");
    send_line(engine, "go");
    std::vector<std::string> lines;
    ASSERT_TRUE(wait_for(engine, "0-1 {Black mates}", &lines));
    EXPECT_TRUE(lines.empty());  // no search line, no move
    // An unrecognised result text reopens the game; `go` claims again.
    EXPECT_EQ(finish_game(engine, {"result *", "go"}), (Lines{"0-1 {Black mates}", "Bye Bye"}));
}

TEST(Games, OpponentsStalematingMoveEndsTheGame) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "new");
    send_line(engine, "setboard k7/8/PK6/8/8/8/8/8 w - - 0 1");
    send_line(engine, "a6a7");
    EXPECT_EQ(game_lines_until(engine, "1/2-1/2"), (Lines{"1/2-1/2 {Stalemate}"}));
    finish_game(engine, {});
}

TEST(Games, ThirdRepetitionByTheEnginesMoveIsOfferedAndClaimed) {
    // Black's king has one move each time; white's rook shuttles so that the
    // set-up position comes back after the engine's moves.
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "new");
    send_line(engine, "sd 2");
    send_line(engine, "setboard 1k6/8/1K6/8/8/8/8/2R5 w - - 0 1");
    for (const char* move : {"c1c2", "c2c1", "c1c2"}) {
        send_line(engine, move);
        const Lines reply = game_lines_until(engine, "move ");
        ASSERT_EQ(reply.size(), 1u) << move;
    }
    send_line(engine, "c2c1");
    EXPECT_EQ(game_lines_until(engine, "1/2-1/2"),
              (Lines{"offer draw", "move a8b8", "1/2-1/2 {Draw by repetition}"}));
    finish_game(engine, {});
}

TEST(Games, FiftyMoveRuleAfterTheEnginesMove) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "sd 2");
    send_line(engine, "setboard 7k/8/8/8/8/8/8/R5K1 w - - 99 90");
    send_line(engine, "go");
    const Lines lines = game_lines_until(engine, "1/2-1/2");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "offer draw");
    EXPECT_EQ(lines[1].rfind("move ", 0), 0u);
    EXPECT_EQ(lines[2], "1/2-1/2 {Draw by fifty move rule}");
    finish_game(engine, {});
}

TEST(Games, CapturingTheLastPieceLeavesInsufficientMaterial) {
    // The only legal move takes the queen: king and bishop remain.
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "sd 3");
    send_line(engine, "setboard k7/1Q6/8/8/8/8/8/2B1K3 b - - 0 1");
    send_line(engine, "go");
    EXPECT_EQ(game_lines_until(engine, "1/2-1/2"),
              (Lines{"offer draw", "move a8b7", "1/2-1/2 {Draw by insufficent material}"}));
    // The draw stands: after `result *` the next `go` claims it at once.
    EXPECT_EQ(finish_game(engine, {"result *", "go"}),
              (Lines{"1/2-1/2 {Draw by insufficent material}", "Bye Bye"}));
}

TEST(Games, EngineResignsAfterThreeMovesBeyondTheThreshold) {
    // Two queens down; the engine plays black. White's king walks on so that
    // no position repeats (a repetition would score 0).
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    send_line(engine, "sd 2");
    send_line(engine, "setboard 8/8/8/3k4/8/8/8/QQ4K1 b - - 0 1");
    send_line(engine, "go");
    ASSERT_EQ(game_lines_until(engine, "move ").size(), 1u);
    send_line(engine, "g1h1");
    ASSERT_EQ(game_lines_until(engine, "move ").size(), 1u);
    send_line(engine, "h1h2");
    const Lines third = game_lines_until(engine, "resign");
    ASSERT_EQ(third.size(), 2u);
    EXPECT_EQ(third[0].rfind("move ", 0), 0u);
    EXPECT_EQ(third[1], "resign");
    finish_game(engine, {});
}

TEST(Games, ThresholdOfTheResignRuleIsAdjustable) {
    // With a threshold beyond the deficit the engine plays on.
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    for (const char* line : {"resign 5000", "sd 2", "setboard 8/8/8/3k4/8/8/8/QQ4K1 b - - 0 1", "go"})
        send_line(engine, line);
    ASSERT_EQ(game_lines_until(engine, "move ").size(), 1u);
    send_line(engine, "g1h1");
    ASSERT_EQ(game_lines_until(engine, "move ").size(), 1u);
    send_line(engine, "h1h2");
    EXPECT_EQ(game_lines_until(engine, "move ").size(), 1u);
    EXPECT_EQ(finish_game(engine, {}), Lines{"Bye Bye"});
}

TEST(TakeBack, UndoAndRemoveStopAtTheSetUpPoint) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    const Lines out = finish_game(engine, {"force", "e2e4 e7e5 g1f3", "remove", "d",
                                           "undo undo undo", "d"});
    const Lines start = {"",          "\trnbqkbnr", "\tpppppppp", "\t________", "\t________",
                         "\t________", "\t________", "\tPPPPPPPP", "\tRNBQKBNR"};
    const Lines after_e4 = {"",          "\trnbqkbnr", "\tpppppppp", "\t________", "\t________",
                            "\t____P___", "\t________", "\tPPPP_PPP", "\tRNBQKBNR"};
    Lines expected = after_e4;
    expected.insert(expected.end(), start.begin(), start.end());
    expected.push_back("Bye Bye");
    EXPECT_EQ(out, expected);
}

TEST(TakeBack, UndoingAMateLetsTheGameGoOn) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    for (const char* line : {"sd 3", "setboard 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "go"})
        send_line(engine, line);
    ASSERT_EQ(game_lines_until(engine, "1-0").size(), 2u);
    // Back before the mating move, the engine finds it again.
    send_line(engine, "undo");
    send_line(engine, "go");
    EXPECT_EQ(game_lines_until(engine, "1-0"), (Lines{"move a1a8", "1-0 {White mates}"}));
    finish_game(engine, {});
}

// The interface's `force` (or `new`) may arrive while the engine finishes
// its search: it is read before the move is announced, so no move of a game
// that is gone reaches the interface. A single legal reply is answered
// without any poll during the search, so the `force` is certain to be
// waiting when the answer is ready.
TEST(Games, CommandsWaitingWhenTheSearchEndsComeBeforeItsMove) {
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    send_raw(engine, "setboard 7k/8/8/8/8/8/1q6/K7 w - - 0 1\ngo\nforce\nname Next\n");
    std::vector<std::string> lines;
    ASSERT_TRUE(wait_for(engine, "Hello Next!", &lines));
    for (const std::string& line : lines) EXPECT_NE(line.rfind("move ", 0), 0u) << line;
    // The engine still answers when asked again.
    send_line(engine, "go");
    ASSERT_TRUE(wait_for(engine, "move a1b2"));
    finish_game(engine, {});
}
