// The personality tuner: its error function on hand-made scores, the quiet
// positions it takes from a small PGN file, and the files it writes.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "book/book_files.h"
#include "eval/eval_params.h"
#include "eval/psq.h"
#include "tune/tuner.h"

namespace {

class Tuner : public book_test::ScratchDir {
protected:
    void SetUp() override {
        book_test::ScratchDir::SetUp();
        init_attack_table();
        init_psq();
    }
};

}  // namespace

TEST(TunerError, LogisticAndMeanSquaredErrorPerSet) {
    EXPECT_DOUBLE_EQ(expected_result(0, 1.3), 0.5);
    EXPECT_NEAR(expected_result(400, 1.0), 1.0 / 1.1, 1e-12);
    EXPECT_NEAR(expected_result(-200, 2.0), 1.0 / 11.0, 1e-12);

    TuneScores scores;
    scores.scores = {0, 400, -400, 400};
    scores.sets = {0, 1, 1, 2};
    scores.results = {0.5f, 1.0f, 0.0f, 0.0f};
    const double miss = 1.0 - 1.0 / 1.1;  // a white-won game scored +400 at k = 1
    EXPECT_DOUBLE_EQ(mean_error(scores, 1.0, 0), 0.0);
    EXPECT_NEAR(mean_error(scores, 1.0, 1), miss * miss, 1e-12);
    EXPECT_NEAR(mean_error(scores, 1.0, 2), (1.0 / 1.1) * (1.0 / 1.1), 1e-12);
    EXPECT_NEAR(mean_error(scores, 1.0, -1), (2 * miss * miss + (1.0 / 1.1) * (1.0 / 1.1)) / 4, 1e-12);
    EXPECT_DOUBLE_EQ(mean_error(TuneScores(), 1.0, -1), 0.0);
}

TEST_F(Tuner, QuietPositionsOfFinishedGamesAreSampled) {
    book_test::write_text(path("games.pgn"),
               "[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Bxc6 dxc6 1-0\n\n"
               "[Result \"*\"]\n\n1. d4 d5 *\n\n"
               "[FEN \"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1\"]\n[Result \"1/2-1/2\"]\n\n1. e4 1/2-1/2\n\n"
               "[Result \"0-1\"]\n\n1. f3 e5 2. g4 Qh4# 0-1\n");
    std::vector<TuneGame> games;
    TuneCounts counts;
    std::string error;
    ASSERT_TRUE(read_tune_games(path("games.pgn").c_str(), TuneSampling{0}, games, counts, error)) << error;
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(counts.skipped_games, 2);  // the unfinished game and the one set up from a FEN
    // Before Bxc6 (a capture) and before dxc6 (after one) are left out.
    EXPECT_EQ(games[0].sampled, (std::vector<uint8_t>{1, 1, 1, 1, 1, 1, 0, 0}));
    EXPECT_DOUBLE_EQ(games[0].result, 1.0);
    EXPECT_DOUBLE_EQ(games[1].result, 0.0);
    EXPECT_EQ(counts.positions, 6 + 4);

    // From ply 4 on only.
    games.clear();
    counts = TuneCounts();
    ASSERT_TRUE(read_tune_games(path("games.pgn").c_str(), TuneSampling{4}, games, counts, error));
    EXPECT_EQ(counts.positions, 2);

    TuneScores scores;
    score_positions(games, scores);
    EXPECT_EQ(scores.scores.size(), 2u);
    EXPECT_EQ(scores.sets, (std::vector<uint8_t>{opening_set, opening_set}));

    book_test::write_text(path("bad.pgn"), "[Result \"1-0\"]\n\n1. e4 e5\n2. Ke3 1-0\n");
    EXPECT_FALSE(read_tune_games(path("bad.pgn").c_str(), TuneSampling{0}, games, counts, error));
    EXPECT_NE(error.find("Ke3 at line 4"), std::string::npos) << error;
    EXPECT_FALSE(read_tune_games(path("missing.pgn").c_str(), TuneSampling{0}, games, counts, error));
}

TEST_F(Tuner, WrittenPersonalityLoadsBackWithItsComment) {
    const EvalParams params = {110, 25, 55, 90, 120, 95, 80, 100, 160};
    std::filesystem::create_directory(dir / "personality");
    ASSERT_TRUE(write_personality_file(path("personality/t.per").c_str(), params, "line one\nline two"));
    std::ifstream in(path("personality/t.per"));
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "# line one");

    char here[1024];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    const EvalParams saved = eval_param_sets[endgame_set];
    const bool loaded = load_personality("t", endgame_set);
    const EvalParams read = eval_param_sets[endgame_set];
    eval_param_sets[endgame_set] = saved;
    ASSERT_EQ(chdir(here), 0);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(std::memcmp(&read, &params, sizeof params), 0);
}
