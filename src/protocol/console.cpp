#include "protocol/console.h"

// Definitions of the console state; the routines come with the command loop.
bool pipe_input = false;
FILE* log_file = nullptr;
bool log_enabled = false;
std::atomic<int> print_lock{0};
int start_time_ms = 0;
std::atomic<int> bitbases_ready{0};
