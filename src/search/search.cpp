// The full-width principal-variation search. It does not recurse: one loop
// walks the PlyRecord stack of the SearchState. "Calling" a child means
// filling the next record and entering it; "returning" means stepping back
// to the parent and continuing it according to its `step`. A node's whole
// progress is in its record, so a copy of the state can be continued by
// another thread in the middle of any node.

#include "search/search.h"

#include "bitbase/bitbase.h"
#include "board/attacks.h"
#include "board/make_move.h"
#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "search/depth_rules.h"
#include "search/parallel.h"
#include "search/picker.h"
#include "search/search_node.h"
#include "search/time_control.h"
#include "search/trans_table.h"

namespace {

// ---------------------------------------------------------------- constants

// The null move is searched this much shallower than the node: the ply of the
// pass itself plus a reduction of three plies.
constexpr int null_depth_cut = 4 * one_ply;
// Up to this depth the node is evaluated before the pass, so the reply's
// quiescence search finds valid evaluation data one ply up.
constexpr int null_eval_max_depth = 4 * one_ply;
// A null-move fail-high is stored only above this depth: shallower ones are
// cheap to find again and would push deeper entries out of their slot.
constexpr int null_store_min_depth = 4 * one_ply;
// Zugzwang is common with few men, so they never pass.
constexpr int null_min_men = 6;
// Internal iterative deepening runs above this depth when there is no hash
// move, searching the node first this much shallower.
constexpr int iid_min_depth = 2 * one_ply;
constexpr int iid_depth_cut = 2 * one_ply;
// Quiet checks are generated for this many eighths into the quiescence
// search: its first ply.
constexpr int qcheck_entry_budget = one_ply;

// What the loop does next with the node at the current ply.
enum class Flow {
    enter,   // run the entry checks of a fresh node
    resume,  // continue the node according to its step
    leave,   // the node has its result: return to the parent
    done,    // worker 0's run of the state it was given is over
    idle,    // this thread has no state any more (merged, or handed back)
};

// --------------------------------------------------------- small helpers

bool in_iid_pass(int step) { return step == step_iid_scout || step == step_iid_moves; }

// A split copy at the ply where it was split: its moves come from the split
// point and its return is a merge.
bool at_split_ply(const SearchState& state) {
    return state.split_master != nullptr && state.ply == state.base_ply;
}

// The child node type follows the parent: PV -> PV, CUT -> ALL, ALL -> CUT.
int child_type_of(int node_type) {
    if (node_type == pv_node) return pv_node;
    return node_type == cut_node ? all_node : cut_node;
}

void store_node(const SearchState& state, const PlyRecord& node) {
    tt_store(state.to_move, state.pos_key, depth_in_plies(node.depth), state.ply, node.bound,
             node.best_score, node.best_move, node.mate_threat);
}

// Child searched with the parent's full window (first move, re-searches).
void open_full_window(PlyRecord& node, PlyRecord& child) {
    child.alpha = -node.beta;
    child.beta = -node.alpha;
    child.node_type = node.child_node_type;
    child.step = step_null;
    node.step = (node.step & step_iid) | step_moves;
}

// Child searched with the null window just above alpha (later moves).
void open_scout_window(PlyRecord& node, PlyRecord& child) {
    child.alpha = -node.alpha - 1;
    child.beta = -node.alpha;
    child.node_type = cut_node;
    child.step = step_null;
    node.step = (node.step & step_iid) | step_scout;
}

// After a made move the evaluation uses the weights of the game phase.
void choose_params(SearchState& state) { state.params = select_params(state); }

// An aborted or stopped run leaves every open node; its moves are taken back
// so the state again holds the position the run was entered on.
void unwind_to_base(SearchState& state) {
    while (state.ply > state.base_ply) {
        ascend(state);
        if (state.hist_stack[state.hply - 1].move == 0)
            unmake_null(state);
        else
            unmake_move(state);
    }
}

// -------------------------------------------------------------- node entry

void reset_node(PlyRecord& node, int ply) {
    node.gen_stage = 0;
    node.bound = upper;
    node.pv_length = ply;
    node.legal_moves = 0;
    node.hash_move = 0;
    node.best_score = no_score;
    node.best_move = 0;
    node.mate_threat = 0;
    node.eval_flags = 1;
    node.child_node_type = child_type_of(node.node_type);
}

// The main thread's state polls clock and input every poll_interval nodes.
// True when the search must stop.
bool poll_says_stop(SearchState& state) {
    if (state.worker_index != 0 || state.nodes <= state.next_check) return false;
    if (abort_flag.load(std::memory_order_relaxed)) return true;
    check_input_and_time(state);
    return abort_flag.load(std::memory_order_relaxed) != 0;
}

// Table probe: keeps the hash move and the mate threat; true when a non-PV
// node can return the stored score.
bool table_cutoff(SearchState& state, PlyRecord& node) {
    TransHit hit{};
    node.probe_result =
        tt_probe(state.to_move, state.pos_key, node.depth, node.alpha, node.beta, state.ply, hit);
    node.hash_move = hit.move;
    node.mate_threat |= hit.mate_threat;
    // A torn or colliding entry may name a move that is impossible here.
    if (node.hash_move != 0 && !is_move_valid(state, node.hash_move)) node.hash_move = 0;
    if (node.node_type == pv_node || node.probe_result < exact) return false;
    node.best_score = hit.score;
    node.best_move = node.hash_move;
    if (node.hash_move != 0) {
        node.pv[state.ply] = node.hash_move;
        node.pv_length = state.ply + 1;
    }
    return true;
}

// Step "entry": the checks every fresh node makes before its moves.
Flow enter_node(SearchState& state) {
    PlyRecord& node = *state.ply_rec;
    if (node.depth <= 0) {
        // The reply to a null move evaluates lazily all the way down.
        node.after_null = state.ply > 0 && state.ply_records[state.ply - 1].step == step_null;
        node.qcheck_budget = qcheck_entry_budget;
        quiesce(state);
        return Flow::leave;
    }
    ++state.nodes;
    if (state.ply > state.sel_depth) state.sel_depth = state.ply;
    reset_node(node, state.ply);

    // Even a mate at once cannot reach alpha from here.
    if (node.alpha > mate_score - ply_step * state.ply) {
        node.best_score = node.alpha;
        return Flow::leave;
    }
    if (is_draw_by_rule(state, in_check(state))) {
        node.best_score = draw_score;
        return Flow::leave;
    }
    if (out_of_room(state)) {
        node.best_score = evaluate(state, eval_full);
        return Flow::leave;
    }
    if (poll_says_stop(state)) return Flow::leave;
    if (table_cutoff(state, node)) return Flow::leave;
    int bitbase_score = 0;
    if (bitbases_loaded && state.men_total <= 5 && probe_bitbase_rule(state, bitbase_score)) {
        node.best_score = bitbase_score;  // never stored in the table
        return Flow::leave;
    }
    return Flow::resume;
}

// --------------------------------------------------------------- move loop

Flow next_child(SearchState& state);

// The IID pass is over (no more moves or a fail-high): search the node again
// at its full depth with the pass's best move first.
Flow restart_after_iid(SearchState& state, PlyRecord& node) {
    node.hash_move = node.best_move;
    node.alpha = node.iid_alpha;
    node.beta = node.iid_beta;
    node.depth = node.iid_depth;
    node.gen_stage = 0;
    node.bound = upper;
    node.legal_moves = 0;
    node.best_score = no_score;
    node.best_move = 0;
    node.pv_length = state.ply;
    node.step = step_moves;
    return Flow::resume;
}

// Step "end of node": no more moves. Without a legal move it is mate or
// stalemate.
Flow end_of_node(SearchState& state) {
    PlyRecord& node = *state.ply_rec;
    // A copy's share of a split node is done; the split point's result is
    // stored by whoever finishes it last (this copy alone knows only part).
    if (at_split_ply(state)) return Flow::leave;
    if (node.legal_moves == 0) {
        node.best_score = in_check(state) ? mated_at(state.ply) : draw_score;
        node.bound = exact;
    }
    store_node(state, node);
    if (in_iid_pass(node.step)) return restart_after_iid(state, node);
    return Flow::leave;
}

// The current move refuted the parent's last move.
Flow fail_high(SearchState& state, PlyRecord& node) {
    node.bound = lower;
    const Move m = node.current_move;
    if (!is_capture(m) && !is_promotion(m)) update_history_and_killers(state, m, node.depth);
    if (at_split_ply(state)) {
        // The siblings' work is useless now: they stop, and the node returns
        // through the merge (an IID pass ends there too).
        stop_split_point(state);
        ++state.bad_splits;
        store_node(state, node);
        return Flow::leave;
    }
    store_node(state, node);
    if (in_iid_pass(node.step)) return restart_after_iid(state, node);
    return Flow::leave;
}

// The child of the current move is finished and the move taken back.
Flow take_child_result(SearchState& state, int score) {
    PlyRecord& node = *state.ply_rec;
    if (score > node.best_score) {
        node.best_score = score;
        node.best_move = node.current_move;
    }
    if (score > node.alpha) {
        if (score >= node.beta) return fail_high(state, node);
        node.alpha = score;
        node.bound = exact;
        adopt_child_pv(node, state.ply_records[state.ply + 1], state.ply, node.current_move);
    }
    // A deep node is offered to idle workers. After a split this thread
    // goes on in its own copy (the loop picks it up from its worker).
    if (node.depth > split_min_depth && idle_count.load(std::memory_order_relaxed) > 0)
        try_split(state);
    return Flow::resume;
}

// Child return into the move loop: re-search where the result is suspect,
// otherwise take the move back and record the result.
Flow child_returned(SearchState& state) {
    PlyRecord& child = *state.ply_rec;
    PlyRecord& node = state.ply_records[state.ply - 1];
    const int score = -child.best_score;
    const bool scout = (node.step & 3) == step_scout;
    // A null-window child that lands inside a PV node's window needs its
    // exact value.
    if (scout && score > node.alpha && score < node.beta) {
        open_full_window(node, child);
        return Flow::enter;
    }
    // A reduced move that fails high must prove it at full depth.
    if (child.reduction > 0 && score >= node.beta) {
        child.depth += one_ply * child.reduction;
        child.reduction = 0;
        open_full_window(node, child);
        return Flow::enter;
    }
    ascend(state);
    unmake_move(state);
    return take_child_result(state, score);
}

// Step "moves": hand out the next move, make it and enter its child.
Flow next_child(SearchState& state) {
    PlyRecord& node = *state.ply_rec;
    const bool shared = at_split_ply(state);
    for (;;) {
        // At a copy's split ply the split point hands out the moves and
        // counts them.
        const Move m = shared ? pick_split_move(state) : next_move(state);
        if (m == 0) return end_of_node(state);
        if (!shared) ++node.legal_moves;
        make_move(state, m);
        descend(state);
        choose_params(state);
        if (!adjust_child_depth(state)) {
            ascend(state);
            unmake_move(state);
            continue;
        }
        PlyRecord& child = *state.ply_rec;
        if (node.legal_moves == 1)
            open_full_window(node, child);
        else
            open_scout_window(node, child);
        return Flow::enter;
    }
}

// ------------------------------------------------------- null move and IID

// Step "IID": without a hash move a deep node first searches itself two
// plies shallower to find a good first move.
Flow iid_step(SearchState& state) {
    PlyRecord& node = *state.ply_rec;
    if (node.hash_move == 0 && node.depth > iid_min_depth) {
        node.iid_alpha = node.alpha;
        node.iid_beta = node.beta;
        node.iid_depth = node.depth;
        node.depth -= iid_depth_cut;
        node.step = step_iid_moves;
    } else {
        node.step = step_moves;
    }
    return Flow::resume;
}

bool null_move_allowed(const SearchState& state, const PlyRecord& node) {
    return !in_check(state) && node.mate_threat == 0 && node.node_type != pv_node &&
           node.probe_result != probe_no_null && state.piece_material[state.to_move] != 0 &&
           state.men_total >= null_min_men;
}

// Step "null": pass the move and search the reply shallower with the null
// window at beta. If even that fails high, the node is good enough.
Flow null_move_step(SearchState& state) {
    PlyRecord& node = *state.ply_rec;
    if (!null_move_allowed(state, node)) return iid_step(state);
    if (node.depth <= null_eval_max_depth) evaluate(state, eval_full);
    make_null(state);
    descend(state);
    PlyRecord& child = *state.ply_rec;
    child.extended = 0;
    child.reduction = 0;
    child.depth = node.depth - null_depth_cut;
    child.alpha = -node.beta;
    child.beta = -node.beta + 1;
    child.node_type = node.child_node_type;
    child.step = step_moves;  // no second null move, no IID in the reply
    return Flow::enter;
}

// Null-move child return.
Flow null_move_returned(SearchState& state) {
    const int score = -state.ply_rec->best_score;
    ascend(state);
    unmake_null(state);
    PlyRecord& node = *state.ply_rec;
    if (score >= node.beta) {
        node.best_score = score;
        node.best_move = 0;
        node.bound = lower;
        if (node.depth > null_store_min_depth) store_node(state, node);
        return Flow::leave;
    }
    // Passing lets the opponent mate at once: keep every move of this node.
    if (score == mated_at(state.ply + 2)) node.mate_threat = 1;
    return iid_step(state);
}

// ------------------------------------------------------------- dispatching

Flow resume_node(SearchState& state) {
    switch (state.ply_rec->step) {
        case step_null: return null_move_step(state);
        case step_iid: return iid_step(state);
        default: return next_child(state);  // the move-loop steps, IID pass or not
    }
}

// A copy is done: its result goes into the split point. The last thread to
// finish there stores the split node and goes on returning from it.
Flow merge_into_split_point(SearchState& copy, int slot) {
    SearchState* sp = merge_copy(copy, slot);
    if (!sp) return Flow::idle;
    if (abort_flag.load(std::memory_order_relaxed) || sp->stopped.load(std::memory_order_relaxed))
        return Flow::leave;
    PlyRecord& node = *sp->ply_rec;
    store_node(*sp, node);
    if (in_iid_pass(node.step)) return restart_after_iid(*sp, node);
    return Flow::leave;
}

// The run of a state that is no copy reached its first node: worker 0
// returns to its caller, a helper gives the state back to worker 0.
Flow end_of_run(SearchState& state, int slot) {
    if (slot == 0) return Flow::done;
    hand_back(state, slot);
    return Flow::idle;
}

// Step "return": the node at the current ply has its result.
Flow leave_node(SearchState& state, int slot) {
    const bool cut = abort_flag.load(std::memory_order_relaxed) ||
                     state.stopped.load(std::memory_order_relaxed);
    if (state.split_master && (cut || state.ply == state.base_ply))
        return merge_into_split_point(state, slot);
    if (cut) {
        unwind_to_base(state);
        return end_of_run(state, slot);
    }
    if (state.ply == state.base_ply) return end_of_run(state, slot);
    // The parent stays in step_null while its null-move reply is searched.
    if (state.ply_records[state.ply - 1].step == step_null) return null_move_returned(state);
    return child_returned(state);
}

// Runs the thread of `slot` on its worker's state from `flow`. The state
// changes under it at a split (to the thread's copy) and at a merge (to the
// split point, or none). True when worker 0's run is over, false when the
// thread has no state left.
bool run_search(int slot, Flow flow) {
    const Worker& me = workers[slot];
    SearchState* state = me.state.load(std::memory_order_relaxed);
    for (;;) {
        switch (flow) {
            case Flow::enter: flow = enter_node(*state); break;
            case Flow::resume: flow = resume_node(*state); break;
            case Flow::leave: flow = leave_node(*state, slot); break;
            case Flow::done: return true;
            case Flow::idle: return false;
        }
        state = me.state.load(std::memory_order_relaxed);
    }
}

}  // namespace

void search(SearchState& state) {
    state.base_ply = state.ply;
    workers[0].state.store(&state, std::memory_order_relaxed);
    if (run_search(0, Flow::enter)) return;
    // Other threads still work below this state: help them until it is
    // finished here or handed back.
    idle_loop(0);
}

bool continue_search(int slot) { return run_search(slot, Flow::resume); }
