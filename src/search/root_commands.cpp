#include "search/root_commands.h"

#include "bitbase/bitbase.h"
#include "board/make_move.h"
#include "board/notation.h"
#include "eval/evaluate.h"
#include "protocol/console.h"
#include "protocol/game.h"
#include "search/root.h"
#include "search/search.h"
#include "search/time_control.h"

SearchState main_search_state;

bool engine_turn() {
    // The game may change while the engine thinks (a command read by the
    // poll); the move found then belongs to a position that is gone.
    const HashKey key_before = game.pos_key;
    const int hply_before = game.hply;
    copy_search_state(main_search_state, game);
    const Move m = find_best_move(main_search_state);
    if (quit_requested) return false;
    if (m == 0 || game.pos_key != key_before || game.hply != hply_before) return true;
    make_move(game, m);
    char text[8];
    move_to_text(m, text);
    emit("move %s\n", text);
    return true;
}

bool command_go(char**, int) {
    engine_side = game.to_move;
    // There is only one search: `go` read while one runs only changes sides.
    if (search_running || analysis_mode || game_result != game_running) return true;
    return engine_turn();
}

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
