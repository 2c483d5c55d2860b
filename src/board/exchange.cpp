// Static exchange evaluation. Both sides keep recapturing on the target
// square with their cheapest man; the gain list is then folded back from the
// end so that each side may stop as soon as continuing would lose. No move is
// made: attackers are collected once, and men hidden behind a departing
// slider join when it leaves.

#include "board/exchange.h"

// ---------------------------------------------------------------- constants

namespace {

// Values by piece code. The king's 99 makes a king capture onto a defended
// square lose more than anything it could win, so the fold-back refuses it.
// Sized for every value of a move's 4-bit piece fields, so a corrupt move
// word read from the transposition table cannot index past the end.
constexpr int exchange_value[16] = {0, 99, 9, 5, 3, 3, 1, 99, 9, 5, 3, 3, 1, 0, 0, 0};

// A colour never has more men than this, so a list cannot overflow: every
// man enters at most once (directly or as an x-ray behind another).
constexpr int max_attackers = 16;
// One entry for the first capture plus one per recapture.
constexpr int max_gains = 2 * max_attackers + 1;

constexpr int orthogonal_steps[4] = {16, -16, 1, -1};
constexpr int diagonal_steps[4] = {17, 15, -15, -17};

// ------------------------------------------------------------------ records

// The attacking squares of one colour, in the order they were found. Entries
// before `next` have already captured; the cheapest of the rest is swapped
// to `next` when that colour captures.
struct AttackerList {
    int squares[max_attackers];
    int count;
    int next;
};

// -------------------------------------------------------------- functions

void add_attacker(AttackerList& list, int sq) {
    if (list.count < max_attackers) list.squares[list.count++] = sq;
}

bool is_orthogonal_step(int step) { return step == 1 || step == -1 || step == 16 || step == -16; }

// Whether the man of code p attacks along a line of the given step.
bool slides_along(int p, int step) {
    const int type = piece_type[p];
    if (type == queen) return true;
    return type == (is_orthogonal_step(step) ? rook : bishop);
}

// The first occupied slot from sq outward by step (sq itself excluded).
int first_occupied(const SearchState& state, int sq, int step) {
    do sq += step;
    while (state.board[sq] == empty);
    return sq;
}

// After the man on `gone` has captured (or left for the first move), the
// slider behind it on the line from t joins its colour's list.
void add_x_ray(const SearchState& state, AttackerList lists[2], int t, int gone) {
    const int step = attack_entry(gone - t).step;
    if (step == 0) return;
    const int sq = first_occupied(state, gone, step);
    const int p = state.board[sq];
    if (p == border || !slides_along(p, step)) return;
    add_attacker(lists[piece_colour[p]], sq);
}

// Rook or queen on the four orthogonal lines, bishop or queen on the four
// diagonals: the first man on each line, unless it stands on `skip`.
void collect_sliders(const SearchState& state, AttackerList lists[2], int t, int skip) {
    for (int step : orthogonal_steps) {
        const int sq = first_occupied(state, t, step);
        const int p = state.board[sq];
        if (sq != skip && p != border && slides_along(p, step)) add_attacker(lists[piece_colour[p]], sq);
    }
    for (int step : diagonal_steps) {
        const int sq = first_occupied(state, t, step);
        const int p = state.board[sq];
        if (sq != skip && p != border && slides_along(p, step)) add_attacker(lists[piece_colour[p]], sq);
    }
}

// Every man attacking t except the one on `skip`, each in its colour's list
// in a fixed order: pawns, knights, sliders, kings.
void collect_attackers(const SearchState& state, AttackerList lists[2], int t, int skip) {
    const int* board = state.board;
    if (t - 17 != skip && board[t - 17] == white_pawn) add_attacker(lists[white], t - 17);
    if (t - 15 != skip && board[t - 15] == white_pawn) add_attacker(lists[white], t - 15);
    if (t + 15 != skip && board[t + 15] == black_pawn) add_attacker(lists[black], t + 15);
    if (t + 17 != skip && board[t + 17] == black_pawn) add_attacker(lists[black], t + 17);
    for (int colour = white; colour <= black; ++colour) {
        const PieceNode* node = state.piece_list[code_of(knight, colour)];
        for (; node; node = node->next)
            if (node->sq != skip && (attack_entry(t - node->sq).flags & flag_knight))
                add_attacker(lists[colour], node->sq);
    }
    collect_sliders(state, lists, t, skip);
    for (int colour = white; colour <= black; ++colour) {
        const PieceNode* node = state.piece_list[code_of(king, colour)];
        if (node && node->sq != skip && (attack_entry(t - node->sq).flags & flag_king))
            add_attacker(lists[colour], node->sq);
    }
}

// Takes the cheapest remaining attacker (the earliest on ties) out of the
// list and returns its square.
int pop_cheapest(const SearchState& state, AttackerList& list) {
    int best = list.next;
    for (int i = list.next + 1; i < list.count; ++i)
        if (exchange_value[state.board[list.squares[i]]] < exchange_value[state.board[list.squares[best]]])
            best = i;
    const int sq = list.squares[best];
    list.squares[best] = list.squares[list.next];
    list.squares[list.next++] = sq;
    return sq;
}

}  // namespace

int static_exchange(const SearchState& state, Move m) {
    const int from = move_from(m);
    const int to = move_to(m);
    const int piece = move_piece(m);
    const int mover = piece >= white_king && piece <= black_pawn ? piece_colour[piece] : state.to_move;
    int side = 1 - mover;  // the first to recapture

    AttackerList lists[2] = {};
    collect_attackers(state, lists, to, from);
    add_x_ray(state, lists, to, from);

    // Men already used stay on the board; the list walk never revisits them,
    // and x-ray walks only look beyond the man that just captured.
    int gain[max_gains];
    gain[0] = exchange_value[move_capture(m)];
    int standing = exchange_value[piece];
    int n = 1;
    while (lists[side].next < lists[side].count && n < max_gains) {
        gain[n] = standing - gain[n - 1];
        const int sq = pop_cheapest(state, lists[side]);
        standing = exchange_value[state.board[sq]];
        add_x_ray(state, lists, to, sq);
        side = 1 - side;
        ++n;
    }
    for (int i = n - 1; i > 0; --i)
        if (-gain[i] < gain[i - 1]) gain[i - 1] = -gain[i];
    return gain[0] * 100;
}
