#include "qordil/board_rules.h"

namespace qordil {

namespace {

constexpr int file_steps[8] = {1, -1, 0, 0, 1, 1, -1, -1};
constexpr int rank_steps[8] = {0, 0, 1, -1, 1, -1, 1, -1};
constexpr int first_orthogonal = 0;
constexpr int first_diagonal = 4;
enum LineKind : uint8_t { no_line = 0, orthogonal_line = 1, diagonal_line = 2 };

uint64_t king_attacks[64];
uint64_t knight_attacks[64];
uint64_t pawn_attacks[2][64];
uint64_t between[64][64];   // squares strictly between two aligned squares
uint8_t line_kind[64][64];  // how two squares are aligned
bool tables_built = false;

bool on_board(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

void add_if_on_board(uint64_t& set, int file, int rank) {
    if (on_board(file, rank)) set |= bit(rank * 8 + file);
}

// The directions a slider of this type moves along: [first, last).
void slider_directions(int type, int& first, int& last) {
    first = type == bishop ? first_diagonal : first_orthogonal;
    last = type == rook ? first_diagonal : 8;
}

bool slider_reaches(int type, int from, int to, uint64_t occupied) {
    const int kind = line_kind[from][to];
    if (kind == no_line) return false;
    if (type == rook && kind != orthogonal_line) return false;
    if (type == bishop && kind != diagonal_line) return false;
    return (between[from][to] & occupied) == 0;
}

// Squares a non-pawn man of `type` on `from` moves to (empty squares and
// squares holding men), with `occupied` blocking sliders.
uint64_t piece_targets(int type, int from, uint64_t occupied) {
    if (type == king) return king_attacks[from];
    if (type == knight) return knight_attacks[from];
    int first = 0;
    int last = 0;
    slider_directions(type, first, last);
    uint64_t targets = 0;
    for (int d = first; d < last; ++d) {
        int file = file_of(from) + file_steps[d];
        int rank = rank_of(from) + rank_steps[d];
        while (on_board(file, rank)) {
            const int sq = rank * 8 + file;
            targets |= bit(sq);
            if (occupied & bit(sq)) break;
            file += file_steps[d];
            rank += rank_steps[d];
        }
    }
    return targets;
}

int man_on(const Position& p, int sq) {
    for (int i = 0; i < p.count; ++i)
        if (p.square[i] == sq) return i;
    return -1;
}

// Writes the position after man `mover` goes to `to` (capturing what stands
// there, becoming `promoted` when not 0) when the move is legal; `safe` when
// the move cannot leave the mover's king attacked.
void add_move(const Position& p, int mover, int to, int promoted, bool safe, Successor* out, int& n) {
    Successor& s = out[n];
    s.pos = p;
    s.pos.side = p.side ^ 1;
    s.converts = promoted != no_piece;
    int moving = mover;
    const int captured = man_on(p, to);
    if (captured >= 0) {
        if (type_of(p.code[captured]) == king) return;
        for (int j = captured; j + 1 < p.count; ++j) {
            s.pos.code[j] = p.code[j + 1];
            s.pos.square[j] = p.square[j + 1];
        }
        --s.pos.count;
        s.pos.code[s.pos.count] = no_piece;
        s.pos.square[s.pos.count] = 0;
        if (captured < mover) --moving;
        s.converts = true;
    }
    s.pos.square[moving] = to;
    if (promoted != no_piece) s.pos.code[moving] = promoted;
    if (safe || !in_check(s.pos, p.side)) ++n;
}

void add_pawn_move(const Position& p, int mover, int to, bool safe, Successor* out, int& n) {
    const int last_rank = p.side == white ? 7 : 0;
    if (rank_of(to) != last_rank) {
        add_move(p, mover, to, no_piece, safe, out, n);
        return;
    }
    constexpr int promotions[4] = {queen, rook, bishop, knight};
    for (const int type : promotions) add_move(p, mover, to, with_colour(type, p.side), safe, out, n);
}

// Squares of the side to move's men that stand between its king and an
// enemy slider aiming at it: moving them may expose the king.
uint64_t shielding_men(const Position& p, uint64_t occupied) {
    const int king_sq = p.square[p.side];
    uint64_t shields = 0;
    for (int i = 0; i < p.count; ++i) {
        const int type = type_of(p.code[i]);
        if (colour_of(p.code[i]) == p.side || (type != queen && type != rook && type != bishop)) continue;
        const int kind = line_kind[p.square[i]][king_sq];
        if (kind == no_line || (type == rook && kind != orthogonal_line) || (type == bishop && kind != diagonal_line))
            continue;
        shields |= between[p.square[i]][king_sq] & occupied;
    }
    return shields;
}

}  // namespace

void init_board_rules() {
    if (tables_built) return;
    for (int sq = 0; sq < 64; ++sq) {
        const int f = file_of(sq);
        const int r = rank_of(sq);
        for (int d = 0; d < 8; ++d) add_if_on_board(king_attacks[sq], f + file_steps[d], r + rank_steps[d]);
        constexpr int jumps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
        for (const auto& j : jumps) add_if_on_board(knight_attacks[sq], f + j[0], r + j[1]);
        add_if_on_board(pawn_attacks[white][sq], f - 1, r + 1);
        add_if_on_board(pawn_attacks[white][sq], f + 1, r + 1);
        add_if_on_board(pawn_attacks[black][sq], f - 1, r - 1);
        add_if_on_board(pawn_attacks[black][sq], f + 1, r - 1);
        for (int d = 0; d < 8; ++d) {
            uint64_t passed = 0;
            int file = f + file_steps[d];
            int rank = r + rank_steps[d];
            while (on_board(file, rank)) {
                const int to = rank * 8 + file;
                between[sq][to] = passed;
                line_kind[sq][to] = d < first_diagonal ? orthogonal_line : diagonal_line;
                passed |= bit(to);
                file += file_steps[d];
                rank += rank_steps[d];
            }
        }
    }
    tables_built = true;
}

uint64_t occupancy(const Position& p) {
    uint64_t occupied = 0;
    for (int i = 0; i < p.count; ++i) occupied |= bit(p.square[i]);
    return occupied;
}

bool attacked_by(const Position& p, int sq, int colour, uint64_t occupied) {
    for (int i = 0; i < p.count; ++i) {
        if (colour_of(p.code[i]) != colour) continue;
        const int from = p.square[i];
        const int type = type_of(p.code[i]);
        bool hits = false;
        if (type == king)
            hits = king_attacks[from] & bit(sq);
        else if (type == knight)
            hits = knight_attacks[from] & bit(sq);
        else if (type == pawn)
            hits = pawn_attacks[colour][from] & bit(sq);
        else
            hits = slider_reaches(type, from, sq, occupied);
        if (hits) return true;
    }
    return false;
}

bool in_check(const Position& p, int colour) {
    return attacked_by(p, p.square[colour], colour ^ 1, occupancy(p));
}

bool is_legal(const Position& p) {
    uint64_t seen = 0;
    for (int i = 0; i < p.count; ++i) {
        const int sq = p.square[i];
        if (sq < 0 || sq > 63 || (seen & bit(sq))) return false;
        seen |= bit(sq);
        if (type_of(p.code[i]) == pawn && (rank_of(sq) == 0 || rank_of(sq) == 7)) return false;
    }
    if (king_attacks[p.square[white]] & bit(p.square[black])) return false;
    return !in_check(p, p.side ^ 1);
}

int legal_successors(const Position& p, Successor* out) {
    const uint64_t occupied = occupancy(p);
    uint64_t own = 0;
    for (int i = 0; i < p.count; ++i)
        if (colour_of(p.code[i]) == p.side) own |= bit(p.square[i]);
    // Out of check, a man that shields nothing cannot expose its king.
    const bool checked = in_check(p, p.side);
    const uint64_t shields = checked ? ~uint64_t(0) : shielding_men(p, occupied);
    int n = 0;
    for (int i = 0; i < p.count; ++i) {
        if (colour_of(p.code[i]) != p.side) continue;
        const int from = p.square[i];
        const int type = type_of(p.code[i]);
        const bool safe = type != king && !(shields & bit(from));
        if (type == pawn) {
            const int step = p.side == white ? 8 : -8;
            const int start_rank = p.side == white ? 1 : 6;
            const int ahead = from + step;
            if (!(occupied & bit(ahead))) {
                add_pawn_move(p, i, ahead, safe, out, n);
                if (rank_of(from) == start_rank && !(occupied & bit(ahead + step)))
                    add_move(p, i, ahead + step, no_piece, safe, out, n);
            }
            uint64_t captures = pawn_attacks[p.side][from] & occupied & ~own;
            for (; captures; captures &= captures - 1)
                add_pawn_move(p, i, __builtin_ctzll(captures), safe, out, n);
            continue;
        }
        uint64_t targets = piece_targets(type, from, occupied) & ~own;
        for (; targets; targets &= targets - 1) add_move(p, i, __builtin_ctzll(targets), no_piece, safe, out, n);
    }
    return n;
}

int predecessors(const Position& p, Position* out) {
    const int mover = p.side ^ 1;
    const uint64_t occupied = occupancy(p);
    int n = 0;
    for (int i = 0; i < p.count; ++i) {
        if (colour_of(p.code[i]) != mover) continue;
        const int to = p.square[i];
        const int type = type_of(p.code[i]);
        uint64_t origins = 0;
        if (type == pawn) {
            // A white pawn came from one rank lower, or two from its start.
            const int step = mover == white ? -8 : 8;
            const int behind_rank = rank_of(to + step);
            const int start_rank = mover == white ? 1 : 6;
            if (behind_rank != 0 && behind_rank != 7 && !(occupied & bit(to + step))) {
                origins |= bit(to + step);
                if (behind_rank + (mover == white ? -1 : 1) == start_rank && !(occupied & bit(to + 2 * step)))
                    origins |= bit(to + 2 * step);
            }
        } else {
            // Moves other than a pawn's are their own reverse.
            origins = piece_targets(type, to, occupied) & ~occupied;
        }
        for (; origins; origins &= origins - 1) {
            Position& q = out[n++];
            q = p;
            q.side = mover;
            q.square[i] = __builtin_ctzll(origins);
        }
    }
    return n;
}

}  // namespace qordil
