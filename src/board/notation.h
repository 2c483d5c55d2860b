#pragma once
// Text in and out of the board: FEN set-up, coordinate and long move text,
// the debugging prints and the colour mirror.

#include "search/search_state.h"

constexpr const char* start_fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Loads a FEN (or the first fields of an EPD line) and calls init_position.
void set_fen(SearchState& state, const char* text);
void new_position(SearchState& state);
// Whether the board field of a FEN text describes exactly eight ranks of
// eight squares (setboard refuses anything else).
bool fen_board_complete(const char* text);
// Whether the set-up position can be searched: one king per side, no pawn on
// the first or last rank, the side not to move not in check.
bool position_is_legal(const SearchState& state);

// Coordinate text for the protocol: e2e4, e7e8Q. buffer holds >= 6 chars.
void move_to_text(Move m, char* buffer);
// Display text: Ng1-f3, e4xd5, e7-e8=Q. buffer holds >= 10 chars.
void move_to_long_text(Move m, char* buffer);
// Two characters and a zero. buffer holds >= 3 chars.
void square_to_text(int sq, char* buffer);
// Partial move (from, to, colourless promotion type) or 0. Lower-cases
// characters 0, 2 and 4 of the text in place.
Move text_to_move(char* text);

void show_move_fields(Move m);
void show_board(const SearchState& state);
void show_history(const SearchState& state);
// Swaps colours and ranks of the whole position.
void mirror_board(SearchState& state);
