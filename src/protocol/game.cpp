#include "protocol/game.h"

#include <cstdio>

#include "board/notation.h"

SearchState game;

int engine_side = black;
int game_result = game_running;
bool analysis_mode = false;
bool ponder_enabled = false;
bool quit_requested = false;
int resign_threshold = 600;
int resign_count = 0;
int pvstyle = 0;
bool book_enabled = false;
int search_threads = 1;
bool search_running = false;

void reset_control_state() {
    engine_side = black;
    pvstyle = 0;
    resign_threshold = 600;
    resign_count = 0;
}

bool set_up_fen_words(SearchState& state, char** words, int count, char* fen, int fen_size) {
    int length = 0;
    fen[0] = '\0';
    for (int i = 0; i < count; ++i) {
        const int written = std::snprintf(fen + length, size_t(fen_size - length), "%s ", words[i]);
        if (written < 0 || length + written >= fen_size) break;
        length += written;
    }
    fen[length] = '\0';
    // The position is tried on a scratch object first, so that a refused
    // text leaves `state` exactly as it was.
    static SearchState scratch;
    if (!fen_board_complete(fen)) return false;
    set_fen(scratch, fen);
    if (!position_is_legal(scratch)) return false;
    set_fen(state, fen);
    return true;
}
