#include "search/depth_rules.h"

#include "search/search.h"

bool adjust_child_depth(SearchState& state) {
    const PlyRecord& parent = state.ply_records[state.ply - 1];
    PlyRecord& child = *state.ply_rec;
    // Every move costs one ply. Extensions, pruning and reductions act on
    // this starting point; for now every move is searched at it.
    child.depth = parent.depth - one_ply;
    child.extended = 0;
    child.reduction = 0;
    return true;
}
