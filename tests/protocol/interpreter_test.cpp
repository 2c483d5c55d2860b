#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bitbase/bitbase.h"
#include "board/notation.h"
#include "eval/psq.h"
#include "protocol/game.h"
#include "protocol/game_control.h"
#include "protocol/interpreter.h"

namespace {

// Runs one command line through the interpreter on the process-wide game;
// returns the interpreter's answer and what it printed.
struct Outcome {
    bool go_on;
    std::string said;
};

Outcome run(const std::string& line) {
    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    char* tokens[max_tokens];
    split_tokens(text.data(), tokens);
    testing::internal::CaptureStdout();
    const bool go_on = execute_commands(tokens);
    return {go_on, testing::internal::GetCapturedStdout()};
}

class Interpreter : public testing::Test {
protected:
    void SetUp() override {
        init_attack_table();
        init_psq();
        new_position(game);
        game_result = game_running;
        engine_side = black;
        analysis_mode = false;
        search_running = false;
        quit_requested = false;
    }
    void TearDown() override {
        analysis_mode = false;
        search_running = false;
    }
};

}  // namespace

TEST_F(Interpreter, ResultSetsTheOutcomeAndSwallowsTheRestOfTheLine) {
    const struct {
        const char* line;
        int result;
    } cases[] = {
        {"result 1-0 {White mates} name X", white_won},
        {"result 0-1", black_won},
        {"result 1/2-1/2 {Draw}", game_drawn},
        {"result * {Unfinished}", game_running},
        {"result", game_running},
    };
    for (const auto& c : cases) {
        game_result = 3;
        const Outcome out = run(c.line);
        EXPECT_TRUE(out.go_on);
        EXPECT_EQ(out.said, "") << c.line;
        EXPECT_EQ(game_result, c.result) << c.line;
    }
}

TEST_F(Interpreter, QuitStopsTheWalk) {
    const Outcome out = run("name A quit name B");
    EXPECT_FALSE(out.go_on);
    EXPECT_EQ(out.said, "Hello A!\nBye Bye\n");
    EXPECT_TRUE(quit_requested);
}

TEST_F(Interpreter, SettingsTakeTheirArguments) {
    run("force hard resign 350 pvstyle 1 egbb_path /tables/ egbb_cache_size 16 egbb_load_type 3");
    EXPECT_EQ(engine_side, neither_side);
    EXPECT_TRUE(ponder_enabled);
    EXPECT_EQ(resign_threshold, 350);
    EXPECT_EQ(pvstyle, 1);
    EXPECT_STREQ(egbb_path, "/tables/");
    EXPECT_EQ(egbb_cache_size, 16);
    EXPECT_EQ(egbb_load_type, 3);
    run("easy new pvstyle 0 log maybe");
    EXPECT_FALSE(ponder_enabled);
    EXPECT_EQ(engine_side, black);
    EXPECT_FALSE(log_enabled);
}

TEST_F(Interpreter, RefusedWhileSearchingButArgumentsConsumed) {
    std::snprintf(egbb_path, sizeof egbb_path, "%s", "./egbb/");
    search_running = true;
    const Outcome out = run("egbb_path /elsewhere/ name Bob");
    EXPECT_TRUE(out.go_on);
    EXPECT_EQ(out.said, "Error (not allowed while searching): egbb_path\nHello Bob!\n");
    EXPECT_STREQ(egbb_path, "./egbb/");
}

TEST_F(Interpreter, AnalysisStopsOnAPositionChange) {
    // As read by the poll of a running analysis search.
    analysis_mode = true;
    search_running = true;
    running_search = SearchKind::analysing;
    EXPECT_TRUE(run("xboard name A").go_on);
    const Outcome set_up = run("setboard 4k3/8/8/8/8/8/4P3/4K3 w - - name B");
    EXPECT_FALSE(set_up.go_on);
    EXPECT_EQ(set_up.said, "");
    const Outcome mirrored = run("mirror name C");
    EXPECT_FALSE(mirrored.go_on);
    EXPECT_EQ(mirrored.said, "");
    running_search = SearchKind::none;
}

TEST_F(Interpreter, MovesKeepRoomInTheHistoryForASearch) {
    // From here one more move would leave fewer free history entries than a
    // search needs.
    engine_side = neither_side;  // the engine does not answer the moves
    game.hply = max_history - (max_ply + 2);
    const HashKey before = game.pos_key;
    const Outcome refused = run("e2e4");
    EXPECT_EQ(refused.said, "Error (game too long): e2e4\n");
    EXPECT_EQ(game.hply, max_history - (max_ply + 2));
    EXPECT_EQ(game.pos_key, before);

    game.hply = max_history - (max_ply + 3);
    EXPECT_EQ(run("e2e4").said, "");
    EXPECT_EQ(game.hply, max_history - (max_ply + 2));
    EXPECT_NE(game.pos_key, before);
}
