// Input a new user or a confused interface may send: commands that fail,
// over-long lines and moves the position does not allow. Each gets one line
// of reply and the engine goes on with its state intact; only `quit` and the
// end of input end it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/engine_process.h"

namespace {

std::vector<std::string> replies(EngineProcess& engine, const std::vector<std::string>& lines) {
    return without_startup(run_session(engine, lines));
}

// The error line that refuses an input line of `length` bytes.
std::string long_line_error(int length) {
    return "Error (line too long): input, " + std::to_string(length) +
           " bytes; at most 4096 are read, the line is ignored";
}

}  // namespace

TEST(HostileInput, FailingCommandsNeverEndTheEngine) {
    const struct {
        std::string line;
        std::string said;
    } cases[] = {
        {"personality nowhere", "Personality nowhere not found!"},
        {"multi_personality default nowhere default", "Personality nowhere not found!"},
        {"runeval /nonexistent/file.epd", "epd file not found!"},
        {"ht", "Error (missing argument): ht"},
        {"frobnicate", "Error (unknown command): frobnicate"},
        {"exit", ""},
    };
    for (const auto& c : cases) {
        EngineProcess engine;
        std::vector<std::string> expected;
        if (!c.said.empty()) expected.push_back(c.said);
        expected.push_back("Hello After!");
        expected.push_back("Bye Bye");
        EXPECT_EQ(replies(engine, {c.line, "name After", "quit", "name Never"}), expected) << c.line;
        EXPECT_EQ(engine.exit_code, 0);
    }
}

TEST(HostileInput, AMissingPersonalityInTheConfigurationFileIsReported) {
    EngineProcess engine;
    // The engine then plays with its built-in weights: the same scores as
    // without any personality line.
    write_engine_file(engine, "velkan.ini", "personality nowhere\nname After\n");
    const std::vector<std::string> out = run_session(engine, {"score", "name Input"});
    EngineProcess built_in;
    write_engine_file(built_in, "velkan.ini", "name After\n");
    const std::vector<std::string> plain = run_session(built_in, {"score", "name Input"});
    ASSERT_GE(out.size(), 4u);
    EXPECT_EQ(out[1], "Personality nowhere not found!");
    EXPECT_EQ(out[2], "Hello After!");
    EXPECT_EQ(std::vector<std::string>(out.end() - 2, out.end()),
              std::vector<std::string>(plain.end() - 2, plain.end()));
    EXPECT_EQ(out.back(), "Hello Input!");
}

TEST(HostileInput, LongLinesAreReadWholeOrRefusedWhole) {
    const std::string fen = "8/8/8/4k3/8/8/8/KNN5 b - - 0 1";
    const struct {
        std::string line;
        std::vector<std::string> said;  // before "Hello After!"
    } cases[] = {
        // Whole: the FEN far out on the line still belongs to setboard.
        {std::string("setboard") + std::string(300, ' ') + fen + " d",
         {"", "\t________", "\t________", "\t________", "\t____k___", "\t________", "\t________",
          "\t________", "\tKNN_____"}},
        {std::string(4096 - 5, ' ') + "name", {"Error (missing argument): name"}},
        // Refused whole: no part of it runs, not even the `quit` at its end.
        {std::string(5000, 'x') + " quit", {long_line_error(5005)}},
        {std::string("name ") + std::string(8000, ' ') + "Tail", {long_line_error(8009)}},
    };
    for (const auto& c : cases) {
        EngineProcess engine;
        std::vector<std::string> expected = c.said;
        expected.push_back("Hello After!");
        EXPECT_EQ(replies(engine, {c.line, "name After"}), expected) << c.line.substr(0, 40);
        EXPECT_EQ(engine.exit_code, 0);
    }
}

TEST(HostileInput, IllegalMovesAreRefusedTheXboardWay) {
    EngineProcess engine;
    // In force mode the engine only records the moves; the refused ones
    // leave the game as it was (the board after 1. e4 alone).
    const std::vector<std::string> out =
        replies(engine, {"force", "e7e5", "e2e4", "e2e4", "e2e4zz", "d"});
    ASSERT_EQ(out.size(), 12u);
    EXPECT_EQ(out[0], "Illegal move: e7e5");
    EXPECT_EQ(out[1], "Illegal move: e2e4");  // black to move now
    EXPECT_EQ(out[2], "Error (unknown command): e2e4zz");
    EXPECT_EQ(out[8], "\t____P___");
    EXPECT_EQ(out[10], "\tPPPP_PPP");
}
