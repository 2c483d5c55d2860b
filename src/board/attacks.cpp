// Attack detection and legality tests. Every test starts from the attack
// table, so a man that cannot reach the square on an empty board costs one
// lookup and no walk.

#include "board/attacks.h"

namespace {

constexpr int abs_step(int step) { return step < 0 ? -step : step; }

constexpr int distance(int a, int b) {
    const int df = file(a) > file(b) ? file(a) - file(b) : file(b) - file(a);
    const int dr = rank(a) > rank(b) ? rank(a) - rank(b) : rank(b) - rank(a);
    return df > dr ? df : dr;
}

// Walks from `sq` by `step` to the first occupied slot (border included).
inline int first_occupied(const SearchState& state, int sq, int step) {
    do sq += step;
    while (state.board[sq] == empty);
    return sq;
}

// Whether a slider on `from` reaches `sq` along `step` over empty squares.
inline bool ray_reaches(const SearchState& state, int from, int sq, int step) {
    int s = from + step;
    while (s != sq && state.board[s] == empty) s += step;
    return s == sq;
}

// Whether any man of list `code` attacks `sq` (walking the list).
inline bool list_attacks(const SearchState& state, int code, int sq) {
    const int flag = attack_flag[code];
    const bool slider = piece_type[code] >= queen && piece_type[code] <= bishop;
    for (const PieceNode* node = state.piece_list[code]; node; node = node->next) {
        const AttackEntry& entry = attack_entry(sq - node->sq);
        if (!(entry.flags & flag)) continue;
        if (!slider || ray_reaches(state, node->sq, sq, entry.step)) return true;
    }
    return false;
}

// Whether the man on `x` is an enemy of `colour` attacking `king_sq` along
// the line between them.
inline bool enemy_slider_hits(const SearchState& state, int x, int colour, int king_sq) {
    const int code = state.board[x];
    return piece_colour[code] == 1 - colour && (attack_flag[code] & attack_entry(king_sq - x).flags);
}

// The en-passant part of leaves_king_in_check: removing both pawns from the
// king's rank, or the captured pawn from a diagonal, may open a line.
int en_passant_exposes(const SearchState& state, int from, int to, int king_sq) {
    const int victim = to > from ? to - 16 : to + 16;
    const int l = attack_entry(victim - king_sq).step;
    if (l == 0 || abs_step(l) == 16) return 0;
    int near = victim, far = victim;
    if (abs_step(l) == 1) {
        if (distance(from, king_sq) < distance(victim, king_sq))
            near = from;
        else
            far = from;
    }
    if (line_blocked(state, near, king_sq)) return 0;
    return enemy_slider_hits(state, first_occupied(state, far, l), state.to_move, king_sq);
}

bool castle_is_valid(const SearchState& state, Move m) {
    const int us = state.to_move, them = state.not_to_move;
    const int home = us == white ? sq_e1 : sq_e8;
    if (move_from(m) != home || move_capture(m) || move_promote(m) || is_en_passant(m)) return false;
    if (attacked(state, them, home)) return false;
    const int to = move_to(m);
    const int b = state.board[home - 3], c = state.board[home - 2], d = state.board[home - 1];
    const int f = state.board[home + 1], g = state.board[home + 2];
    if (to == home + 2) {
        if (!(state.castle_rights & (us == white ? white_short : black_short))) return false;
        if (f != empty || g != empty) return false;
        return !attacked(state, them, home + 1) && !attacked(state, them, home + 2);
    }
    if (to == home - 2) {
        if (!(state.castle_rights & (us == white ? white_long : black_long))) return false;
        if (b != empty || c != empty || d != empty) return false;
        return !attacked(state, them, home - 1) && !attacked(state, them, home - 2);
    }
    return false;
}

// A capture word: the victim must be there and reachable.
bool capture_is_valid(const SearchState& state, Move m) {
    const int from = move_from(m), to = move_to(m), piece = move_piece(m);
    const int us = state.to_move;
    if (piece_type[piece] == pawn) {
        if (to != from + pawn_push[us] + 1 && to != from + pawn_push[us] - 1) return false;
    }
    if (is_en_passant(m)) {
        // Only a pawn capturing the enemy pawn that just passed its square.
        const int victim = code_of(pawn, state.not_to_move);
        return piece_type[piece] == pawn && move_capture(m) == victim && to == state.ep_square &&
               state.ep_square != 0 && state.board[to] == empty &&
               state.board[to - pawn_push[us]] == victim;
    }
    if (state.board[to] != move_capture(m)) return false;
    if (piece_type[piece] == pawn) return true;
    const AttackEntry& entry = attack_entry(to - from);
    if (!(entry.flags & attack_flag[piece])) return false;
    return piece_type[piece] == king || piece_type[piece] == knight ||
           ray_reaches(state, from, to, entry.step);
}

bool quiet_is_valid(const SearchState& state, Move m) {
    const int from = move_from(m), to = move_to(m), piece = move_piece(m);
    if (state.board[to] != empty || is_en_passant(m)) return false;
    if (piece_type[piece] == pawn) {
        const int dir = pawn_push[state.to_move];
        if (to == from + dir) return true;
        // A double push only from the pawn's own second rank: a table move
        // from another position must not let a pawn jump two squares later.
        const int second_rank = state.to_move == white ? 1 : 6;
        return to == from + 2 * dir && rank(from) == second_rank &&
               state.board[from + dir] == empty;
    }
    if (is_castling(m)) return piece_type[piece] == king && castle_is_valid(state, m);
    const AttackEntry& entry = attack_entry(to - from);
    if (!(entry.flags & attack_flag[piece])) return false;
    return piece_type[piece] == king || piece_type[piece] == knight ||
           ray_reaches(state, from, to, entry.step);
}

// Consistency of the promotion field with the moving man and its target:
// a word that breaks it would corrupt the lists when made.
bool promotion_is_consistent(const SearchState& state, Move m) {
    const int piece = move_piece(m), promoted = move_promote(m);
    const bool is_pawn = piece_type[piece] == pawn;
    const int last_rank = state.to_move == white ? 7 : 0;
    const bool reaches_last = is_pawn && rank(move_to(m)) == last_rank;
    if (!promoted) return !reaches_last;
    return reaches_last && piece_colour[promoted] == state.to_move &&
           piece_type[promoted] >= queen && piece_type[promoted] <= knight;
}

}  // namespace

int attacked(const SearchState& state, int colour, int sq) {
    if (colour == white) {
        if (state.board[sq - 17] == white_pawn || state.board[sq - 15] == white_pawn) return 1;
    } else if (colour == black) {
        if (state.board[sq + 17] == black_pawn || state.board[sq + 15] == black_pawn) return 1;
    } else {
        return 0;
    }
    const int base = 6 * colour;
    if (list_attacks(state, base + knight, sq)) return 1;
    if (list_attacks(state, base + bishop, sq)) return 1;
    if (list_attacks(state, base + rook, sq)) return 1;
    if (list_attacks(state, base + queen, sq)) return 1;
    return list_attacks(state, base + king, sq) ? 1 : 0;
}

bool side_in_check(const SearchState& state) {
    const PieceNode* own_king = state.piece_list[code_of(king, state.to_move)];
    return own_king && attacked(state, state.not_to_move, own_king->sq);
}

int line_blocked(const SearchState& state, int a, int b) {
    const int step = attack_entry(b - a).step;
    if (step == 0) return 1;
    return ray_reaches(state, a, b, step) ? 0 : 1;
}

int pin_direction(const SearchState& state, int sq, int colour) {
    const PieceNode* own_king = state.piece_list[code_of(king, colour)];
    if (!own_king) return 0;
    const int king_sq = own_king->sq;
    const int d = attack_entry(sq - king_sq).step;
    if (d == 0 || first_occupied(state, king_sq, d) != sq) return 0;
    return enemy_slider_hits(state, first_occupied(state, sq, d), colour, king_sq) ? d : 0;
}

int leaves_king_in_check(const SearchState& state, Move m) {
    if (is_castling(m)) return 0;
    const int from = move_from(m), to = move_to(m);
    if (piece_type[move_piece(m)] == king) return attacked(state, state.not_to_move, to);
    const PieceNode* own_king = state.piece_list[code_of(king, state.to_move)];
    if (!own_king) return 0;
    const int king_sq = own_king->sq;
    const int d = attack_entry(from - king_sq).step;
    if (d != 0 && abs_step(d) != abs_step(attack_entry(to - from).step) &&
        first_occupied(state, king_sq, d) == from &&
        enemy_slider_hits(state, first_occupied(state, from, d), state.to_move, king_sq))
        return 1;
    if (is_en_passant(m)) return en_passant_exposes(state, from, to, king_sq);
    return 0;
}

int is_move_valid(const SearchState& state, Move m) {
    const int from = move_from(m), to = move_to(m);
    if (!on_board(from) || !on_board(to) || from == to) return 0;
    const int piece = move_piece(m), captured = move_capture(m);
    if (piece == empty || piece >= border || captured >= border || move_promote(m) >= border) return 0;
    if (piece_colour[piece] != state.to_move || state.board[from] != piece) return 0;
    if (m & 0xc0000000u) return 0;
    if (is_castling(m) && m != (state.to_move == white ? white_castle_short : black_castle_short) &&
        m != (state.to_move == white ? white_castle_long : black_castle_long))
        return 0;
    // A capture must take an enemy man other than the king.
    if (captured && (piece_colour[captured] != state.not_to_move || piece_type[captured] == king))
        return 0;
    if (!promotion_is_consistent(state, m)) return 0;
    if (captured) return capture_is_valid(state, m) ? 1 : 0;
    return quiet_is_valid(state, m) ? 1 : 0;
}

void record_setup_check(SearchState& state) {
    state.setup_hply = state.hply;
    HistRecord& record = state.hist_stack[state.hply - 1];
    record.move = 0;
    record.castle_rights = state.castle_rights;
    record.ep_square = state.ep_square;
    record.halfmove_clock = state.halfmove_clock;
    record.pos_key = state.pos_key;
    record.pawn_key = state.pawn_key;
    record.capture_prev = nullptr;
    record.promote_prev = nullptr;
    record.check_kind = 0;
    record.check_sq = 0;

    const PieceNode* own_king = state.piece_list[code_of(king, state.to_move)];
    if (!own_king) return;
    const int king_sq = own_king->sq;
    int checkers[2];
    int count = 0;
    const int them = state.not_to_move;
    for (int code = code_of(king, them); code <= code_of(pawn, them) && count < 2; ++code) {
        for (const PieceNode* node = state.piece_list[code]; node && count < 2; node = node->next) {
            const AttackEntry& entry = attack_entry(king_sq - node->sq);
            if (!(entry.flags & attack_flag[code])) continue;
            const int type = piece_type[code];
            if (type >= queen && type <= bishop && !ray_reaches(state, node->sq, king_sq, entry.step))
                continue;
            checkers[count++] = node->sq;
        }
    }
    if (count == 1) {
        record.check_kind = 2;
        record.check_sq = checkers[0];
    } else if (count == 2) {
        record.check_kind = 3;
        record.move = make_move_word(checkers[0], checkers[0], state.board[checkers[0]]);
        record.check_sq = checkers[1];
    }
}
