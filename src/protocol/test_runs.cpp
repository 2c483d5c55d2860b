#include "protocol/test_runs.h"

#include <cstdio>
#include <cstring>

#include "board/notation.h"
#include "eval/evaluate.h"
#include "protocol/console.h"
#include "protocol/game.h"
#include "protocol/game_control.h"
#include "search/root_commands.h"
#include "search/search_state.h"
#include "search/trans_table.h"

namespace {

// Board, side to move, castling rights, en-passant square: the counters of
// a FEN are never read from an EPD line and take their defaults.
constexpr int epd_fen_words = 4;

// The work done on one position set up on the game; false ends the run.
using PositionTest = bool (*)(int line_number, const char* fen);

void show_run_header() {
    if (pvstyle == 1)
        emit("\n\t\tNodes     Time      NPS      splits     bad\n"
             "\t\t=====     ====      ===      ======     ===\n");
    else
        emit("******************************************\n");
}

// The position is scored, mirrored and scored again: the evaluation must
// not tell the colours apart.
bool compare_with_mirror(int line_number, const char* fen) {
    const int score = evaluate(game, eval_full);
    mirror_board(game);
    const int mirrored = evaluate(game, eval_full);
    if (score == mirrored) {
        emit("*%d* %d\n", line_number, score);
        return true;
    }
    emit("*****WRONG RESULT*****\n");
    emit("[ %s ] \nsc = %6d sc1 = %6d\n", fen, score, mirrored);
    emit("**********************\n");
    return true;
}

// Searches the position from empty tables, so that every position of a run
// is searched alike whatever came before it. The move found is not played.
bool search_position(int line_number, const char*) {
    clear_all_tables();
    copy_search_state(main_search_state, game);
    run_search(SearchKind::test_position);
    if (quit_requested) return false;
    if (pvstyle != 1) emit("********** %d ************\n", line_number);
    return true;
}

bool run_file(const char* path, PositionTest test) {
    FILE* file = std::fopen(path, "r");
    if (!file) {
        emit("epd file not found!\n");
        return true;
    }
    // A run starts from empty tables: the scores of runeval are then
    // computed by the evaluation under test, not answered by cache entries
    // made before the run (runsearch clears them again for every position).
    clear_all_tables();
    show_run_header();
    char line[input_line_size];
    int line_number = 0;
    int line_length = 0;
    bool go_on = true;
    for (FileLine got; go_on && (got = read_file_line(file, line, &line_length)) != FileLine::end;) {
        ++line_number;
        if (got == FileLine::too_long) {
            char where[48];
            std::snprintf(where, sizeof where, "epd line %d", line_number);
            report_long_line(where, line_length);
            continue;
        }
        // Only a newline is cut: a last line without one keeps its last
        // character.
        const size_t length = std::strlen(line);
        if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';
        char* words[max_tokens];
        const int count = split_tokens(line, words) - 1;
        if (count < epd_fen_words) continue;  // no position on this line
        char fen[command_text_size];
        if (!set_up_fen_words(game, words, epd_fen_words, fen, int(sizeof fen))) {
            const int shown = int(std::strlen(fen)) - 1;  // without the last space
            emit("Error (bad position on line %d): %.*s\n", line_number, shown, fen);
            continue;
        }
        go_on = test(line_number, fen);
    }
    std::fclose(file);
    new_position(game);
    return go_on;
}

}  // namespace

bool run_eval_file(const char* path) { return run_file(path, compare_with_mirror); }

bool run_search_file(const char* path) { return run_file(path, search_position); }
