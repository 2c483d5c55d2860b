// copy_search_state: the copy must behave exactly like its source (same
// moves in the same order, same keys and counters, same check status) while
// owning every node and record it points at.

#include <gtest/gtest.h>

#include <vector>

#include "board/perft_util.h"

namespace {

using perft::listed_moves;

// Plays moves that shuffle piece lists away from their set-up order:
// captures, castling and a double push.
void play_some_moves(SearchState& state, int count) {
    for (int played = 0; played < count; ++played) {
        perft::legal_moves_like_search(state);
        const PlyRecord& rec = *state.ply_rec;
        ASSERT_GT(rec.move_count, 0);
        perft::descend(state, rec.moves[(played * 7) % rec.move_count]);
    }
}

bool owns_node(const SearchState& state, const PieceNode* node) {
    return node >= state.node_storage && node < state.node_storage + 128;
}

}  // namespace

TEST(SearchState, CopyGeneratesTheSameMovesWithItsOwnNodes) {
    auto source = perft::state_from_fen(
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    play_some_moves(*source, 5);
    // The destination held another game before.
    auto copy = perft::state_from_fen("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1");
    play_some_moves(*copy, 3);

    copy_search_state(*copy, *source);

    EXPECT_EQ(copy->pos_key, source->pos_key);
    EXPECT_EQ(copy->pawn_key, source->pawn_key);
    EXPECT_EQ(copy->hply, source->hply);
    EXPECT_EQ(copy->ply, source->ply);
    EXPECT_EQ(copy->ply_rec, copy->ply_records + source->ply);
    EXPECT_EQ(copy->men_total, source->men_total);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(copy->psq_sum[c], source->psq_sum[c]);
        EXPECT_EQ(copy->pawn_count[c], source->pawn_count[c]);
        EXPECT_EQ(copy->piece_material[c], source->piece_material[c]);
    }
    for (int p = 0; p < 15; ++p) {
        EXPECT_EQ(copy->men_count[p], source->men_count[p]);
        for (const PieceNode* node = copy->piece_list[p]; node; node = node->next) {
            EXPECT_TRUE(owns_node(*copy, node)) << "code " << p;
            EXPECT_EQ(copy->square_node[node->sq], node);
            EXPECT_EQ(copy->board[node->sq], p);
        }
    }

    for (SearchState* state : {source.get(), copy.get()}) {
        state->ply_rec->move_count = 0;
        generate_all(*state);
    }
    EXPECT_EQ(listed_moves(*copy), listed_moves(*source));
    EXPECT_EQ(perft::perft_like_search<true>(*copy, 3), perft::perft_like_search<true>(*source, 3));
}

TEST(SearchState, CopyKeepsTheCheckStatus) {
    // Set up in check, and in check after a move: both read the history.
    auto source = perft::state_from_fen("r3k2r/8/8/8/4r3/8/8/R3K2R w KQkq - 0 1");
    auto copy = perft::state_from_fen(start_fen);
    for (int moves = 0; moves < 2; ++moves) {
        copy_search_state(*copy, *source);
        ASSERT_TRUE(perft::in_check(*copy));
        for (SearchState* state : {source.get(), copy.get()}) {
            state->ply_rec->move_count = 0;
            generate_evasions(*state);
        }
        EXPECT_EQ(listed_moves(*copy), listed_moves(*source));
        // Ke1-f2 escapes; Re4-f4 checks again.
        perft::descend(*source, make_move_word(sq_e1, make_square(5, 1), white_king));
        perft::descend(*source, make_move_word(make_square(4, 3), make_square(5, 3), black_rook));
    }
}
