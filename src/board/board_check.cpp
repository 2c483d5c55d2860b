// The board validator: every man on the board appears exactly once, in the
// list of its own code, through the node of its square; lists are properly
// doubly linked; counters and keys equal their values recomputed from
// scratch.

#include "board/board_check.h"

#include "board/keys.h"
#include "eval/psq.h"

namespace {

// Every list is doubly linked, its nodes stand on squares holding its code
// and are the nodes of those squares; returns the number of nodes seen or
// -1 on a fault.
int check_lists(const SearchState& state) {
    int seen = 0;
    for (int code = 0; code < 15; ++code) {
        const PieceNode* head = state.piece_list[code];
        if (code == empty || code >= border) {
            if (head) return -1;
            continue;
        }
        if (head && head->prev) return -1;
        int length = 0;
        for (const PieceNode* node = head; node; node = node->next) {
            // A cycle would make the list longer than the board.
            if (++length > 64) return -1;
            if (!on_board(node->sq) || state.board[node->sq] != code) return -1;
            if (state.square_node[node->sq] != node) return -1;
            if (node->next && node->next->prev != node) return -1;
        }
        if (length != state.men_count[code]) return -1;
        seen += length;
    }
    return seen;
}

bool check_mailbox(const SearchState& state) {
    for (int i = 0; i < 224; ++i) {
        const int sq = i - 48;
        const bool inside = sq >= 0 && sq < 128 && on_board(sq);
        const int code = state.mailbox[i];
        if (!inside && code != border) return false;
        if (inside && (code < empty || code >= border)) return false;
    }
    for (int sq = 0; sq < 128; ++sq)
        if (on_board(sq) && state.square_node[sq]->sq != sq) return false;
    return true;
}

}  // namespace

bool board_is_ok(const SearchState& state) {
    if (state.to_move != white && state.to_move != black) return false;
    if (state.not_to_move != 1 - state.to_move) return false;
    if (state.castle_rights < 0 || state.castle_rights > 15) return false;
    if (state.ep_square != 0 && (!on_board(state.ep_square) ||
                                 (rank(state.ep_square) != 2 && rank(state.ep_square) != 5)))
        return false;
    if (state.board != state.mailbox + 48 || !check_mailbox(state)) return false;
    if (check_lists(state) != state.men_total) return false;

    int psq_sum[2] = {0, 0}, pawns[2] = {0, 0}, material[2] = {0, 0};
    int count[15] = {};
    int total = 0;
    HashKey pos_key = 0, pawn_key = 0;
    for (int sq = 0; sq < 128; ++sq) {
        if (!on_board(sq)) continue;
        const int code = state.board[sq];
        if (code == empty) continue;
        const int colour = piece_colour[code];
        pos_key ^= piece_keys[code][sq64(sq)];
        if (piece_type[code] == pawn) {
            pawn_key ^= piece_keys[code][sq64(sq)];
            ++pawns[colour];
        } else {
            material[colour] += piece_value[code];
        }
        psq_sum[colour] += psq[code][sq];
        ++count[code];
        ++total;
    }
    if (state.ep_square != 0) pos_key ^= ep_keys[state.ep_square & 7];
    pos_key ^= castle_keys[state.castle_rights];

    if (total != state.men_total || pos_key != state.pos_key || pawn_key != state.pawn_key)
        return false;
    for (int code = 0; code < 15; ++code)
        if (count[code] != state.men_count[code]) return false;
    for (int colour = 0; colour < 2; ++colour) {
        if (psq_sum[colour] != state.psq_sum[colour] || pawns[colour] != state.pawn_count[colour] ||
            material[colour] != state.piece_material[colour])
            return false;
    }
    return true;
}
