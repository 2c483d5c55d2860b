#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bitbase/bitbase.h"
#include "board/notation.h"
#include "eval/eval_params.h"
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

TEST_F(Interpreter, IllegalMovesAndUnknownWordsAreToldApart) {
    // Well-formed coordinate moves that the position does not allow get the
    // xboard refusal; anything else is an unknown command. Nothing changes.
    const struct {
        const char* fen;  // null: the start position
        const char* word;
        const char* said;
    } cases[] = {
        {nullptr, "e7e5", "Illegal move: e7e5\n"},             // the other side's pawn
        {nullptr, "e2e5", "Illegal move: e2e5\n"},             // no such pawn step
        {nullptr, "a1a1", "Illegal move: a1a1\n"},             // from and to the same square
        {nullptr, "E2E5", "Illegal move: e2e5\n"},             // lower-cased like a move
        {nullptr, "e2e4x", "Error (unknown command): e2e4x\n"},  // no promotion letter
        {nullptr, "e2e4qq", "Error (unknown command): e2e4qq\n"},
        {nullptr, "e2e9", "Error (unknown command): e2e9\n"},
        {nullptr, "e2", "Error (unknown command): e2\n"},
        {nullptr, "hello", "Error (unknown command): hello\n"},
        {"6k1/4P3/8/8/8/8/8/K7 w - - 0 1", "e7e8", "Illegal move: e7e8\n"},  // promotion without its piece
        {"6k1/4P3/8/8/8/8/8/K7 w - - 0 1", "e7e8k", "Error (unknown command): e7e8k\n"},
        // Fool's mate: white is mated and has no move at all.
        {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", "e2e4", "Illegal move: e2e4\n"},
    };
    engine_side = neither_side;  // the engine does not answer the moves
    for (const auto& c : cases) {
        if (c.fen)
            run(std::string("setboard ") + c.fen);
        else
            new_position(game);
        engine_side = neither_side;
        const HashKey before = game.pos_key;
        const int hply = game.hply;
        const Outcome out = run(c.word);
        EXPECT_TRUE(out.go_on) << c.word;
        EXPECT_EQ(out.said, c.said) << c.word;
        EXPECT_EQ(game.pos_key, before) << c.word;
        EXPECT_EQ(game.hply, hply) << c.word;
    }
    // The legal forms are still made.
    new_position(game);
    EXPECT_EQ(run("e2e4 E7E5").said, "");
    EXPECT_EQ(game.hply, 2);
}

TEST_F(Interpreter, AFailedPersonalityLoadDoesNotEndTheCall) {
    for (const char* line : {"personality nowhere name After", "multi_personality a b c name After"}) {
        const EvalParams before = eval_param_sets[0];
        const Outcome out = run(line);
        EXPECT_TRUE(out.go_on) << line;
        EXPECT_EQ(out.said, std::string("Personality ") + (line[0] == 'p' ? "nowhere" : "a") +
                                " not found!\nHello After!\n")
            << line;
        EXPECT_EQ(std::memcmp(&before, &eval_param_sets[0], sizeof before), 0) << line;
    }
}
