#include "search/search_node.h"

#include "bitbase/bitbase.h"

bool is_repetition(const SearchState& state) {
    // Entries below setup_hply were never written for this game (after a
    // set-up with a non-zero half-move clock they may hold keys of an earlier
    // game), so the walk stops there whatever the clock says.
    int oldest = state.hply - state.halfmove_clock;
    if (oldest < state.setup_hply) oldest = state.setup_hply;
    for (int i = state.hply - 2; i >= oldest; i -= 2)
        if (state.hist_stack[i].pos_key == state.pos_key) return true;
    return false;
}

bool is_draw_by_rule(const SearchState& state, bool checked) {
    // At exactly a hundred half-moves a side in check may still be mated.
    if (state.halfmove_clock > fifty_move_limit) return true;
    if (state.halfmove_clock == fifty_move_limit && !checked) return true;
    return is_repetition(state);
}

namespace {

// Below the ply limit a probe pays only right after the material or the pawn
// structure changed: otherwise the parent was already a bitbase position that
// the rule chose not to probe.
bool last_move_changed_material(const SearchState& state) {
    if (state.ply == 0) return false;
    // Read from hist_stack, not from the parent's current_move: after a null
    // move the record holds 0, while current_move would still hold a move of
    // an earlier node at that ply.
    const Move m = state.hist_stack[state.hply - 1].move;
    return is_capture(m) || is_promotion(m) || piece_type[move_piece(m)] == pawn;
}

bool bitbase_rule_allows(const SearchState& state) {
    if (state.ply < bitbase_ply_limit) return last_move_changed_material(state);
    if (state.ply > bitbase_ply_limit)
        return egbb_load_type > 0 && (state.men_total <= 4 || egbb_load_type == 3);
    return true;
}

}  // namespace

bool probe_bitbase_rule(SearchState& state, int& score) {
    if (!bitbase_rule_allows(state)) return false;
    int value = 0;
    if (!probe_bitbase(state, value)) return false;
    ++state.egbb_probes;
    // A win is worth less the further it is from the root, like a mate.
    const int distance = ply_step * state.ply + ply_step;
    score = value > 0 ? value - distance : value < 0 ? value + distance : 0;
    return true;
}
