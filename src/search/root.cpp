#include "search/root.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "bitbase/bitbase.h"
#include "board/make_move.h"
#include "board/notation.h"
#include "book/book.h"
#include "eval/eval_params.h"
#include "eval/psq.h"
#include "protocol/console.h"
#include "protocol/game.h"
#include "search/parallel.h"
#include "search/picker.h"
#include "search/search.h"
#include "search/time_control.h"
#include "search/trans_table.h"

namespace {

// The easy move is a root move that outscores the second best by this much
// after the quiescence ordering; it gets a quarter of the planned time until
// it is replaced or its score falls by easy_move_drop.
constexpr int easy_move_margin = 175;
constexpr int easy_move_drop = 60;
constexpr int easy_move_time_divisor = 4;

// Stop starting iterations once this share of the planned time is used:
// the next iteration would rarely finish.
constexpr double iteration_time_share = 0.75;

// The unstable-score rule: the score counts as safe above this, or when it
// did not fall by more than score_drop_margin against the previous search.
constexpr int safe_score = 2000;
constexpr int score_drop_margin = 25;

// Mate scores beyond this are shown as 10000 - moves to mate.
constexpr int shown_mate_threshold = 17200;
constexpr int shown_mate_base = 10000;

// The book is asked while the game had a book move within this many plies:
// once the opponent leaves the book for a few moves, probing stops for good.
constexpr int book_window = 6;

// Iteration numbers start at 2: the first iteration searches 12 eighths.
constexpr int depth_per_iteration = 6;

int score_for_white(const SearchState& state, int score) {
    return state.to_move == white ? score : -score;
}

// Marks a search as running for the command interpreter for as long as it
// is in scope: commands read by the poll then know a search is under way.
struct RunningSearch {
    RunningSearch() { search_running = true; }
    ~RunningSearch() { search_running = false; }
    RunningSearch(const RunningSearch&) = delete;
    RunningSearch& operator=(const RunningSearch&) = delete;
};

// Step 1 of a search: counters, flags and tables for a fresh search.
void prepare_search(SearchState& state) {
    state.ply = 0;
    state.ply_rec = state.ply_records;
    state.nodes = state.qnodes = state.next_check = 0;
    state.sel_depth = 0;
    state.eval_count = state.lazy_count = 0;
    state.splits = state.bad_splits = state.egbb_probes = 0;
    state.stopped = 0;
    state.params = select_params(state);
    state.ply_records[0].eval_flags = 1;
    abort_flag = 0;
    iteration_depth = 1;
    poll_interval = min_poll_interval;
    search_start_ms = now_ms();
    tt_new_search(state.hply);
    bitbase_root = bitbases_loaded && state.men_total <= 5;
    init_psq();
    clear_ordering(state);
}

// A move chosen without a search (the only legal move, a book move): it is
// shown with the previous score and returned at once.
Move answer_at_once(SearchState& state, Move m) {
    PlyRecord& root = state.ply_records[0];
    root.pv[0] = m;
    root.pv_length = 1;
    show_pv(state, score_for_white(state, previous_score));
    return m;
}

// Easy-move bookkeeping of one search.
struct EasyMove {
    Move move = 0;
    int score = 0;
};

void detect_easy_move(const PlyRecord& root, EasyMove& easy) {
    if (no_clock || root.move_count < 2) return;
    if (root.scores[0] - root.scores[1] <= easy_move_margin) return;
    easy.move = root.moves[0];
    easy.score = root.scores[0];
    time_control.allotted_ms /= easy_move_time_divisor;
}

void review_easy_move(const PlyRecord& root, int score, EasyMove& easy) {
    if (easy.move == 0) return;
    if (root.pv[0] != easy.move || score <= easy.score - easy_move_drop) {
        time_control.allotted_ms *= easy_move_time_divisor;
        easy.move = 0;
    }
}

// After an iteration the previous best move goes first and every other
// move is ordered by the size of its subtree.
void reorder_by_subtree(PlyRecord& root) {
    for (int i = 0; i < root.move_count; ++i)
        if (root.moves[i] == root.pv[0]) root.scores[i] = pv_move_order_score;
    sort_root_list(root);
}

bool iteration_time_used(int allotted) {
    if (unstable_score || no_clock) return false;
    return now_ms() - search_start_ms >= allotted * iteration_time_share;
}

// The iterations of the iterative deepening, until a limit stops them.
void deepen(SearchState& state) {
    PlyRecord& root = state.ply_records[0];
    const int best = root.scores[0];
    AspirationWindow window{best - first_half_width, best + first_half_width, narrow_half_width,
                            0};
    EasyMove easy;
    detect_easy_move(root, easy);
    unstable_score = 0;
    root.pv[0] = root.moves[0];  // the answer if the first iteration is cut short
    root.pv_length = 1;
    for (;;) {
        ++iteration_depth;
        bitbase_ply_limit = bitbase_root ? iteration_depth : 2 * iteration_depth / 3;
        root.depth = depth_per_iteration * iteration_depth;
        root.alpha = window.alpha;
        root.beta = window.beta;
        search_root(state);
        if (abort_flag) break;
        const int score = root.best_score;
        if (root.pv_length >= 1) tt_store_pv(state);
        reorder_by_subtree(root);
        if (iteration_time_used(time_control.allotted_ms)) {
            abort_flag = 1;
            break;
        }
        const WindowResult result =
            next_window(window, score, root.bound, iteration_depth, bitbase_root);
        if (result == WindowResult::fail_low || result == WindowResult::fail_high)
            --iteration_depth;
        if (result == WindowResult::fail_high || result == WindowResult::held) unstable_score = 0;
        review_easy_move(root, score, easy);
        check_input_and_time(state);
        if (abort_flag || iteration_depth >= time_control.max_depth) break;
    }
}

}  // namespace

WindowResult next_window(AspirationWindow& window, int score, int root_bound, int iteration,
                         bool bitbases_decide) {
    WindowResult result;
    if (bitbases_decide || score >= mate_like_score || score <= -mate_like_score ||
        iteration <= full_window_iterations) {
        window.alpha = -infinite_score;
        window.beta = infinite_score;
        result = WindowResult::full;
    } else if (score <= window.alpha) {
        window.half_width *= widening_factor;
        window.alpha = score - window.half_width;
        // The upper side is only opened again when it had failed before.
        if (window.previous_bound == lower) window.beta = score + window.half_width;
        result = WindowResult::fail_low;
    } else if (score >= window.beta) {
        window.half_width *= widening_factor;
        window.beta = score + window.half_width;
        if (window.previous_bound == upper) window.alpha = score - window.half_width;
        result = WindowResult::fail_high;
    } else {
        window.alpha = score - narrow_half_width;
        window.beta = score + narrow_half_width;
        window.half_width = narrow_half_width;
        result = WindowResult::held;
    }
    window.previous_bound = root_bound;
    return result;
}

namespace {

// Commands sent while the search was finishing (`force` or `new` at the
// end of a game, the opponent resigning) are read before the move is
// answered: the caller then sees that the position is gone instead of
// announcing a move the interface would take for one in the next game.
void read_commands_before_answer() {
    if (!quit_requested) poll_commands();
}

}  // namespace

Move find_best_move(SearchState& state) {
    RunningSearch running;
    const int root_hply = state.hply;
    prepare_search(state);
    PlyRecord& root = state.ply_records[0];

    int root_value = 0;
    if (bitbase_root && !probe_bitbase(state, root_value)) bitbase_root = false;
    build_root_list(state, root_value);
    filter_root_list(root);
    if (root.move_count == 0) {
        emit("no moves\n");
        return 0;
    }
    if (bitbase_root) {
        sort_root_list(root);
        if (bitbase_move_decides(root, root_value)) {
            root.move_count = 1;
            previous_score = score_for_white(state, root.scores[0]);
        }
    }
    if (root.move_count == 1) {
        read_commands_before_answer();
        return answer_at_once(state, root.moves[0]);
    }
    if (book_enabled && root_move_filter_count == 0 && last_book_hply + book_window >= state.hply) {
        const Move book_move = book_probe(state);
        if (book_move != 0) {
            last_book_hply = state.hply;
            read_commands_before_answer();
            return answer_at_once(state, book_move);
        }
    }
    if (!no_clock) allot_time(time_control, state.hply);
    wake_workers();
    if (!bitbase_root) order_root_by_quiescence(state);

    deepen(state);

    // An aborted iteration may have left moves made below the root.
    unwind_to_root(state, root_hply);
    previous_score = last_score;
    read_commands_before_answer();
    if (!quit_requested) show_statistics(state);
    park_workers();
    new_position_flag = 0;
    return root.pv[0];
}

namespace {

// Makes root move m and prepares the child record for a search of `depth`.
PlyRecord& enter_root_move(SearchState& state, Move m, int depth) {
    make_move(state, m);
    state.ply = 1;
    state.ply_rec = state.ply_records + 1;
    state.params = select_params(state);
    PlyRecord& child = state.ply_records[1];
    child.extended = 0;
    child.reduction = 0;
    child.depth = depth;
    return child;
}

void leave_root_move(SearchState& state) {
    state.ply = 0;
    state.ply_rec = state.ply_records;
    unmake_move(state);
}

void search_child(SearchState& state, PlyRecord& child, int alpha, int beta, int node_type) {
    child.alpha = alpha;
    child.beta = beta;
    child.node_type = node_type;
    child.step = step_null;
    search(state);
}

// A new best root move: its principal variation, its thinking line and the
// score the time control watches.
void adopt_best_move(SearchState& state, Move m, int score) {
    PlyRecord& root = state.ply_records[0];
    const PlyRecord& child = state.ply_records[1];
    root.best_score = score;
    root.best_move = m;
    root.pv[0] = m;
    if (score < root.beta) {
        for (int i = 1; i < child.pv_length; ++i) root.pv[i] = child.pv[i];
        root.pv_length = std::max(1, child.pv_length);
    } else {
        root.pv_length = 1;
        root.bound = lower;
    }
    show_pv(state, score);
    if (no_clock || ponder_mode) return;
    last_score = score_for_white(state, score);
    const int now_view = engine_view(last_score);
    const int before_view = engine_view(previous_score);
    const bool holding = score > root.alpha && now_view > before_view - score_drop_margin;
    unstable_score = (now_view > safe_score || holding) ? 0 : 1;
}

}  // namespace

void search_root(SearchState& state) {
    PlyRecord& root = state.ply_records[0];
    const int saved_pv_length = root.pv_length;
    root.best_score = no_score;
    root.best_move = 0;
    root.bound = upper;
    root.pv_length = 0;
    root.hash_move = 0;
    root.mate_threat = 0;
    root.legal_moves = 0;
    root.node_type = pv_node;
    root.child_node_type = pv_node;
    root.eval_flags = 1;
    root.extended = 0;
    root.reduction = 0;
    const int depth_plies = depth_in_plies(root.depth);
    for (int i = 0; i < root.move_count; ++i) {
        const Move m = root.moves[i];
        root.move_index = i;
        root.current_move = m;
        ++root.legal_moves;
        const uint64_t nodes_before = state.nodes;
        // Root moves are never extended or reduced.
        PlyRecord& child = enter_root_move(state, m, root.depth - one_ply);
        if (i == 0) {
            search_child(state, child, -root.beta, -root.alpha, pv_node);
            if (abort_flag) {
                // The previous iteration's variation is still in place.
                root.pv_length = saved_pv_length;
                return;
            }
        } else {
            search_child(state, child, -root.alpha - 1, -root.alpha, cut_node);
            if (abort_flag) return;
            const int scout = -child.best_score;
            if (scout > root.alpha && scout < root.beta) {
                search_child(state, child, -root.beta, -root.alpha, pv_node);
                if (abort_flag) return;
            }
        }
        const int score = -child.best_score;
        leave_root_move(state);
        root.scores[i] = int(std::min<uint64_t>(state.nodes - nodes_before, INT_MAX));
        if (i > 0 && score <= root.alpha) continue;
        adopt_best_move(state, m, score);
        if (score > root.alpha) {
            if (score >= root.beta) {
                tt_store(state.to_move, state.pos_key, depth_plies, 0, lower, score, m, 0);
                return;
            }
            root.alpha = score;
            root.bound = exact;
        }
    }
    tt_store(state.to_move, state.pos_key, depth_plies, 0, root.bound, root.best_score,
             root.best_move, 0);
    if (root.bound == exact) show_pv(state, root.best_score);
}

void unwind_to_root(SearchState& state, int root_hply) {
    while (state.hply > root_hply) {
        if (state.hist_stack[state.hply - 1].move == 0)
            unmake_null(state);
        else
            unmake_move(state);
    }
    state.ply = 0;
    state.ply_rec = state.ply_records;
}

int shown_score(int score) {
    if (score > shown_mate_threshold) return shown_mate_base - (mate_score - score) / ply_step;
    if (score < -shown_mate_threshold) return (score + mate_score) / ply_step - shown_mate_base;
    return score;
}

void show_pv(const SearchState& state, int score) {
    if (pv_printer) return pv_printer(state, score);
    if (pvstyle == 1) return;
    const PlyRecord& root = state.ply_records[0];
    // One emit per line keeps the line whole when other threads print.
    char line[64 + max_ply * 12];
    int length = std::snprintf(line, sizeof line, "%d %d %d %lld ", iteration_depth,
                                shown_score(score), (now_ms() - search_start_ms) / 10,
                                (long long)state.nodes);
    for (int i = 0; i < root.pv_length && i < max_ply; ++i) {
        char text[16];
        move_to_long_text(root.pv[i], text);
        length += std::snprintf(line + length, sizeof line - size_t(length), " %s", text);
    }
    emit("%s\n", line);
}

void show_statistics(const SearchState& state) {
    if (statistics_printer) return statistics_printer(state);
    int elapsed = now_ms() - search_start_ms;
    if (elapsed <= 0) elapsed = 1;
    const double seconds = elapsed / 1000.0;
    const double rate = double(state.nodes) / seconds;
    const int nps = rate < INT_MAX ? int(rate) : INT_MAX;
    if (pvstyle == 1) {
        emit(" %20lld %8.2f %10d %8d %8d\n", (long long)state.nodes, seconds, nps, state.splits,
             state.bad_splits);
        return;
    }
    const int quiescence_share = state.nodes ? int(state.qnodes * 100 / state.nodes) : 0;
    const int evaluations = state.lazy_count + state.eval_count;
    const int lazy_share = evaluations > 0 ? int(state.lazy_count * 100LL / evaluations) : 0;
    emit("nodes = %lld <%d qnodes> time = %.2fs nps = %d\n", (long long)state.nodes,
         quiescence_share, seconds, nps);
    emit("lazy_eval = %d splits = %d badsplits = %d egbb_probes = %d\n", lazy_share, state.splits,
         state.bad_splits, state.egbb_probes);
}
