#pragma once
// The bitbase library's own chess rules for positions of two kings and at
// most two more men: attack tests, legal moves forward (with the men that
// leave the table through a capture or a promotion marked) and moves taken
// back (the non-capturing, non-promoting moves that lead to a position).
// Squares are 0..63 (a1 = 0, h1 = 7, a8 = 56), pieces use the engine's
// codes. Castling and en passant do not exist here: the probe is never told
// about them, so the tables are made without them.

#include <cstdint>

namespace qordil {

enum PieceCode : int {
    no_piece = 0,
    white_king = 1, white_queen, white_rook, white_bishop, white_knight, white_pawn,
    black_king = 7, black_queen, black_rook, black_bishop, black_knight, black_pawn,
};
enum PieceType : int { king = 1, queen, rook, bishop, knight, pawn };

constexpr int white = 0;
constexpr int black = 1;
constexpr int max_men = 4;

inline int colour_of(int code) { return code >= black_king ? black : white; }
inline int type_of(int code) { return code >= black_king ? code - 6 : code; }
inline int with_colour(int type, int colour) { return colour == black ? type + 6 : type; }
inline int swap_colour(int code) { return code >= black_king ? code - 6 : code + 6; }
inline int file_of(int sq) { return sq & 7; }
inline int rank_of(int sq) { return sq >> 3; }
inline uint64_t bit(int sq) { return uint64_t(1) << sq; }

// A position: the white king is man 0, the black king man 1, then up to two
// more men.
struct Position {
    int side = white;  // side to move
    int count = 2;     // men on the board
    int code[max_men] = {white_king, black_king, no_piece, no_piece};
    int square[max_men] = {};
};

// A position reached by one legal move; `converts` when the move captured a
// man or promoted a pawn, so that the position belongs to another table.
struct Successor {
    Position pos;
    bool converts = false;
};

// Room for every move of four men (two queens and a king: 62).
constexpr int max_moves = 96;

// Builds the attack tables; every other function here needs them. Safe to
// call more than once.
void init_board_rules();

uint64_t occupancy(const Position& p);
// Whether a man of `colour` attacks `sq`, with `occupied` as the blockers.
bool attacked_by(const Position& p, int sq, int colour, uint64_t occupied);
bool in_check(const Position& p, int colour);
// Men on distinct squares, kings apart, no pawn on the first or last rank,
// and the side not to move is not in check.
bool is_legal(const Position& p);

// Every legal move of the side to move; returns the number written.
int legal_successors(const Position& p, Successor* out);
// Every position from which the side that has just moved reached p by a
// move that neither captured nor promoted. They are not tested for
// legality. Returns the number written.
int predecessors(const Position& p, Position* out);

}  // namespace qordil
