// Sizing and clearing of the per-thread evaluation cache and pawn hash.
// Both follow one rule: a non-zero entry count becomes the shared size of
// every table of that kind; 0 reallocates at the current shared size.

#include <new>

#include "eval/eval_cache.h"
#include "eval/pawn_table.h"

uint32_t eval_mask = default_eval_entries - 1;
uint32_t pawn_mask = default_pawn_entries - 1;

namespace {

template <typename Table>
bool resize_table(Table& table, uint32_t entries, uint32_t& shared_mask) {
    const uint32_t count = entries != 0 ? entries : shared_mask + 1;
    try {
        // A fresh vector is zero-filled; the old memory goes back at once.
        decltype(table.entries) fresh(count);
        table.entries.swap(fresh);
    } catch (const std::bad_alloc&) {
        return false;
    }
    table.mask = count - 1;
    shared_mask = count - 1;
    return true;
}

template <typename Table>
Table make_table(uint32_t entries) {
    Table table;
    table.entries.resize(entries);
    table.mask = entries - 1;
    return table;
}

}  // namespace

EvalCache main_eval_cache = make_table<EvalCache>(default_eval_entries);
PawnTable main_pawn_table = make_table<PawnTable>(default_pawn_entries);

bool resize_eval_table(EvalCache& cache, uint32_t entries) {
    return resize_table(cache, entries, eval_mask);
}

bool resize_pawn_table(PawnTable& table, uint32_t entries) {
    return resize_table(table, entries, pawn_mask);
}

void clear_eval_table(EvalCache& cache) {
    for (EvalEntry& entry : cache.entries) entry = EvalEntry{};
}

void clear_pawn_table(PawnTable& table) {
    for (PawnEntry& entry : table.entries) entry = PawnEntry{};
}
