#include "protocol/game.h"

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
