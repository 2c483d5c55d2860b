#pragma once
// The game and the control state of the command interpreter. The game is the
// main SearchState: the position the interface and the user see, with the
// whole move history since the last set-up. Searches never work on it
// directly; they copy it. The control state below is written by commands
// (and by the game flows), on the main thread only.

#include "search/search_state.h"

// Colours the engine can be told to play; `engine_side` also takes
// `neither_side` in force mode.
constexpr int neither_side = 2;

// Results of `game_result`.
constexpr int game_running = 0;
constexpr int white_won = 1;
constexpr int black_won = 2;
constexpr int game_drawn = 3;

extern SearchState game;

extern int engine_side;        // white, black or neither_side
extern int game_result;        // game_running, white_won, black_won or game_drawn
extern bool analysis_mode;     // set by `analyze`, cleared by `exit`
extern bool ponder_enabled;    // set by `hard`, cleared by `easy`
extern bool quit_requested;    // set by `quit`; tested after every search a command starts
extern int resign_threshold;   // centipawns
extern int resign_count;       // consecutive engine moves below the threshold
extern int pvstyle;            // 1: compact table output for test runs
extern bool book_enabled;      // play moves from the opening book
extern int search_threads;     // threads a search runs on (`mt`, `cores`), 1 to 8
// True while a search runs; commands then arrive from the search's input
// poll, and those that would disturb the search are refused.
extern bool search_running;

// Defaults of the control state, as at start-up.
void reset_control_state();

// Joins `count` words, each followed by one space, into a FEN text in `fen`
// (fen_size bytes; words that no longer fit are left out) and sets it up on
// `state` when it describes a position that can be searched: a complete
// board, one king each, no pawn on a back rank, the side not to move not in
// check. Otherwise returns false and leaves `state` as it was.
bool set_up_fen_words(SearchState& state, char** words, int count, char* fen, int fen_size);
