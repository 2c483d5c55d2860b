#include "tune/tuner.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/move_input.h"
#include "board/notation.h"
#include "book/pgn_reader.h"
#include "eval/eval_cache.h"
#include "eval/evaluate.h"

namespace {

// Games longer than this are cut: the history stack has room for them and
// the positions that far in add little.
constexpr int max_game_plies = 600;

// One game as it is read: its move texts, its result and whether it can
// be used at all.
struct PendingGame {
    std::vector<std::string> moves;
    std::vector<int> line_numbers;
    bool set_up = false;
    bool any = false;
};

double result_for_white(int code) {
    if (code == pgn_white_won) return 1.0;
    if (code == pgn_black_won) return 0.0;
    return 0.5;
}

// Replays a game's move texts and marks its quiet positions. False when a
// move is not legal.
bool replay_game(const PendingGame& pending, int result, const TuneSampling& sampling, SearchState& board,
                 TuneGame& game, std::string& error) {
    new_position(board);
    game.result = result_for_white(result);
    for (size_t i = 0; i < pending.moves.size() && int(i) < max_game_plies; ++i) {
        std::string text = pending.moves[i];
        text.erase(std::min(text.find_first_of("?!"), text.size()));
        if (text.empty()) continue;
        Move m = 0;
        if (!san_to_move(board, text.data(), m)) {
            error = "illegal move " + pending.moves[i] + " at line " + std::to_string(pending.line_numbers[i]);
            return false;
        }
        const bool after_capture = !game.moves.empty() && is_capture(game.moves.back());
        const bool quiet = int(game.moves.size()) >= sampling.first_ply && !after_capture &&
                           !is_capture(m) && !is_promotion(m) && !side_in_check(board);
        game.moves.push_back(m);
        game.sampled.push_back(quiet ? 1 : 0);
        make_move(board, m);
    }
    return true;
}

}  // namespace

bool read_tune_games(const char* pgn_name, const TuneSampling& sampling, std::vector<TuneGame>& games,
                     TuneCounts& counts, std::string& error) {
    FILE* file = std::fopen(pgn_name, "r");
    if (!file) {
        error = std::string("cannot open ") + pgn_name;
        return false;
    }
    auto board = std::make_unique<SearchState>();
    PgnReader reader;
    reader.file = file;
    PgnItem item;
    PendingGame pending;
    bool in_moves = false;
    bool ok = true;
    // A game ends at its termination marker; a tag after moves without a
    // marker starts a new game and drops the unfinished one.
    auto finish = [&](int result) {
        if (pending.set_up || result == pgn_no_result) {
            if (pending.any) ++counts.skipped_games;
        } else {
            TuneGame game;
            if (!replay_game(pending, result, sampling, *board, game, error)) return false;
            for (uint8_t s : game.sampled) counts.positions += s;
            ++counts.games;
            games.push_back(std::move(game));
        }
        pending = PendingGame();
        in_moves = false;
        return true;
    };
    while (ok && next_pgn_item(reader, item)) {
        if (item.kind == PgnItemKind::tag) {
            if (in_moves) ok = finish(pgn_no_result);
            pending.any = true;
            if (item.text.rfind("[FEN", 0) == 0 || item.text.rfind("[SetUp \"1", 0) == 0) pending.set_up = true;
        } else if (item.kind == PgnItemKind::move) {
            in_moves = true;
            pending.any = true;
            pending.moves.push_back(item.text);
            pending.line_numbers.push_back(item.line_number);
        } else {
            ok = finish(item.result);
        }
    }
    if (ok && pending.any) ok = finish(pgn_no_result);
    std::fclose(file);
    return ok;
}

double expected_result(double score, double k) { return 1.0 / (1.0 + std::pow(10.0, -k * score / 400.0)); }

void score_positions(const std::vector<TuneGame>& games, TuneScores& out) {
    static SearchState board;
    out.scores.clear();
    out.sets.clear();
    out.results.clear();
    for (const TuneGame& game : games) {
        new_position(board);
        for (size_t i = 0; i < game.moves.size(); ++i) {
            if (game.sampled[i]) {
                // The cache would answer with the value of the old weights.
                eval_cache_entry(*board.eval_cache, board.pos_key).key = 0;
                const int value = evaluate(board, eval_full);
                out.scores.push_back(board.to_move == white ? value : -value);
                out.sets.push_back(uint8_t(select_params(board) - eval_param_sets));
                out.results.push_back(float(game.result));
            }
            make_move(board, game.moves[i]);
        }
    }
}

double mean_error(const TuneScores& scores, double k, int set) {
    double sum = 0;
    int n = 0;
    for (size_t i = 0; i < scores.scores.size(); ++i) {
        if (set >= 0 && scores.sets[i] != set) continue;
        const double d = scores.results[i] - expected_result(scores.scores[i], k);
        sum += d * d;
        ++n;
    }
    return n ? sum / n : 0.0;
}

double fit_logistic_scale(const TuneScores& scores) {
    // The error is smooth and has one minimum in k: narrow a bracket.
    double lo = 0.1, hi = 4.0;
    for (int i = 0; i < 60; ++i) {
        const double a = lo + (hi - lo) / 3, b = hi - (hi - lo) / 3;
        if (mean_error(scores, a, -1) < mean_error(scores, b, -1))
            hi = b;
        else
            lo = a;
    }
    return (lo + hi) / 2;
}

double tune_weights(const std::vector<TuneGame>& games, const std::vector<TuneGame>& held_out, double k,
                    int start_step, int max_passes, bool one_set,
                    void (*report)(int pass, int step, double error, double held)) {
    TuneScores scores, check;
    score_positions(games, scores);
    score_positions(held_out, check);
    // With one_set the three sets move together and are judged on every
    // position (index 0 below stands for all of them).
    const int groups = one_set ? 1 : 3;
    double errors[3], held[3];
    for (int g = 0; g < groups; ++g) {
        errors[g] = mean_error(scores, k, one_set ? -1 : g);
        held[g] = mean_error(check, k, one_set ? -1 : g);
    }
    int pass = 0;
    for (int step = start_step; step >= 1; step /= 2) {
        for (int round = 0; round < max_passes; ++round) {
            bool improved = false;
            for (int g = 0; g < groups; ++g) {
                const int set = one_set ? -1 : g;
                for (int w = 0; w < tuned_weight_count; ++w) {
                    const ParamKey& weight = tuned_weights[w];
                    const int32_t before = eval_param_sets[one_set ? 0 : g].*weight.field;
                    auto assign = [&](int32_t value) {
                        for (int s = 0; s < 3; ++s)
                            if (one_set || s == g) eval_param_sets[s].*weight.field = value;
                    };
                    for (const int direction : {+1, -1}) {
                        if (before + direction * step < 0) continue;
                        assign(before + direction * step);
                        score_positions(games, scores);
                        const double error = mean_error(scores, k, set);
                        // A step must also help the games kept out of the
                        // fit, or it only follows the noise of the sample.
                        double held_error = held[g];
                        if (error < errors[g]) {
                            score_positions(held_out, check);
                            held_error = mean_error(check, k, set);
                        }
                        if (error < errors[g] && held_error <= held[g]) {
                            errors[g] = error;
                            held[g] = held_error;
                            improved = true;
                            break;
                        }
                        assign(before);
                    }
                }
            }
            score_positions(games, scores);
            score_positions(held_out, check);
            if (report) report(++pass, step, mean_error(scores, k, -1), mean_error(check, k, -1));
            if (!improved) break;
        }
    }
    score_positions(games, scores);
    return mean_error(scores, k, -1);
}

bool write_personality_file(const char* path, const EvalParams& params, const std::string& comment) {
    FILE* file = std::fopen(path, "w");
    if (!file) return false;
    size_t start = 0;
    while (start < comment.size()) {
        size_t end = comment.find('\n', start);
        if (end == std::string::npos) end = comment.size();
        std::fprintf(file, "# %s\n", comment.substr(start, end - start).c_str());
        start = end + 1;
    }
    std::fprintf(file, "futl_margin %d\n", params.futl_margin);
    for (int w = 0; w < tuned_weight_count; ++w)
        std::fprintf(file, "%s %d\n", tuned_weights[w].name, params.*tuned_weights[w].field);
    std::fprintf(file, "lazy_margin %d\n", params.lazy_margin);
    return std::fclose(file) == 0;
}
