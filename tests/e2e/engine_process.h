#pragma once
// Test harness: runs the built engine as a child process over pipes inside a
// private copy of the run directory, so that tests can change velkan.ini,
// the log directory or any other file without touching the build or each
// other. Every read has a timeout: an engine that hangs fails the test
// instead of blocking it.

#include <sys/types.h>

#include <string>
#include <vector>

constexpr int default_timeout_ms = 10000;

struct EngineProcess {
    std::string dir;        // the private run directory
    pid_t pid = -1;
    int to_engine = -1;     // write end of the engine's standard input
    int from_engine = -1;   // read end of its standard output
    std::string buffered;   // output read but not yet returned as lines
    bool output_closed = false;
    int exit_code = -1;     // set by wait_exit

    // Copies the run directory of the build into a fresh temporary one, with
    // an empty log directory and without the shipped opening book.
    EngineProcess();
    // Kills the engine if it still runs and removes the directory.
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;
};

// Puts the build's shipped book.dat into the engine's directory.
void use_shipped_book(const EngineProcess& engine);
// Path of a file inside the engine's directory.
std::string engine_path(const EngineProcess& engine, const std::string& name);
// Replaces (or creates) a file inside the engine's directory.
void write_engine_file(const EngineProcess& engine, const std::string& name, const std::string& text);
// Whole contents of a file inside the engine's directory ("" when missing).
std::string read_engine_file(const EngineProcess& engine, const std::string& name);

// Lets the engine bind the bitbase library but load no tables, so that
// positions of few men are left to the evaluation and the search (the
// start-up lines stay the same).
void without_bitbases(const EngineProcess& engine);

// Starts the engine in its directory with these program arguments.
void start_engine(EngineProcess& engine, const std::vector<std::string>& args = {});
// Writes one line (a newline is added) to the engine's standard input.
void send_line(EngineProcess& engine, const std::string& line);
// Writes raw bytes to the engine's standard input.
void send_raw(EngineProcess& engine, const std::string& bytes);
// Closes the engine's standard input (end of input).
void close_input(EngineProcess& engine);
// Next output line without its newline; false on timeout or end of output.
bool read_line(EngineProcess& engine, std::string& line, int timeout_ms = default_timeout_ms);
// Reads lines until one contains `text`; the lines read before it go to
// `before` when given. False on timeout or end of output.
bool wait_for(EngineProcess& engine, const std::string& text, std::vector<std::string>* before = nullptr,
              int timeout_ms = default_timeout_ms);
// Every remaining output line until the engine closes its output.
std::vector<std::string> read_all_lines(EngineProcess& engine, int timeout_ms = default_timeout_ms);
// Waits for the engine to end; returns its exit code, or -1 when it had to
// be killed after the timeout or ended by a signal.
int wait_exit(EngineProcess& engine, int timeout_ms = default_timeout_ms);

// Convenience: start, send every line, close the input, collect all output
// and the exit code.
std::vector<std::string> run_session(EngineProcess& engine, const std::vector<std::string>& lines,
                                     const std::vector<std::string>& args = {});

// The announcement and the bitbase loader's report that every start-up
// prints before the first command (the run directory has the bitbase
// library, which loads silently).
extern const std::vector<std::string> startup_lines;
// The output without those start-up lines, when it begins with them.
std::vector<std::string> without_startup(std::vector<std::string> output);
