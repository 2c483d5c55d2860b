// The evaluation's commands through the engine's standard input.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/engine_process.h"

namespace {

std::vector<std::string> session(EngineProcess& engine, const std::vector<std::string>& lines) {
    return without_startup(run_session(engine, lines));
}

}  // namespace

TEST(EvalCommands, ScoreWithTheShippedPersonalityAndAfterReloading) {
    EngineProcess engine;
    write_engine_file(engine, "personality/flat.per", "# all weights zero\nmobility_scale 0\n");
    without_bitbases(engine);  // the evaluation's own score of the ending
    EXPECT_EQ(session(engine, {"score", "setboard 8/8/8/4k3/8/8/8/KNN5 b - - 0 1", "score",
                               "personality flat", "new", "score"}),
              (std::vector<std::string>{"score = 10", "score = 0", "score = 10"}));
    EXPECT_EQ(engine.exit_code, 0);
}

TEST(EvalCommands, NewWeightsAreNotAnsweredFromTheCache) {
    EngineProcess engine;
    write_engine_file(engine, "personality/nopair.per", "bishop_pair_scale 0\n");
    // Bishop pair against bishop and knight, 8 pawns off: the weight of
    // default.per gives 40 for the pair.
    const std::vector<std::string> out =
        session(engine, {"personality default", "setboard 2b1k1n1/pppp4/8/8/8/8/PPPP4/2B1KB2 w - - 0 1",
                         "score", "personality nopair", "score"});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(std::stoi(out[0].substr(8)) - std::stoi(out[1].substr(8)), 40);
}

TEST(EvalCommands, MissingPersonalityIsReportedAndTheEngineGoesOn) {
    EngineProcess engine;
    // The sets loaded before the missing file stay: the score is the shipped one.
    EXPECT_EQ(session(engine, {"multi_personality default nowhere default", "score"}),
              (std::vector<std::string>{"Personality nowhere not found!", "score = 10"}));
}
