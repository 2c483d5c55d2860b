#pragma once
// The evaluation cache: one table per search thread remembering the final
// evaluation of positions by their pos_key. Entries hold white's view
// without the side-to-move bonus, because the key does not encode the side
// to move; the reader applies the sign and the bonus.

#include <cstdint>
#include <vector>

#include "board/board.h"

// One remembered evaluation. A zeroed entry has key 0; a store always
// overwrites.
struct EvalEntry {
    HashKey key;         // pos_key of the position
    int16_t score;       // final evaluation, white's view, tempo excluded
    int16_t lazy_score;  // lazy part of that evaluation, white's view
    uint16_t flags;      // eval_flags of that evaluation
    uint16_t unused;
};
static_assert(sizeof(EvalEntry) == 16);

// A power-of-two array of entries indexed by pos_key & mask. The table keeps
// its own mask so that a table not yet resized after a change of the shared
// size is still indexed within its bounds.
struct EvalCache {
    std::vector<EvalEntry> entries;
    HashKey mask = 0;
};

// Entry count of every per-thread table minus 1; shared by all threads.
constexpr uint32_t default_eval_entries = 256;
extern uint32_t eval_mask;

// The cache of the main search thread (until worker slots own theirs).
extern EvalCache main_eval_cache;

// Reallocates the table zeroed with `entries` entries (a power of two) and
// makes that the shared size; 0 keeps the current shared size. Returns false
// and keeps the old table when the memory cannot be had.
bool resize_eval_table(EvalCache& cache, uint32_t entries);
// Zeroes every entry.
void clear_eval_table(EvalCache& cache);

inline EvalEntry& eval_cache_entry(EvalCache& cache, HashKey key) {
    return cache.entries[key & cache.mask];
}
