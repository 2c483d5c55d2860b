#pragma once
// The move trees of the colour-symmetry tests: nine roots of varied
// material and every legal line of two plies from each (some 6,000
// positions), walked on one search object, and the EPD text of a position
// so that the same positions can be fed to `runeval`.

#include <string>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"

constexpr int symmetry_tree_depth = 2;

// Varied material: castling rights and both bishop colours, a lopsided
// middlegame, opposite bishops, a bare-king ending, rook pawns, pawn endings.
inline constexpr const char* symmetry_roots[] = {
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "rnbqkb1r/pp1p1ppp/4pn2/2p5/2PP4/2N5/PP2PPPP/R1BQKBNR w KQkq - 0 4",
    "r1b2rk1/pp3ppp/2n5/3q4/3P4/2PB1N2/P4PPP/R2Q1RK1 b - - 0 12",
    "2r3k1/1q3ppp/8/8/8/8/5PPP/1R1R2K1 w - - 0 1",
    "4k3/2p3p1/1p2b3/8/3B4/1P4P1/5P2/4K3 w - - 0 1",
    "8/8/8/3k4/8/8/2BN4/4K3 w - - 0 1",
    "k7/8/8/P7/1K6/8/8/2B5 b - - 0 1",
    "8/pp3k2/8/8/8/8/5KPP/8 w - - 0 1",
    "1k6/1pp5/8/8/8/8/6PP/5RK1 b - - 0 1",
};

// Calls visit(tree) at the current position and, unless it returns false,
// at every position reachable by up to `depth` legal moves. The position is
// left as it was. Returns the number of positions visited.
template <typename Visit>
int walk_legal_tree(SearchState& tree, int depth, Visit& visit) {
    int visited = 1;
    if (!visit(tree) || depth == 0) return visited;
    PlyRecord& rec = tree.ply_records[depth];
    tree.ply_rec = &rec;
    rec.move_count = 0;
    generate_all(tree);
    for (int i = 0; i < rec.move_count; ++i) {
        make_move(tree, rec.moves[i]);
        if (!attacked(tree, tree.to_move, king_square(tree, tree.not_to_move)))
            visited += walk_legal_tree(tree, depth - 1, visit);
        unmake_move(tree);
        tree.ply_rec = &rec;
    }
    return visited;
}

// Walks the trees of every root in turn.
template <typename Visit>
int walk_symmetry_trees(SearchState& tree, Visit visit) {
    int visited = 0;
    for (const char* fen : symmetry_roots) {
        set_fen(tree, fen);
        visited += walk_legal_tree(tree, symmetry_tree_depth, visit);
    }
    return visited;
}

// The four EPD fields of a position: board, side to move, castling rights
// and en-passant square.
inline std::string epd_fields(const SearchState& state) {
    std::string text;
    for (int r = 7; r >= 0; --r) {
        int gap = 0;
        for (int f = 0; f < 8; ++f) {
            const int code = state.board[make_square(f, r)];
            if (code == empty) {
                ++gap;
                continue;
            }
            if (gap) text += char('0' + gap);
            gap = 0;
            text += piece_letters[code];
        }
        if (gap) text += char('0' + gap);
        if (r > 0) text += '/';
    }
    text += state.to_move == white ? " w " : " b ";
    const int rights = state.castle_rights;
    if (rights & white_short) text += 'K';
    if (rights & white_long) text += 'Q';
    if (rights & black_short) text += 'k';
    if (rights & black_long) text += 'q';
    if (rights == 0) text += '-';
    text += ' ';
    if (state.ep_square) {
        text += char('a' + file(state.ep_square));
        text += char('1' + rank(state.ep_square));
    } else {
        text += '-';
    }
    return text;
}
