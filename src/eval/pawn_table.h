#pragma once
// The pawn hash: one table per search thread remembering the pawn-structure
// score and the passed-pawn files of a pawn skeleton by its pawn_key.

#include <cstdint>
#include <vector>

#include "board/board.h"

// One remembered pawn skeleton. A zeroed entry has key 0; a store always
// overwrites.
struct PawnEntry {
    HashKey key;      // pawn_key of the position
    int16_t score;    // pawn-structure score, white minus black, before scaling
    uint16_t passed;  // passed files: white in the low byte, black in the high byte
    uint32_t unused;
};
static_assert(sizeof(PawnEntry) == 16);

// A power-of-two array of entries indexed by pawn_key & mask; the mask is
// kept per table for the same reason as in EvalCache.
struct PawnTable {
    std::vector<PawnEntry> entries;
    HashKey mask = 0;
};

constexpr uint32_t default_pawn_entries = 256;
extern uint32_t pawn_mask;

// The pawn table of the main search thread (until worker slots own theirs).
extern PawnTable main_pawn_table;

// Same rule as resize_eval_table.
bool resize_pawn_table(PawnTable& table, uint32_t entries);
void clear_pawn_table(PawnTable& table);

inline PawnEntry& pawn_table_entry(PawnTable& table, HashKey key) {
    return table.entries[key & table.mask];
}
