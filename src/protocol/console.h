#pragma once
// Console and log: the output routines every module prints through, the
// non-blocking input test used by the search's poll, the millisecond clock,
// reading command lines and splitting them into tokens.

#include <atomic>
#include <cstdio>

constexpr int input_line_size = 256;     // bytes per read, terminating zero included
constexpr int command_text_size = 2048;  // argument line and configuration text
constexpr int max_tokens = 256;          // token list entries, terminating null included

extern bool pipe_input;     // standard input is not a terminal
extern FILE* log_file;      // the numbered log file, or null when it could not be created
extern bool log_enabled;    // copy output and input lines to log_file (command `log`)
extern std::atomic<int> print_lock;
extern int start_time_ms;   // now_ms at start-up; input lines are stamped relative to it
extern std::atomic<int> bitbases_ready;

// printf-style output to standard output (flushed) and to the log.
void emit(const char* format, ...) __attribute__((format(printf, 1, 2)));
// printf-style output to standard output only (flushed), never logged.
void print_only(const char* format, ...) __attribute__((format(printf, 1, 2)));
// printf-style output to the log only.
void log_only(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Never blocks: true when a read of standard input would return data or
// end of input.
bool input_pending();
// Wall-clock milliseconds, truncated to 32 bits.
int now_ms();
// One line of standard input into a buffer of input_line_size bytes: at most
// 255 characters, the newline kept when it fits (a longer line arrives as
// several lines). Logs it with its time stamp. False at end of input.
bool read_input_line(char* buffer);
// Splits text in place on " \n\r\t" into at most max_tokens - 1 words;
// returns the word count plus one and stores the terminating null entry.
// Words beyond the limit are dropped with one error line.
int split_tokens(char* text, char** tokens);
