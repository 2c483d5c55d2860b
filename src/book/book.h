#pragma once
// The opening book: a binary file of positions with the results of the
// games that passed through them. The file holds two tables, each sorted by
// key: the white table (positions reached by a move of white, so black is
// to move in them) and the black table. The engine keeps "book.dat" open
// from start-up on and reads one 16-byte record per step of a binary
// search; nothing of the book is held in memory.
//
// File layout, all integers little-endian, no padding and no magic:
//   offset 0   white_count (u32)
//   offset 4   black_count (u32)
//   offset 8   white_count records, keys ascending
//   then       black_count records, keys ascending
// A key occurs at most once per table; the same key may be in both.

#include <cstdint>
#include <cstdio>

#include "search/search_state.h"

// ---------------------------------------------------------------- constants

constexpr const char* book_file_name = "book.dat";
constexpr int book_header_size = 8;
constexpr int book_record_size = 16;
// learn of an entry no annotation or weight has touched: 100 percent.
constexpr uint16_t fresh_learn = 100;
// Counts and learn values stop here instead of wrapping, so a popular
// position never falls back to a handful of games.
constexpr uint32_t book_count_limit = 65535;

// ------------------------------------------------------------------ records

// One record of the book, in file order. wins and losses are seen from the
// side that made the move into the position.
struct BookEntry {
    HashKey key = 0;  // pos_key of the position; 0 in an empty entry
    uint16_t wins = 0;
    uint16_t losses = 0;
    uint16_t draws = 0;
    uint16_t learn = fresh_learn;  // weight in percent
};
static_assert(sizeof(BookEntry) == book_record_size, "a BookEntry is one file record");

// --------------------------------------------------------- inline helpers

// a + b, stopping at book_count_limit.
inline uint16_t saturating_add(uint16_t a, uint32_t b) {
    const uint32_t sum = uint32_t(a) + b;
    return uint16_t(sum < book_count_limit ? sum : book_count_limit);
}

inline uint32_t games_of(const BookEntry& entry) {
    return uint32_t(entry.wins) + entry.losses + entry.draws;
}

// ---------------------------------------------------------------- functions

// Record and header input and output in the file layout; false when the
// bytes could not be read or written whole.
bool read_book_entry(FILE* file, BookEntry& entry);
bool write_book_entry(FILE* file, const BookEntry& entry);
bool read_book_header(FILE* file, uint32_t& white_count, uint32_t& black_count);
bool write_book_header(FILE* file, uint32_t white_count, uint32_t black_count);

// Opens the book the probes read (an earlier one is closed first) and reads
// its header. False, with no book open, when the file cannot be opened.
// Prints nothing: without a book the engine simply plays without one.
bool open_book(const char* name);
// The entry of `key` in the table of `side` (white: positions after a white
// move). False when it is not there, no book is open or a read fails.
bool book_lookup(HashKey key, int side, BookEntry& entry);
// Looks up the position after each root move (the root PlyRecord's legal
// moves, filled by the caller; state.ply is 0), prints the book table and
// returns the chosen move, or 0 when no found move can be chosen. Moves into
// a position drawn by rule are never shown or chosen.
Move book_probe(SearchState& state);
// The book table of the position in `state` (command `book`): generates the
// legal moves into the root record and probes, ignoring the choice.
void show_book(SearchState& state);
