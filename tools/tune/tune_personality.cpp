// Fits the weights of the three phase personalities to the results of a
// set of games (see tuner.h) and writes opening.per, middlegame.per and
// endgame.per. It starts from the default personality of a run directory
// and keeps its search margins.
//
//   tune_personality [-d RUNDIR] [-o OUTDIR] [-f FIRST_PLY] [-s STEP] [-1] GAMES.pgn...
//
// -1 fits one set of weights for all three phases (fewer weights, less
// noise from a small sample).
//
// From the build directory, with the self-play games of the book:
//   ./tune_personality -d run -o tuned ../../data/book_games.pgn

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "eval/eval_params.h"
#include "eval/psq.h"
#include "tune/tuner.h"

namespace {

const char* const set_names[3] = {"opening", "middlegame", "endgame"};
const char* const set_meaning[3] = {
    "the opening: some castling right is left",
    "the middlegame: no castling right left, 29 or more units of pieces",
    "the endgame: fewer than 29 units of pieces (pawn units, both sides)",
};

void print_pass(int pass, int step, double error, double held) {
    std::printf("pass %d step %d error %.6f held-out %.6f\n", pass, step, error, held);
    std::fflush(stdout);
}

void print_sets(const char* title) {
    std::printf("%s\n", title);
    for (int set = 0; set < 3; ++set) {
        std::printf("  %-10s", set_names[set]);
        for (int w = 0; w < tuned_weight_count; ++w)
            std::printf(" %s %d", tuned_weights[w].name, eval_param_sets[set].*tuned_weights[w].field);
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* run_dir = "run";
    const char* out_dir = ".";
    TuneSampling sampling;
    int start_step = 16;
    bool one_set = false;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (std::strcmp(argv[i], "-d") == 0 && has_value)
            run_dir = argv[++i];
        else if (std::strcmp(argv[i], "-o") == 0 && has_value)
            out_dir = argv[++i];
        else if (std::strcmp(argv[i], "-f") == 0 && has_value)
            sampling.first_ply = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "-1") == 0)
            one_set = true;
        else if (std::strcmp(argv[i], "-s") == 0 && has_value)
            start_step = std::max(1, std::atoi(argv[++i]));
        else
            files.push_back(argv[i]);
    }
    if (files.empty()) {
        std::printf("usage: tune_personality [-d RUNDIR] [-o OUTDIR] [-f FIRST_PLY] [-s STEP] [-1] GAMES.pgn...\n");
        return 2;
    }
    init_attack_table();
    init_psq();
    char here[1024];
    if (!getcwd(here, sizeof here) || chdir(run_dir) != 0 || !command_personality("default") || chdir(here) != 0) {
        std::printf("cannot load the default personality of %s\n", run_dir);
        return 1;
    }

    std::vector<TuneGame> games;
    TuneCounts counts;
    for (const char* name : files) {
        std::string error;
        if (!read_tune_games(name, sampling, games, counts, error)) {
            std::printf("%s: %s\n", name, error.c_str());
            return 1;
        }
    }
    std::printf("games %d, skipped %d, positions %d\n", counts.games, counts.skipped_games, counts.positions);
    // A fourth of the games is kept out of the fit to check it: both games
    // of every fourth opening line, since the self-play plays each line twice
    // in a row and the two games of a line are alike.
    std::vector<TuneGame> fitted, held_out;
    for (size_t i = 0; i < games.size(); ++i) (i / 2 % 4 == 3 ? held_out : fitted).push_back(games[i]);

    TuneScores scores;
    score_positions(fitted, scores);
    const double k = fit_logistic_scale(scores);
    const double before = mean_error(scores, k, -1);
    std::printf("logistic scale %.4f, error %.6f\n", k, before);
    print_sets("start:");
    const double after = tune_weights(fitted, held_out, k, start_step, 50, one_set, print_pass);
    print_sets("tuned:");
    std::printf("error %.6f -> %.6f\n", before, after);

    for (int set = 0; set < 3; ++set) {
        const std::string path = std::string(out_dir) + "/" + set_names[set] + ".per";
        char comment[1024];
        std::snprintf(comment, sizeof comment,
                      "Evaluation weights for %s.\n"
                      "Fitted by tools/tune/tune_personality to the results of %d games\n"
                      "(%d quiet positions, a fourth of the opening lines held out as a\n"
                      "check): the squared error of the expected result\n"
                      "1 / (1 + 10^(-%.3f * score / 400)) fell from %.6f to %.6f over all phases.\n"
                      "The scales are percents of each term, the margins centipawns;\n"
                      "futl_margin and lazy_margin are the search's and are not fitted.",
                      set_meaning[set], counts.games, counts.positions, k, before, after);
        if (!write_personality_file(path.c_str(), eval_param_sets[set], comment)) {
            std::printf("cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("wrote %s\n", path.c_str());
    }
    return 0;
}
