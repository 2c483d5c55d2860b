#pragma once
// Where the engine finds its files. Started in a run directory (one holding
// "velkan.ini", as xboard's -fd gives) it reads everything there by relative
// names and logs to ./log, as it always did. Started anywhere else, an
// installed engine reads "velkan.ini", personality/, "book.dat" and egbb/
// from its installed data directory, found from the program's own place
// (bin/ beside share/velkan/), and logs to a per-user directory.

constexpr int data_dir_size = 1024;

// "" in a run directory; else the installed data directory, ending in '/'.
extern char data_dir[data_dir_size];

// Chooses between the working directory and the installed data directory;
// runs first thing at start-up, before any file is opened.
void find_data_dir();
// The name of a data file ("velkan.ini", "book.dat", "personality/x.per")
// as it is to be opened: unchanged in a run directory, else under data_dir.
// Returns out.
const char* data_path(const char* name, char* out, int size);
// A directory named by the installed configuration (egbb_path) that is
// relative is taken as relative to the data directory; in a run directory,
// or when absolute, it is left alone. path holds size bytes.
void resolve_data_dir_path(char* path, int size);
// The directory for the log files into out: "./log" in a run directory,
// else $XDG_STATE_HOME/velkan/log or ~/.local/state/velkan/log, created when
// missing. False when there is no such directory to be had (no home).
bool find_log_dir(char* out, int size);

// The pieces, for tests: the per-user log directory for these values of
// XDG_STATE_HOME and HOME (either may be null); "" when there is none.
void user_log_dir(const char* state_home, const char* home, char* out, int size);
// The data directory of a program at exe_path, with `relative` the way from
// its bin directory to the data ("../share/velkan"); ends in '/'.
void installed_data_dir(const char* exe_path, const char* relative, char* out, int size);
