#pragma once
// A referee for self-play tests: it decides move legality and the end of a
// game without the engine's own legality shortcuts (the picker, the evasion
// generator, complete_user_move), only from the plain generators, make and
// unmake and the attack test, so that a fault in the engine's own route
// shows up as a disagreement.

#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/search_state.h"

namespace referee {

// Starting positions of varied material and rules: castling both ways, en
// passant with pins, promotions, an ending that runs into the fifty-move
// rule, black to move. The first is the start position.
constexpr const char* varied_fens[] = {
    start_fen,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "8/1P4k1/8/8/8/8/6p1/K7 w - - 0 1",
    "4k3/8/8/8/8/8/8/R3K2R b KQ - 90 60",
    "8/5k2/8/2pP4/8/8/5K2/8 w - c6 0 2",
};

// How a game stands. The order of the draw kinds is the order in which the
// engine tests them, so the first that applies names the result.
enum class GameEnd { running, mate, stalemate, repetition, fifty_moves, no_material };

// Every pseudo-legal move (captures, then quiets) of the side to move; the
// current ply's list is used as scratch and left empty.
inline std::vector<Move> generated_moves(SearchState& state) {
    PlyRecord& list = *state.ply_rec;
    list.move_count = 0;
    generate_all(state);
    std::vector<Move> moves(list.moves, list.moves + list.move_count);
    list.move_count = 0;
    return moves;
}

// Whether a generated move is legal: the mover's king is not attacked after
// it, and a castling king neither starts in check nor crosses an attacked
// square (the generator's own castling test is what is being checked).
inline bool is_legal_by_trial(SearchState& state, Move m) {
    const int mover = state.to_move;
    const int enemy = state.not_to_move;
    if (is_castling(m)) {
        const int crossed = (move_from(m) + move_to(m)) / 2;
        if (attacked(state, enemy, move_from(m)) || attacked(state, enemy, crossed)) return false;
    }
    make_move(state, m);
    const bool legal = !attacked(state, enemy, king_square(state, mover));
    unmake_move(state);
    return legal;
}

inline std::vector<Move> legal_moves(SearchState& state) {
    std::vector<Move> moves = generated_moves(state);
    std::erase_if(moves, [&state](Move m) { return !is_legal_by_trial(state, m); });
    return moves;
}

// Earlier occurrences of the current position with the same side to move,
// since the last capture or pawn move and since the set-up.
inline int earlier_occurrences(const SearchState& state) {
    int seen = 0;
    for (int back = 2; back <= state.halfmove_clock && state.hply - back >= state.setup_hply; back += 2)
        if (state.hist_stack[state.hply - back].pos_key == state.pos_key) ++seen;
    return seen;
}

inline GameEnd game_end(SearchState& state) {
    if (legal_moves(state).empty())
        return attacked(state, state.not_to_move, king_square(state, state.to_move)) ? GameEnd::mate
                                                                                      : GameEnd::stalemate;
    if (earlier_occurrences(state) >= 2) return GameEnd::repetition;
    if (state.halfmove_clock >= 100) return GameEnd::fifty_moves;
    // Without pawns, at most one minor piece on the whole board cannot mate.
    if (state.pawn_count[white] + state.pawn_count[black] == 0 &&
        state.piece_material[white] + state.piece_material[black] <= 3)
        return GameEnd::no_material;
    return GameEnd::running;
}

// The result line the engine prints for an ended game, side to move as in
// `state` (the side that has just been mated or stalemated).
inline std::string result_line(GameEnd end, const SearchState& state) {
    switch (end) {
    case GameEnd::mate: return state.to_move == white ? "0-1 {Black mates}" : "1-0 {White mates}";
    case GameEnd::stalemate: return "1/2-1/2 {Stalemate}";
    case GameEnd::repetition: return "1/2-1/2 {Draw by repetition}";
    case GameEnd::fifty_moves: return "1/2-1/2 {Draw by fifty move rule}";
    case GameEnd::no_material: return "1/2-1/2 {Draw by insufficent material}";
    case GameEnd::running: break;
    }
    return "";
}

inline std::string move_text(Move m) {
    char text[8];
    move_to_text(m, text);
    return text;
}

}  // namespace referee
