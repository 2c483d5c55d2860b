#pragma once
// Set-up shared by the alpha-beta and quiescence tests: one static
// SearchState loaded from a FEN with empty tables and cleared ordering, the
// clock poll pushed out of reach, and helpers that run one node of either
// search at ply 0 and play moves given as coordinate text.

#include <cstdint>

#include "board/make_move.h"
#include "board/notation.h"
#include "eval/eval_params.h"
#include "eval/psq.h"
#include "search/picker.h"
#include "search/search.h"
#include "search/trans_table.h"

namespace search_test_support {

inline SearchState& searchable_position(const char* fen) {
    static SearchState state;
    static const bool tables_built = (init_attack_table(), init_psq(), true);
    (void)tables_built;
    set_fen(state, fen);
    clear_all_tables();
    clear_ordering(state);
    tt_new_search(state.hply);
    abort_flag = 0;
    iteration_depth = 8;
    bitbase_ply_limit = 0;
    state.nodes = state.qnodes = 0;
    state.eval_count = state.lazy_count = 0;
    state.egbb_probes = 0;
    state.next_check = UINT64_MAX;  // tests never poll the console
    state.worker_index = 0;
    state.stopped = 0;
    state.params = select_params(state);
    return state;
}

// Runs the full-width search on the node at ply 0; returns its score.
inline int search_node(SearchState& state, int depth, int alpha, int beta, int node_type,
                       int step = step_null) {
    PlyRecord& node = *state.ply_rec;
    node.depth = depth;
    node.alpha = alpha;
    node.beta = beta;
    node.node_type = node_type;
    node.step = step;
    node.extended = 0;
    node.reduction = 0;
    search(state);
    return node.best_score;
}

inline int quiesce_node(SearchState& state, int alpha, int beta, int qcheck_budget = one_ply,
                        int after_null = 0) {
    PlyRecord& node = *state.ply_rec;
    node.alpha = alpha;
    node.beta = beta;
    node.qcheck_budget = qcheck_budget;
    node.after_null = after_null;
    quiesce(state);
    return node.best_score;
}

// Plays a move given as "g1f3" (no promotions needed here).
inline void play(SearchState& state, const char* text) {
    const int from = make_square(text[0] - 'a', text[1] - '1');
    const int to = make_square(text[2] - 'a', text[3] - '1');
    make_move(state, make_move_word(from, to, state.board[from], state.board[to]));
}

inline Move move_of(const SearchState& state, const char* text) {
    const int from = make_square(text[0] - 'a', text[1] - '1');
    const int to = make_square(text[2] - 'a', text[3] - '1');
    return make_move_word(from, to, state.board[from], state.board[to]);
}

}  // namespace search_test_support
