#pragma once
// Endgame bitbases: the settings, the loader run once at start-up on its own
// thread, and the probe of positions with at most five men. The bitbases are
// an outside shared library bound at run time; this module alone knows its
// file name and its two exports.

#include <cstddef>

#include "search/search_state.h"

// The library's file name inside egbb_path: the 32-bit build loads
// "qordil.dll", the 64-bit one "qordil64.dll".
constexpr const char* bitbase_library_name = sizeof(void*) == 4 ? "qordil.dll" : "qordil64.dll";
// Room for the library's full name, terminating zero included.
constexpr int library_name_size = 264;
// What the probe export answers for a position it does not know.
constexpr int bitbase_no_result = 99999;
// The probe takes at most three men besides the kings.
constexpr int bitbase_slots = 3;

extern char egbb_path[256];     // directory of the bitbase library and files
extern int egbb_cache_size;     // megabytes (bytes once the loader has run)
extern int egbb_load_type;      // 0 none, 1 all 3/4 men, 2 selective 5 men, 3 all 5 men
extern bool bitbases_loaded;    // the library is bound and can be probed

// Starts the loader thread; it sets bitbases_ready (console.h) when done,
// whether or not the library was found.
void start_bitbase_loader();
// Whether start_bitbase_loader has been called.
bool bitbase_loader_started();
// The loader's work on the calling thread: converts egbb_cache_size to
// bytes, binds the library, reports the time taken, sets bitbases_ready.
void load_bitbases();

// Writes the library's full name for directory `path` into `name` (size
// bytes): the path, a separator unless it ends in one, the file name.
// False when it does not fit.
bool library_file_name(const char* path, char* name, size_t size);
// Loads the library from directory `path`, binds both exports and lets the
// library load its files. False (with a one-line message) when the library
// is missing, lacks an export or its name is too long.
bool bind_library(const char* path, int cache_bytes);

// Probes a position of at most five men (callers check bitbases_loaded and
// men_total). True with the score from the side to move when the library
// knows the position.
bool probe_bitbase(const SearchState& state, int& score);

// The bitbase branch of the `score` command: prints "bitbase_score" and
// returns true for a position of at most five men that the bitbases know;
// false leaves the position to the evaluation.
bool show_bitbase_score(const SearchState& game);
