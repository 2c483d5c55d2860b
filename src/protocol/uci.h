#pragma once
// The UCI front end: a second conversation over the same engine. A session
// that starts with the line `uci` speaks UCI until it ends. The position is
// the game of the xboard side, searched by the same root search with the
// same clock rules, book and bitbases; only the words differ. The engine's
// own messages (the time plan, table sizes, thread starts) reach the
// interface as "info string" lines.

#include <cstdint>

#include "search/time_control.h"

// Whether the first line read asks for UCI: the word `uci` alone.
bool is_uci_request(char** tokens);
// Runs the session until `quit` or the end of input; the `uci` line that
// started it has been read and is answered first.
void run_uci_session();

// The limits of one `go` command as given. Times are milliseconds; -1 means
// not given.
struct UciLimits {
    int time_ms[2] = {-1, -1};       // wtime, btime
    int increment_ms[2] = {0, 0};    // winc, binc
    int moves_to_go = 0;
    int depth = 0;                   // 0 = none
    uint64_t nodes = 0;              // 0 = none
    int move_time_ms = -1;
    bool infinite = false;
    bool ponder = false;
    int search_move_count = 0;       // words after searchmoves
    char** search_moves = nullptr;   // into the command's own token list
};

// Reads the words after `go` (count of them in args). Unknown words and
// numbers that do not read are reported on one info string line and
// skipped.
void parse_go(char** args, int count, UciLimits& limits);

// How a search is run for those limits when `side` is to move.
struct SearchPlan {
    TimeControl clock;        // the settings allot_time works from
    bool no_clock = false;    // no time limit: infinite, ponder, nodes alone
    uint64_t node_limit = 0;  // 0 = none
};
SearchPlan plan_search(const UciLimits& limits, int side);

// A move in UCI's long algebraic notation ("e2e4", "e1g1", "e7e8q");
// "0000" for no move. buffer holds at least 6 characters.
void uci_move_text(Move m, char* buffer);
// A search score as UCI writes it: "cp 35", "mate 3" (the side to move
// mates in 3 moves), "mate -2" (it is mated in 2). buffer holds at least 16.
void uci_score_text(int score, char* buffer, int size);
// Permille of a sample of the transposition table written by the running
// search.
int hashfull_permille();
