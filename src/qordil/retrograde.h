#pragma once
// Making a table by retrograde analysis, and checking a made table against
// the forward moves of every position.

#include <cstdint>

#include "qordil/tables.h"

namespace qordil {

// Figures of one table.
struct TableReport {
    int64_t positions = 0;        // entries that are real positions
    int64_t wins = 0;
    int64_t losses = 0;
    int64_t draws = 0;
    int longest_win[2] = {0, 0};  // plies, by side to move
    int longest_loss[2] = {0, 0};
    int64_t faults = 0;           // entries that disagree with their moves
};

// Fills `out` (table_info(table).size bytes) with the table's entries. The
// tables its captures and promotions lead to must be in `set`. False when
// one is missing or a distance does not fit in an entry.
bool generate_table(int table, const TableSet& set, uint8_t* out);

// Counts the entries of a made table.
TableReport summarize_table(int table, const uint8_t* data);

// Checks every entry of the table (itself in `set`, with its dependencies)
// against the entries its legal moves lead to: a win in n plies has a move
// to a loss in n - 1 and none to a shorter one, a draw has no move to a
// loss and one to a draw (or is stalemate), a loss in n has every move
// leading to a win, the longest in n - 1 (mate when n is 0). The report
// has the counts and the number of faults.
TableReport verify_table(int table, const TableSet& set);

}  // namespace qordil
