#pragma once
// The driver of a search: find_best_move prepares the search, builds and
// orders the root move list, takes the early exits (no move, a single reply,
// a bitbase decision) and deepens iteratively with aspiration windows,
// searching each iteration with search_root. It reports through show_pv and
// the statistics lines.

#include <cstdint>

#include "search/search_state.h"

// Score of the last search from white's side; set to the material balance
// (100 per pawn) when a position is set up.
extern int last_score;
// Score of the search before the last one, same convention.
extern int previous_score;
// hply at which the book was last consulted.
extern int last_book_hply;
// The bitbases decide at the root: set for positions of at most five men
// when the library is loaded, cleared when any root probe misses.
extern bool bitbase_root;

// The root moves a search may choose from (UCI's searchmoves); with a count
// of 0, every legal move. Set by a front end before the search.
extern int root_move_filter_count;
extern Move root_move_filter[max_moves];

// Where a search reports its thinking lines and closing statistics: the
// xboard printers unless a front end installs its own.
extern void (*pv_printer)(const SearchState& state, int score);
extern void (*statistics_printer)(const SearchState& state);

// Bounds of the full window.
constexpr int infinite_score = 30000;
// Ordering score of the previous iteration's best move: above any subtree
// node count a root move can collect in one iteration.
constexpr int pv_move_order_score = 21474836;

// Aspiration windows: the first iteration searches around the best
// ordering score, the early iterations and decided positions full width, and
// later ones a narrow window around the last score that widens fourfold on
// every failure.
constexpr int first_half_width = 120;
constexpr int narrow_half_width = 30;
constexpr int widening_factor = 4;
// Up to this iteration the next one is searched with the full window.
constexpr int full_window_iterations = 7;

// The window of the next iteration and what is needed to widen it.
// previous_bound is the root bound of the iteration before the last one.
struct AspirationWindow {
    int alpha;
    int beta;
    int half_width;
    int previous_bound;
};

// How the last iteration's score stood to its window.
enum class WindowResult { full, fail_low, fail_high, held };

// Sets the window for the iteration after `iteration`, which ended with
// `score` and root bound `root_bound`. A failed window means the same
// iteration is searched again; the caller repeats it.
WindowResult next_window(AspirationWindow& window, int score, int root_bound, int iteration,
                         bool bitbases_decide);

// Searches the position in `state` (the worker-0 search object, into which
// the caller copied the game) and returns the best move, 0 when there is no
// legal move. The principal variation stays in the root PlyRecord.
Move find_best_move(SearchState& state);
// One iteration at the root with the window and depth of the root record.
void search_root(SearchState& state);
// Prints the thinking line for `score` and the root principal variation.
void show_pv(const SearchState& state, int score);
// The score as the thinking line shows it (mate scores on a reduced scale).
int shown_score(int score);
// Prints the statistics lines that end a search.
void show_statistics(const SearchState& state);
// Takes back every move (and null move) made on `state` above hply
// root_hply and returns it to ply 0: an aborted search leaves its path made.
void unwind_to_root(SearchState& state, int root_hply);

// Root move list (root_order.cpp).
// Generates the legal root moves in generation order; with bitbase_root set,
// scores them by the bitbases relative to the root's value and drops those
// that throw a won position away.
// root_value is the bitbase value of the root position from its side to move.
void build_root_list(SearchState& state, int root_value);
// Whether the best bitbase move of a sorted root list is played without a
// search: always when the root is not won (the search cannot improve a
// draw or the longest defence), and in a won root when the move brings the
// mate nearer by the library's own count (its score beats root_value). A
// library that scores every win alike leaves won roots to the search.
bool bitbase_move_decides(const PlyRecord& root, int root_value);
// Keeps only the root moves named by root_move_filter, in their order; a
// filter that names none of them leaves the list whole.
void filter_root_list(PlyRecord& root);
// Scores every root move by a quiescence search of its reply position.
void order_root_by_quiescence(SearchState& state);
// Stable selection sort of the root list, highest score first.
void sort_root_list(PlyRecord& root);
