// Commands and input handling over pipes: moves and the board display,
// position set-up, error lines, and input the engine must survive.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/engine_process.h"

namespace {

// The output after the start-up announcement.
std::vector<std::string> replies(const std::vector<std::string>& lines,
                                 const std::vector<std::string>& args = {}) {
    EngineProcess engine;
    std::vector<std::string> out = run_session(engine, lines, args);
    EXPECT_EQ(engine.exit_code, 0);
    return without_startup(out);
}

const std::vector<std::string> start_board = {
    "",          "\trnbqkbnr", "\tpppppppp", "\t________", "\t________",
    "\t________", "\t________", "\tPPPPPPPP", "\tRNBQKBNR",
};

}  // namespace

TEST(Commands, MovesAreMadeOnTheGameAndShownByD) {
    const std::vector<std::string> board = {
        "",          "\trnbqkbnr", "\tpppppppp", "\t________", "\t________",
        "\t____P___", "\t________", "\tPPPP_PPP", "\tRNBQKBNR",
    };
    // In force mode the engine does not answer the moves.
    EXPECT_EQ(replies({"new", "force", "e2e4", "d"}), board);
    // Upper-case coordinates are accepted; several commands share one line.
    EXPECT_EQ(replies({"new force E2E4 d"}), board);
}

TEST(Commands, UnknownWordsAndIllegalMovesGiveTheirErrorLines) {
    EXPECT_EQ(replies({"frobnicate", "e2e5", "e7e5"}),
              (std::vector<std::string>{"Error (unknown command): frobnicate", "Illegal move: e2e5",
                                        "Illegal move: e7e5"}));
}

TEST(Commands, MissingArgumentIsReportedOnce) {
    EXPECT_EQ(replies({"name", "xboard name", "name Bob"}),
              (std::vector<std::string>{"Error (missing argument): name", "Error (missing argument): name",
                                        "Hello Bob!"}));
    // A short setboard swallows nothing it cannot use and changes nothing.
    std::vector<std::string> expected = {"Error (missing argument): setboard"};
    expected.insert(expected.end(), start_board.begin(), start_board.end());
    EXPECT_EQ(replies({"setboard 8/8/8/8/8/8/8/8 w", "d"}), expected);
}

TEST(Commands, SetboardRefusesIllegalPositionsAndKeepsTheGame) {
    const std::vector<std::string> refused = {
        "setboard 8/8/8/8/8/8/8/8 w - - 0 1",        // no kings
        "setboard 4k3/8/8/8/8/8/8/4K3/8 w - - 0 1",  // nine ranks
        "setboard 4k3/8/8/8/8/8/8/4K2 w - - 0 1",    // a short rank
        "setboard P3k3/8/8/8/8/8/8/4K3 w - - 0 1",   // pawn on the last rank
        "setboard 4k3/4R3/8/8/8/8/8/4K3 w - - 0 1",  // side not to move in check
    };
    std::vector<std::string> lines = {"setboard 4k3/8/8/8/8/8/4P3/4K3 b - - 0 1"};
    lines.insert(lines.end(), refused.begin(), refused.end());
    lines.push_back("d");
    std::vector<std::string> expected(refused.size(), "tellusererror Illegal position");
    expected.insert(expected.end(), {"", "\t____k___", "\t________", "\t________", "\t________", "\t________",
                                     "\t________", "\t____P___", "\t____K___"});
    EXPECT_EQ(replies(lines), expected);
}

TEST(Commands, SetboardWithFourFieldsLeavesAFollowingCommandAlone) {
    const std::vector<std::string> out = replies({"setboard 4k3/8/8/8/8/8/8/4K3 w - - d"});
    EXPECT_EQ(out, (std::vector<std::string>{"", "\t____k___", "\t________", "\t________", "\t________",
                                             "\t________", "\t________", "\t________", "\t____K___"}));
}

TEST(Input, EmptyLinesAndLineEndingsAreHarmless) {
    EXPECT_EQ(replies({"", "   ", "\t", "\r", "name Bob\r", ""}), std::vector<std::string>{"Hello Bob!"});
}

TEST(Input, ALongLineIsReadWhole) {
    // Far beyond 255 characters the line is still one command line.
    const std::string line = "name " + std::string(295, 'x');
    EXPECT_EQ(replies({line, "name After"}),
              (std::vector<std::string>{"Hello " + std::string(295, 'x') + "!", "Hello After!"}));
}

TEST(Input, InputWithoutFinalNewlineIsStillExecuted) {
    EngineProcess engine;
    start_engine(engine);
    send_raw(engine, "name Last");
    close_input(engine);
    const std::vector<std::string> out = read_all_lines(engine);
    EXPECT_EQ(out.back(), "Hello Last!");
    EXPECT_EQ(wait_exit(engine), 0);
}

TEST(Input, QuitAnswersAndEndsAtOnce) {
    EngineProcess engine;
    start_engine(engine);
    ASSERT_TRUE(wait_for(engine, startup_lines.back()));
    send_line(engine, "quit");
    std::string line;
    ASSERT_TRUE(read_line(engine, line));
    EXPECT_EQ(line, "Bye Bye");
    // The input stays open: the engine must end by itself.
    EXPECT_EQ(wait_exit(engine), 0);
}
