#pragma once
// Move generators. Each appends to the current ply's list
// (ply_rec->moves from ply_rec->move_count on) in a fixed order that decides
// every later tie in move ordering; none clears or sorts the list.

#include "search/search_state.h"

// ---------------------------------------------------------------- constants

// Knight jumps in generation order.
constexpr int knight_jumps[8] = {18, -18, 33, -33, 14, -14, -31, 31};
// Queen and king steps in generation order. Bishops use the first four
// (the diagonals), rooks the last four (the orthogonals), so one table
// serves every man.
constexpr int queen_steps[8] = {17, -17, 15, -15, 16, -16, 1, -1};
constexpr int first_bishop_step = 0;
constexpr int first_rook_step = 4;

// ------------------------------------------------------------------ records

// Appends moves to the current ply's list. The list holds max_moves entries;
// moves beyond that are dropped rather than written past the array (no
// position reachable in chess comes close). The count is published when the
// writer goes out of scope.
struct MoveWriter {
    PlyRecord& rec;
    Move* out;
    Move* const end;

    explicit MoveWriter(SearchState& state)
        : rec(*state.ply_rec), out(rec.moves + rec.move_count), end(rec.moves + max_moves) {}
    ~MoveWriter() { rec.move_count = int(out - rec.moves); }
    MoveWriter(const MoveWriter&) = delete;
    MoveWriter& operator=(const MoveWriter&) = delete;

    void add(Move m) {
        if (out < end) *out++ = m;
    }
    // A pawn move onto the last rank, once per promotion piece in the order
    // queen, knight, rook, bishop.
    void add_promotions(int from, int to, int pawn_code, int captured) {
        const int colour_offset = pawn_code - pawn;
        for (int type : {queen, knight, rook, bishop})
            add(make_move_word(from, to, pawn_code, captured, type + colour_offset));
    }
};

// ---------------------------------------------------------------- functions

// Captures, en-passant captures and non-capturing queen promotions.
void generate_captures(SearchState& state);
// Castling, other non-captures and under-promotions.
void generate_quiets(SearchState& state);
// generate_captures then generate_quiets.
void generate_all(SearchState& state);
// Legal moves of a side in check, from the check data of the last move.
void generate_evasions(SearchState& state);
// Non-capturing, non-promoting moves that give check (pseudo-legal).
void generate_quiet_checks(SearchState& state);
