#pragma once
// Game control: deciding whether the game is over, the engine's turn (search,
// play, resign, offer a draw, announce the move and the result), pondering on
// the opponent's time and the analysis loop. The flows run inside the command
// interpreter on the main thread; the searches they start work on the main
// search object, a copy of the game, and the commands the search's poll reads
// meanwhile reach the flows only through the control flags and the game.

#include "search/search_state.h"

// What a game flow asks of the command walk that entered it: go on with the
// next token, or make execute_commands return true or false at once.
enum class FlowEnd { next_token, return_true, return_false };

// The kind of search a flow is running, so that commands read by the poll
// know what the search is for. `none` between searches; `test_position` for
// a position of a search test run, which nothing but `?` and `quit` stops.
enum class SearchKind { none, own_move, ponder_target, pondering, analysing, test_position };

extern SearchKind running_search;
// The move the engine ponders on (the expected reply of the opponent).
extern Move ponder_move;

// The game-end tests in order (no legal move: mate or stalemate; repetition;
// fifty moves; insufficient material). Returns the first result code that
// applies (white_won, black_won, game_drawn) or game_running; with `print`
// writes its result message. Uses the current ply's move list as scratch.
int check_game_result(SearchState& state, bool print);
// The repetition test alone: the position stood twice before with the same
// side to move, within the half-move clock and above the set-up point.
bool is_threefold_repetition(const SearchState& state);
// No pawn and at most one minor piece on the board.
bool is_insufficient_material(const SearchState& state);

// Runs find_best_move on the main search object, whose position the caller
// has set, and notes what the search is for while it runs.
Move run_search(SearchKind kind);

// The engine's turn on the game position, pondering included.
FlowEnd engine_turn();
// Analyses the game position until `exit`, `quit` or a search that ends by
// itself; restarts whenever the position changes.
FlowEnd analysis_loop();

// A flow's end as a command handler's result: false for return_false; for
// return_true the walk is told to end (walk_end_requested) and true is
// returned.
bool finish_flow(FlowEnd end);
// Whether a flow run by the last command asked the walk to end with true;
// clears the request.
bool walk_end_requested();

// What a change of the game position by a command means for the flows,
// checked after every command. In a call from the search's poll: a search
// made stale is stopped (return_false). At top level in analysis mode: the
// new position is analysed. entry_key and entry_hply are the game as the
// call (or the last flow) left it; they are brought up to date.
FlowEnd after_command(HashKey& entry_key, int& entry_hply);

// Whether the running search has become useless because of what a command
// read by the poll did to the game (position or sides changed): the poll's
// call should then stop it. entry_key/entry_hply: the game when the call
// started.
bool running_search_is_stale(HashKey entry_key, int entry_hply);
// A move read while the engine ponders or looks for a move to ponder on.
// `made` is 0 when the word was no legal move. Ends pondering; returns true
// for a ponder hit (the search goes on as the engine's own search), false
// when the running search must stop.
bool ponder_input(Move made);

// Command handlers in the interpreter's form (argument tokens and count).
bool command_go(char** args, int count);       // engine plays the side to move
bool command_analyze(char** args, int count);  // enter analysis mode and analyse
bool command_exit(char** args, int count);     // leave analysis mode
bool command_undo(char** args, int count);     // take back one half-move
bool command_remove(char** args, int count);   // take back a full move
