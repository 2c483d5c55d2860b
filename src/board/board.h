#pragma once
// The board vocabulary shared by every module: squares in 0x88 numbering,
// piece codes, the 32-bit move word, castling rights, the per-move history
// record and the static tables (attack table, Zobrist keys) that the board
// operations read. The position itself lives in SearchState
// (search/search_state.h), whose first fields are the board part.

#include <cstdint>

// ---------------------------------------------------------------- constants

using Move = uint32_t;
using HashKey = uint64_t;

constexpr int white = 0;
constexpr int black = 1;

// Piece codes: white 1..6, black 7..12 in the order king, queen, rook,
// bishop, knight, pawn. A man of type t and colour k has code t + 6 * k.
constexpr int empty = 0;
constexpr int white_king = 1;
constexpr int white_queen = 2;
constexpr int white_rook = 3;
constexpr int white_bishop = 4;
constexpr int white_knight = 5;
constexpr int white_pawn = 6;
constexpr int black_king = 7;
constexpr int black_queen = 8;
constexpr int black_rook = 9;
constexpr int black_bishop = 10;
constexpr int black_knight = 11;
constexpr int black_pawn = 12;
constexpr int border = 13;

// Colourless piece types (values of piece_type[]).
constexpr int king = 1;
constexpr int queen = 2;
constexpr int rook = 3;
constexpr int bishop = 4;
constexpr int knight = 5;
constexpr int pawn = 6;

// Board printing, FEN and move text all index this one string by code.
constexpr char piece_letters[] = "_KQRBNPkqrbnpZ";

constexpr int piece_type[14] = {0, 1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 6, 13};
// Attack-table flag of each man: king 1, queen 2, rook 4, bishop 8,
// knight 16, white pawn 32, black pawn 64.
constexpr int attack_flag[14] = {0, 1, 2, 4, 8, 16, 32, 1, 2, 4, 8, 16, 64, 0};
// Material in pawn units; kings and pawns count 0 here (pawns are counted
// separately in pawn_count).
constexpr int piece_value[14] = {0, 0, 9, 5, 3, 3, 1, 0, 9, 5, 3, 3, 1, 0};
// Colour of each code; 2 for empty and border, so "is enemy" is one compare.
constexpr int piece_colour[14] = {2, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 2};
constexpr int pawn_push[2] = {16, -16};

// Attack-table flag bits.
constexpr int flag_king = 1;
constexpr int flag_queen = 2;
constexpr int flag_rook = 4;
constexpr int flag_bishop = 8;
constexpr int flag_knight = 16;
constexpr int flag_white_pawn = 32;
constexpr int flag_black_pawn = 64;

// Castling-rights bits, in the order of the letters "KQkq".
constexpr int white_short = 1;
constexpr int white_long = 2;
constexpr int black_short = 4;
constexpr int black_long = 8;

// Move word flags and masks.
constexpr Move ep_flag = 0x10000000;
constexpr Move castle_flag = 0x20000000;
constexpr Move capture_mask = 0xf00000;
constexpr Move promote_mask = 0xf000000;
constexpr Move user_move_mask = 0x0f00ffff;  // from, to and promotion only

// The four castling moves (from/to are the king's squares).
constexpr Move white_castle_short = 0x20010604;
constexpr Move white_castle_long = 0x20010204;
constexpr Move black_castle_short = 0x20077674;
constexpr Move black_castle_long = 0x20077274;

// Sizes of the fixed stacks.
constexpr int max_ply = 70;       // PlyRecords per SearchState
constexpr int max_moves = 256;    // entries of one ply's move list
constexpr int max_history = 1000; // entries of hist_stack

// Squares that appear by name in the rules.
constexpr int sq_a1 = 0, sq_b1 = 1, sq_c1 = 2, sq_d1 = 3, sq_e1 = 4, sq_f1 = 5, sq_g1 = 6, sq_h1 = 7;
constexpr int sq_a8 = 112, sq_b8 = 113, sq_c8 = 114, sq_d8 = 115, sq_e8 = 116, sq_f8 = 117,
              sq_g8 = 118, sq_h8 = 119;

// ------------------------------------------------------------------ records

// One node of a piece list. Each board square owns exactly one node for the
// life of its SearchState; when a man moves, the nodes of the two squares are
// exchanged so the man keeps its place in its list.
struct PieceNode {
    int sq;
    PieceNode* prev;  // towards the list head
    PieceNode* next;  // away from the head; lists are walked along next
};

// One made move: what unmake needs to restore, the check the move gave
// (read by the search as the in-check status of the next node) and the keys
// before the move (compared for repetitions).
struct HistRecord {
    Move move;
    int castle_rights;   // before the move
    int ep_square;       // before the move
    int halfmove_clock;  // before the move
    // 0 no check, 1 direct check by the moved man, 2 check by another man
    // (discovered, castling rook, line opened by en passant), 3 both;
    // 4 and 5 only when an en-passant capture opens two lines.
    int check_kind;
    int check_sq;        // square of the indirect checker, 0 when none
    PieceNode* capture_prev;
    PieceNode* promote_prev;
    HashKey pos_key;     // before the move
    HashKey pawn_key;    // before the move
};

// One entry of the attack table: indexed by (target - attacker) + 128.
struct AttackEntry {
    int step;   // unit step along a queen line within 7 steps, else 0
    int flags;  // which men can reach the target from the attacker
};

// ------------------------------------------------------------------- tables

// The Zobrist key tables piece_keys, ep_keys and castle_keys are in
// board/keys.h.
extern AttackEntry attack_table[257];

// --------------------------------------------------------- inline accessors

constexpr int file(int sq) { return sq & 7; }
constexpr int rank(int sq) { return sq >> 4; }
constexpr int sq64(int sq) { return (sq >> 4) * 8 + (sq & 7); }
constexpr int make_square(int f, int r) { return r * 16 + f; }
constexpr bool on_board(int sq) { return (sq & 0x88) == 0; }
constexpr bool is_black_code(int code) { return code > 6; }
constexpr int code_of(int type, int colour) { return type + 6 * colour; }

constexpr int move_from(Move m) { return int(m & 0xff); }
constexpr int move_to(Move m) { return int((m >> 8) & 0xff); }
constexpr int move_piece(Move m) { return int((m >> 16) & 0xf); }
constexpr int move_capture(Move m) { return int((m >> 20) & 0xf); }
constexpr int move_promote(Move m) { return int((m >> 24) & 0xf); }
constexpr bool is_capture(Move m) { return (m & capture_mask) != 0; }
constexpr bool is_promotion(Move m) { return (m & promote_mask) != 0; }
constexpr bool is_en_passant(Move m) { return (m & ep_flag) != 0; }
constexpr bool is_castling(Move m) { return (m & castle_flag) != 0; }

constexpr Move make_move_word(int from, int to, int piece, int capture = 0, int promote = 0,
                              Move flags = 0) {
    return Move(from) | Move(to) << 8 | Move(piece) << 16 | Move(capture) << 20 |
           Move(promote) << 24 | flags;
}

inline const AttackEntry& attack_entry(int difference) { return attack_table[difference + 128]; }

// ---------------------------------------------------------------- functions

// Fills attack_table; called once at program start.
void init_attack_table();
