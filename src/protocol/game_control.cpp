#include "protocol/game_control.h"

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "protocol/console.h"
#include "protocol/game.h"
#include "search/root.h"
#include "search/root_commands.h"
#include "search/search.h"
#include "search/time_control.h"

SearchKind running_search = SearchKind::none;
Move ponder_move = 0;

namespace {

// Set when a flow ends the walk of its command list with true.
bool walk_end = false;

// The engine resigns after this many of its moves in a row scored beyond
// the resign threshold: one bad score may be a search artefact.
constexpr int resign_after_moves = 3;
// A draw by the fifty-move rule: one hundred half-moves without a capture
// or a pawn move.
constexpr int fifty_move_plies = 100;
// King and at most one minor piece against a bare king (pawn units).
constexpr int max_insufficient_material = 3;
// A search makes up to max_ply moves on top of the game's history.
constexpr int history_room_for_search = max_ply + 1;

// ---------------------------------------------------------------- game end

// Makes a pseudo-legal move, tests the mover's king and takes it back.
bool keeps_own_king_safe(SearchState& state, Move m) {
    make_move(state, m);
    const bool safe = !attacked(state, state.to_move, king_square(state, state.not_to_move));
    unmake_move(state);
    return safe;
}

// Whether the side to move has a legal move: the pseudo-legal moves are
// tried in generation order until one is legal.
bool has_legal_move(SearchState& state) {
    if (state.hply >= max_history) return true;  // no room to try: never claim an end
    state.ply_rec->move_count = 0;
    generate_captures(state);
    generate_quiets(state);
    const PlyRecord& list = *state.ply_rec;
    for (int i = 0; i < list.move_count; ++i)
        if (keeps_own_king_safe(state, list.moves[i])) return true;
    return false;
}

// Whether m (from a principal variation) is a legal move of the side to move.
bool is_legal_move(SearchState& state, Move m) {
    return m != 0 && state.hply < max_history && is_move_valid(state, m) &&
           keeps_own_king_safe(state, m);
}

// The first game-end test that applies, with its message; code
// game_running and no message when the game goes on.
struct GameEnd {
    int code;
    const char* message;
};

GameEnd find_game_end(SearchState& state) {
    if (!has_legal_move(state)) {
        // Computed from the board: a position just set up has no move that
        // recorded its check.
        if (!side_in_check(state)) return {game_drawn, "1/2-1/2 {Stalemate}\n"};
        if (state.to_move == white) return {black_won, "0-1 {Black mates}\n"};
        return {white_won, "1-0 {White mates}\n"};
    }
    if (is_threefold_repetition(state)) return {game_drawn, "1/2-1/2 {Draw by repetition}\n"};
    if (state.halfmove_clock >= fifty_move_plies) return {game_drawn, "1/2-1/2 {Draw by fifty move rule}\n"};
    if (is_insufficient_material(state)) return {game_drawn, "1/2-1/2 {Draw by insufficent material}\n"};
    return {game_running, nullptr};
}

// ------------------------------------------------------------ search runs

// Whether the game still stands where the last search started (the main
// search object is back at its root after every search).
bool game_is_search_root() {
    return game.pos_key == main_search_state.pos_key && game.hply == main_search_state.hply;
}

// The engine is to move in a running game.
bool engine_to_move() { return game_result == game_running && engine_side == game.to_move; }

// ------------------------------------------------------------ the turn

// The resign rule, on the engine's latest score (last_score is from white's
// side). True when the engine resigns now.
bool resigns_now() {
    const bool beyond = (engine_side == white && last_score < -resign_threshold) ||
                        (engine_side == black && last_score > resign_threshold);
    if (!beyond) {
        resign_count = 0;
        return false;
    }
    ++resign_count;
    return resign_count >= resign_after_moves;
}

// Plays the engine's move on the game and announces it: the resign rule, a
// draw offer when the move ends the game in a draw, "move", the result.
// True when the game goes on (the engine may ponder).
bool play_engine_move(Move m) {
    make_move(game, m);
    char text[8];
    move_to_text(m, text);
    if (resigns_now()) {
        emit("move %s\n", text);
        emit("resign\n");
        return false;
    }
    // The game-end tests in the same order as a claim; the draw is offered
    // before the move so that the interface sees it with the move.
    game_result = check_game_result(game, false);
    if (game_result == game_drawn) emit("offer draw\n");
    emit("move %s\n", text);
    if (game_result != game_running) {
        check_game_result(game, true);
        return false;
    }
    return true;
}

// How pondering ended.
enum class PonderEnd { quit, wait, engine_turn, hit };

// After a search on the opponent's time that ended without a ponder hit:
// the engine thinks when it is now to move (the opponent's move arrived, or
// `go` gave it the side to move); otherwise it waits.
PonderEnd after_ponder_search() {
    no_clock = 0;
    ponder_mode = 0;
    return engine_to_move() ? PonderEnd::engine_turn : PonderEnd::wait;
}

// The reply the engine expects: the second move of the principal variation
// just found, or else the result of a short search for the opponent. 0 with
// `end` set when pondering cannot go on.
Move expected_reply(PonderEnd& end) {
    const PlyRecord& root = main_search_state.ply_records[0];
    if (root.pv_length >= 2 && is_legal_move(game, root.pv[1])) return root.pv[1];

    emit("Pondering for opponent's move ...\n");
    copy_search_state(main_search_state, game);
    const Move reply = run_search(SearchKind::ponder_target);
    if (quit_requested) {
        end = PonderEnd::quit;
        return 0;
    }
    // The opponent's move (or another command) arrived meanwhile.
    if (!ponder_mode || !game_is_search_root() || engine_to_move()) {
        end = after_ponder_search();
        return 0;
    }
    if (reply == 0) end = after_ponder_search();
    return reply;
}

// Pondering after the engine's move. On a hit, `reply` receives the move
// the search (now the engine's own) returned.
PonderEnd ponder(Move& reply) {
    // The ponder search starts one move further down the history.
    if (game.hply + history_room_for_search + 1 >= max_history) return PonderEnd::wait;
    ponder_mode = 1;
    PonderEnd end = PonderEnd::wait;
    const Move expected = expected_reply(end);
    if (expected == 0) return end;

    char text[16];
    move_to_long_text(expected, text);
    emit("pondering after move [%s]\n", text);
    ponder_move = expected;
    no_clock = 1;
    copy_search_state(main_search_state, game);
    make_move(main_search_state, expected);
    reply = run_search(SearchKind::pondering);
    if (quit_requested) {
        no_clock = 0;
        ponder_mode = 0;
        return PonderEnd::quit;
    }
    if (no_clock) return after_ponder_search();
    return PonderEnd::hit;
}

}  // namespace

// --------------------------------------------------------------- interface

Move run_search(SearchKind kind) {
    running_search = kind;
    const Move best = find_best_move(main_search_state);
    running_search = SearchKind::none;
    return best;
}

bool is_threefold_repetition(const SearchState& state) {
    if (state.hply < 2 || state.halfmove_clock < 2) return false;
    int seen = 0;
    for (int k = 1; k <= state.halfmove_clock / 2; ++k) {
        const int entry = state.hply - 2 * k;
        // Records below the set-up point hold no position of this game.
        if (entry < state.setup_hply) break;
        if (state.hist_stack[entry].pos_key == state.pos_key) ++seen;
    }
    return seen >= 2;
}

bool is_insufficient_material(const SearchState& state) {
    return state.pawn_count[white] + state.pawn_count[black] == 0 &&
           state.piece_material[white] + state.piece_material[black] <= max_insufficient_material;
}

int check_game_result(SearchState& state, bool print) {
    const GameEnd end = find_game_end(state);
    if (print && end.message) emit("%s", end.message);
    return end.code;
}

FlowEnd engine_turn() {
    for (;;) {
        const int result = check_game_result(game, true);
        if (result != game_running) {
            game_result = result;
            return FlowEnd::next_token;
        }
        game_result = game_running;
        if (game.hply + history_room_for_search >= max_history) {
            emit("Error (game too long): the engine cannot search further\n");
            return FlowEnd::next_token;
        }
        copy_search_state(main_search_state, game);
        Move best = run_search(SearchKind::own_move);
        for (;;) {
            if (quit_requested) return FlowEnd::return_false;
            // A command read during the search changed the game or the
            // sides: the move belongs to a position that is gone.
            if (best == 0 || !game_is_search_root() || !engine_to_move()) return FlowEnd::next_token;
            if (!play_engine_move(best) || !ponder_enabled) return FlowEnd::next_token;
            const PonderEnd end = ponder(best);
            if (end == PonderEnd::quit) return FlowEnd::return_false;
            if (end == PonderEnd::wait) return FlowEnd::next_token;
            if (end == PonderEnd::engine_turn) break;
            // A ponder hit: the pondering search went on as the engine's own
            // and its move is played like any other.
        }
    }
}

FlowEnd analysis_loop() {
    for (;;) {
        no_clock = 1;
        copy_search_state(main_search_state, game);
        run_search(SearchKind::analysing);
        if (quit_requested) {
            no_clock = 0;
            return FlowEnd::return_false;
        }
        // Ended by itself (book move, single reply, no move, depth limit):
        // the analysis waits for the next position change.
        if (!abort_flag) {
            no_clock = 0;
            abort_flag = 1;
            return FlowEnd::return_true;
        }
        if (!analysis_mode) {
            no_clock = 0;
            return FlowEnd::next_token;
        }
    }
}

bool running_search_is_stale(HashKey entry_key, int entry_hply) {
    switch (running_search) {
    case SearchKind::none:
        return false;
    case SearchKind::own_move:
        // `force` or `new` while the engine thinks: it no longer plays this side.
        if (engine_side != game.to_move) return true;
        break;
    case SearchKind::ponder_target:
    case SearchKind::pondering:
        // `go` on the opponent's time: the engine is to think for real.
        if (engine_side == game.to_move) return true;
        break;
    case SearchKind::analysing:
        break;
    case SearchKind::test_position:
        // The test position was copied from the file, not from the game:
        // what commands do to the game does not concern it.
        return false;
    }
    return game.pos_key != entry_key || game.hply != entry_hply;
}

bool ponder_input(Move made) {
    ponder_mode = 0;
    if (running_search != SearchKind::pondering) return false;
    if (made != 0 && made == ponder_move && engine_to_move()) {
        emit("ponder hit\n");
        running_search = SearchKind::own_move;
        allot_time_after_ponder_hit(game.hply);
        return true;
    }
    emit("ponder miss\n");
    return false;
}

bool finish_flow(FlowEnd end) {
    if (end == FlowEnd::return_true) walk_end = true;
    return end != FlowEnd::return_false;
}

bool walk_end_requested() {
    const bool requested = walk_end;
    walk_end = false;
    return requested;
}

FlowEnd after_command(HashKey& entry_key, int& entry_hply) {
    if (search_running) {
        return running_search_is_stale(entry_key, entry_hply) ? FlowEnd::return_false
                                                               : FlowEnd::next_token;
    }
    FlowEnd end = FlowEnd::next_token;
    // No analysis search runs (the last one ended by itself): the changed
    // position is analysed now.
    const bool changed = game.pos_key != entry_key || game.hply != entry_hply;
    if (analysis_mode && changed && game_result == game_running) end = analysis_loop();
    entry_key = game.pos_key;
    entry_hply = game.hply;
    return end;
}

bool command_go(char**, int) {
    engine_side = game.to_move;
    // One search at a time: read during a search, `go` only changes sides
    // (a ponder search then stops, and the engine thinks afterwards).
    if (search_running || game_result != game_running) return true;
    return finish_flow(analysis_mode ? analysis_loop() : engine_turn());
}

bool command_analyze(char**, int) {
    analysis_mode = true;
    if (search_running || game_result != game_running) return true;
    return finish_flow(analysis_loop());
}

bool command_exit(char**, int) {
    analysis_mode = false;
    // A search without clock (analysis, pondering) stops.
    return !no_clock;
}

namespace {

// Takes back the last move of the game when one was made since the set-up.
// A result reached by that move no longer stands.
void take_back() {
    if (game.hply <= game.setup_hply) return;
    unmake_move(game);
    game_result = game_running;
}

}  // namespace

bool command_undo(char**, int) {
    take_back();
    return true;
}

bool command_remove(char**, int) {
    take_back();
    take_back();
    return true;
}
