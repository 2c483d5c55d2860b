#pragma once
// The main search object and the commands that look into a running search.
// The flows that start searches (the engine's turn, pondering, analysis)
// are in protocol/game_control.h.

#include "search/search_state.h"

// The search object of the main thread (worker 0, the first entry of the
// pool of search states). Every search works on a copy of the game made here
// just before it starts.
extern SearchState& main_search_state;

// Command handlers in the interpreter's form (argument tokens and count).
bool command_status(char** args, int count);  // `.`: one status line of the running search
bool command_score_bitbase_or_eval(char** args, int count);  // `score`
