#pragma once
// Start-up: the log file, the engine's tables and game, the configuration
// file "velkan.ini" (one command line made of its non-comment lines) and the
// command line built from the program arguments.

#include <cstdio>

// Unbuffered standard streams, Ctrl-C ignored, the random generator seeded,
// the first free "log%03d.txt" of the log directory created (./log in a run
// directory, which is not created: without it there is no log; the per-user
// one of an installed engine), pipe detection.
void open_log_file();
// Everything the engine needs before the configuration file runs; announces
// "feature done=0" first so that an interface waits for it.
void init_engine();
// Reads "velkan.ini" (the working directory's, else the installed one) and
// executes it as one command line. False when the file is missing (after
// saying so) or it holds `quit`.
bool read_ini_file();
// Executes a command line at top level (the configuration file, the program
// arguments, a line of input). False only when the program is to end: after
// `quit`. A command that fails says so and the engine goes on.
bool run_command_line(char** tokens);
// Blocks until the bitbase loader has finished, testing every 100 ms.
void wait_for_bitbases();

// Appends the non-comment lines of a configuration file, newlines kept, to
// text (size bytes). A line starting with '#', '/' or a newline is a comment,
// however long. A line longer than max_line_length is refused whole with one
// error line. Stops before the first line that does not fit whole; returns
// false in that case.
bool collect_config_text(FILE* file, char* text, int size);
// Joins argv[1..argc-1] into text (size bytes), each preceded by one space.
// Stops before the first argument that does not fit; returns false then.
bool build_argument_line(int argc, char** argv, char* text, int size);
