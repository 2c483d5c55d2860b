#pragma once
// Clock settings and the time plan of the current move.

// Set when a new position was set up; the next time allotment doubles.
extern int new_position_flag;
