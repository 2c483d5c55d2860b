#pragma once
// Shared set-up for the search-module tests: one static SearchState loaded
// from a FEN, and the legal moves of its position found the slow way (make
// every generated move and look at the own king), independent of the picker.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/search_state.h"

namespace search_test {

inline SearchState& load_position(const char* fen) {
    static SearchState state;
    static const bool attack_table_built = (init_attack_table(), true);
    (void)attack_table_built;
    set_fen(state, fen);
    return state;
}

// Pseudo-legal moves (captures, then quiets) generated into the current ply
// record; the record's list is left empty again.
inline std::vector<Move> pseudo_legal_moves(SearchState& state) {
    PlyRecord& r = *state.ply_rec;
    r.move_count = 0;
    generate_captures(state);
    generate_quiets(state);
    std::vector<Move> moves(r.moves, r.moves + r.move_count);
    r.move_count = 0;
    return moves;
}

inline bool is_legal(SearchState& state, Move m) {
    const int mover = state.to_move;
    make_move(state, m);
    const bool legal = !attacked(state, state.to_move, king_square(state, mover));
    unmake_move(state);
    return legal;
}

inline std::vector<Move> legal_moves(SearchState& state) {
    std::vector<Move> legal;
    // The quiet generator does not look at check; castling out of it is not
    // a move, whatever the king's square afterwards.
    const bool checked = side_in_check(state);
    for (Move m : pseudo_legal_moves(state))
        if (!(checked && is_castling(m)) && is_legal(state, m)) legal.push_back(m);
    std::sort(legal.begin(), legal.end());
    return legal;
}

// The generated move from `from` to `to` (the first, for promotions).
inline Move find_move(SearchState& state, int from, int to) {
    for (Move m : pseudo_legal_moves(state))
        if (move_from(m) == from && move_to(m) == to) return m;
    ADD_FAILURE() << "no move " << from << "-" << to;
    return 0;
}

}  // namespace search_test
