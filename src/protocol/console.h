#pragma once
// Console and log: the output routines every module prints through, the
// non-blocking input test used by the search's poll, the millisecond clock,
// reading command lines and splitting them into tokens.

#include <atomic>
#include <cstdio>

// A line of input (standard input, velkan.ini, an EPD file) is read whole up
// to this many characters, its newline not counted; a longer one is refused
// whole, so that no part of it ever runs.
constexpr int max_line_length = 4096;
constexpr int input_line_size = max_line_length + 2;  // the line, its newline, the terminating zero
constexpr int command_text_size = 2 * input_line_size;  // argument line and configuration text
// Token list entries, terminating null included: every word of any text that
// fits the buffers above has its entry.
constexpr int max_tokens = command_text_size / 2 + 1;

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
// A front end whose interface must not take the engine's own messages for
// its protocol sets this: every non-empty line emit writes then starts with
// it, and empty lines are left out. Null (the default): text as formatted.
extern const char* emit_line_prefix;
// printf-style output like emit but never prefixed: the front end's own
// protocol lines.
void emit_protocol(const char* format, ...) __attribute__((format(printf, 1, 2)));
// printf-style output to the log only.
void log_only(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Never blocks: true when a read of standard input would return data or
// end of input.
bool input_pending();
// Wall-clock milliseconds, truncated to 32 bits.
int now_ms();
// One line of standard input into a buffer of input_line_size bytes, its
// newline kept. A line longer than max_line_length is read to its end and
// refused with one error line: the buffer is then empty. Logs the line with
// its time stamp. False at end of input.
bool read_input_line(char* buffer);

// What read_file_line found.
enum class FileLine { line, too_long, end };
// One line of a file into a buffer of input_line_size bytes, its newline
// kept. A longer line is read to its end and refused: too_long, the buffer
// holding only its first max_line_length characters. *length, when given,
// gets the line's length without its newline. Nothing is said.
FileLine read_file_line(FILE* file, char* buffer, int* length = nullptr);
// The one line that refuses an over-long line: "Error (line too long): ...".
// `where` names the source ("input", "velkan.ini line 3", ...).
void report_long_line(const char* where, int length);

// Splits text in place on " \n\r\t" into at most max_tokens - 1 words;
// returns the word count plus one and stores the terminating null entry.
// A text of more words is refused whole with one error line: the list is
// then empty.
int split_tokens(char* text, char** tokens);
