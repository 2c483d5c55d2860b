// The values the root search keeps between searches. They live apart from
// the root search itself because setting up a position writes them too.

#include "search/root.h"

int last_score = 0;
int previous_score = 0;
int last_book_hply = 0;
bool bitbase_root = false;
int root_move_filter_count = 0;
Move root_move_filter[max_moves];
void (*pv_printer)(const SearchState& state, int score) = nullptr;
void (*statistics_printer)(const SearchState& state) = nullptr;
