// Pondering over pipes: the expected reply, ponder hit and miss, and the
// ways pondering ends without the opponent's move.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/game_session.h"

namespace {

using Lines = std::vector<std::string>;

const std::string pondering_prefix = "pondering after move [";

// The coordinate text of the move in a "pondering after move [...]" line.
std::string pondered_move(const Lines& lines) {
    if (lines.empty() || lines.back().rfind(pondering_prefix, 0) != 0) return "";
    const std::string& line = lines.back();
    return coordinate_text(line.substr(pondering_prefix.size(), line.size() - pondering_prefix.size() - 1));
}

// Starts a game on the clock with pondering on; the engine plays black and
// answers 1. e4, then ponders. Returns the move it ponders on.
std::string start_pondering(EngineProcess& engine) {
    if (!start_game_engine(engine)) return "";
    for (const char* line : {"new", "st 1", "hard", "e2e4"}) send_line(engine, line);
    const Lines lines = game_lines_until(engine, pondering_prefix);
    if (lines.size() != 2 || lines[0].rfind("move ", 0) != 0) return "";
    return pondered_move(lines);
}

}  // namespace

TEST(Ponder, HitContinuesTheSearchAndMissStartsANewOne) {
    EngineProcess engine;
    const std::string expected = start_pondering(engine);
    ASSERT_EQ(expected.size(), 4u);

    send_line(engine, expected);
    Lines lines = game_lines_until(engine, pondering_prefix);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "ponder hit");
    EXPECT_EQ(lines[1].rfind("move ", 0), 0u);
    const std::string second = pondered_move(lines);
    ASSERT_EQ(second.size(), 4u);

    // Any other legal move is a miss; early in the game one of these is.
    const std::string other = second == "a2a3" ? "h2h3" : "a2a3";
    send_line(engine, other);
    lines = game_lines_until(engine, "move ");
    EXPECT_EQ(lines, (Lines{"ponder miss", lines.back()}));
    finish_game(engine, {});
}

TEST(Ponder, StrayWordEndsPonderingAndTheEngineWaitsForTheMove) {
    EngineProcess engine;
    const std::string expected = start_pondering(engine);
    ASSERT_EQ(expected.size(), 4u);
    send_line(engine, "xyzzy");
    send_line(engine, "name Waiting");
    // No move of the engine's own for the side that has not moved.
    EXPECT_EQ(game_lines_until(engine, "Hello"),
              (Lines{"Error (unknown command): xyzzy", "ponder miss", "Hello Waiting!"}));
    // The opponent's move, now without pondering, gets an answer.
    send_line(engine, expected);
    const Lines lines = game_lines_until(engine, "move ");
    EXPECT_EQ(lines.size(), 1u);
    finish_game(engine, {});
}

TEST(Ponder, MoveNowAndExitEndPonderingWithoutAMove) {
    for (const char* stop : {"?", "exit", "force"}) {
        EngineProcess engine;
        ASSERT_EQ(start_pondering(engine).size(), 4u) << stop;
        send_line(engine, stop);
        send_line(engine, "name Waiting");
        EXPECT_EQ(game_lines_until(engine, "Hello"), Lines{"Hello Waiting!"}) << stop;
        finish_game(engine, {});
    }
}

TEST(Ponder, GoDuringPonderingMakesTheEngineMoveForTheSideToMove) {
    EngineProcess engine;
    ASSERT_EQ(start_pondering(engine).size(), 4u);
    send_line(engine, "go");
    const Lines lines = game_lines_until(engine, "move ");
    ASSERT_EQ(lines.size(), 1u);
    // White's move: the engine now plays white. After 1. e4 and black's
    // answer white's men stand on ranks 1, 2 and 4, black's on 5 to 8.
    const char from_rank = lines[0][6];
    EXPECT_TRUE(from_rank >= '1' && from_rank <= '4') << lines[0];
    finish_game(engine, {});
}

TEST(Ponder, SingleMoveVariationSearchesForTheExpectedReplyFirst) {
    // The engine's only move leaves no second move to ponder on.
    EngineProcess engine;
    ASSERT_TRUE(start_game_engine(engine));
    for (const char* line : {"new", "sd 2", "hard", "setboard 1k6/8/1K6/8/8/8/8/2R5 w - - 0 1", "c1c2"})
        send_line(engine, line);
    const Lines lines = game_lines_until(engine, pondering_prefix);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "move b8a8");
    EXPECT_EQ(lines[1], "Pondering for opponent's move ...");
    // The depth-limited ponder search ends by itself; the engine waits.
    const Lines rest = finish_game(engine, {"name Waiting"});
    ASSERT_GE(rest.size(), 2u);
    EXPECT_EQ(rest[rest.size() - 2], "Hello Waiting!");
    for (const std::string& line : rest) EXPECT_NE(line.rfind("move ", 0), 0u) << line;
}
