#pragma once
// The two offline book tools behind the commands `build` and `merge`. Both
// write a book file in the layout of book/book.h and report their progress
// and failures in plain lines; a file they write is used by the engine only
// when it is named "book.dat" at the next start.

#include "search/search_state.h"

// Which positions `build` records: those after white moves, after black
// moves, or both.
constexpr int build_black_only = 0;
constexpr int build_white_only = 1;
constexpr int build_both_colours = 2;

// Replays the games of a PGN file on `board` (reset for every game) and
// counts, for each position reached by half-moves 1 to half_plies - 1, the
// results of the games through it; annotations "?", "!" and "!!" weight
// the position's learn value by 0, 4 and 16. At most `size` positions per
// table. Comments, variations, NAGs and escape lines are skipped; games set
// up from a FEN tag are skipped whole and counted. An illegal move or a full
// table aborts the build with a message and nothing is written. False when
// nothing was written.
bool build_book(SearchState& board, const char* pgn_name, const char* book_name, int size,
                int half_plies, int colour);

// Merges two books into a third: each book's learn values are multiplied by
// its weight, positions in both have their counts and learn values added.
// False when nothing (or nothing complete) was written.
bool merge_books(const char* book1, const char* book2, const char* output, double weight1,
                 double weight2);
