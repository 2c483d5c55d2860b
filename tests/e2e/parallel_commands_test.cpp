// The thread count through the real program: `mt` and `cores` start and end
// helper threads one line each, in slot order up and down, and a search on
// several threads answers with a move and quits cleanly.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/engine_process.h"

namespace {

bool is_thread_line(const std::string& line) {
    return line.rfind("+ Thread", 0) == 0 || line.rfind("- Thread", 0) == 0 ||
           line.rfind("processors", 0) == 0;
}

std::vector<std::string> thread_lines(const std::vector<std::string>& commands) {
    EngineProcess engine;
    std::vector<std::string> lines = commands;
    lines.push_back("quit");
    std::vector<std::string> kept;
    for (const std::string& line : run_session(engine, lines))
        if (is_thread_line(line)) kept.push_back(line);
    EXPECT_EQ(engine.exit_code, 0);
    return kept;
}

}  // namespace

TEST(ParallelCommands, ThreadsStartUpwardsAndEndDownwards) {
    EXPECT_EQ(thread_lines({"mt 3", "mt 1"}),
              (std::vector<std::string>{"+ Thread 1 started.", "+ Thread 2 started.",
                                        "processors [3]", "- Thread 2 terminated.",
                                        "- Thread 1 terminated.", "processors [1]"}));
}

TEST(ParallelCommands, SearchOnThreeThreadsAnswersAndQuits) {
    EngineProcess engine;
    start_engine(engine);
    send_line(engine, "mt 3");
    ASSERT_TRUE(wait_for(engine, "processors [3]"));
    send_line(engine, "new");
    send_line(engine, "sd 7");
    send_line(engine, "go");
    std::vector<std::string> before;
    ASSERT_TRUE(wait_for(engine, "move ", &before, 60000));
    send_line(engine, "quit");
    EXPECT_TRUE(wait_for(engine, "Bye Bye"));
    EXPECT_EQ(wait_exit(engine), 0);
}
