#pragma once
// Qordil, the project's endgame bitbase library: exact distance to mate for
// every position of two kings and up to two more men of any kind and colour,
// both sides to move, made by retrograde analysis at build time and mapped
// from files at run time. This module owns the catalogue of the 35 tables
// (one per set of men, colours swapped to a stronger white), how a position
// is folded by the board's symmetries into an entry of its table, what an
// entry means, and the table files. A table keeps one byte per entry: 0 for
// a draw, 255 for a position that cannot occur, otherwise the number of
// plies to mate plus one; an odd number of plies is a win for the side to
// move, an even number a loss.

#include <cstddef>
#include <cstdint>

#include "qordil/board_rules.h"

namespace qordil {

constexpr int table_count = 35;
constexpr uint8_t draw_entry = 0;
constexpr uint8_t illegal_entry = 255;
// Longest distance an entry can hold.
constexpr int max_plies = 253;

struct TableInfo {
    char name[8];         // the men, white first: "KQKR"
    int men;              // men besides the kings: 1 or 2
    int code[2];          // piece code of each slot, white's first
    bool pawns;           // pawns fold by the file mirror only
    bool identical;       // two men of one code share one slot
    int king_pairs;       // placements of the two kings after folding
    int span[2];          // entries of each slot
    int64_t size;         // entries, both sides to move
    int order;            // tables of a lower order are made first
};

const TableInfo& table_info(int table);
// The table of that name ("KQKR", any case), or -1.
int find_table(const char* name);
// Tables whose entries a table's moves lead to (fewer men, or a pawn
// promoted); returns the number written.
int table_dependencies(int table, int* out);

// The table of p's men and the position as that table keeps it: colours
// swapped when the table has them the other way round, men in slot order.
// False for two bare kings and for men no table holds.
bool orient(const Position& p, int& table, Position& oriented);
// The entry of an oriented position: folded into the canonical corner of
// the board. -1 when the kings stand together or a pawn is on an end rank.
int64_t table_index(int table, const Position& p);
// The position an entry stands for (before any legality test).
Position index_position(int table, int64_t index);

// How many of the board symmetries that fold the table leave the oriented
// position as it is (the identity counts): 2 when every man stands on one
// of the long diagonals in a pawnless table, else 1.
int symmetry_count(int table, const Position& p);
// Only then can a position be its own mirror image.
inline bool kings_share_a_long_diagonal(const Position& p) {
    const int w = p.square[0];
    const int b = p.square[1];
    return (file_of(w) == rank_of(w) && file_of(b) == rank_of(b)) ||
           (file_of(w) + rank_of(w) == 7 && file_of(b) + rank_of(b) == 7);
}

// Tables in memory or mapped: null where a table is not loaded.
struct TableSet {
    const uint8_t* data[table_count] = {};
};

// The entry of any position of at most four men: draw_entry for two kings,
// -1 when its table is not in the set or the position has no entry.
int lookup_entry(const TableSet& set, const Position& p);

// Entry helpers.
inline bool entry_is_win(int entry) { return entry != draw_entry && entry != illegal_entry && (entry & 1) == 0; }
inline bool entry_is_loss(int entry) { return entry != draw_entry && entry != illegal_entry && (entry & 1) == 1; }
inline int entry_plies(int entry) { return entry - 1; }
inline uint8_t plies_entry(int plies) { return uint8_t(plies + 1); }

// The score given to the engine: 0 for a draw, 2999 less 20 for each ply
// to mate for a win of the side to move (never below 1000, which no table
// comes near: its longest mate is 86 plies), the negative for a loss. A
// step of 20 makes a wasted tempo cost the winner more than the search's
// pruning margins hide, so that it keeps to the fastest mate.
constexpr int win_score = 2999;
constexpr int score_per_ply = 20;
constexpr int least_win_score = 1000;
int entry_score(int entry);

// Table files: a 24-byte header ("QORDIL1\0", the table's name, the entry
// count as 8 little-endian bytes), then one byte per entry.
constexpr size_t file_header_size = 24;
// The file name of a table inside its directory: "kqkr.qbb".
void table_file_name(int table, char* name, size_t size);
// Writes a table's file into `dir`; false when it cannot.
bool write_table_file(const char* dir, int table, const uint8_t* data);
// Maps a table's file from `dir` read-only; null when it is missing or not
// a table of this kind. The mapping stays until unmap_table_file.
const uint8_t* map_table_file(const char* dir, int table);
void unmap_table_file(int table, const uint8_t* data);

}  // namespace qordil
