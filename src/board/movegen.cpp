// The two basic generators. generate_captures appends every capture (en
// passant included) and the queen promotions; generate_quiets appends
// castling, every other non-capture and the under-promotions. Together they
// yield each pseudo-legal move exactly once. Men are visited through their
// piece lists, so the order of the lists fixes the order of the moves, and
// that order decides every tie in move ordering later on.

#include "board/movegen.h"

#include "board/attacks.h"

namespace {

// Rank indexes (0 = first rank) seen from each colour.
constexpr int second_rank[2] = {1, 6};
constexpr int seventh_rank[2] = {6, 1};

// The two pawn capture steps of each colour, in generation order: white
// takes towards +17 first, black towards -17 first.
constexpr int pawn_captures[2][2] = {{17, 15}, {-17, -15}};

// Captures by a slider of code `code`, for the steps first..last-1 of
// queen_steps: slide over empty squares; the first occupied slot is taken
// when it holds an enemy (border has colour 2 and never matches).
void slider_captures(MoveWriter& out, const SearchState& state, int code, int first, int last) {
    const int* board = state.board;
    const int them = state.not_to_move;
    for (const PieceNode* node = state.piece_list[code]; node; node = node->next) {
        const int from = node->sq;
        for (int i = first; i < last; ++i) {
            const int step = queen_steps[i];
            int to = from + step;
            while (board[to] == empty) to += step;
            if (piece_colour[board[to]] == them) out.add(make_move_word(from, to, code, board[to]));
        }
    }
}

// Non-captures of a slider: every empty square of each direction, nearest
// first, up to the first occupied slot.
void slider_quiets(MoveWriter& out, const SearchState& state, int code, int first, int last) {
    const int* board = state.board;
    for (const PieceNode* node = state.piece_list[code]; node; node = node->next) {
        const int from = node->sq;
        for (int i = first; i < last; ++i) {
            const int step = queen_steps[i];
            for (int to = from + step; board[to] == empty; to += step)
                out.add(make_move_word(from, to, code));
        }
    }
}

// Moves of the men of one code that jump (knights with knight_jumps, the king
// with queen_steps): captures of enemies, or moves onto empty squares.
template <bool captures>
void jumper_moves(MoveWriter& out, const SearchState& state, int code, const int (&steps)[8]) {
    const int* board = state.board;
    const int them = state.not_to_move;
    for (const PieceNode* node = state.piece_list[code]; node; node = node->next) {
        const int from = node->sq;
        for (int step : steps) {
            const int target = board[from + step];
            if (captures ? piece_colour[target] == them : target == empty)
                out.add(make_move_word(from, from + step, code, target));
        }
    }
}

void pawn_captures_and_queenings(MoveWriter& out, const SearchState& state) {
    const int us = state.to_move;
    const int them = state.not_to_move;
    const int* board = state.board;
    const int code = code_of(pawn, us);
    const int forward = pawn_push[us];
    for (const PieceNode* node = state.piece_list[code]; node; node = node->next) {
        const int from = node->sq;
        const bool promoting = rank(from) == seventh_rank[us];
        for (int step : pawn_captures[us]) {
            const int victim = board[from + step];
            if (piece_colour[victim] != them) continue;
            if (promoting)
                out.add_promotions(from, from + step, code, victim);
            else
                out.add(make_move_word(from, from + step, code, victim));
        }
        if (promoting && board[from + forward] == empty)
            out.add(make_move_word(from, from + forward, code, 0, code_of(queen, us)));
    }
}

// En-passant captures onto ep_square. A set-up position may name an
// en-passant square that no double push could have left; the capture is
// only generated when the square is empty and an enemy pawn stands in front
// of it, so such a position never removes a man that is not there.
void en_passant_captures(MoveWriter& out, const SearchState& state) {
    const int ep = state.ep_square;
    if (ep == 0) return;
    const int us = state.to_move;
    const int code = code_of(pawn, us);
    const int victim = code_of(pawn, state.not_to_move);
    if (state.board[ep] != empty || state.board[ep - pawn_push[us]] != victim) return;
    for (int step : pawn_captures[us])
        if (state.board[ep - step] == code)
            out.add(make_move_word(ep - step, ep, code, victim, 0, ep_flag));
}

// Castling, only when the king is not in check, the squares between king
// and rook are empty and the squares the king crosses and lands on are not
// attacked. The rights normally imply that king and rook stand at home; they
// are tested anyway because a set-up position may claim a right without the
// men, and castling without them would corrupt the piece lists.
void castling_moves(MoveWriter& out, const SearchState& state) {
    const int us = state.to_move;
    const int rights = state.castle_rights >> (2 * us) & (white_short | white_long);
    if (rights == 0) return;
    const int* board = state.board;
    const int them = state.not_to_move;
    const int home = us == white ? sq_e1 : sq_e8;
    const int rook_code = code_of(rook, us);
    if (board[home] != code_of(king, us) || attacked(state, them, home)) return;
    if ((rights & white_short) && board[home + 1] == empty && board[home + 2] == empty &&
        board[home + 3] == rook_code && !attacked(state, them, home + 1) &&
        !attacked(state, them, home + 2))
        out.add(us == white ? white_castle_short : black_castle_short);
    if ((rights & white_long) && board[home - 1] == empty && board[home - 2] == empty &&
        board[home - 3] == empty && board[home - 4] == rook_code &&
        !attacked(state, them, home - 1) && !attacked(state, them, home - 2))
        out.add(us == white ? white_castle_long : black_castle_long);
}

void pawn_pushes_and_underpromotions(MoveWriter& out, const SearchState& state) {
    const int us = state.to_move;
    const int* board = state.board;
    const int code = code_of(pawn, us);
    const int forward = pawn_push[us];
    for (const PieceNode* node = state.piece_list[code]; node; node = node->next) {
        const int from = node->sq;
        const int to = from + forward;
        if (board[to] != empty) continue;
        if (rank(from) == seventh_rank[us]) {
            for (int type : {knight, rook, bishop})
                out.add(make_move_word(from, to, code, 0, code_of(type, us)));
            continue;
        }
        out.add(make_move_word(from, to, code));
        if (rank(from) == second_rank[us] && board[to + forward] == empty)
            out.add(make_move_word(from, to + forward, code));
    }
}

}  // namespace

void generate_captures(SearchState& state) {
    MoveWriter out(state);
    const int us = state.to_move;
    pawn_captures_and_queenings(out, state);
    en_passant_captures(out, state);
    jumper_moves<true>(out, state, code_of(knight, us), knight_jumps);
    slider_captures(out, state, code_of(bishop, us), first_bishop_step, first_bishop_step + 4);
    slider_captures(out, state, code_of(rook, us), first_rook_step, first_rook_step + 4);
    slider_captures(out, state, code_of(queen, us), 0, 8);
    jumper_moves<true>(out, state, code_of(king, us), queen_steps);
}

void generate_quiets(SearchState& state) {
    MoveWriter out(state);
    const int us = state.to_move;
    castling_moves(out, state);
    jumper_moves<false>(out, state, code_of(knight, us), knight_jumps);
    slider_quiets(out, state, code_of(bishop, us), first_bishop_step, first_bishop_step + 4);
    slider_quiets(out, state, code_of(rook, us), first_rook_step, first_rook_step + 4);
    slider_quiets(out, state, code_of(queen, us), 0, 8);
    jumper_moves<false>(out, state, code_of(king, us), queen_steps);
    pawn_pushes_and_underpromotions(out, state);
}

void generate_all(SearchState& state) {
    generate_captures(state);
    generate_quiets(state);
}
