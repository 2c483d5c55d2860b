// The two specialised generators. generate_evasions yields exactly the legal
// moves of a side in check; it never scans the board for checkers but reads
// them from the history record of the move that gave the check.
// generate_quiet_checks yields the non-captures that give check, direct or
// discovered, for the first plies of the quiescence search.

#include "board/attacks.h"
#include "board/movegen.h"

namespace {

constexpr int fourth_rank[2] = {3, 4};   // where a double push lands
constexpr int third_rank[2] = {2, 5};    // the square a double push passes
constexpr int second_rank[2] = {1, 6};
constexpr int last_rank[2] = {7, 0};
constexpr int pawn_captures[2][2] = {{17, 15}, {-17, -15}};

// The checks against the side to move, as recorded when they were given.
// A line is the step from a sliding checker towards the king; knights, pawns
// and kings check without a line (0).
struct CheckInfo {
    int checkers;    // 1 single check, 2 double check
    int checker_sq;  // the checker of a single check
    int lines[2];
};

bool is_slider(int code) {
    const int type = piece_type[code];
    return type == queen || type == rook || type == bishop;
}

int line_from(const SearchState& state, int checker, int king_sq) {
    return is_slider(state.board[checker]) ? attack_entry(king_sq - checker).step : 0;
}

// check_kind 1: the moved man on `to`; 2: the man on check_sq; 3: both;
// 4 and 5: an en-passant capture opened two lines, one through the capturing
// pawn's from square and one through check_sq. Set-up positions carry a
// synthetic record of the same shape.
CheckInfo read_checks(const SearchState& state, int king_sq) {
    const HistRecord& rec = state.hist_stack[state.hply - 1];
    const int to = move_to(rec.move);
    switch (rec.check_kind) {
    case 1:
        return {1, to, {line_from(state, to, king_sq), 0}};
    case 2:
        return {1, rec.check_sq, {line_from(state, rec.check_sq, king_sq), 0}};
    case 3:
        return {2, 0, {line_from(state, to, king_sq), line_from(state, rec.check_sq, king_sq)}};
    default:
        return {2, 0,
                {attack_entry(king_sq - move_from(rec.move)).step,
                 line_from(state, rec.check_sq, king_sq)}};
    }
}

bool is_pinned(const SearchState& state, int sq) {
    return pin_direction(state, sq, state.to_move) != 0;
}

// Whether the man of `code` on `from` can move to `to` (knight jump, or a
// slider line with every square between empty).
bool reaches(const SearchState& state, int code, int from, int to) {
    if ((attack_entry(to - from).flags & attack_flag[code]) == 0) return false;
    return piece_type[code] == knight || !line_blocked(state, from, to);
}

void king_evasions(MoveWriter& out, const SearchState& state, int king_sq, const CheckInfo& check) {
    const int us = state.to_move;
    const int code = code_of(king, us);
    for (int step : queen_steps) {
        const int to = king_sq + step;
        const int target = state.board[to];
        // The king still stands on king_sq, so a square further along a
        // checking line looks safe; the line step rules it out.
        if (target == border || piece_colour[target] == us) continue;
        if (step == check.lines[0] || step == check.lines[1]) continue;
        if (attacked(state, state.not_to_move, to)) continue;
        out.add(make_move_word(king_sq, to, code, target));
    }
}

void pawn_evasions(MoveWriter& out, const SearchState& state, const int* blocks, int block_count,
                   int checker) {
    const int us = state.to_move;
    const int* board = state.board;
    const int code = code_of(pawn, us);
    const int forward = pawn_push[us];
    for (int i = 0; i < block_count; ++i) {
        const int to = blocks[i];
        const int from = to - forward;
        if (board[from] == code) {
            if (is_pinned(state, from)) continue;
            if (rank(to) == last_rank[us])
                out.add_promotions(from, to, code, 0);
            else
                out.add(make_move_word(from, to, code));
        } else if (board[from] == empty && rank(to) == fourth_rank[us] &&
                   board[from - forward] == code && !is_pinned(state, from - forward)) {
            out.add(make_move_word(from - forward, to, code));
        }
    }
    const int victim = board[checker];
    for (int step : pawn_captures[us]) {
        const int from = checker - step;
        if (board[from] != code || is_pinned(state, from)) continue;
        if (rank(checker) == last_rank[us])
            out.add_promotions(from, checker, code, victim);
        else
            out.add(make_move_word(from, checker, code, victim));
    }
}

// Whether taking en passant from `from` would leave the king attacked along
// the rank that both pawns leave.
bool exposes_rank(const SearchState& state, int king_sq, int from, int victim_sq) {
    if (rank(king_sq) != rank(from)) return false;
    const int step = from > king_sq ? 1 : -1;
    int sq = king_sq + step;
    while (state.board[sq] == empty || sq == from || sq == victim_sq) sq += step;
    const int code = state.board[sq];
    return piece_colour[code] == state.not_to_move &&
           (piece_type[code] == rook || piece_type[code] == queen);
}

void en_passant_evasions(MoveWriter& out, const SearchState& state, int king_sq, int checker,
                         const int* blocks, int block_count) {
    const int ep = state.ep_square;
    if (ep == 0) return;
    const int us = state.to_move;
    const int code = code_of(pawn, us);
    const int victim = code_of(pawn, state.not_to_move);
    const int victim_sq = ep - pawn_push[us];
    if (state.board[ep] != empty || state.board[victim_sq] != victim) return;
    bool resolves = checker == victim_sq;
    for (int i = 0; i < block_count; ++i) resolves = resolves || blocks[i] == ep;
    if (!resolves || pin_direction(state, victim_sq, us) != 0) return;
    for (int step : pawn_captures[us]) {
        const int from = ep - step;
        if (state.board[from] != code || is_pinned(state, from)) continue;
        if (exposes_rank(state, king_sq, from, victim_sq)) continue;
        out.add(make_move_word(from, ep, code, victim, 0, ep_flag));
    }
}

// Knights, bishops, rooks and queens that are not pinned: blocks in order,
// then the capture of the checker.
void piece_evasions(MoveWriter& out, const SearchState& state, const int* blocks, int block_count,
                    int checker) {
    const int us = state.to_move;
    for (int type : {knight, bishop, rook, queen}) {
        const int code = code_of(type, us);
        for (const PieceNode* node = state.piece_list[code]; node; node = node->next) {
            const int from = node->sq;
            if (is_pinned(state, from)) continue;
            for (int i = 0; i < block_count; ++i)
                if (reaches(state, code, from, blocks[i]))
                    out.add(make_move_word(from, blocks[i], code));
            if (reaches(state, code, from, checker))
                out.add(make_move_word(from, checker, code, state.board[checker]));
        }
    }
}

// Discovery candidates: own men that are the first man on a line from the
// enemy king with an own slider attacking along that line right behind
// them. Moving such a man off the line gives check.
struct Discoveries {
    int count;
    int squares[8];
    int steps[8];  // step from the enemy king towards the candidate

    int step_of(int sq) const {
        for (int i = 0; i < count; ++i)
            if (squares[i] == sq) return steps[i];
        return 0;
    }
};

Discoveries find_discoveries(const SearchState& state, int enemy_king) {
    Discoveries found{};
    const int* board = state.board;
    const int us = state.to_move;
    for (int step : queen_steps) {
        int sq = enemy_king + step;
        while (board[sq] == empty) sq += step;
        if (piece_colour[board[sq]] != us) continue;
        const int candidate = sq;
        sq += step;
        while (board[sq] == empty) sq += step;
        const int code = board[sq];
        if (piece_colour[code] == us && (attack_flag[code] & attack_entry(sq - enemy_king).flags)) {
            found.squares[found.count] = candidate;
            found.steps[found.count++] = step;
        }
    }
    return found;
}

void pawn_checks(MoveWriter& out, const SearchState& state, int enemy_king,
                 const Discoveries& discoveries) {
    const int us = state.to_move;
    const int* board = state.board;
    const int code = code_of(pawn, us);
    const int forward = pawn_push[us];
    // Direct checks: pushes onto the two squares from which a pawn attacks
    // the king (white: E - 15 then E - 17; black: E + 15 then E + 17).
    const int side_step = us == white ? -1 : 1;
    for (int to : {enemy_king - forward - side_step, enemy_king - forward + side_step}) {
        if (board[to] != empty) continue;
        const int from = to - forward;
        if (board[from] == code)
            out.add(make_move_word(from, to, code));
        else if (board[from] == empty && rank(from) == third_rank[us] &&
                 board[from - forward] == code)
            out.add(make_move_word(from - forward, to, code));
    }
    // Discovered checks: a candidate pawn leaves any line but its own file.
    for (const PieceNode* node = state.piece_list[code]; node; node = node->next) {
        const int from = node->sq;
        const int line = discoveries.step_of(from);
        if (line == 0 || line == 16 || line == -16) continue;
        const int to = from + forward;
        if (board[to] != empty || rank(to) == last_rank[us]) continue;
        out.add(make_move_word(from, to, code));
        if (rank(from) == second_rank[us] && board[to + forward] == empty)
            out.add(make_move_word(from, to + forward, code));
    }
}

// Quiet moves of one knight or slider: all of them for a discovery
// candidate, otherwise only those onto squares that attack the enemy king.
void piece_checks(MoveWriter& out, const SearchState& state, int code, int from, int enemy_king,
                  bool discovers) {
    const int* board = state.board;
    const int flag = attack_flag[code];
    if (piece_type[code] == knight) {
        for (int jump : knight_jumps) {
            const int to = from + jump;
            if (board[to] == empty &&
                (discovers || (attack_entry(enemy_king - to).flags & flag_knight)))
                out.add(make_move_word(from, to, code));
        }
        return;
    }
    const int first = piece_type[code] == rook ? first_rook_step : first_bishop_step;
    const int last = piece_type[code] == bishop ? first_bishop_step + 4 : first_rook_step + 4;
    for (int i = first; i < last; ++i) {
        const int step = queen_steps[i];
        for (int to = from + step; board[to] == empty; to += step)
            if (discovers || ((attack_entry(enemy_king - to).flags & flag) &&
                              !line_blocked(state, to, enemy_king)))
                out.add(make_move_word(from, to, code));
    }
}

}  // namespace

void generate_evasions(SearchState& state) {
    MoveWriter out(state);
    const int king_sq = king_square(state, state.to_move);
    const CheckInfo check = read_checks(state, king_sq);
    king_evasions(out, state, king_sq, check);
    if (check.checkers > 1) return;

    // Squares between king and checker, from the king outward.
    const int checker = check.checker_sq;
    int blocks[7];
    int block_count = 0;
    if (check.lines[0] != 0)
        for (int sq = king_sq - check.lines[0]; sq != checker; sq -= check.lines[0])
            blocks[block_count++] = sq;

    pawn_evasions(out, state, blocks, block_count, checker);
    en_passant_evasions(out, state, king_sq, checker, blocks, block_count);
    piece_evasions(out, state, blocks, block_count, checker);
}

void generate_quiet_checks(SearchState& state) {
    MoveWriter out(state);
    const int us = state.to_move;
    const int enemy_king = king_square(state, state.not_to_move);
    const Discoveries discoveries = find_discoveries(state, enemy_king);

    pawn_checks(out, state, enemy_king, discoveries);
    for (int type : {knight, bishop, rook, queen}) {
        const int code = code_of(type, us);
        for (const PieceNode* node = state.piece_list[code]; node; node = node->next)
            piece_checks(out, state, code, node->sq, enemy_king, discoveries.step_of(node->sq) != 0);
    }

    // The king discovers check when it leaves the line, never along it.
    const int king_sq = king_square(state, us);
    const int line = discoveries.step_of(king_sq);
    if (line == 0) return;
    for (int step : queen_steps) {
        if (step == line || step == -line || state.board[king_sq + step] != empty) continue;
        out.add(make_move_word(king_sq, king_sq + step, code_of(king, us)));
    }
}
