#include "search/time_control.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "protocol/console.h"
#include "protocol/game.h"
#include "protocol/interpreter.h"
#include "search/parallel.h"
#include "search/root.h"
#include "search/search.h"

TimeControl time_control;
int no_clock = 0;
int ponder_mode = 0;
int unstable_score = 0;
int search_start_ms = 0;
int new_position_flag = 0;
uint64_t search_node_limit = 0;

namespace {

// Time kept in reserve on a clock above one second, and the share of a
// nearly empty clock that may be used.
constexpr int reserve_ms = 1000;
constexpr double low_clock_share = 0.7;
// With several moves left, plan a little less than an even share so that
// the time over stays on the clock for the moves that need it.
constexpr double even_share_factor = 0.95;
// Without a move count: moves assumed left with and without an increment.
constexpr int moves_left_with_increment = 35;
constexpr int moves_left_sudden_death = 40;

// Extension factor thresholds: the score change against the previous search
// (positive = fallen) and the scores beyond which the game is decided.
constexpr int rise_margin = -50;
constexpr int decided_score = 700;
constexpr int small_drop = 25;
constexpr int medium_drop = 75;
constexpr int large_drop = 140;
constexpr int severe_drop = 170;

// Poll timing: nodes per tenth of a second.
constexpr float poll_period_ms = 100.0f;

// A fixed time a move is enforced to the millisecond by the interface, which
// counts our unwinding, the answer and the pipe as well: the search stops a
// tenth of the time earlier, at most 100 ms.
constexpr int fixed_time_margin_ms = 100;
constexpr int fixed_time_margin_divisor = 10;

int clamp_to_int(long long value) {
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return int(value);
}

// Reads a leading integer as the C library does (0 for unreadable text) and
// scales it, clamping instead of overflowing. `end` receives the first
// character not read.
int read_scaled(const char* text, long long scale, const char** end = nullptr) {
    if (!text) return 0;
    char* stop = nullptr;
    const long long value = clamp_to_int(std::strtoll(text, &stop, 10));
    if (end) *end = stop;
    return clamp_to_int(value * scale);
}

// Usable time of the clock before the ponder and period rules.
int usable_time(int time_left) {
    if (time_left > reserve_ms) return time_left - reserve_ms;
    return int(time_left * low_clock_share);
}

}  // namespace

int engine_view(int white_score) { return engine_side == white ? white_score : -white_score; }

void allot_time(TimeControl& tc, int hply) {
    if (tc.fixed_time_ms != unlimited_time) {
        const int margin = std::min(fixed_time_margin_ms, tc.fixed_time_ms / fixed_time_margin_divisor);
        tc.allotted_ms = tc.max_time_ms = tc.fixed_time_ms - std::max(0, margin);
        emit("[st = %.2fs, mt = %.2fs , hply = %d]\n", tc.fixed_time_ms / 1000.0,
             tc.fixed_time_ms / 1000.0, hply);
        return;
    }
    if (tc.max_depth != no_depth_limit) {
        tc.allotted_ms = tc.max_time_ms = unlimited_time;
        emit("[sd = %d , hply = %d]\n", tc.max_depth, hply);
        return;
    }
    int usable = usable_time(tc.time_left_ms);
    if (ponder_mode) usable /= 4;

    int moves_left, planned, hard_limit;
    if (tc.moves_per_session > 0 || tc.moves_to_go > 0) {
        moves_left = tc.moves_to_go > 0 ? tc.moves_to_go
                                        : tc.moves_per_session - (hply / 2) % tc.moves_per_session;
        planned = usable / moves_left;
        // The last moves of a period may use more of the clock, since the
        // time comes back at the next control.
        if (moves_left == 1) {
            hard_limit = usable;
        } else {
            planned = int(planned * even_share_factor);
            if (moves_left == 2)
                hard_limit = usable * 3 / 4;
            else if (moves_left == 3)
                hard_limit = 2 * usable / 3;
            else
                hard_limit = usable / 2;
        }
    } else if (tc.increment_ms != 0) {
        moves_left = moves_left_with_increment;
        planned = tc.increment_ms + usable / moves_left_with_increment;
        hard_limit = usable / 2;
    } else {
        moves_left = moves_left_sudden_death;
        planned = usable / moves_left_sudden_death;
        hard_limit = usable / 4;
    }
    tc.max_time_ms = hard_limit;
    if (new_position_flag) planned *= 2;
    tc.allotted_ms = planned;
    emit("[st = %.2fs, mt = %.2fs , hply = %d , moves_left %d]\n", planned / 1000.0,
         hard_limit / 1000.0, hply, moves_left);
}

void allot_time_after_ponder_hit(int hply) {
    no_clock = 0;
    allot_time(time_control, hply);
    // The time spent pondering counts: half of it is added to the plan, and
    // search_start_ms stays where the ponder search began.
    time_control.allotted_ms += int((now_ms() - search_start_ms) * 0.5);
}

uint32_t next_poll_interval(uint64_t nodes, int elapsed_ms, int threads) {
    float per_period = float(nodes) / (float(elapsed_ms) / poll_period_ms);
    if (threads > 1) per_period /= float(threads);
    // Compare as floating point first: the quotient may be huge, infinite or
    // negative (clock step backwards), which no integer conversion survives.
    if (!(per_period > float(min_poll_interval))) return min_poll_interval;
    if (per_period >= float(max_poll_interval)) return max_poll_interval;
    return uint32_t(per_period);
}

uint32_t poll_interval_before_limit(uint32_t interval, uint64_t nodes, int elapsed_ms, int remaining_ms) {
    if (elapsed_ms <= 0) return interval;
    // The next poll halfway to the limit, at this search's speed; far from
    // the limit that is more than the interval and changes nothing.
    const double per_ms = double(nodes) / double(elapsed_ms);
    const double until = per_ms * double(std::max(remaining_ms / 2, 1));
    if (!(until > double(min_poll_interval))) return std::min(interval, min_poll_interval);
    return until >= double(interval) ? interval : uint32_t(until);
}

float time_extension_factor(int score, int previous) {
    const int drop = previous - score;
    if (drop <= rise_margin && score >= -decided_score && score <= decided_score) return 2.0f;
    if (score > decided_score || drop < small_drop) return 1.0f;
    if (drop < medium_drop) return 1.5f;
    if (drop < large_drop) return 3.0f;
    if (drop < severe_drop) return 4.0f;
    return 6.0f;
}

namespace {

// Executes the command lines waiting on standard input; false when one of
// them asked the search to stop.
bool execute_pending_input() {
    while (input_pending()) {
        // The poll's own buffers: the command loop's line may still be in the
        // middle of being executed below us.
        char line[input_line_size];
        char* tokens[max_tokens];
        if (!read_input_line(line)) break;
        const int count = split_tokens(line, tokens);
        tokens[count - 1] = nullptr;
        if (!execute_commands(tokens)) return false;
    }
    return true;
}

}  // namespace

bool (*pending_input_reader)() = execute_pending_input;

bool poll_commands() {
    if (pending_input_reader()) return true;
    abort_flag = 1;
    return false;
}

void check_input_and_time(SearchState& state) {
    const int elapsed = now_ms() - search_start_ms;
    // The nodes are this thread's share; the interval is per thread.
    if (elapsed != 0) poll_interval = next_poll_interval(state.nodes, elapsed, worker_count.load());
    // Near the hard limit the polls come closer, so that the search stops
    // within a few milliseconds of it and not up to a whole interval late,
    // also when the machine is busy and the search slower than its average.
    if (!no_clock && time_control.max_time_ms != unlimited_time)
        poll_interval = poll_interval_before_limit(poll_interval, state.nodes, elapsed,
                                                   time_control.max_time_ms - elapsed);
    // Near a node limit the next poll comes when it is reached.
    if (search_node_limit != 0 && state.nodes < search_node_limit)
        poll_interval = uint32_t(std::min<uint64_t>(poll_interval, search_node_limit - state.nodes));
    // The next poll counts from here with the interval just computed: adding
    // the previous one instead would let a poll come a whole interval after
    // the limit it was shortened for.
    state.next_check = state.nodes + poll_interval;

    if (!poll_commands()) return;
    if (search_node_limit != 0 && state.nodes >= search_node_limit) {
        abort_flag = 1;
        return;
    }
    if (no_clock) return;
    if (elapsed >= time_control.max_time_ms) {
        abort_flag = 1;
        return;
    }
    if (unstable_score) return;
    float factor = time_extension_factor(engine_view(last_score), engine_view(previous_score));
    if (new_position_flag) factor = 1.0f;
    if (elapsed >= int(float(time_control.allotted_ms) * factor)) abort_flag = 1;
}

namespace {

// The argument at `index`, or null when the command was given fewer.
const char* argument(char** args, int count, int index) {
    return index < count ? args[index] : nullptr;
}

}  // namespace

bool command_level(char** args, int count) {
    // BASE is minutes, or minutes and seconds written m:s.
    const char* rest = nullptr;
    const long long minutes_ms = read_scaled(argument(args, count, 1), 60000, &rest);
    const long long seconds_ms = (rest && *rest == ':') ? read_scaled(rest + 1, 1000) : 0;
    const int clock = clamp_to_int(minutes_ms + seconds_ms);
    // A negative period makes no sense; read it as "the rest of the game".
    time_control.moves_per_session = std::max(0, read_scaled(argument(args, count, 0), 1));
    time_control.time_left_ms = clock;
    time_control.opponent_time_ms = clock;
    time_control.increment_ms = read_scaled(argument(args, count, 2), 1000);
    time_control.fixed_time_ms = unlimited_time;
    time_control.max_depth = no_depth_limit;
    return true;
}

bool command_st(char** args, int count) {
    time_control.fixed_time_ms = read_scaled(argument(args, count, 0), 1000);
    time_control.max_depth = no_depth_limit;
    return true;
}

bool command_sd(char** args, int count) {
    time_control.max_depth = read_scaled(argument(args, count, 0), 1);
    time_control.fixed_time_ms = unlimited_time;
    return true;
}

bool command_time(char** args, int count) {
    time_control.time_left_ms = read_scaled(argument(args, count, 0), 10);
    return true;
}

bool command_otim(char** args, int count) {
    time_control.opponent_time_ms = read_scaled(argument(args, count, 0), 10);
    return true;
}
