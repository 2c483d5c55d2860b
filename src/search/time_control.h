#pragma once
// How long the engine thinks: the clock settings given by the interface, the
// plan for the current move (planned time and hard limit), and the poll that
// the search calls every few thousand nodes to read commands and to stop on
// time.

#include <cstdint>

#include "search/search_state.h"

// fixed_time_ms and the limits of a depth-limited search hold this value when
// no time limit applies (about six hours).
constexpr int unlimited_time = 21474836;
// max_depth holds this value when no depth limit applies.
constexpr int no_depth_limit = 70;

// The clock settings and the time plan of the current move. One process-wide
// record, written only by the main thread (commands, allot_time, the root
// search, the poll); search threads only read it. All times are milliseconds.
// The settings change only by commands; allotted_ms and max_time_ms are
// recomputed for every search that runs on the clock.
struct TimeControl {
    int moves_per_session = 30;    // moves per control period; 0 = rest of the game
    int increment_ms = 0;          // added per move
    int time_left_ms = 60000;      // the engine's clock
    int opponent_time_ms = 60000;  // stored, not used by the plan
    int fixed_time_ms = unlimited_time;  // `st`; unlimited_time = none
    int max_depth = no_depth_limit;      // `sd`; no_depth_limit = none
    // Moves left to the next time control as the interface counts them
    // (UCI's movestogo); 0 = counted from moves_per_session and the game.
    int moves_to_go = 0;
    int allotted_ms = 0;           // planned time of the current move
    int max_time_ms = 0;           // hard limit of the current move
};

extern TimeControl time_control;

// Set while a search runs without a time limit (pondering on the expected
// move, analysing).
extern int no_clock;
// Set while the engine ponders or searches for a move to ponder on.
extern int ponder_mode;
// The root score is in trouble: only the hard limit ends the search.
extern int unstable_score;
// now_ms() when the current search started.
extern int search_start_ms;
// Set when a new position was set up; the next search on the clock plans
// twice the time and never extends it. Cleared at the end of such a search.
extern int new_position_flag;

// The search stops at the first poll once the main search object has
// visited this many nodes; 0 = no limit.
extern uint64_t search_node_limit;
// Reads and executes the command lines waiting on standard input while a
// search runs; false (the search stops) when one of them asked for it. The
// xboard interpreter's reader unless another front end installs its own.
extern bool (*pending_input_reader)();

// Polls happen at most every this many nodes and at least every
// max_poll_interval nodes; in between, about every tenth of a second.
constexpr uint32_t min_poll_interval = 5000;
constexpr uint32_t max_poll_interval = 100000;

// Computes allotted_ms and max_time_ms for a game of hply plies and prints
// the status line of the plan.
void allot_time(TimeControl& tc, int hply);
// The ponder hit: the search goes on as the engine's own search on the clock,
// with half of the time already spent pondering added to the plan.
void allot_time_after_ponder_hit(int hply);
// The poll: executes waiting commands and sets abort_flag when the search
// must stop, and schedules the next poll (state.next_check). Called by the
// main search object only.
void check_input_and_time(SearchState& state);
// The input half of the poll: executes waiting commands; false (with
// abort_flag set) when one of them stopped the search.
bool poll_commands();

// Nodes between polls for a search that has visited `nodes` in elapsed_ms
// over `threads` threads, clamped to the poll interval limits.
uint32_t next_poll_interval(uint64_t nodes, int elapsed_ms, int threads);
// The interval shortened so that the next poll comes at most halfway to the
// hard limit (remaining_ms away) at the search's average speed, never sooner
// than min_poll_interval nodes. A search slowed down to half its average
// (a busy machine) still polls before the limit.
uint32_t poll_interval_before_limit(uint32_t interval, uint64_t nodes, int elapsed_ms, int remaining_ms);
// Factor by which the planned time is stretched, from the engine's score and
// the engine's score at the end of the previous search.
float time_extension_factor(int score, int previous);
// last_score or previous_score seen from the engine's side.
int engine_view(int white_score);

// Handlers of the clock commands, in the command interpreter's form: the
// argument tokens as typed and their count. They always return true.
bool command_level(char** args, int count);  // MPS BASE INC; BASE minutes or m:s
bool command_st(char** args, int count);     // seconds per move
bool command_sd(char** args, int count);     // iteration limit
bool command_time(char** args, int count);   // engine's clock, centiseconds
bool command_otim(char** args, int count);   // opponent's clock, centiseconds
