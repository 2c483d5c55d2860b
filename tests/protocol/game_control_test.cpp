#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "board/make_move.h"
#include "board/move_input.h"
#include "board/notation.h"
#include "eval/psq.h"
#include "protocol/game.h"
#include "protocol/game_control.h"
#include "protocol/interpreter.h"
#include "search/search.h"

namespace {

class GameEnd : public testing::Test {
protected:
    static void SetUpTestSuite() {
        init_attack_table();
        init_psq();
    }
    void SetUp() override { new_position(state_); }

    // Plays coordinate moves, separated by spaces, on the state.
    void play(const std::string& moves) {
        std::istringstream words(moves);
        std::string word;
        while (words >> word) {
            Move m = text_to_move(word.data());
            ASSERT_TRUE(m != 0 && complete_user_move(state_, m)) << word;
            make_move(state_, m);
        }
    }

    // The result code, and the message it prints.
    int result(std::string* message = nullptr) {
        testing::internal::CaptureStdout();
        const int code = check_game_result(state_, true);
        const std::string said = testing::internal::GetCapturedStdout();
        if (message) *message = said;
        return code;
    }

    SearchState state_;
};

}  // namespace

TEST_F(GameEnd, PositionsAndTheirMessages) {
    const struct {
        const char* fen;
        int code;
        const char* message;
    } cases[] = {
        {"R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", white_won, "1-0 {White mates}\n"},
        {"6k1/8/8/8/8/8/5PPP/r5K1 w - - 0 1", black_won, "0-1 {Black mates}\n"},
        {"k7/P7/1K6/8/8/8/8/8 b - - 0 1", game_drawn, "1/2-1/2 {Stalemate}\n"},
        {"4k3/8/8/8/8/8/8/2B1K3 w - - 0 1", game_drawn, "1/2-1/2 {Draw by insufficent material}\n"},
        {"4k3/8/8/8/8/8/8/1N2K3 b - - 0 1", game_drawn, "1/2-1/2 {Draw by insufficent material}\n"},
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", game_drawn, "1/2-1/2 {Draw by insufficent material}\n"},
        // Fifty moves come before insufficient material.
        {"4k3/8/8/8/8/8/8/2B1K3 w - - 100 80", game_drawn, "1/2-1/2 {Draw by fifty move rule}\n"},
        {"4k3/8/8/8/8/8/8/R3K3 w - - 100 80", game_drawn, "1/2-1/2 {Draw by fifty move rule}\n"},
        // Mate comes before the fifty-move rule.
        {"R5k1/5ppp/8/8/8/8/8/6K1 b - - 100 80", white_won, "1-0 {White mates}\n"},
        // Not over: two knights, a bishop each side, a pawn, 99 half-moves.
        {"4k3/8/8/8/8/8/8/1N2K1N1 w - - 0 1", game_running, ""},
        {"2b1k3/8/8/8/8/8/8/2B1K3 w - - 0 1", game_running, ""},
        {"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", game_running, ""},
        {"4k3/8/8/8/8/8/8/R3K3 w - - 99 80", game_running, ""},
        // In check with a way out.
        {"R5k1/5pp1/8/8/8/8/8/6K1 b - - 0 1", game_running, ""},
    };
    for (const auto& c : cases) {
        set_fen(state_, c.fen);
        std::string message;
        EXPECT_EQ(result(&message), c.code) << c.fen;
        EXPECT_EQ(message, c.message) << c.fen;
        EXPECT_EQ(check_game_result(state_, false), c.code) << c.fen;
    }
}

TEST_F(GameEnd, InCheckStatusHoldsAfterTakingBackToTheSetUpPoint) {
    // Black to move is mated as set up; a move from an earlier, unrelated
    // position must not leave a stale check record behind.
    play("e2e4 e7e5");
    set_fen(state_, "R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(result(), white_won);
    // Stalemate as set up, after a game that ended in check.
    set_fen(state_, "6k1/8/8/8/8/8/5PPP/r5K1 w - - 0 1");
    EXPECT_EQ(result(), black_won);
    set_fen(state_, "k7/P7/1K6/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(result(), game_drawn);

    // Mate reached by a move, taken back, and reached again.
    set_fen(state_, "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    EXPECT_EQ(result(), game_running);
    play("a1a8");
    EXPECT_EQ(result(), white_won);
    unmake_move(state_);
    EXPECT_EQ(result(), game_running);
}

TEST_F(GameEnd, RepetitionNeedsTwoEarlierOccurrencesWithTheSameSideToMove) {
    play("g1f3 g8f6 f3g1 f6g8");
    EXPECT_FALSE(is_threefold_repetition(state_));  // second occurrence
    play("g1f3 g8f6 f3g1");
    EXPECT_FALSE(is_threefold_repetition(state_));
    play("f6g8");
    EXPECT_TRUE(is_threefold_repetition(state_));
    std::string message;
    EXPECT_EQ(result(&message), game_drawn);
    EXPECT_EQ(message, "1/2-1/2 {Draw by repetition}\n");
    // A pawn move in between: the earlier positions cannot come back.
    new_position(state_);
    play("g1f3 g8f6 f3g1 f6g8 e2e3 e7e6 g1f3 g8f6 f3g1 f6g8");
    EXPECT_FALSE(is_threefold_repetition(state_));
}

TEST_F(GameEnd, RepetitionNeverReadsHistoryFromBeforeTheSetUp) {
    // The start position stands at plies 0, 4 and 8 of this game ...
    play("g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8");
    ASSERT_TRUE(is_threefold_repetition(state_));
    // ... and is set up again at ply 8 with a half-move clock that would
    // reach back over the old records.
    set_fen(state_, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 10 5");
    EXPECT_FALSE(is_threefold_repetition(state_));
    EXPECT_EQ(result(), game_running);
    // The first moves after the set-up count from the set-up on only.
    play("g1f3 g8f6 f3g1 f6g8");
    EXPECT_FALSE(is_threefold_repetition(state_));
    play("g1f3 g8f6 f3g1 f6g8");
    EXPECT_TRUE(is_threefold_repetition(state_));
    // A clock set high at ply 0 (no records at all) is harmless too.
    set_fen(state_, "4k3/8/8/8/8/8/8/R3K3 w - - 60 1");
    EXPECT_FALSE(is_threefold_repetition(state_));
}

namespace {

// Commands as the poll of a running search reads them: the search object is
// not touched, only the flags and the game.
class PolledCommands : public testing::Test {
protected:
    static void SetUpTestSuite() {
        init_attack_table();
        init_psq();
    }
    void SetUp() override {
        new_position(game);
        game_result = game_running;
        engine_side = white;
        search_running = true;
    }
    void TearDown() override {
        search_running = false;
        running_search = SearchKind::none;
        engine_side = black;
        analysis_mode = false;
    }

    // True when the line lets the search go on.
    static bool search_goes_on(const char* line) {
        std::string text = line;
        char* tokens[max_tokens];
        split_tokens(text.data(), tokens);
        testing::internal::CaptureStdout();
        const bool go_on = execute_commands(tokens);
        testing::internal::GetCapturedStdout();
        return go_on;
    }
};

}  // namespace

TEST_F(PolledCommands, OwnSearchStopsWhenItsMoveCouldNoLongerBePlayed) {
    running_search = SearchKind::own_move;
    EXPECT_TRUE(search_goes_on("time 500 otim 600 post hard easy name X"));
    EXPECT_TRUE(search_goes_on("go"));  // the same side: nothing changes
    EXPECT_FALSE(search_goes_on("force"));
    engine_side = white;
    EXPECT_FALSE(search_goes_on("new"));  // same position, but the engine now plays black
    engine_side = white;
    EXPECT_FALSE(search_goes_on("e2e4"));
    EXPECT_FALSE(search_goes_on("undo"));
}

TEST_F(PolledCommands, SearchesOnTheOpponentsTimeStopWhenTheEngineIsToMove) {
    for (const SearchKind kind : {SearchKind::ponder_target, SearchKind::pondering}) {
        engine_side = black;
        running_search = kind;
        EXPECT_TRUE(search_goes_on("name X"));
        EXPECT_FALSE(search_goes_on("go"));
        EXPECT_EQ(engine_side, white);
    }
    engine_side = black;
    running_search = SearchKind::pondering;
    EXPECT_FALSE(search_goes_on("setboard 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"));
}

TEST_F(PolledCommands, TestRunSearchStopsOnlyForMoveNowAndQuit) {
    // The searched position came from an EPD file: changes to the game or
    // the sides leave it alone.
    running_search = SearchKind::test_position;
    engine_side = black;
    for (const char* line : {"name X", "force", "e2e4", "undo", "go", "new",
                             "setboard 4k3/8/8/8/8/8/4P3/4K3 b - - 0 1"})
        EXPECT_TRUE(search_goes_on(line)) << line;
    abort_flag = 0;
    EXPECT_TRUE(search_goes_on("?"));  // ends this position's search only
    EXPECT_EQ(abort_flag, 1);
    abort_flag = 0;
    EXPECT_FALSE(search_goes_on("quit"));
    EXPECT_TRUE(quit_requested);
    quit_requested = false;
}

TEST_F(PolledCommands, NestedCallsStartNoSearch) {
    // Inside the poll `go` and `analyze` only set the mode; a search started
    // here would never return before the input ends.
    running_search = SearchKind::own_move;
    EXPECT_TRUE(search_goes_on("analyze"));
    EXPECT_TRUE(analysis_mode);
    EXPECT_TRUE(search_goes_on("exit"));  // no search without clock runs
    EXPECT_FALSE(analysis_mode);
}

TEST_F(PolledCommands, TakeBacksStopAtTheSetUpPoint) {
    search_running = false;
    engine_side = neither_side;
    EXPECT_TRUE(search_goes_on("e2e4 remove remove undo"));
    EXPECT_EQ(game.hply, 0);
    SearchState start;
    new_position(start);
    EXPECT_EQ(game.pos_key, start.pos_key);
    game_result = black_won;
    EXPECT_TRUE(search_goes_on("d2d4 undo"));
    EXPECT_EQ(game_result, game_running);  // the result of a taken-back move no longer stands
}
