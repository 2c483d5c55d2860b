// Building a SearchState, deriving the position's lists, counters and keys
// from its board, and copying one SearchState into another.

#include <cstring>

#include "board/keys.h"
#include "eval/psq.h"
#include "search/root.h"
#include "search/search_state.h"
#include "search/time_control.h"

SearchState::SearchState()
    : to_move(white), not_to_move(black), castle_rights(0), ep_square(0), halfmove_clock(0),
      mailbox{}, board(mailbox + 48), square_node{}, piece_list{}, hply(0), ply(0),
      base_ply(0), psq_sum{}, pawn_count{}, piece_material{}, men_count{}, men_total(0),
      pos_key(0), pawn_key(0), ply_rec(ply_records), hist_storage{}, hist_stack(hist_storage + 1), setup_hply(0), ply_records{}, nodes(0),
      qnodes(0), next_check(0), eval_count(0), lazy_count(0), splits(0), bad_splits(0),
      egbb_probes(0), params(nullptr), eval{}, split_master(nullptr), in_use(0),
      worker_index(0), stopped(0), copies{}, copy_count(0), split_lock(0), node_storage{} {
    // Everything outside the 64 board squares is border, so sliding and
    // jumping loops stop without range checks.
    for (int& slot : mailbox) slot = border;
    for (int sq = 0; sq < 128; ++sq)
        if (on_board(sq)) board[sq] = empty;
    for (int i = 0; i < 128; ++i) {
        node_storage[i] = {i, nullptr, nullptr};
        square_node[i] = &node_storage[i];
    }
    for (int colour = 0; colour < 2; ++colour) eval.attack_map[colour] = eval.attack_map_storage[colour] + 48;
    for (int p = 0; p < max_ply; ++p) ply_records[p].pv_length = p;
}

void init_position(SearchState& state) {
    state.ply = 0;
    state.ply_rec = state.ply_records;
    state.psq_sum[white] = state.psq_sum[black] = 0;
    state.piece_material[white] = state.piece_material[black] = 0;
    state.pawn_count[white] = state.pawn_count[black] = 0;
    for (int& count : state.men_count) count = 0;
    state.men_total = 0;
    state.pos_key = 0;
    state.pawn_key = 0;
    for (auto& head : state.piece_list) head = nullptr;

    // Ascending squares, each pushed at the head: every list then runs from
    // the highest square down (white pawns: h2 first, a2 last).
    for (int sq = 0; sq < 120; ++sq) {
        if (!on_board(sq)) continue;
        PieceNode* node = state.square_node[sq];
        *node = {sq, nullptr, nullptr};
        const int p = state.board[sq];
        if (p == empty) continue;
        const int colour = piece_colour[p];
        node->next = state.piece_list[p];
        if (node->next) node->next->prev = node;
        state.piece_list[p] = node;
        state.pos_key ^= piece_keys[p][sq64(sq)];
        if (piece_type[p] == pawn) {
            state.pawn_key ^= piece_keys[p][sq64(sq)];
            ++state.pawn_count[colour];
        } else {
            state.piece_material[colour] += piece_value[p];
        }
        state.psq_sum[colour] += psq[p][sq];
        ++state.men_count[p];
        ++state.men_total;
    }
    if (state.ep_square != 0) state.pos_key ^= ep_keys[state.ep_square & 7];
    state.pos_key ^= castle_keys[state.castle_rights];

    new_position_flag = 1;
    last_score = (state.piece_material[white] + state.pawn_count[white] -
                  state.piece_material[black] - state.pawn_count[black]) * 100;
    previous_score = last_score;
    last_book_hply = state.hply;
}

void copy_search_state(SearchState& dst, const SearchState& src) {
    dst.to_move = src.to_move;
    dst.not_to_move = src.not_to_move;
    dst.castle_rights = src.castle_rights;
    dst.ep_square = src.ep_square;
    dst.halfmove_clock = src.halfmove_clock;
    std::memcpy(dst.mailbox, src.mailbox, sizeof dst.mailbox);

    // Rebuild the piece lists in the same order with dst's own nodes: walk
    // each source list from its tail so pushing at the head keeps the order.
    for (int sq = 0; sq < 120; ++sq)
        if (on_board(sq)) *dst.square_node[sq] = {sq, nullptr, nullptr};
    for (int p = 0; p < 15; ++p) {
        dst.piece_list[p] = nullptr;
        const PieceNode* tail = src.piece_list[p];
        if (!tail) continue;
        while (tail->next) tail = tail->next;
        for (const PieceNode* node = tail; node; node = node->prev) {
            PieceNode* mine = dst.square_node[node->sq];
            mine->prev = nullptr;
            mine->next = dst.piece_list[p];
            if (mine->next) mine->next->prev = mine;
            dst.piece_list[p] = mine;
        }
    }

    // History records -1 (the set-up check record at hply 0) to hply.
    dst.hply = src.hply;
    dst.setup_hply = src.setup_hply;
    const int records = src.hply < max_history ? src.hply + 2 : max_history + 1;
    std::memcpy(dst.hist_storage, src.hist_storage, sizeof(HistRecord) * records);
    dst.ply = src.ply;
    dst.ply_rec = dst.ply_records + src.ply;
    dst.pos_key = src.pos_key;
    dst.pawn_key = src.pawn_key;
    for (int c = 0; c < 2; ++c) {
        dst.psq_sum[c] = src.psq_sum[c];
        dst.pawn_count[c] = src.pawn_count[c];
        dst.piece_material[c] = src.piece_material[c];
    }
    std::memcpy(dst.men_count, src.men_count, sizeof dst.men_count);
    dst.men_total = src.men_total;

    for (int p = 0; p < max_ply; ++p) {
        dst.ply_records[p].killer1 = src.ply_records[p].killer1;
        dst.ply_records[p].killer2 = src.ply_records[p].killer2;
    }
    for (int p = 0; p <= src.ply && p < max_ply; ++p) {
        PlyRecord& d = dst.ply_records[p];
        const PlyRecord& s = src.ply_records[p];
        d.current_move = s.current_move;
        d.move_count = s.move_count;
        d.best_score = s.best_score;
        d.best_move = s.best_move;
        d.hash_move = s.hash_move;
        d.extended = s.extended;
        d.reduction = s.reduction;
        d.probe_result = s.probe_result;
        d.mate_threat = s.mate_threat;
        d.alpha = s.alpha;
        d.beta = s.beta;
        d.node_type = s.node_type;
        d.child_node_type = s.child_node_type;
        d.iid_alpha = s.iid_alpha;
        d.iid_beta = s.iid_beta;
        d.iid_depth = s.iid_depth;
        d.depth = s.depth;
        d.bound = s.bound;
        d.step = s.step;
        d.after_null = s.after_null;
        d.eval_score = s.eval_score;
        d.lazy_score = s.lazy_score;
        d.eval_flags = s.eval_flags;
    }
}
