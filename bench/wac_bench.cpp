// Tactical benchmark: the positions of an EPD file (by default the 300 of
// Win At Chess) are each searched to a fixed iteration limit on one thread,
// with fixed table sizes, no personality loaded and all tables cleared
// before each position. A position counts as solved when the move found is
// one of its "bm" moves. Prints the solved count, the total node count and
// the speed; with `-v` also one line per unsolved position. With `-p` the
// shipped personality (run/personality/default.per) is loaded first, as the
// engine does at start-up; without it every weight is 0, as in the search
// bench (no futility margin, no positional scales). `-P DIR` loads instead
// the personality that run directory DIR's velkan.ini loads (or its
// default one), to compare weights as they are played.
//
//   wac_bench [depth [count [epd file]]] [-v] [-p | -P DIR]
//
// It shows what a change to move ordering, extensions or pruning does to the
// tactical strength at a given depth: solved positions against nodes spent.

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "shipped_personality.h"
#include "board/board.h"
#include "board/move_input.h"
#include "board/notation.h"
#include "eval/eval_params.h"
#include "eval/psq.h"
#include "protocol/console.h"
#include "protocol/game.h"
#include "search/root.h"
#include "search/root_commands.h"
#include "search/time_control.h"
#include "search/trans_table.h"

namespace {

constexpr int default_depth = 7;
// 2^15 buckets per side: 2 MB each, as in the search bench.
constexpr uint64_t bench_tt_buckets = uint64_t(1) << 15;
constexpr int line_size = 512;

// The suite and the run directory live in the source tree, found from
// this file's directory.
constexpr const char* default_epd_relative = "/../tests/data/wac.epd";

// Whether `best` is one of the SAN moves of the "bm" field of an EPD line
// (the position already set up in `state`). The line is cut in place.
bool is_best_move(SearchState& state, char* line, Move best) {
    char* field = std::strstr(line, " bm ");
    if (!field) return false;
    field += 4;
    if (char* end = std::strchr(field, ';')) *end = 0;
    for (char* san = std::strtok(field, " "); san; san = std::strtok(nullptr, " ")) {
        Move m = 0;
        if (san_to_move(state, san, m) && (m & user_move_mask) == (best & user_move_mask))
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    bool verbose = false;
    bool personality = false;
    const char* personality_dir = nullptr;
    const char* numbers[3] = {nullptr, nullptr, nullptr};
    int given = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-v") == 0)
            verbose = true;
        else if (std::strcmp(argv[i], "-p") == 0)
            personality = true;
        else if (std::strcmp(argv[i], "-P") == 0 && i + 1 < argc)
            personality_dir = argv[++i];
        else if (given < 3)
            numbers[given++] = argv[i];
    }
    const int depth = numbers[0] ? std::atoi(numbers[0]) : default_depth;
    const int limit = numbers[1] ? std::atoi(numbers[1]) : 0;  // 0: every position
    char bench_dir[line_size];
    std::snprintf(bench_dir, sizeof bench_dir, "%s", __FILE__);
    if (char* slash = std::strrchr(bench_dir, '/')) *slash = 0;
    char default_epd[2 * line_size];
    std::snprintf(default_epd, sizeof default_epd, "%s%s", bench_dir, default_epd_relative);
    char path[2 * line_size];
    if (!realpath(numbers[2] ? numbers[2] : default_epd, path)) {
        std::printf("cannot find %s\n", numbers[2] ? numbers[2] : default_epd);
        return 1;
    }
    if (personality && !load_shipped_personality()) {
        std::printf("cannot load the shipped personality\n");
        return 1;
    }
    if (personality_dir && !load_personality_of(personality_dir)) {
        std::printf("cannot load the personality of %s\n", personality_dir);
        return 1;
    }

    FILE* file = std::fopen(path, "r");
    if (!file) {
        std::printf("cannot open %s\n", path);
        return 1;
    }
    init_attack_table();
    init_psq();
    resize_tt(bench_tt_buckets);
    char depth_text[16];
    std::snprintf(depth_text, sizeof depth_text, "%d", depth);
    char* args[] = {depth_text};
    command_sd(args, 1);
    pvstyle = 1;

    int positions = 0;
    int solved = 0;
    uint64_t total_nodes = 0;
    const int start = now_ms();
    char line[line_size];
    while ((limit == 0 || positions < limit) && std::fgets(line, sizeof line, file)) {
        if (std::strstr(line, " bm ") == nullptr) continue;
        clear_all_tables();
        set_fen(game, line);
        copy_search_state(main_search_state, game);
        const Move best = find_best_move(main_search_state);
        total_nodes += main_search_state.nodes;
        ++positions;
        char id_line[line_size];
        std::snprintf(id_line, sizeof id_line, "%s", line);
        if (is_best_move(game, line, best)) {
            ++solved;
        } else if (verbose) {
            char text[8];
            move_to_text(best, text);
            std::printf("unsolved (played %s): %s", text, id_line);
        }
    }
    std::fclose(file);
    int elapsed = now_ms() - start;
    if (elapsed <= 0) elapsed = 1;
    std::printf("\nsolved %d of %d at depth %d\n", solved, positions, depth);
    std::printf("nodes %" PRIu64 "\n", total_nodes);
    std::printf("time %.2f s\n", elapsed / 1000.0);
    std::printf("nps %.0f\n", double(total_nodes) * 1000.0 / elapsed);
    return 0;
}
