// Typed moves and the move listing over pipes, as an interface or a person
// sends them: promotions need their letter in either case, and `moves`
// lists each legal move once.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/engine_process.h"

namespace {

std::vector<std::string> replies(const std::vector<std::string>& lines) {
    EngineProcess engine;
    std::vector<std::string> out = without_startup(run_session(engine, lines));
    EXPECT_EQ(engine.exit_code, 0);
    return out;
}

}  // namespace

TEST(MoveInput, PromotionNeedsItsLetterInEitherCase) {
    // A promoting pawn typed without its letter matches no legal move. In
    // force mode the engine does not answer the moves.
    const std::string free_fen = "force setboard 6k1/4P3/8/8/8/8/8/K7 w - - 0 1";
    std::vector<std::string> out = replies({free_fen, "e7e8", "d"});
    ASSERT_EQ(out.size(), 10u);
    EXPECT_EQ(out[0], "Illegal move: e7e8");
    EXPECT_EQ(out[3], "\t____P___");  // the pawn is still on e7

    out = replies({free_fen, "E7E8Q", "d"});
    ASSERT_EQ(out.size(), 9u);
    EXPECT_EQ(out[1], "\t____Q_k_");
    out = replies({free_fen, "e7e8n", "d"});
    ASSERT_EQ(out.size(), 9u);
    EXPECT_EQ(out[1], "\t____N_k_");
}

TEST(MoveInput, MovesListsTwentyLinesInTheStartPosition) {
    const std::vector<std::string> out = replies({"new", "moves"});
    ASSERT_EQ(out.size(), 20u);
    // Knights come first (the quiet generator's order), pawns last.
    EXPECT_EQ(out.front().rfind("g1 h3 N", 0), 0u) << out.front();
    EXPECT_EQ(out.back().rfind("a2 a4 P", 0), 0u) << out.back();
}
