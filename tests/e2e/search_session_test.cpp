// The engine thinking over pipes: thinking lines and the move, the time
// limits, and commands read while it thinks.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "e2e/engine_process.h"

namespace {

using Clock = std::chrono::steady_clock;

bool is_thinking_line(const std::string& line) {
    return !line.empty() && line[0] >= '0' && line[0] <= '9';
}

int elapsed_ms(Clock::time_point since) {
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

TEST(SearchSession, DepthLimitedGoThinksAndMoves) {
    EngineProcess engine;
    start_engine(engine);
    send_line(engine, "sd 4");
    send_line(engine, "go");
    std::vector<std::string> before;
    ASSERT_TRUE(wait_for(engine, "move ", &before));
    int thinking = 0;
    bool time_line = false;
    for (const std::string& line : before) {
        if (is_thinking_line(line)) ++thinking;
        if (line == "[sd = 4 , hply = 0]") time_line = true;
    }
    EXPECT_GT(thinking, 0);
    EXPECT_TRUE(time_line);
    send_line(engine, "quit");
    EXPECT_EQ(wait_exit(engine), 0);
}

TEST(SearchSession, FixedTimeStopsInTime) {
    EngineProcess engine;
    start_engine(engine);
    send_line(engine, "st 1");
    const Clock::time_point start = Clock::now();
    send_line(engine, "go");
    std::vector<std::string> before;
    ASSERT_TRUE(wait_for(engine, "move ", &before, 5000));
    // One second planned and hard; the margin absorbs a loaded machine.
    EXPECT_LT(elapsed_ms(start), 2500);
    bool time_line = false;
    for (const std::string& line : before)
        if (line.rfind("[st = 1.00s, mt = 1.00s", 0) == 0) time_line = true;
    EXPECT_TRUE(time_line);
    send_line(engine, "quit");
    EXPECT_EQ(wait_exit(engine), 0);
}

TEST(SearchSession, CommandsDuringTheSearch) {
    EngineProcess engine;
    start_engine(engine);
    send_line(engine, "st 100");
    send_line(engine, "go");
    std::vector<std::string> before;
    ASSERT_TRUE(wait_for(engine, "[st = 100.00s", &before));
    std::string line;
    do {
        ASSERT_TRUE(read_line(engine, line));
    } while (!is_thinking_line(line));

    // `.` reports on the running search and lets it go on.
    send_line(engine, ".");
    ASSERT_TRUE(wait_for(engine, "stat01: ", nullptr, 3000));

    // `?` makes it move at once.
    const Clock::time_point start = Clock::now();
    send_line(engine, "?");
    ASSERT_TRUE(wait_for(engine, "move ", nullptr, 3000));
    EXPECT_LT(elapsed_ms(start), 1500);
    send_line(engine, "quit");
    EXPECT_EQ(wait_exit(engine), 0);
}

TEST(SearchSession, OpponentsMoveGivesTheEngineItsTurn) {
    EngineProcess engine;
    start_engine(engine);
    send_line(engine, "sd 3");
    send_line(engine, "e2e4");
    ASSERT_TRUE(wait_for(engine, "move "));
    send_line(engine, "quit");
    EXPECT_EQ(wait_exit(engine), 0);
}

TEST(SearchSession, MoveOfAPositionReplacedDuringTheSearchIsNotPlayed) {
    EngineProcess engine;
    start_engine(engine);
    send_line(engine, "st 100");
    send_line(engine, "go");
    ASSERT_TRUE(wait_for(engine, "[st = 100.00s"));
    send_line(engine, "new");
    send_line(engine, "?");
    ASSERT_TRUE(wait_for(engine, "lazy_eval = "));
    // The game is the new start position, unchanged by the search.
    send_line(engine, "d");
    send_line(engine, "quit");
    std::vector<std::string> rest = read_all_lines(engine, 3000);
    ASSERT_GE(rest.size(), 9u);
    EXPECT_EQ(rest[7], "\tPPPPPPPP");
    for (const std::string& l : rest) EXPECT_NE(l.rfind("move ", 0), 0u) << l;
    EXPECT_EQ(wait_exit(engine), 0);
}

TEST(SearchSession, QuitDuringTheSearchEndsTheProgram) {
    EngineProcess engine;
    start_engine(engine);
    send_line(engine, "st 100");
    send_line(engine, "go");
    ASSERT_TRUE(wait_for(engine, "[st = 100.00s"));
    send_line(engine, "quit");
    std::vector<std::string> rest = read_all_lines(engine, 3000);
    bool bye = false, moved = false;
    for (const std::string& l : rest) {
        if (l == "Bye Bye") bye = true;
        if (l.rfind("move ", 0) == 0) moved = true;
    }
    EXPECT_TRUE(bye);
    EXPECT_FALSE(moved);
    EXPECT_EQ(wait_exit(engine), 0);
}

}  // namespace
