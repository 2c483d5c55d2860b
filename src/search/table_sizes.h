#pragma once
// The sizing commands `ht`, `pht` and `eht`: a size in megabytes is raised to
// a power of two, the tables are reallocated (and so emptied) and the new
// size is reported.

#include <cstdint>

// Largest size a sizing command accepts: the byte count must fit 31 bits.
constexpr int max_table_megabytes = 2047;

// The megabyte count of a sizing command, or -1 when the text is not a whole
// number from 0 to max_table_megabytes.
int parse_megabytes(const char* text);
// The smallest power of two at or above n; 1 for n of 0 or 1.
uint64_t power_of_two_at_least(uint64_t n);

// Handlers of the interpreter's sizing commands. A bad size or a failed
// allocation prints a one-line message and keeps the previous tables.
void command_ht(const char* megabytes);
void command_pht(const char* megabytes);
void command_eht(const char* megabytes);
