#pragma once
// The 920 Zobrist key constants: 14 x 64 piece keys, 8 en-passant keys and
// 16 castling keys. They are computed at compile time by SplitMix64 from the
// fixed seed below, in the order piece keys row by row (code 0 to 13, square
// a1 to h8), then en-passant keys (files a to h), then castling keys (masks 0
// to 15), so every build of the program has exactly the same keys.
// Opening books store position keys: changing the seed or the order makes
// every existing book unreadable.

#include "board/board.h"

struct ZobristKeys {
    HashKey piece_keys[14][64];  // by piece code and sq64; rows 0 and 13 unused
    HashKey ep_keys[8];          // by file of the en-passant square
    HashKey castle_keys[16];     // by the whole castling mask
};

namespace keys_detail {

constexpr uint64_t key_seed = 0x56656c6b616e2121ULL;  // the bytes of "Velkan!!"

constexpr uint64_t splitmix64(uint64_t& state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

constexpr ZobristKeys make_keys() {
    ZobristKeys keys{};
    uint64_t state = key_seed;
    for (auto& row : keys.piece_keys)
        for (auto& key : row) key = splitmix64(state);
    for (auto& key : keys.ep_keys) key = splitmix64(state);
    for (auto& key : keys.castle_keys) key = splitmix64(state);
    return keys;
}

}  // namespace keys_detail

inline constexpr ZobristKeys zobrist = keys_detail::make_keys();
inline constexpr const HashKey (&piece_keys)[14][64] = zobrist.piece_keys;
inline constexpr const HashKey (&ep_keys)[8] = zobrist.ep_keys;
inline constexpr const HashKey (&castle_keys)[16] = zobrist.castle_keys;

static_assert(castle_keys[0] != 0, "every position key carries exactly one castle term");
