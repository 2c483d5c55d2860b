// Generation order (which decides every later tie in move ordering),
// castling conditions, and completeness: over whole move trees generate_all
// must yield exactly the moves that is_move_valid accepts, each once.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/perft_util.h"

namespace {

using perft::listed_moves;
using perft::state_from_fen;
using perft::texts;
using Texts = std::vector<std::string>;

Texts captures_of(SearchState& state) {
    state.ply_rec->move_count = 0;
    generate_captures(state);
    return texts(listed_moves(state));
}

Texts quiets_of(SearchState& state) {
    state.ply_rec->move_count = 0;
    generate_quiets(state);
    return texts(listed_moves(state));
}

}  // namespace

TEST(MoveGen, StartPositionOrder) {
    auto state = state_from_fen(start_fen);
    EXPECT_TRUE(captures_of(*state).empty());
    // Knights from the head of their list (g1 first), pawns last from h2
    // down, each single push directly followed by its double push.
    const Texts expected = {"g1h3", "g1f3", "b1c3", "b1a3", "h2h3", "h2h4", "g2g3", "g2g4",
                            "f2f3", "f2f4", "e2e3", "e2e4", "d2d3", "d2d4", "c2c3", "c2c4",
                            "b2b3", "b2b4", "a2a3", "a2a4"};
    EXPECT_EQ(quiets_of(*state), expected);
}

TEST(MoveGen, PromotionBatches) {
    auto state = state_from_fen("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(captures_of(*state), (Texts{"b7a8q", "b7a8n", "b7a8r", "b7a8b", "b7b8q"}));
    const std::vector<Move> captures = listed_moves(*state);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(move_capture(captures[i]), black_rook);
    EXPECT_EQ(move_promote(captures[1]), white_knight);
    const Texts quiets = quiets_of(*state);
    ASSERT_GE(quiets.size(), 3u);
    EXPECT_EQ(Texts(quiets.end() - 3, quiets.end()), (Texts{"b7b8n", "b7b8r", "b7b8b"}));

    // Black promotes to black codes.
    state = state_from_fen("4k3/8/8/8/8/8/1p6/R3K3 b - - 0 1");
    EXPECT_EQ(captures_of(*state), (Texts{"b2a1q", "b2a1n", "b2a1r", "b2a1b", "b2b1q"}));
    EXPECT_EQ(move_promote(listed_moves(*state)[3]), black_bishop);
}

TEST(MoveGen, EnPassantFollowsOrdinaryPawnCaptures) {
    auto state =
        state_from_fen("rnbqkbnr/ppp1pppp/8/3pP3/2P5/8/PP1P1PPP/RNBQKBNR w KQkq d6 0 2");
    EXPECT_EQ(captures_of(*state), (Texts{"c4d5", "e5d6"}));
    const Move ep = listed_moves(*state)[1];
    EXPECT_TRUE(is_en_passant(ep));
    EXPECT_EQ(move_capture(ep), black_pawn);

    // An en-passant square with no pawn in front of it yields no capture.
    state = state_from_fen(start_fen);
    state->ep_square = make_square(3, 5);
    state->board[make_square(4, 4)] = white_pawn;
    EXPECT_TRUE(captures_of(*state).empty());
}

TEST(MoveGen, CastlingConditions) {
    struct Case {
        const char* fen;
        const char* castles;  // in generation order, space separated
    };
    const Case cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "e1g1 e1c1"},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8g8 e8c8"},
        {"r3k2r/8/8/8/4r3/8/8/R3K2R w KQkq - 0 1", ""},            // in check
        {"r3k2r/8/8/8/8/8/8/RN2K1NR w KQkq - 0 1", ""},            // b1 and g1 occupied
        {"r3k2r/8/8/8/2b5/8/8/R3K2R w KQkq - 0 1", "e1c1"},        // f1 attacked
        {"r3k2r/8/8/8/8/8/7b/R3K2R w KQkq - 0 1", "e1c1"},         // g1 attacked
        {"r3k2r/8/8/8/4b3/8/8/R3K2R w KQkq - 0 1", "e1g1 e1c1"},   // only b1 attacked
        {"r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1", "e1g1"},
    };
    for (const Case& c : cases) {
        auto state = state_from_fen(c.fen);
        std::string castles;
        for (const std::string& text : quiets_of(*state))
            if (text == "e1g1" || text == "e1c1" || text == "e8g8" || text == "e8c8")
                castles += (castles.empty() ? "" : " ") + text;
        EXPECT_EQ(castles, c.castles) << c.fen;
    }

    // A right claimed without the rook at home never produces castling.
    auto state = state_from_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    state->board[sq_h1] = empty;
    init_position(*state);
    EXPECT_EQ(quiets_of(*state)[0], "e1c1");
}

TEST(MoveGen, FullListDropsMovesInsteadOfOverflowing) {
    auto state = state_from_fen(start_fen);
    PlyRecord& rec = *state->ply_rec;
    rec.move_count = max_moves - 5;
    rec.scores[0] = 12345;
    generate_all(*state);
    EXPECT_EQ(rec.move_count, max_moves);
    EXPECT_EQ(rec.scores[0], 12345);
}

namespace {

// Every well-formed move word whose from square holds a man of the side to
// move: all targets, promotions for pawns reaching the last rank, en-passant
// and castling variants. is_move_valid sorts out which are pseudo-legal.
// Words no position could produce (a pawn's two-square step from beyond its
// second rank) are left out: is_move_valid checks only the path of a pawn.
std::vector<Move> valid_by_enumeration(const SearchState& state) {
    std::vector<Move> valid;
    const int us = state.to_move;
    for (int from = 0; from < 120; ++from) {
        const int piece = state.board[from];
        if (!on_board(from) || piece_colour[piece] != us) continue;
        for (int to = 0; to < 120; ++to) {
            if (!on_board(to) || to == from) continue;
            // A two-square pawn step is only well formed from the second rank.
            const int second = us == white ? 1 : 6;
            if (piece_type[piece] == pawn && to - from == 2 * pawn_push[us] && rank(from) != second)
                continue;
            std::vector<Move> words;
            const int victim = state.board[to];
            const int captured = piece_colour[victim] == 1 - us ? victim : 0;
            if (piece_type[piece] == pawn && rank(to) == (us == white ? 7 : 0)) {
                for (int type : {queen, knight, rook, bishop})
                    words.push_back(make_move_word(from, to, piece, captured, code_of(type, us)));
            } else {
                words.push_back(make_move_word(from, to, piece, captured));
            }
            if (piece_type[piece] == pawn && victim == empty)
                words.push_back(make_move_word(from, to, piece, code_of(pawn, 1 - us), 0, ep_flag));
            if (piece_type[piece] == king) words.push_back(make_move_word(from, to, piece, 0, 0, castle_flag));
            for (Move m : words)
                if (is_move_valid(state, m)) valid.push_back(m);
        }
    }
    std::sort(valid.begin(), valid.end());
    return valid;
}

}  // namespace

TEST(MoveGen, GenerateAllYieldsEachPseudoLegalMoveOnce) {
#ifdef VELKAN_SANITIZED
    constexpr int depth = 1;
#else
    constexpr int depth = 2;
#endif
    for (const char* file : {"/perft-public.epd", "/perft-awkward.epd"}) {
        for (const perft::PerftCase& c : perft::read_epd(std::string(VELKAN_TEST_DATA) + file)) {
            auto state = state_from_fen(c.fen.c_str());
            int failures = 0;
            perft::for_each_node(*state, depth, [&](SearchState& s) {
                s.ply_rec->move_count = 0;
                generate_all(s);
                std::vector<Move> generated = listed_moves(s);
                std::sort(generated.begin(), generated.end());
                const std::vector<Move> valid = valid_by_enumeration(s);
                if (generated != valid && failures++ == 0)
                    ADD_FAILURE() << c.fen << " differs after " << s.hply << " plies: "
                                  << testing::PrintToString(texts(generated)) << " vs "
                                  << testing::PrintToString(texts(valid));
            });
            EXPECT_EQ(failures, 0) << c.fen;
        }
    }
}
