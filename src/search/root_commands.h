#pragma once
// The commands that start and steer a search, and the engine's turn in its
// plain form: the game is copied into the main search object, searched, and
// the move found is played on the game and announced.

#include "search/search_state.h"

// The search object of the main thread (worker 0). Every search works on a
// copy of the game made here just before it starts.
extern SearchState main_search_state;

// The engine's turn on the game position: search, play, "move ...". False
// when `quit` arrived during the search.
bool engine_turn();

// Command handlers in the interpreter's form (argument tokens and count).
bool command_go(char** args, int count);      // play the side to move, then think
bool command_status(char** args, int count);  // `.`: one status line of the running search
bool command_score_bitbase_or_eval(char** args, int count);  // `score`
