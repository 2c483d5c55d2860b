// Transposition table: probe, store with mate-distance conversion, the
// re-insertion of the principal variation, sizing and clearing.

#include "search/trans_table.h"

#include <algorithm>
#include <new>

#include "board/make_move.h"
#include "search/search.h"
#include "search/search_state.h"

namespace {


// The default-size table lives in static storage, so probing and storing
// never need a start-up allocation; later sizes are allocated.
TransBucket default_buckets[2][tt_default_buckets];

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

bool is_default_storage(const TransBucket* buckets) {
    return buckets == default_buckets[0] || buckets == default_buckets[1];
}

void clear_buckets(TransBucket* buckets, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i)
        for (TransSlot& slot : buckets[i].slots) {
            slot.key.store(0, std::memory_order_relaxed);
            slot.data.store(0, std::memory_order_relaxed);
        }
}

}  // namespace

TransTable trans_table = {{default_buckets[0], default_buckets[1]}};
uint64_t tt_mask = tt_default_buckets - 1;
int tt_age = 0;

void tt_new_search(int hply) { tt_age = hply & 31; }

int tt_probe(int side, HashKey key, int depth, int alpha, int beta, int ply, TransHit& hit) {
    const int need = depth_in_plies(depth);
    for (const TransSlot& slot : bucket_of(side, key).slots) {
        if (slot.key.load(std::memory_order_relaxed) != key) continue;
        const TransEntry e = unpack_entry(key, slot.data.load(std::memory_order_relaxed));
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
        if (slot.key.load(std::memory_order_relaxed) != key) continue;
        const Move old_move = Move(slot.data.load(std::memory_order_relaxed));
        // Re-inserting a principal-variation move the entry already has must
        // not wipe the depth and bound that came with it.
        if (bound == move_only && old_move == move) return;
        const Move kept = move != 0 ? move : old_move;
        slot.data.store(pack_entry_data(kept, score_to_table(score, ply), stored_depth,
                                        make_flags(bound, mate_threat)),
                        std::memory_order_relaxed);
        slot.key.store(key, std::memory_order_relaxed);
        return;
    }
    // Always slot 3: slots 0 to 2 keep whatever key they hold.
    TransSlot& slot = bucket.slots[tt_bucket_slots - 1];
    slot.data.store(pack_entry_data(move, score_to_table(score, ply), stored_depth,
                                    make_flags(bound, mate_threat)),
                    std::memory_order_relaxed);
    slot.key.store(key, std::memory_order_relaxed);
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
    TransBucket* fresh[2];
    // Value-initialised: every slot starts with key 0 (empty).
    fresh[0] = new (std::nothrow) TransBucket[buckets]();
    fresh[1] = fresh[0] ? new (std::nothrow) TransBucket[buckets]() : nullptr;
    if (!fresh[1]) {
        delete[] fresh[0];
        return false;
    }
    for (int side = 0; side < 2; ++side) {
        if (!is_default_storage(trans_table.buckets[side])) delete[] trans_table.buckets[side];
        trans_table.buckets[side] = fresh[side];
    }
    tt_mask = buckets - 1;
    return true;
}

void clear_tt() {
    for (TransBucket* buckets : trans_table.buckets) clear_buckets(buckets, tt_mask + 1);
}

void clear_all_tables() { clear_tt(); }

TransEntry tt_slot(int side, HashKey key, int slot) {
    const TransSlot& s = bucket_of(side, key).slots[slot];
    return unpack_entry(s.key.load(std::memory_order_relaxed),
                        s.data.load(std::memory_order_relaxed));
}
