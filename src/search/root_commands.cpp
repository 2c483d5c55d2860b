#include "search/root_commands.h"

#include "bitbase/bitbase.h"
#include "board/make_move.h"
#include "board/notation.h"
#include "eval/evaluate.h"
#include "protocol/console.h"
#include "protocol/game.h"
#include "search/parallel.h"
#include "search/root.h"
#include "search/search.h"
#include "search/time_control.h"

SearchState& main_search_state = search_pool[0];

bool command_status(char**, int) {
    if (!search_running || abort_flag) return true;
    const SearchState& state = main_search_state;
    const PlyRecord& root = state.ply_records[0];
    char text[16];
    move_to_long_text(root.current_move, text);
    emit("stat01: %d %lld %d %d %d %s\n", (now_ms() - search_start_ms) / 10,
         (long long)state.nodes, iteration_depth, root.move_count - root.move_index - 1,
         root.move_count, text);
    return true;
}

bool command_score_bitbase_or_eval(char**, int) {
    if (!show_bitbase_score(game)) command_score(game);
    return true;
}
