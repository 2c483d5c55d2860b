#pragma once
// The transposition table: for positions already searched, the best move, a
// score with its bound type, the depth it was searched to and a mate-threat
// flag. One table exists for the whole program; all search threads probe and
// store into it without locks.

#include <atomic>
#include <cstdint>

#include "board/board.h"

struct SearchState;

// ---------------------------------------------------------------- constants

// Bound types. The values are fixed: an entry keeps the type minus 3 in two
// flag bits, and the probe result codes 3 to 5 reuse them.
constexpr int exact = 3;      // the score is exact
constexpr int upper = 4;      // the node failed low: the score is an upper bound
constexpr int lower = 5;      // the node failed high: the score is a lower bound
constexpr int move_only = 6;  // only the move counts (re-inserted principal variation)

// Probe results besides the three cutoff codes exact, upper and lower.
constexpr int probe_miss = 0;     // no slot holds the key
constexpr int probe_no_null = 1;  // found, no cutoff, a null move would fail low
constexpr int probe_hit = 2;      // found, no cutoff

constexpr int tt_bucket_slots = 4;
constexpr uint64_t tt_default_buckets = 256;  // per side, until `ht` sizes the table

// ------------------------------------------------------------------ records

// One table entry, unpacked. In the table it is two 64-bit words: the key,
// and the other four fields packed as move (bits 0-31), score (32-47),
// depth (48-55) and flags (56-63). `flags` holds the bound type minus 3 in
// bits 0-1, the mate-threat flag in bit 2 and the age in bits 3-7. Scores of
// mates and bitbase results are kept relative to the node, not the root.
struct TransEntry {
    HashKey key;
    Move move;
    int16_t score;
    uint8_t depth;  // whole plies
    uint8_t flags;
};
static_assert(sizeof(TransEntry) == 16);

// One slot as stored. Threads write the two words without a lock, so a reader
// may see the key of one store with the data of another; the full key is
// compared on every probe and the search validates every hash move, so a torn
// entry can at worst give a wrong bound. Every access during a search goes
// through slot_load and slot_store: relaxed atomic accesses are well defined
// under concurrency and compile to plain loads and stores. The words
// themselves are plain, so a table can come zeroed from the allocator.
struct TransSlot {
    uint64_t key;
    uint64_t data;
};
static_assert(sizeof(TransSlot) == 16);

// Four slots on one cache line: a probe touches exactly one line. A key not
// in the bucket always replaces slot 3; slots 0 to 2 are only rewritten for
// a key they already hold.
struct alignas(64) TransBucket {
    TransSlot slots[tt_bucket_slots];
};
static_assert(sizeof(TransBucket) == 64);

// The whole table: two bucket arrays of equal power-of-two size, one per side
// to move (the key itself does not encode the side). A position's bucket is
// key & tt_mask in the array of its side. The arrays start as static storage
// of the default size, so the table is usable before any sizing command.
struct TransTable {
    TransBucket* buckets[2];
};

// What a probe that found its key hands back.
struct TransHit {
    Move move;        // 0 = none (and always 0 on a miss)
    int score;        // relative to the root
    int mate_threat;  // 0 or 1
};

extern TransTable trans_table;
extern uint64_t tt_mask;  // buckets per side - 1
extern int tt_age;        // hply at the start of the current search, modulo 32

// ---------------------------------------------------------- inline helpers

inline uint64_t slot_load(uint64_t& word) {
    return std::atomic_ref<uint64_t>(word).load(std::memory_order_relaxed);
}

inline void slot_store(uint64_t& word, uint64_t value) {
    std::atomic_ref<uint64_t>(word).store(value, std::memory_order_relaxed);
}

constexpr uint64_t pack_entry_data(Move move, int score, int depth, int flags) {
    return uint64_t(move) | uint64_t(uint16_t(score)) << 32 | uint64_t(uint8_t(depth)) << 48 |
           uint64_t(uint8_t(flags)) << 56;
}

constexpr TransEntry unpack_entry(uint64_t key, uint64_t data) {
    return {key, Move(data), int16_t(uint16_t(data >> 32)), uint8_t(data >> 48),
            uint8_t(data >> 56)};
}

constexpr int entry_bound(const TransEntry& e) { return (e.flags & 3) + 3; }

// ---------------------------------------------------------------- functions

// Sets the age written by every store from here on.
void tt_new_search(int hply);

// Looks the position up. depth is the node's remaining depth in eighths of a
// ply; returns probe_miss, probe_no_null, probe_hit, exact, upper or lower.
int tt_probe(int side, HashKey key, int depth, int alpha, int beta, int ply, TransHit& hit);

// Stores a node's result. depth is in whole plies (0-255), ply is the node's
// distance from the root, bound one of exact, upper, lower, move_only.
void tt_store(int side, HashKey key, int depth, int ply, int bound, int score, Move move,
              int mate_threat);

// Re-inserts the principal variation of the current ply record as move-only
// entries, making and unmaking its moves; the position is left unchanged.
void tt_store_pv(SearchState& state);

// Reallocates both arrays with `buckets` buckets each (a power of two; 0
// keeps the current count) and leaves them empty. When the memory cannot be
// had, the previous table and its contents stay and the result is false.
bool resize_tt(uint64_t buckets);

// Empties the transposition table and every worker's pawn and evaluation
// tables.
void clear_all_tables();

// Empties the transposition table only.
void clear_tt();

// Slot `slot` of the bucket that `key` maps to (for tests and diagnostics).
TransEntry tt_slot(int side, HashKey key, int slot);
