// Transposition table: probe, store with mate-distance conversion, the
// re-insertion of the principal variation, sizing and clearing.

#include "search/trans_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "board/make_move.h"
#include "eval/eval_cache.h"
#include "eval/pawn_table.h"
#include "search/parallel.h"
#include "search/search.h"
#include "search/search_state.h"

namespace {


// The default-size table lives in static storage, so probing and storing
// never need a start-up allocation; later sizes are allocated.
TransBucket default_buckets[2][tt_default_buckets];
// What the allocator returned for each side (null for the static arrays).
void* allocated[2];

// Scores beyond mate_like_score depend on the distance from the root (mates
// and bitbase results): the table keeps them relative to the node, so that
// an entry stays true wherever in the tree the position is found again.
int score_to_table(int score, int ply) {
    const int offset = ply_step * ply + ply_step;
    if (score > mate_like_score) score += offset;
    else if (score < -mate_like_score) score -= offset;
    // A score pushed beyond 16 bits would wrap to the opposite sign.
    return std::clamp(score, int(INT16_MIN), int(INT16_MAX));
}

int score_from_table(int score, int ply) {
    const int offset = ply_step * ply + ply_step;
    if (score > mate_like_score) return score - offset;
    if (score < -mate_like_score) return score + offset;
    return score;
}

int make_flags(int bound, int mate_threat) {
    return (bound - 3) | (mate_threat ? 4 : 0) | tt_age << 3;
}

TransBucket& bucket_of(int side, HashKey key) { return trans_table.buckets[side][key & tt_mask]; }

// A zeroed, cache-line aligned array of `count` buckets. calloc hands out
// large blocks as fresh zero pages, so even a big table costs nothing until
// it is used; the extra bucket leaves room to align the start.
TransBucket* allocate_buckets(uint64_t count, void*& block) {
    block = nullptr;
    if (count >= SIZE_MAX / sizeof(TransBucket)) return nullptr;
    size_t space = (count + 1) * sizeof(TransBucket);
    block = std::calloc(space, 1);
    void* start = block;
    if (!block || !std::align(alignof(TransBucket), count * sizeof(TransBucket), start, space)) {
        std::free(block);
        block = nullptr;
        return nullptr;
    }
    return static_cast<TransBucket*>(start);
}

}  // namespace

TransTable trans_table = {{default_buckets[0], default_buckets[1]}};
uint64_t tt_mask = tt_default_buckets - 1;
int tt_age = 0;

void tt_new_search(int hply) { tt_age = hply & 31; }

int tt_probe(int side, HashKey key, int depth, int alpha, int beta, int ply, TransHit& hit) {
    const int need = depth_in_plies(depth);
    for (TransSlot& slot : bucket_of(side, key).slots) {
        if (slot_load(slot.key) != key) continue;
        const TransEntry e = unpack_entry(key, slot_load(slot.data));
        const int score = score_from_table(e.score, ply);
        const int bound = entry_bound(e);
        hit = {e.move, score, (e.flags >> 2) & 1};
        if (e.depth >= need) {
            if (bound == exact) return exact;
            if (bound == lower && score >= beta) return lower;
            if (bound == upper && score <= alpha) return upper;
        }
        // A shallow fail-low entry still predicts that a null move, searched
        // four plies shallower, would fail low as well.
        if (bound == upper && e.depth >= need - 4 && score < beta) return probe_no_null;
        return probe_hit;
    }
    hit = {0, 0, 0};
    return probe_miss;
}

void tt_store(int side, HashKey key, int depth, int ply, int bound, int score, Move move,
              int mate_threat) {
    TransBucket& bucket = bucket_of(side, key);
    const int stored_depth = std::clamp(depth, 0, 255);
    for (TransSlot& slot : bucket.slots) {
        if (slot_load(slot.key) != key) continue;
        const Move old_move = Move(slot_load(slot.data));
        // Re-inserting a principal-variation move the entry already has must
        // not wipe the depth and bound that came with it.
        if (bound == move_only && old_move == move) return;
        const Move kept = move != 0 ? move : old_move;
        slot_store(slot.data, pack_entry_data(kept, score_to_table(score, ply), stored_depth,
                                              make_flags(bound, mate_threat)));
        slot_store(slot.key, key);
        return;
    }
    // Always slot 3: slots 0 to 2 keep whatever key they hold.
    TransSlot& slot = bucket.slots[tt_bucket_slots - 1];
    slot_store(slot.data, pack_entry_data(move, score_to_table(score, ply), stored_depth,
                                          make_flags(bound, mate_threat)));
    slot_store(slot.key, key);
}

void tt_store_pv(SearchState& state) {
    const PlyRecord& root = *state.ply_rec;
    int made = 0;
    for (int i = state.ply; i < root.pv_length; ++i) {
        const Move m = root.pv[i];
        if (m == 0) break;
        // A move-only store of depth 0 never causes a cutoff; it only makes
        // the next iteration try this move first.
        tt_store(state.to_move, state.pos_key, 0, state.ply, move_only, 0, m, 0);
        make_move(state, m);
        ++made;
    }
    while (made-- > 0) unmake_move(state);
}

bool resize_tt(uint64_t buckets) {
    if (buckets == 0) {
        clear_tt();
        return true;
    }
    void* blocks[2];
    TransBucket* fresh[2];
    fresh[0] = allocate_buckets(buckets, blocks[0]);
    fresh[1] = fresh[0] ? allocate_buckets(buckets, blocks[1]) : nullptr;
    if (!fresh[1]) {
        std::free(blocks[0]);
        return false;
    }
    for (int side = 0; side < 2; ++side) {
        std::free(allocated[side]);
        allocated[side] = blocks[side];
        trans_table.buckets[side] = fresh[side];
    }
    tt_mask = buckets - 1;
    return true;
}

// Runs between searches only, so plain writes are safe here.
void clear_tt() {
    for (TransBucket* buckets : trans_table.buckets)
        std::memset(static_cast<void*>(buckets), 0, (tt_mask + 1) * sizeof(TransBucket));
}

void clear_all_tables() {
    // A command during a search (`new`, `setboard`) ends it first: the other
    // threads must be off the tables before they are zeroed.
    quiet_helpers();
    clear_tt();
    for (int slot = 0; slot < max_workers; ++slot) {
        if (PawnTable* table = worker_pawn_table(slot)) clear_pawn_table(*table);
        if (EvalCache* cache = worker_eval_cache(slot)) clear_eval_table(*cache);
    }
}

TransEntry tt_slot(int side, HashKey key, int slot) {
    TransSlot& s = bucket_of(side, key).slots[slot];
    return unpack_entry(slot_load(s.key), slot_load(s.data));
}
