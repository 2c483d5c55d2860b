// perft: a walk over the explicit ply-record stack without recursion.

#include "search/perft.h"

#include "board/make_move.h"
#include "protocol/console.h"
#include "search/picker.h"

int64_t perft_count(SearchState& state, int depth) {
    const int base_ply = state.ply;
    state.nodes = 0;
    state.ply_rec->depth = depth;
    state.ply_rec->gen_stage = 0;
    for (;;) {
        const Move m = next_move(state);
        if (m != 0) {
            make_move(state, m);
            ++state.ply;
            PlyRecord& child = *++state.ply_rec;
            child.depth = state.ply_rec[-1].depth - 1;
            child.gen_stage = 0;
            if (child.depth < 1) {
                ++state.nodes;
            } else if (state.ply < max_ply - 1) {
                if (state.ply == base_ply + 1) emit(".");
                continue;  // expand the child
            }
            // A leaf, or the last ply record: take the move back.
        } else if (state.ply == base_ply) {
            return int64_t(state.nodes);
        }
        // Back to the parent, whose picker continues where it stopped.
        --state.ply;
        --state.ply_rec;
        unmake_move(state);
    }
}

void command_perft(SearchState& game, int depth) {
    const int start = now_ms();
    const int64_t count = perft_count(game, depth);
    // The clock is 32 bits wide: unsigned arithmetic survives its wrap.
    const uint32_t elapsed = uint32_t(now_ms()) - uint32_t(start);
    const float seconds = float(elapsed) / 1000.0f;
    emit("\nnodes %lld\n", static_cast<long long>(count));
    emit("time %.2f sec\n", double(seconds));
}
