// Make and unmake: the incremental update of board, piece lists, counters
// and both Zobrist keys, plus the check computation stored with each move.
// Everything here runs once per search node: no allocation, no loops over
// the board, only the short line walks of gives_check.

#include "board/make_move.h"

#include <cassert>

#include "board/board_check.h"
#include "board/keys.h"
#include "eval/psq.h"

namespace {

// ---------------------------------------------------------------- constants

// Castling rights kept by a move touching each square: a king leaving its
// home square loses both rights of its colour, a rook square touched (moved
// from or captured on) loses the right on its side.
constexpr int castle_keep_for(int sq) {
    switch (sq) {
        case sq_e1: return 15 & ~(white_short | white_long);
        case sq_a1: return 15 & ~white_long;
        case sq_h1: return 15 & ~white_short;
        case sq_e8: return 15 & ~(black_short | black_long);
        case sq_a8: return 15 & ~black_long;
        case sq_h8: return 15 & ~black_short;
        default: return 15;
    }
}

struct CastleKeepTable {
    int keep[128];
};

constexpr CastleKeepTable make_castle_keep() {
    CastleKeepTable table{};
    for (int sq = 0; sq < 128; ++sq) table.keep[sq] = castle_keep_for(sq);
    return table;
}

constexpr CastleKeepTable castle_keep = make_castle_keep();

constexpr int abs_step(int step) { return step < 0 ? -step : step; }

// Chebyshev distance: which of two squares on one rank is nearer a king.
constexpr int distance(int a, int b) {
    const int df = file(a) > file(b) ? file(a) - file(b) : file(b) - file(a);
    const int dr = rank(a) > rank(b) ? rank(a) - rank(b) : rank(b) - rank(a);
    return df > dr ? df : dr;
}

// ------------------------------------------------------------ list helpers

inline void unlink_node(SearchState& state, int code, PieceNode* node) {
    if (node->next) node->next->prev = node->prev;
    if (node->prev)
        node->prev->next = node->next;
    else
        state.piece_list[code] = node->next;
}

inline void push_node(SearchState& state, int code, PieceNode* node) {
    node->prev = nullptr;
    node->next = state.piece_list[code];
    if (node->next) node->next->prev = node;
    state.piece_list[code] = node;
}

// Puts a node back where it was unlinked: after its old predecessor, or at
// the head when it had none. Strict nesting of make and unmake guarantees
// that the predecessor is in the list again and still followed by the
// node's old successor.
inline void relink_node(SearchState& state, int code, PieceNode* node, PieceNode* prev) {
    if (!prev) {
        push_node(state, code, node);
        return;
    }
    node->prev = prev;
    node->next = prev->next;
    if (node->next) node->next->prev = node;
    prev->next = node;
}

// Moves a man's code and node from one square to another (the target must
// be empty). The node of the empty target goes to the vacated square.
inline void shift_man(SearchState& state, int code, int from, int to) {
    state.board[to] = code;
    state.board[from] = empty;
    PieceNode* moving = state.square_node[from];
    PieceNode* idle = state.square_node[to];
    state.square_node[to] = moving;
    state.square_node[from] = idle;
    moving->sq = to;
    idle->sq = from;
}

// ------------------------------------------------------- check computation

// Walks from `sq` by `step` to the first occupied slot (border included).
inline int first_occupied(const SearchState& state, int sq, int step) {
    do sq += step;
    while (state.board[sq] == empty);
    return sq;
}

// Whether the man on `sq` is the mover's and attacks the king square along
// the line between them (a queen, rook or bishop on a matching line).
inline bool slider_hits(const SearchState& state, int sq, int side, int king_sq) {
    const int code = state.board[sq];
    return piece_colour[code] == side && (attack_flag[code] & attack_entry(king_sq - sq).flags);
}

int direct_check(const SearchState& state, Move m, int king_sq, int mstep) {
    const int from = move_from(m), to = move_to(m);
    const int promoted = move_promote(m);
    const int piece = promoted ? promoted : move_piece(m);
    const int side = state.to_move;
    if (!promoted && piece_type[piece] == pawn) {
        const int diff = king_sq - to;
        return diff == pawn_push[side] + 1 || diff == pawn_push[side] - 1;
    }
    if (!(attack_entry(king_sq - to).flags & attack_flag[piece])) return 0;
    const int type = piece_type[piece];
    if (type == king || type == knight) return 1;
    const int kstep = attack_entry(to - king_sq).step;
    if (promoted && kstep == mstep) {
        // The pawn moves straight away from the king: `from` lies between,
        // still occupied on the board, so only the squares before it count.
        return first_occupied(state, king_sq, kstep) == from;
    }
    // The target is usually still empty: the walk stops on it or on a man.
    int sq = king_sq + kstep;
    while (sq != to && state.board[sq] == empty) sq += kstep;
    return sq == to;
}

// Discovered check: the mover leaves a line from the enemy king to one of
// its own sliders.
int discovered_check(const SearchState& state, int from, int king_sq, int mstep, int& check_sq) {
    const int dstep = attack_entry(from - king_sq).step;
    if (dstep == 0 || abs_step(dstep) == abs_step(mstep)) return 0;
    if (first_occupied(state, king_sq, dstep) != from) return 0;
    const int x = first_occupied(state, from, dstep);
    if (!slider_hits(state, x, state.to_move, king_sq)) return 0;
    check_sq = x;
    return 2;
}

int castle_rook_check(const SearchState& state, int from, int to, int king_sq, int& check_sq) {
    const int r = to > from ? to - 1 : to + 1;
    if (!(attack_entry(king_sq - r).flags & flag_rook)) return 0;
    if (rank(r) != rank(king_sq)) {
        if (first_occupied(state, r, attack_entry(king_sq - r).step) != king_sq) return 0;
    } else {
        // On the king's own rank the castling king and rook still stand in
        // the way on the board; after the move only the squares between the
        // king's home square and the enemy king matter.
        if (first_occupied(state, from, attack_entry(king_sq - from).step) != king_sq) return 0;
    }
    check_sq = r;
    return 2;
}

// An en-passant capture removes the captured pawn (and, on the king's rank,
// the capturing pawn too) from a line towards the enemy king.
int en_passant_check(const SearchState& state, int from, int to, int king_sq, int& check_sq) {
    const int victim = to > from ? to - 16 : to + 16;
    const int l = attack_entry(victim - king_sq).step;
    if (l == 0 || abs_step(l) == 16) return 0;
    int near = victim, far = victim;
    if (abs_step(l) == 1 && distance(from, king_sq) < distance(victim, king_sq)) {
        near = from;
        far = victim;
    } else if (abs_step(l) == 1) {
        far = from;
    }
    if (first_occupied(state, king_sq, l) != near) return 0;
    const int x = first_occupied(state, far, l);
    if (!slider_hits(state, x, state.to_move, king_sq)) return 0;
    check_sq = x;
    return 2;
}

}  // namespace

int gives_check(const SearchState& state, Move m, int& check_sq) {
    check_sq = 0;
    const PieceNode* enemy_king = state.piece_list[code_of(king, state.not_to_move)];
    if (!enemy_king) return 0;
    const int king_sq = enemy_king->sq;
    const int from = move_from(m), to = move_to(m);
    const int mstep = attack_entry(to - from).step;
    int kind = direct_check(state, m, king_sq, mstep);
    kind += discovered_check(state, from, king_sq, mstep, check_sq);
    if (is_castling(m)) kind += castle_rook_check(state, from, to, king_sq, check_sq);
    if (is_en_passant(m)) kind += en_passant_check(state, from, to, king_sq, check_sq);
    return kind;
}

namespace {

// Takes the captured man off the board and out of its list.
inline void remove_victim(SearchState& state, HistRecord& record, int victim, int sq) {
    PieceNode* node = state.square_node[sq];
    record.capture_prev = node->prev;
    unlink_node(state, victim, node);
    state.board[sq] = empty;
    const HashKey key = piece_keys[victim][sq64(sq)];
    state.pos_key ^= key;
    const int them = state.not_to_move;
    if (piece_type[victim] == pawn) {
        state.pawn_key ^= key;
        --state.pawn_count[them];
    } else {
        state.piece_material[them] -= piece_value[victim];
    }
    state.psq_sum[them] -= psq[victim][sq];
    --state.men_count[victim];
    --state.men_total;
}

inline void restore_victim(SearchState& state, const HistRecord& record, int victim, int sq) {
    state.board[sq] = victim;
    relink_node(state, victim, state.square_node[sq], record.capture_prev);
    const int them = state.not_to_move;
    if (piece_type[victim] == pawn)
        ++state.pawn_count[them];
    else
        state.piece_material[them] += piece_value[victim];
    state.psq_sum[them] += psq[victim][sq];
    ++state.men_count[victim];
    ++state.men_total;
}

inline void promote_pawn(SearchState& state, HistRecord& record, int pawn_code, int promoted,
                         int from, int to) {
    const int us = state.to_move;
    state.board[to] = promoted;
    state.board[from] = empty;
    push_node(state, promoted, state.square_node[to]);
    PieceNode* pawn_node = state.square_node[from];
    record.promote_prev = pawn_node->prev;
    unlink_node(state, pawn_code, pawn_node);
    const HashKey pawn_out = piece_keys[pawn_code][sq64(from)];
    state.pos_key ^= pawn_out ^ piece_keys[promoted][sq64(to)];
    state.pawn_key ^= pawn_out;
    --state.pawn_count[us];
    state.piece_material[us] += piece_value[promoted];
    state.psq_sum[us] += psq[promoted][to] - psq[pawn_code][from];
    --state.men_count[pawn_code];
    ++state.men_count[promoted];
}

inline void unpromote_pawn(SearchState& state, const HistRecord& record, int pawn_code,
                           int promoted, int from, int to) {
    const int us = state.to_move;
    state.board[from] = pawn_code;
    state.board[to] = empty;
    relink_node(state, pawn_code, state.square_node[from], record.promote_prev);
    unlink_node(state, promoted, state.square_node[to]);
    state.psq_sum[us] += psq[pawn_code][from] - psq[promoted][to];
    ++state.pawn_count[us];
    state.piece_material[us] -= piece_value[promoted];
    ++state.men_count[pawn_code];
    --state.men_count[promoted];
}

// The rook squares of a castling move given the king's from and to squares.
inline void castle_rook_squares(int from, int to, int& rook_from, int& rook_to) {
    if (to > from) {
        rook_from = to + 1;
        rook_to = to - 1;
    } else {
        rook_from = to - 2;
        rook_to = to + 1;
    }
}

// An ordinary move (castling king included): code, node, keys, psq_sum.
inline void move_man(SearchState& state, int piece, int from, int to) {
    shift_man(state, piece, from, to);
    const HashKey moved = piece_keys[piece][sq64(from)] ^ piece_keys[piece][sq64(to)];
    state.pos_key ^= moved;
    if (piece_type[piece] == pawn) state.pawn_key ^= moved;
    state.psq_sum[state.to_move] += psq[piece][to] - psq[piece][from];
}

inline void move_castle_rook(SearchState& state, int from, int to) {
    int rook_from, rook_to;
    castle_rook_squares(from, to, rook_from, rook_to);
    const int rook_code = code_of(rook, state.to_move);
    shift_man(state, rook_code, rook_from, rook_to);
    state.pos_key ^= piece_keys[rook_code][sq64(rook_from)] ^ piece_keys[rook_code][sq64(rook_to)];
    state.psq_sum[state.to_move] += psq[rook_code][rook_to] - psq[rook_code][rook_from];
}

// The en-passant square lives one move: it is set by every double push,
// whether or not an enemy pawn can take, and cleared by the next move.
inline void update_ep_and_clock(SearchState& state, int piece, int captured, int from, int to) {
    if (state.ep_square) {
        state.pos_key ^= ep_keys[state.ep_square & 7];
        state.ep_square = 0;
    }
    ++state.halfmove_clock;
    if (piece_type[piece] == pawn) {
        state.halfmove_clock = 0;
        if (to - from == 2 * pawn_push[state.to_move]) {
            state.ep_square = (from + to) / 2;
            state.pos_key ^= ep_keys[state.ep_square & 7];
        }
    } else if (captured) {
        state.halfmove_clock = 0;
    }
}

inline void update_castle_rights(SearchState& state, int from, int to) {
    const int rights = state.castle_rights & castle_keep.keep[from] & castle_keep.keep[to];
    if (rights == state.castle_rights) return;
    state.pos_key ^= castle_keys[state.castle_rights] ^ castle_keys[rights];
    state.castle_rights = rights;
}

}  // namespace

void make_move(SearchState& state, Move m) {
    const int from = move_from(m), to = move_to(m);
    const int piece = move_piece(m), captured = move_capture(m), promoted = move_promote(m);
    const int us = state.to_move;

    HistRecord& record = state.hist_stack[state.hply];
    record.move = m;
    record.castle_rights = state.castle_rights;
    record.ep_square = state.ep_square;
    record.halfmove_clock = state.halfmove_clock;
    record.pos_key = state.pos_key;
    record.pawn_key = state.pawn_key;
    record.check_kind = gives_check(state, m, record.check_sq);

    if (captured) remove_victim(state, record, captured, is_en_passant(m) ? to - pawn_push[us] : to);

    if (promoted)
        promote_pawn(state, record, piece, promoted, from, to);
    else
        move_man(state, piece, from, to);
    if (is_castling(m)) move_castle_rook(state, from, to);
    update_ep_and_clock(state, piece, captured, from, to);
    if (state.castle_rights) update_castle_rights(state, from, to);

    ++state.hply;
    state.to_move = state.not_to_move;
    state.not_to_move = us;
    assert(board_is_ok(state));
}

// The part of taking back a move or a null move that both share: pop the
// record, give the move back to the mover and restore what the record keeps.
static const HistRecord& pop_record(SearchState& state) {
    --state.hply;
    const int us = state.not_to_move;
    state.not_to_move = state.to_move;
    state.to_move = us;
    const HistRecord& record = state.hist_stack[state.hply];
    state.ep_square = record.ep_square;
    state.halfmove_clock = record.halfmove_clock;
    state.pos_key = record.pos_key;
    return record;
}

void unmake_move(SearchState& state) {
    const HistRecord& record = pop_record(state);
    const int us = state.to_move;
    state.castle_rights = record.castle_rights;
    state.pawn_key = record.pawn_key;

    const Move m = record.move;
    const int from = move_from(m), to = move_to(m);
    const int piece = move_piece(m), captured = move_capture(m), promoted = move_promote(m);

    if (is_castling(m)) {
        int rook_from, rook_to;
        castle_rook_squares(from, to, rook_from, rook_to);
        const int rook_code = code_of(rook, us);
        shift_man(state, rook_code, rook_to, rook_from);
        state.psq_sum[us] += psq[rook_code][rook_from] - psq[rook_code][rook_to];
    }

    if (promoted) {
        unpromote_pawn(state, record, piece, promoted, from, to);
    } else {
        shift_man(state, piece, to, from);
        state.psq_sum[us] += psq[piece][from] - psq[piece][to];
    }

    if (captured) restore_victim(state, record, captured, is_en_passant(m) ? to - pawn_push[us] : to);
    assert(board_is_ok(state));
}

void make_null(SearchState& state) {
    HistRecord& record = state.hist_stack[state.hply];
    record.move = 0;
    // Castling rights and the pawn key do not change; they are stored only
    // so the record reads correctly in history listings.
    record.castle_rights = state.castle_rights;
    record.ep_square = state.ep_square;
    record.halfmove_clock = state.halfmove_clock;
    record.pos_key = state.pos_key;
    record.pawn_key = state.pawn_key;
    record.check_kind = 0;
    record.check_sq = 0;
    if (state.ep_square) {
        state.pos_key ^= ep_keys[state.ep_square & 7];
        state.ep_square = 0;
    }
    ++state.halfmove_clock;
    ++state.hply;
    const int us = state.to_move;
    state.to_move = state.not_to_move;
    state.not_to_move = us;
}

void unmake_null(SearchState& state) { pop_record(state); }
