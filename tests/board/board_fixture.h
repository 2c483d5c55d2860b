#pragma once
// Helpers shared by the board tests: the attack table filled once, squares
// by name, and a position set up from FEN in a reusable search object.

#include "board/notation.h"

namespace board_fixture_detail {
struct AttackTableReady {
    AttackTableReady() { init_attack_table(); }
};
inline const AttackTableReady attack_table_ready;
}  // namespace board_fixture_detail

inline int sq(const char* name) { return make_square(name[0] - 'a', name[1] - '1'); }

// The position of `fen` in one search object shared by every caller: each
// call replaces the previous position.
inline SearchState& board_of(const char* fen) {
    static SearchState state;
    set_fen(state, fen);
    return state;
}
