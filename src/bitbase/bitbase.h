#pragma once
// Endgame bitbases: the settings, the loader run once at start-up on its own
// thread, and the probe of positions with at most five men.

#include "search/search_state.h"

extern char egbb_path[256];     // directory of the bitbase library and files
extern int egbb_cache_size;     // megabytes (bytes once the loader has run)
extern int egbb_load_type;      // 0 none, 1 all 3/4 men, 2 selective 5 men, 3 all 5 men
extern bool bitbases_loaded;    // the library is bound and can be probed

// Starts the loader thread; it sets bitbases_ready (console.h) when done,
// whether or not the library was found.
void start_bitbase_loader();
// Whether start_bitbase_loader has been called.
bool bitbase_loader_started();
// Probes a position of at most five men (callers check bitbases_loaded and
// men_total). True with the score from the side to move when the library
// knows the position.
bool probe_bitbase(const SearchState& state, int& score);
