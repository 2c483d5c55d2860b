// The staged move pickers and the history and killer updates.

#include "search/picker.h"

#include <algorithm>
#include <utility>

#include "board/attacks.h"
#include "board/exchange.h"
#include "board/movegen.h"
#include "search/search.h"

std::atomic<int32_t> history_table[2][64][64];

namespace {

// Killer scores only mark the entries; the killer batch is handed out in
// list order, which already follows these values.
constexpr int killer1_score = 2000;
constexpr int killer1_up_score = 1500;
constexpr int killer2_score = 1000;
constexpr int killer2_up_score = 500;
// In check the killers rank below every evasion that wins material but
// above the neutral ones.
constexpr int evasion_killer1_score = 90;
constexpr int evasion_killer1_up_score = 85;
constexpr int evasion_killer2_score = 80;
constexpr int evasion_killer2_up_score = 75;
// History entries saturate here: a long analysis must not overflow them, and
// a quiet evasion's history plus low_offset stays below the neutral scores.
constexpr int32_t history_limit = 1 << 23;

// The killers of this ply and of two plies up (the last move of the same
// side). Near the root the record two plies up is not part of the search,
// so its killers count as absent (0 never equals a generated move).
struct Killers {
    Move k1, k2, up1, up2;
};

Killers killers_of(const SearchState& state) {
    const PlyRecord& r = *state.ply_rec;
    if (state.ply > 1) {
        const PlyRecord& up = state.ply_rec[-2];
        return {r.killer1, r.killer2, up.killer1, up.killer2};
    }
    return {r.killer1, r.killer2, 0, 0};
}

// The move that led to this position gave check: hist_stack[-1] holds the
// check status of a position just set up, so hply 0 is covered too.
bool side_to_move_in_check(const SearchState& state) {
    return state.hist_stack[state.hply - 1].check_kind != 0;
}

// Brings the best remaining entry (the first of equal best) to move_index.
void select_best(PlyRecord& r) {
    int best = r.move_index;
    for (int i = best + 1; i < r.move_count; ++i)
        if (r.scores[i] > r.scores[best]) best = i;
    std::swap(r.moves[best], r.moves[r.move_index]);
    std::swap(r.scores[best], r.scores[r.move_index]);
}

// Captures and promotions by their exchange value (or mvv_lva in the
// quiescence search), quiet moves by history; anything that loses or is
// quiet goes below low_offset.
int evasion_base_score(const SearchState& state, Move m, bool by_exchange) {
    if (is_capture(m) || is_promotion(m)) {
        const int gain = by_exchange ? static_exchange(state, m) : mvv_lva(m);
        return gain < 0 ? gain + low_offset : gain;
    }
    return history_score(state.to_move, m) + low_offset;
}

void add_evasions(SearchState& state, PlyRecord& r) {
    const int first = r.move_count;
    generate_evasions(state);
    r.sort_mode = sort_best;
    const Killers k = killers_of(state);
    for (int i = first; i < r.move_count; ++i) {
        const Move m = r.moves[i];
        int score;
        if (m == r.hash_move) score = hash_move_score;
        else if (m == k.k1) score = evasion_killer1_score;
        else if (m == k.up1) score = evasion_killer1_up_score;
        else if (m == k.k2) score = evasion_killer2_score;
        else if (m == k.up2) score = evasion_killer2_up_score;
        else score = evasion_base_score(state, m, true);
        r.scores[i] = score;
    }
}

// Captures sorted best first as far as they do not lose material; the rest
// are parked and handed out after the quiet moves.
void add_good_captures(SearchState& state, PlyRecord& r) {
    const int first = r.move_count;
    generate_captures(state);
    r.sort_mode = sort_none;
    for (int i = first; i < r.move_count; ++i)
        r.scores[i] = r.moves[i] == r.hash_move ? skip_score : static_exchange(state, r.moves[i]);
    for (int pos = first; pos < r.move_count; ++pos) {
        int best = pos;
        for (int i = pos + 1; i < r.move_count; ++i)
            if (r.scores[i] > r.scores[best]) best = i;
        if (r.scores[best] < 0) {
            r.bad_capture_start = pos;
            r.bad_capture_end = r.move_count;
            r.move_count = pos;
            return;
        }
        std::swap(r.moves[best], r.moves[pos]);
        std::swap(r.scores[best], r.scores[pos]);
    }
}

void add_killer(SearchState& state, PlyRecord& r, Move m, int score) {
    if (m == 0 || !is_move_valid(state, m)) return;
    r.moves[r.move_count] = m;
    r.scores[r.move_count] = score;
    ++r.move_count;
}

// Each killer once, and none that the hash move or an earlier killer already
// covers. (killer2 never equals killer1 and the record two plies up keeps the
// same rule; the extra tests only guard against copied or seeded records.)
void add_killers(SearchState& state, PlyRecord& r) {
    if (r.bad_capture_start >= 0) r.move_index = r.move_count = r.bad_capture_end;
    r.sort_mode = sort_none;
    const Killers k = killers_of(state);
    const Move h = r.hash_move;
    if (k.k1 != h) add_killer(state, r, k.k1, killer1_score);
    if (k.up1 != h && k.up1 != k.k1) add_killer(state, r, k.up1, killer1_up_score);
    if (k.k2 != h && k.k2 != k.up1 && k.k2 != k.k1) add_killer(state, r, k.k2, killer2_score);
    if (k.up2 != h && k.up2 != k.k1 && k.up2 != k.k2 && k.up2 != k.up1)
        add_killer(state, r, k.up2, killer2_up_score);
}

void add_quiets(SearchState& state, PlyRecord& r) {
    const int first = r.move_count;
    generate_quiets(state);
    r.sort_mode = sort_quiets;
    const Killers k = killers_of(state);
    const Move h = r.hash_move;
    for (int i = first; i < r.move_count; ++i) {
        const Move m = r.moves[i];
        const bool handed_out = m == h || m == k.k1 || m == k.k2 || m == k.up1 || m == k.up2;
        r.scores[i] = handed_out ? skip_score : history_score(state.to_move, m);
    }
}

// Runs the generation step of the current stage and advances the stage.
void fill_stage(SearchState& state, PlyRecord& r, bool in_check) {
    switch (r.gen_stage++) {
    case stage_hash:  // in check: every evasion in one batch, nothing after it
        if (in_check) {
            add_evasions(state, r);
            r.gen_stage = stage_done;
            return;
        }
        r.sort_mode = sort_none;
        if (r.hash_move != 0) {
            r.moves[r.move_count] = r.hash_move;
            r.scores[r.move_count++] = hash_move_score;
        }
        return;
    case stage_good_captures:  // captures that do not lose material
        return add_good_captures(state, r);
    case stage_killers:  // valid killers of this ply and two plies up
        return add_killers(state, r);
    case stage_quiets:  // the other quiet moves by history
        return add_quiets(state, r);
    case stage_losing:  // the parked losing captures
        if (r.bad_capture_start >= 0) {
            r.move_index = r.bad_capture_start;
            r.move_count = r.bad_capture_end;
            r.sort_mode = sort_best;
        }
        return;
    default:
        return;
    }
}

void fill_qstage(SearchState& state, PlyRecord& r, bool in_check) {
    switch (r.gen_stage++) {
    case qstage_captures:  // captures by mvv_lva; in check every evasion
        r.sort_mode = sort_best;
        if (in_check) {
            const int first = r.move_count;
            generate_evasions(state);
            for (int i = first; i < r.move_count; ++i)
                r.scores[i] = evasion_base_score(state, r.moves[i], false);
            r.gen_stage = stage_done;
        } else {
            const int first = r.move_count;
            generate_captures(state);
            for (int i = first; i < r.move_count; ++i) r.scores[i] = mvv_lva(r.moves[i]);
        }
        return;
    case qstage_checks:  // quiet checks while the budget lasts
        r.sort_mode = sort_none;
        if (r.qcheck_budget > 0) generate_quiet_checks(state);
        return;
    default:
        return;
    }
}

}  // namespace

Move next_move(SearchState& state) {
    PlyRecord& r = *state.ply_rec;
    if (r.gen_stage == 0) {
        r.move_index = r.move_count = 0;
        r.gen_stage = stage_hash;
        r.bad_capture_start = -1;
    }
    const bool in_check = side_to_move_in_check(state);
    for (;;) {
        while (r.move_index >= r.move_count) {
            if (r.gen_stage >= stage_done) return 0;
            fill_stage(state, r, in_check);
        }
        if (r.sort_mode != sort_none) select_best(r);
        if (r.scores[r.move_index] == skip_score) {
            r.move_index = r.move_count;
            continue;
        }
        const Move m = r.moves[r.move_index++];
        // Evasions are generated legal; anything else may expose the king.
        if (!in_check && leaves_king_in_check(state, m)) continue;
        r.current_move = m;
        return m;
    }
}

Move next_qmove(SearchState& state) {
    PlyRecord& r = *state.ply_rec;
    if (r.gen_stage == 0) {
        r.move_index = r.move_count = 0;
        r.gen_stage = qstage_captures;
    }
    const bool in_check = side_to_move_in_check(state);
    for (;;) {
        while (r.move_index >= r.move_count) {
            if (r.gen_stage > qstage_checks) return 0;
            fill_qstage(state, r, in_check);
        }
        if (r.sort_mode != sort_none) select_best(r);
        const Move m = r.moves[r.move_index++];
        // Out of check only moves that keep the material are worth a look.
        if (!in_check && (leaves_king_in_check(state, m) || static_exchange(state, m) < 0))
            continue;
        r.current_move = m;
        return m;
    }
}

void update_history_and_killers(SearchState& state, Move m, int depth) {
    if (is_capture(m) || is_promotion(m)) return;
    const int plies = depth_in_plies(depth);
    std::atomic<int32_t>& cell = history_table[state.to_move][sq64(move_to(m))][sq64(move_from(m))];
    const int64_t grown = int64_t(cell.load(std::memory_order_relaxed)) + int64_t(plies) * plies;
    cell.store(int32_t(std::min<int64_t>(grown, history_limit)), std::memory_order_relaxed);
    PlyRecord& r = *state.ply_rec;
    if (m != r.killer1) {
        r.killer2 = r.killer1;
        r.killer1 = m;
    }
}

void clear_ordering(SearchState& state) {
    for (auto& side : history_table)
        for (auto& row : side)
            for (std::atomic<int32_t>& cell : row) cell.store(0, std::memory_order_relaxed);
    for (PlyRecord& r : state.ply_records) r.best_move = r.hash_move = r.killer1 = r.killer2 = 0;
}
