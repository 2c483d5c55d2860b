// The per-move depth rules of the full-width search, applied after a move is
// made and before its child is searched:
//   1. extensions: checks, single replies and, at PV nodes, mate threats,
//      pawns close to promotion and captures;
//   2. the gate: pruning is only for quiet, unextended moves at shallow
//      non-PV nodes whose side to move was not in check;
//   3. move-count pruning of late quiet moves;
//   4. futility: moves whose lazy value stays below alpha by the margin are
//      pruned, reduced or sent to the quiescence search;
//   5. late-move reductions of one or two plies.
// Every rule reads only the two records involved and the board, so the
// decision costs at most two evaluations and no allocation.

#include "search/depth_rules.h"

#include <algorithm>

#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "search/search.h"

namespace {

// ---------------------------------------------------------------- constants

// A move is reducible once more moves than this were tried at its node,
// by node type (PV, CUT, ALL): at PV nodes late moves still matter most, at
// ALL nodes every move is expected to fail low anyway.
constexpr int lmr_moves_by_type[3] = {14, 3, 2};
// Move-count pruning starts this many moves after lmr_moves plus the
// node's depth in plies: deeper nodes try more moves before giving up.
constexpr int prune_moves_extra = 2;
// Pruning only where the child has at most this many plies left (or half
// the iteration number, when that is larger): higher up an error costs too
// much.
constexpr int min_prune_plies = 7;
// Extension of one reason, and of a capture at a PV node (half a ply, so
// two captures in a row make one ply). Together they never exceed one ply
// per move, which keeps the search from exploding on forcing lines.
constexpr int extension = one_ply;
constexpr int capture_extension = one_ply / 2;
constexpr int max_extension = one_ply;
// With this few men left every move matters (and zugzwang is common):
// nothing is pruned or reduced.
constexpr int min_men_to_prune = 6;
// The picker's stage counter while it hands out its quiet-move batch (it
// already points past the quiet stage then).
constexpr int quiet_batch_stage = 5;
// Futility is only trusted for children with up to this many eighths left;
// deeper ones are left to move-count pruning and reductions.
constexpr int max_futility_depth = 3 * one_ply;
// The second reduction needs this much depth left after the first one,
// and then either more than all_moves_second_reduction moves tried, or at
// least eval_moves_second_reduction moves and a static value below alpha.
constexpr int min_second_reduction_depth = 2 * one_ply;
constexpr int all_moves_second_reduction = 14;
constexpr int eval_moves_second_reduction = 8;

// White's 7th rank and the two ranks below it from which a passed pawn is
// close to promotion; black's mirror them.
constexpr int seventh_rank[2] = {6, 1};
constexpr int passer_ranks_near[2] = {5, 2};
constexpr int passer_ranks_far[2] = {4, 3};

// ------------------------------------------------------------ extensions

// No enemy pawn on the pawn's file or an adjacent one in front of it, up
// to the enemy's second rank (the 7th from the pawn's side).
bool is_passed(const SearchState& state, int sq, int colour) {
    const int enemy_pawn = code_of(pawn, colour ^ 1);
    const int step = colour == white ? 1 : -1;
    const int last = seventh_rank[colour];
    const int f = file(sq);
    for (int r = rank(sq) + step; r != last + step; r += step)
        for (int ff = std::max(0, f - 1); ff <= std::min(7, f + 1); ++ff)
            if (state.board[make_square(ff, r)] == enemy_pawn) return false;
    return true;
}

// A pawn reaching its 7th rank, or a passed pawn reaching its 5th or 6th.
// A pawn arriving on the last rank is a promotion and is not counted.
bool is_pawn_near_promotion(const SearchState& state, Move m) {
    const int code = move_piece(m);
    if (piece_type[code] != pawn) return false;
    const int colour = piece_colour[code];
    const int to = move_to(m);
    const int r = rank(to);
    if (r == seventh_rank[colour]) return true;
    if (r != passer_ranks_near[colour] && r != passer_ranks_far[colour]) return false;
    return is_passed(state, to, colour);
}

// Extensions of the move leading to `child`; sets `extended` and returns
// the added depth.
int extension_of(const SearchState& state, const PlyRecord& parent, PlyRecord& child,
                 bool parent_in_check, bool child_in_check) {
    const Move m = parent.current_move;
    int e = 0;
    if (child_in_check) e += extension;
    // The only evasion: its line is forced, so it costs nothing to look on.
    if (parent_in_check && parent.move_count == 1) e += extension;
    if (parent.node_type == pv_node) {
        if (parent.mate_threat) e += extension;
        if (is_pawn_near_promotion(state, m)) e += extension;
        if (is_capture(m)) e += capture_extension;
    }
    if (e > 0) child.extended = 1;
    return std::min(e, max_extension);
}

// ------------------------------------------------------ pruning decisions

// Where moves may be pruned at all: quiet moves that are not extended, at
// non-PV nodes not in check and without a mate threat, not too far from the
// leaves, with enough men on the board.
bool pruning_applies(const SearchState& state, const PlyRecord& parent, const PlyRecord& child,
                     bool parent_in_check) {
    const Move m = parent.current_move;
    const int prune_plies = std::max(min_prune_plies, iteration_depth / 2);
    return depth_in_plies(child.depth) <= prune_plies && !parent_in_check && !is_capture(m) &&
           !is_promotion(m) && !child.extended && !parent.mate_threat &&
           parent.node_type != pv_node && state.men_total >= min_men_to_prune;
}

// A pruned move whose lazy value beats the node's best so far becomes its
// best move, so that a node all of whose moves fail low or are pruned still
// stores a move to try first next time.
void record_pruned_value(PlyRecord& parent, int value) {
    if (value > parent.best_score) {
        parent.best_score = value;
        parent.best_move = parent.current_move;
    }
}

// What the futility rule decided.
enum class Futility { prune, search, undecided };

// The futility rule for a child of at most max_futility_depth eighths.
// `late` means the node already tried more than prune_moves moves.
Futility apply_futility(SearchState& state, PlyRecord& parent, PlyRecord& child, bool late) {
    // A negative margin would prune moves whose value is above alpha.
    const int margin = std::max(0, state.params->futl_margin);
    const int value = -evaluate(state, eval_lazy);
    if (value + margin < parent.alpha) {
        if (child.depth <= one_ply || late) {
            record_pruned_value(parent, value);
            return Futility::prune;
        }
        child.depth -= one_ply;
        ++child.reduction;
        return Futility::search;
    }
    if (child.depth > one_ply) return Futility::undecided;
    // Hopeless enough to only look at captures and checks below it.
    if (value + margin / 2 < parent.alpha) child.depth = 0;
    return Futility::search;
}

// -------------------------------------------------------------- reductions

// Late quiet moves are searched one ply shallower, and at non-PV nodes,
// when many moves failed or the static value says the move is bad, two.
void reduce_late_move(SearchState& state, const PlyRecord& parent, PlyRecord& child) {
    if (child.depth <= one_ply || child.extended || parent.gen_stage != quiet_batch_stage ||
        parent.legal_moves <= lmr_moves_by_type[parent.node_type] ||
        state.men_total < min_men_to_prune)
        return;
    child.depth -= one_ply;
    ++child.reduction;
    if (parent.node_type == pv_node || child.depth <= min_second_reduction_depth ||
        parent.extended || parent.reduction > 0)
        return;
    const bool second = parent.legal_moves > all_moves_second_reduction ||
                        (parent.legal_moves >= eval_moves_second_reduction &&
                         -evaluate(state, eval_full) < parent.alpha);
    if (second) {
        child.depth -= one_ply;
        ++child.reduction;
    }
}

}  // namespace

bool adjust_child_depth(SearchState& state) {
    PlyRecord& parent = state.ply_records[state.ply - 1];
    PlyRecord& child = *state.ply_rec;
    // The check the move gave is the child's status; the record before it
    // holds the parent's.
    const bool child_in_check = state.hist_stack[state.hply - 1].check_kind != 0;
    const bool parent_in_check = state.hist_stack[state.hply - 2].check_kind != 0;

    child.extended = 0;
    child.reduction = 0;
    child.depth = parent.depth - one_ply +
                  extension_of(state, parent, child, parent_in_check, child_in_check);

    if (pruning_applies(state, parent, child, parent_in_check)) {
        const int prune_moves =
            lmr_moves_by_type[parent.node_type] + depth_in_plies(parent.depth) + prune_moves_extra;
        const bool late = parent.legal_moves > prune_moves;
        if (child.depth > one_ply && late && parent.gen_stage == quiet_batch_stage) return false;
        if (child.depth <= max_futility_depth) {
            switch (apply_futility(state, parent, child, late)) {
                case Futility::prune: return false;
                case Futility::search: return true;
                case Futility::undecided: break;
            }
        }
    }
    reduce_late_move(state, parent, child);
    return true;
}
