#include "search/time_control.h"

int new_position_flag = 0;
