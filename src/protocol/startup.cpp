#include "protocol/startup.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "bitbase/bitbase.h"
#include "board/board.h"
#include "board/notation.h"
#include "book/book.h"
#include "eval/psq.h"
#include "protocol/console.h"
#include "protocol/game.h"
#include "protocol/install.h"
#include "protocol/interpreter.h"

namespace {

constexpr int log_file_limit = 1000;  // log000 .. log999
constexpr int bitbase_wait_ms = 100;
constexpr int log_name_size = data_dir_size + 32;

// The first number whose log file in `dir` does not exist yet; when all
// exist the last one is reused (overwritten).
int free_log_number(const char* dir) {
    char name[log_name_size];
    for (int n = 0; n < log_file_limit; ++n) {
        std::snprintf(name, sizeof name, "%s/log%03d.txt", dir, n);
        FILE* existing = std::fopen(name, "r");
        if (!existing) return n;
        std::fclose(existing);
    }
    return log_file_limit - 1;
}

// Appends a piece to text at *length when it fits with its terminating zero.
bool append_text(char* text, int size, int& length, const char* piece) {
    const int piece_length = int(std::strlen(piece));
    if (length + piece_length >= size) return false;
    std::memcpy(text + length, piece, size_t(piece_length) + 1);
    length += piece_length;
    return true;
}

}  // namespace

void open_log_file() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::signal(SIGINT, SIG_IGN);
    std::srand(unsigned(std::time(nullptr)));
    (void)std::rand();

    // In a run directory the logs go to ./log, which the engine does not
    // create; an installed engine logs to a per-user directory it makes.
    char dir[data_dir_size];
    log_file = nullptr;
    if (find_log_dir(dir, sizeof dir)) {
        char name[log_name_size];
        std::snprintf(name, sizeof name, "%s/log%03d.txt", dir, free_log_number(dir));
        log_file = std::fopen(name, "w");
    }
    if (!log_file) log_enabled = false;
    pipe_input = !isatty(0);
}

void init_engine() {
    find_data_dir();
    open_log_file();
    emit("feature done=0\n");
    start_time_ms = now_ms();
    // The transposition table starts at its default size in static storage.
    // The evaluation cache and the pawn table get their default sizes here,
    // and worker 0 is bound to the main search object, once those modules
    // exist.
    init_attack_table();
    // Without a book file the engine plays without a book.
    char book_path[data_dir_size + 16];
    book_enabled = open_book(data_path(book_file_name, book_path, sizeof book_path));
    init_psq();
    new_position(game);
    reset_control_state();
}

bool collect_config_text(FILE* file, char* text, int size) {
    int length = 0;
    text[0] = '\0';
    char line[input_line_size];
    int line_number = 0;
    int line_length = 0;
    for (FileLine got; (got = read_file_line(file, line, &line_length)) != FileLine::end;) {
        ++line_number;
        const bool comment = line[0] == '#' || line[0] == '/' || line[0] == '\n';
        if (comment) continue;
        if (got == FileLine::too_long) {
            char where[48];
            std::snprintf(where, sizeof where, "velkan.ini line %d", line_number);
            report_long_line(where, line_length);
            continue;
        }
        if (!append_text(text, size, length, line)) return false;
    }
    return true;
}

bool read_ini_file() {
    char path[data_dir_size + 16];
    FILE* file = std::fopen(data_path("velkan.ini", path, sizeof path), "r");
    if (!file) {
        emit("Velkan.ini not found!\n");
        return false;
    }
    static char text[command_text_size];
    const bool complete = collect_config_text(file, text, sizeof text);
    std::fclose(file);
    log_only("========== velkan.ini =======\n");
    log_only("%s", text);
    log_only("==============================\n");
    if (!complete) emit("Error (velkan.ini too long): only the first %d bytes are used\n", int(std::strlen(text)));

    static char* tokens[max_tokens];
    split_tokens(text, tokens);
    const bool go_on = run_command_line(tokens);
    // The installed configuration's bitbase directory lies in the data
    // directory, the default "./egbb/" included.
    resolve_data_dir_path(egbb_path, int(sizeof egbb_path));
    return go_on;
}

bool run_command_line(char** tokens) { return execute_commands(tokens) || !quit_requested; }

void wait_for_bitbases() {
    while (!bitbases_ready) std::this_thread::sleep_for(std::chrono::milliseconds(bitbase_wait_ms));
}

bool build_argument_line(int argc, char** argv, char* text, int size) {
    int length = 0;
    text[0] = '\0';
    for (int i = 1; i < argc; ++i)
        if (!append_text(text, size, length, " ") || !append_text(text, size, length, argv[i])) return false;
    return true;
}
