// The quiescence search: below the full-width search it resolves captures
// (every evasion when in check, and quiet checks near its entry) until the
// position is quiet, standing pat on the static evaluation. Like the main
// search it walks the PlyRecord stack in a loop instead of recursing, and it
// neither probes nor stores the transposition table nor polls the clock.

#include "search/search.h"

#include "bitbase/bitbase.h"
#include "board/make_move.h"
#include "eval/evaluate.h"
#include "search/picker.h"
#include "search/search_node.h"

namespace {

// After a check with one legal reply the grandchild again tries quiet checks
// (budget 0 - 8 + 16 = 8); with two replies the bonus only offsets the ply.
constexpr int single_reply_bonus = 2 * one_ply;
constexpr int double_reply_bonus = one_ply;

enum class QFlow {
    enter,  // entry checks and stand pat of a fresh node
    next,   // try the node's next move
    leave,  // the node has its result
};

// Stand pat: not in check, the side to move may keep the static value.
// True when that alone refutes the parent's move.
bool stand_pat_cuts(SearchState& state, PlyRecord& node) {
    // Below a null move the reply's whole subtree uses the cheap estimate.
    const int score = evaluate(state, node.after_null ? eval_lazy : eval_lazy_test);
    node.best_score = score;
    if (score <= node.alpha) return false;
    if (score >= node.beta) return true;
    node.alpha = score;
    return false;
}

// Entry of a quiescence node; true when its value is already known.
bool node_settled(SearchState& state) {
    PlyRecord& node = *state.ply_rec;
    node.gen_stage = 0;
    node.pv_length = state.ply;
    node.best_score = no_score;
    node.best_move = 0;
    node.legal_moves = 0;
    node.eval_flags = 1;
    ++state.nodes;
    ++state.qnodes;
    if (state.ply > state.sel_depth) state.sel_depth = state.ply;

    if (node.alpha > mate_score - ply_step * state.ply) {
        node.best_score = node.alpha;
        return true;
    }
    const bool checked = in_check(state);
    if (is_draw_by_rule(state, checked)) {
        node.best_score = draw_score;
        return true;
    }
    if (out_of_room(state)) {
        node.best_score = evaluate(state, eval_full);
        return true;
    }
    int bitbase_score = 0;
    if (bitbases_loaded && state.men_total <= 5 && probe_bitbase_rule(state, bitbase_score)) {
        node.best_score = bitbase_score;
        return true;
    }
    // In check there is no stand pat: every evasion is searched.
    return !checked && stand_pat_cuts(state, node);
}

QFlow next_qchild(SearchState& state) {
    PlyRecord& node = *state.ply_rec;
    const bool checked = in_check(state);
    const Move m = next_qmove(state);
    if (m == 0) {
        // Without a stand pat, no evasion means mate. Not in check, a node
        // without moves keeps its stand pat: stalemate is not detected here.
        if (checked && node.legal_moves == 0) node.best_score = mated_at(state.ply);
        return QFlow::leave;
    }
    ++node.legal_moves;
    const int replies = node.move_count;  // all evasions form one batch
    make_move(state, m);
    descend(state);
    PlyRecord& child = *state.ply_rec;
    child.alpha = -node.beta;
    child.beta = -node.alpha;
    child.qcheck_budget = node.qcheck_budget - one_ply;
    child.after_null = node.after_null;
    if (checked && replies == 1) child.qcheck_budget += single_reply_bonus;
    if (checked && replies == 2) child.qcheck_budget += double_reply_bonus;
    return QFlow::enter;
}

QFlow qchild_returned(SearchState& state) {
    const PlyRecord& child = *state.ply_rec;
    const int score = -child.best_score;
    ascend(state);
    unmake_move(state);
    PlyRecord& node = *state.ply_rec;
    if (score <= node.best_score) return QFlow::next;
    node.best_score = score;
    node.best_move = node.current_move;
    if (score <= node.alpha) return QFlow::next;
    if (score >= node.beta) return QFlow::leave;
    node.alpha = score;
    adopt_child_pv(node, child, state.ply, node.current_move);
    return QFlow::next;
}

}  // namespace

void quiesce(SearchState& state) {
    const int entry_ply = state.ply;
    QFlow flow = QFlow::enter;
    for (;;) {
        switch (flow) {
            case QFlow::enter: flow = node_settled(state) ? QFlow::leave : QFlow::next; break;
            case QFlow::next: flow = next_qchild(state); break;
            case QFlow::leave:
                if (state.ply == entry_ply) return;
                flow = qchild_returned(state);
                break;
        }
    }
}
