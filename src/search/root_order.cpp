// The root move list: the legal moves in generation order, filtered and
// scored by the bitbases when they decide the root, ordered by quiescence
// scores before the first iteration and by subtree sizes after each one.

#include "bitbase/bitbase.h"
#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "eval/eval_params.h"
#include "search/root.h"
#include "search/search.h"

namespace {

// Root moves scoring this much worse than the root's bitbase value throw a
// won (or drawn) position away and are dropped.
constexpr int bitbase_root_filter = -1000;

// Quiescence budget of a root reply: one ply of quiet checks.
constexpr int root_qcheck_budget = 8;

bool leaves_own_king_attacked(const SearchState& state) {
    return attacked(state, state.to_move, king_square(state, state.not_to_move)) != 0;
}

// Bitbase score of the root move just made (from the root side's view), or
// false after a miss, which ends the bitbases' say at this root.
bool bitbase_move_score(const SearchState& state, int& score) {
    int value = 0;
    if (!probe_bitbase(state, value)) return false;
    score = -value;
    return true;
}

}  // namespace

void build_root_list(SearchState& state, int root_value) {
    PlyRecord& root = state.ply_records[0];
    root.move_count = 0;
    generate_captures(state);
    generate_quiets(state);
    const int generated = root.move_count;
    int kept = 0;
    for (int i = 0; i < generated; ++i) {
        const Move m = root.moves[i];
        make_move(state, m);
        if (leaves_own_king_attacked(state)) {
            unmake_move(state);
            continue;
        }
        int score = 0;
        if (bitbase_root) {
            if (!bitbase_move_score(state, score)) {
                bitbase_root = false;
                score = 0;
            } else if (score - root_value < bitbase_root_filter) {
                unmake_move(state);
                continue;
            }
        }
        unmake_move(state);
        root.moves[kept] = m;
        root.scores[kept] = score;
        ++kept;
    }
    root.move_count = kept;
}

bool bitbase_move_decides(const PlyRecord& root, int root_value) {
    if (root.move_count == 0) return false;
    // Inside the tree bitbase values are no exact distances: they lose 40 a
    // ply of distance from the root, twice what a ply nearer the mate gains
    // them, reach the transposition table without a ply adjustment, and
    // quiet leaves short of the probe ply are evaluated rather than probed.
    // Between winning moves one ply to mate apart the search's choice is
    // noise, and a long mate (bishop and knight) is never reached; the move
    // the library scores best is the fastest win.
    return root.scores[0] < 1 || root.scores[0] > root_value;
}

void order_root_by_quiescence(SearchState& state) {
    PlyRecord& root = state.ply_records[0];
    PlyRecord& child = state.ply_records[1];
    bitbase_ply_limit = 0;
    for (int i = 0; i < root.move_count; ++i) {
        root.current_move = root.moves[i];
        make_move(state, root.moves[i]);
        state.ply = 1;
        state.ply_rec = &child;
        state.params = select_params(state);
        child.alpha = -infinite_score;
        child.beta = infinite_score;
        child.depth = 0;
        child.qcheck_budget = root_qcheck_budget;
        child.after_null = 0;
        quiesce(state);
        state.ply = 0;
        state.ply_rec = &root;
        unmake_move(state);
        root.scores[i] = -child.best_score;
    }
    state.params = select_params(state);
    sort_root_list(root);
}

void sort_root_list(PlyRecord& root) {
    // Selection of the highest remaining score, the first of equal scores
    // winning; the others keep their relative order, so ties stay in
    // generation order.
    for (int i = 0; i + 1 < root.move_count; ++i) {
        int best = i;
        for (int j = i + 1; j < root.move_count; ++j)
            if (root.scores[j] > root.scores[best]) best = j;
        const Move m = root.moves[best];
        const int score = root.scores[best];
        for (int j = best; j > i; --j) {
            root.moves[j] = root.moves[j - 1];
            root.scores[j] = root.scores[j - 1];
        }
        root.moves[i] = m;
        root.scores[i] = score;
    }
}

void filter_root_list(PlyRecord& root) {
    if (root_move_filter_count == 0) return;
    const auto named = [](Move m) {
        for (int i = 0; i < root_move_filter_count; ++i)
            if ((root_move_filter[i] & user_move_mask) == (m & user_move_mask)) return true;
        return false;
    };
    int kept = 0;
    for (int i = 0; i < root.move_count; ++i)
        if (named(root.moves[i])) ++kept;
    if (kept == 0) return;
    kept = 0;
    for (int i = 0; i < root.move_count; ++i) {
        if (!named(root.moves[i])) continue;
        root.moves[kept] = root.moves[i];
        root.scores[kept] = root.scores[i];
        ++kept;
    }
    root.move_count = kept;
}
