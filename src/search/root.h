#pragma once
// Values the root search keeps between searches.

#include <cstdint>

// Score of the last search from white's side; set to the material balance
// (100 per pawn) when a position is set up.
extern int last_score;
// Score of the search before the last one, same convention.
extern int previous_score;
// hply at which the book was last consulted.
extern int last_book_hply;
