#include "search/search.h"

std::atomic<int> abort_flag{0};
uint32_t poll_interval = 5000;
int iteration_depth = 1;
int bitbase_ply_limit = 0;
