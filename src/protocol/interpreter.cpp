#include "protocol/interpreter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "bitbase/bitbase.h"
#include "board/make_move.h"
#include "board/move_input.h"
#include "board/notation.h"
#include "book/book.h"
#include "book/book_tools.h"
#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "protocol/game.h"
#include "protocol/game_control.h"
#include "protocol/startup.h"
#include "protocol/test_runs.h"
#include "search/perft.h"
#include "search/parallel.h"
#include "search/root_commands.h"
#include "search/search.h"
#include "search/table_sizes.h"
#include "search/time_control.h"
#include "search/trans_table.h"

namespace {

// A position is refused as a move target when fewer history entries than
// this would be left: a search from it needs one entry per ply it descends.
constexpr int history_reserve = max_ply + 2;

// The version announced in the feature line.
constexpr const char* engine_version = "1.0";
// The parallel search runs at most this many threads.
constexpr int max_search_threads = 8;

// setboard takes four FEN fields and up to two counters.
constexpr int fen_fields = 4;
constexpr int fen_counters = 2;

// Texts of `help`, in order; each is written followed by a newline.
constexpr const char* help_lines[] = {
    ". -- Send a search status update while analyzing.",
    "? -- Move now.",
    "accepted -- Response to the feature command.",
    "analyze -- Enter analyze mode.",
    "build <pgn> <book> <size> <half_plies> <color>\n\tBuild book from <pgn> file and save it to "
    "<book>.\n\tAllocate <size> book entries during build.\n\tConsider only the first <half_plies> "
    "moves.\n\n\t<color>=white/black postions.\n",
    "book <on/off> -- Turns book usage on/off.",
    "computer -- Inform Velkan that the opponent is also a computer chess engine.",
    "d -- Debugging command to print the current board.",
    "easy -- Turn off pondering.",
    "egbb_cache_size -- Set the egbb (endgame bitbase) cache size in megabytes.",
    "egbb_load_type -- Set the egbb load type:\n\t 0 = none\n\t 1 = all 3/4 men\n\t 2 = selective "
    "loading of 5 men (not implemented yet)\n\t 3 = all 5 men\n",
    "egbb_path -- Set the egbb path.",
    "eht -- Set evaluation hash table size in megabytes.",
    "exit -- Leave analysis mode.",
    "force -- Set the engine to play neither color ('force mode'). Stop clocks.",
    "go -- Leave force mode and set the engine to play the color that is on move.",
    "hard -- Turn on pondering (thinking on the opponent's time or permanent brain).",
    "help -- Produce this listing of supported commands.",
    "history -- Debugging command to print game history.",
    "ht -- Set hash table size in megabytes.",
    "level -- level <MPS> <BASE> <INC> {Set time controls}.",
    "log -- 'log on' turns log on and 'log off' turns log off.",
    "merge <book1> <book2> <book> <w1> <w2> -- merge two books with weights <w1> and <w2> and save "
    "restult in book.",
    "mirror -- Debugging command to mirror the current board.",
    "moves -- Debugging command to print all possible moves for the current board.",
    "mt/cores -- Set the number of parallel threads of execution.",
    "multi_personality -- loat the personality for all three game phases.",
    "name -- Tell velkan who you are.",
    "new -- Reset the board to the standard chess starting position.",
    "nopost -- do not show thinking.",
    "otim -- otim N {Set a clock that belongs to the opponent in centiseconds.}",
    "perft -- perft <depth> performs a move generation count to <depth>.",
    "personality -- Set personality file for game phase 0.",
    "pht -- Set pawn hash table size in megabytes.",
    "post -- Show thinking.",
    "protover -- protover <N> {Command sent immediately after the 'xboard' command.}",
    "pvstyle -- syle for pv output.",
    "quit -- The chess engine should immediately exit.",
    "random -- This GnuChess command is ignored.",
    "rejected -- Response to the feature command.",
    "remove -- The user asks to back up full move.",
    "resign <RESIGN_VALUE> -- Sets resign value.",
    "result -- Sets the game result.",
    "runeval -- runeval <epdfile> runs the evalution function on EPD file <epdfile>.",
    "runsearch -- runsearch <epdfile> runs the engine search on EPD file <epdfile>.",
    "score -- score runs the evaluation function on the current position.",
    "sd -- sd <DEPTH> {The engine should limit its thinking to <DEPTH> ply.}",
    "setboard -- setboard <FEN> is used to set up FEN position <FEN>.",
    "st -- st <TIME> {Set time controls search time in seconds.}",
    "time -- time <N> {Set a clock that belongs to the engine in centiseconds.}",
    "undo -- The user asks to back up one half move.",
    "xboard -- Request xboard mode (the default).",
};

bool is_integer(const char* text) {
    if (*text == '-' || *text == '+') ++text;
    if (!*text) return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

// "on" and "off" switch a setting; any other word leaves it.
void set_switch(bool& setting, const char* word) {
    if (std::strcmp(word, "on") == 0) setting = true;
    if (std::strcmp(word, "off") == 0) setting = false;
}

bool no_effect(char**, int) { return true; }

bool command_quit(char**, int) {
    emit("Bye Bye\n");
    quit_requested = true;
    return false;
}

bool command_new(char**, int) {
    clear_all_tables();
    new_position(game);
    game_result = game_running;
    engine_side = black;
    resign_count = 0;  // a new game: the count of bad scores starts afresh
    return true;
}

bool command_setboard(char** args, int count) {
    char fen[command_text_size];
    if (!set_up_fen_words(game, args, count, fen, int(sizeof fen))) {
        emit("tellusererror Illegal position\n");
        return true;
    }
    clear_all_tables();
    game_result = game_running;
    resign_count = 0;
    return true;
}

bool command_d(char**, int) {
    show_board(game);
    return true;
}

bool command_history(char**, int) {
    show_history(game);
    return true;
}

bool command_mirror(char**, int) {
    mirror_board(game);
    return true;
}

bool command_moves(char**, int) {
    show_legal_moves(game);
    return true;
}

bool command_name(char** args, int) {
    emit("Hello %s!\n", args[0]);
    return true;
}

bool command_log(char** args, int) {
    set_switch(log_enabled, args[0]);
    return true;
}

bool command_help(char**, int) {
    for (const char* line : help_lines) print_only("%s\n", line);
    return true;
}

bool command_move_now(char**, int) {
    abort_flag = 1;
    return true;
}

bool command_force(char**, int) {
    engine_side = neither_side;
    return true;
}

bool command_hard(char**, int) {
    ponder_enabled = true;
    return true;
}

bool command_easy(char**, int) {
    ponder_enabled = false;
    return true;
}

bool command_resign(char** args, int) {
    resign_threshold = std::atoi(args[0]);
    return true;
}

bool command_pvstyle(char** args, int) {
    pvstyle = std::atoi(args[0]);
    return true;
}

// The rest of the list (the comment in braces) is consumed and ignored.
bool command_result(char** args, int count) {
    game_result = game_running;
    if (count == 0) return true;
    if (std::strcmp(args[0], "1-0") == 0) game_result = white_won;
    if (std::strcmp(args[0], "0-1") == 0) game_result = black_won;
    if (std::strcmp(args[0], "1/2-1/2") == 0) game_result = game_drawn;
    return true;
}

bool command_egbb_path(char** args, int) {
    std::snprintf(egbb_path, sizeof egbb_path, "%s", args[0]);
    return true;
}

bool command_egbb_cache_size(char** args, int) {
    egbb_cache_size = std::atoi(args[0]);
    return true;
}

bool command_egbb_load_type(char** args, int) {
    egbb_load_type = std::atoi(args[0]);
    return true;
}

// A personality file that cannot be read is reported by the load and leaves
// its set as it was (the built-in weights at start-up): the engine goes on.
// Every thread's cached evaluations were made with the old weights.
bool run_personality(char** args, int) {
    command_personality(args[0]);
    clear_worker_eval_caches();
    return true;
}

bool run_multi_personality(char** args, int) {
    command_multi_personality(args[0], args[1], args[2]);
    clear_worker_eval_caches();
    return true;
}

bool command_protover(char**, int) {
    emit("feature sigint=0 sigterm=0 setboard=1 draw=0 colors=0 name=1 myname=\"Velkan_%s\"\n",
         engine_version);
    // Inside velkan.ini the loader has not started yet and would never
    // finish: there is nothing to wait for then.
    if (bitbase_loader_started()) wait_for_bitbases();
    emit("feature done=1\n");
    return true;
}

// Threads are started or ended one by one, each with its line; a thread
// the system refuses leaves the count where it got to.
bool command_threads(char** args, int) {
    int threads = std::atoi(args[0]);
    if (threads > max_search_threads) threads = max_search_threads;
    if (threads < 1) threads = 1;
    search_threads = set_worker_count(threads);
    emit("processors [%d]\n", search_threads);
    return true;
}

// With an argument: the switch. Alone: the book moves of the game, when the
// book is in use.
bool command_book(char** args, int count) {
    if (count == 1)
        set_switch(book_enabled, args[0]);
    else if (book_enabled)
        show_book(game);
    return true;
}

// build <pgn> <book> <size> <half_plies> <colour>; colour "white" or
// "black" records one side's table, any other word both.
bool command_build(char** args, int) {
    int colour = build_both_colours;
    if (std::strcmp(args[4], "white") == 0) colour = build_white_only;
    if (std::strcmp(args[4], "black") == 0) colour = build_black_only;
    build_book(game, args[0], args[1], std::atoi(args[2]), std::atoi(args[3]), colour);
    return true;
}

// merge <book1> <book2> <book> <w1> <w2>
bool command_merge(char** args, int) {
    merge_books(args[0], args[1], args[2], std::atof(args[3]), std::atof(args[4]));
    return true;
}

bool command_runeval(char** args, int) { return run_eval_file(args[0]); }
bool command_runsearch(char** args, int) { return run_search_file(args[0]); }

bool run_ht(char** args, int) {
    command_ht(args[0]);
    return true;
}

bool run_pht(char** args, int) {
    command_pht(args[0]);
    return true;
}

bool run_eht(char** args, int) {
    command_eht(args[0]);
    return true;
}

// Depths beyond the ply stack only walk to its end; anything larger than
// this is the same walk.
constexpr long max_perft_depth = 1000;

bool run_perft(char** args, int) {
    if (!is_integer(args[0])) {
        emit("Error (depth must be a number): perft %s\n", args[0]);
        return true;
    }
    const long depth = std::clamp(std::strtol(args[0], nullptr, 10), 0L, max_perft_depth);
    command_perft(game, int(depth));
    return true;
}

// The command table. Rows: word, handler, min_args, max_args,
// numeric_extras, during_search.
constexpr CommandRow command_table[] = {
    {"quit", command_quit, 0, 0, false, true},
    {"new", command_new, 0, 0, false, true},
    {"setboard", command_setboard, fen_fields, fen_fields + fen_counters, true, true},
    {"d", command_d, 0, 0, false, true},
    {"history", command_history, 0, 0, false, true},
    {"mirror", command_mirror, 0, 0, false, true},
    {"moves", command_moves, 0, 0, false, true},
    {"xboard", no_effect, 0, 0, false, true},
    {"computer", no_effect, 0, 0, false, true},
    {"post", no_effect, 0, 0, false, true},
    {"nopost", no_effect, 0, 0, false, true},
    {"random", no_effect, 0, 0, false, true},
    {"accepted", no_effect, 1, 1, false, true},
    {"rejected", no_effect, 1, 1, false, true},
    {"name", command_name, 1, 1, false, true},
    {"log", command_log, 1, 1, false, true},
    {"help", command_help, 0, 0, false, true},
    {"?", command_move_now, 0, 0, false, true},
    {"force", command_force, 0, 0, false, true},
    {"go", command_go, 0, 0, false, true},
    {"analyze", command_analyze, 0, 0, false, true},
    {"exit", command_exit, 0, 0, false, true},
    {"undo", command_undo, 0, 0, false, true},
    {"remove", command_remove, 0, 0, false, true},
    {".", command_status, 0, 0, false, true},
    {"level", command_level, 3, 3, false, true},
    {"st", command_st, 1, 1, false, true},
    {"sd", command_sd, 1, 1, false, true},
    {"time", command_time, 1, 1, false, true},
    {"otim", command_otim, 1, 1, false, true},
    {"protover", command_protover, 1, 1, false, true},
    {"mt", command_threads, 1, 1, false, false},
    {"cores", command_threads, 1, 1, false, false},
    {"book", command_book, 0, 1, false, true},
    {"build", command_build, 5, 5, false, false},
    {"merge", command_merge, 5, 5, false, false},
    {"runeval", command_runeval, 1, 1, false, false},
    {"runsearch", command_runsearch, 1, 1, false, false},
    {"hard", command_hard, 0, 0, false, true},
    {"easy", command_easy, 0, 0, false, true},
    {"resign", command_resign, 1, 1, false, true},
    {"pvstyle", command_pvstyle, 1, 1, false, true},
    {"result", command_result, 0, all_remaining, false, true},
    // Search threads read the weights without locking: no change mid-search.
    {"personality", run_personality, 1, 1, false, false},
    {"multi_personality", run_multi_personality, 3, 3, false, false},
    {"score", command_score_bitbase_or_eval, 0, 0, false, true},
    // Resizing would pull the tables from under the search threads; perft
    // would hold up the search's input poll for its whole run.
    {"ht", run_ht, 1, 1, false, false},
    {"pht", run_pht, 1, 1, false, false},
    {"eht", run_eht, 1, 1, false, false},
    {"perft", run_perft, 1, 1, false, false},
    // The loader reads these settings once, at start-up.
    {"egbb_path", command_egbb_path, 1, 1, false, false},
    {"egbb_cache_size", command_egbb_cache_size, 1, 1, false, false},
    {"egbb_load_type", command_egbb_load_type, 1, 1, false, false},
};

// A coordinate move as text: from and to squares, and a promotion letter
// only as a fifth character (after text_to_move has lower-cased it).
bool is_move_text(const char* token) {
    const auto is_file = [](char c) { return c >= 'a' && c <= 'h'; };
    const auto is_rank = [](char c) { return c >= '1' && c <= '8'; };
    const size_t length = std::strlen(token);
    if (length != 4 && length != 5) return false;
    if (!is_file(token[0]) || !is_rank(token[1]) || !is_file(token[2]) || !is_rank(token[3]))
        return false;
    return length == 4 || std::strchr("qrbn", token[4]) != nullptr;
}

// A token that is no command word: a coordinate move on the game, made when
// legal and when the history keeps room for a search from the new position.
// A move that is well formed but not legal is refused the way xboard expects
// ("Illegal move"), so that the interface takes it back on its board; any
// other word is an unknown command. `made` receives the move made, or 0.
FlowEnd play_input_move(char* token, Move& made) {
    made = 0;
    Move move = text_to_move(token);
    if (!is_move_text(token)) {
        emit("Error (unknown command): %s\n", token);
    } else if (move == 0 || !complete_user_move(game, move)) {
        emit("Illegal move: %s\n", token);
    } else if (max_history - (game.hply + 1) < history_reserve) {
        emit("Error (game too long): %s\n", token);
    } else {
        make_move(game, move);
        made = move;
    }
    // The opponent's move (or a stray word) while the engine ponders.
    if (ponder_mode) return ponder_input(made) ? FlowEnd::return_true : FlowEnd::return_false;
    return FlowEnd::next_token;
}

// After the opponent's move the engine thinks, when it plays the side now to
// move; a move read while a search runs starts no second one.
bool engine_replies_to(Move made) {
    return made != 0 && game_result == game_running && engine_side == game.to_move &&
           !search_running && !analysis_mode;
}

// How many of the tokens after a command word it takes as arguments, or -1
// when fewer than it needs are left.
int arguments_taken(const CommandRow& row, char** rest) {
    int available = 0;
    while (rest[available] && available < row.max_args) ++available;
    if (available < row.min_args) return -1;
    if (!row.numeric_extras) return available;
    int taken = row.min_args;
    while (taken < available && is_integer(rest[taken])) ++taken;
    return taken;
}

}  // namespace

const CommandRow* find_command(const char* word) {
    for (const CommandRow& row : command_table)
        if (std::strcmp(row.word, word) == 0) return &row;
    return nullptr;
}

bool execute_commands(char** tokens) {
    HashKey entry_key = game.pos_key;
    int entry_hply = game.hply;
    int i = 0;
    while (tokens[i]) {
        char* word = tokens[i++];
        const CommandRow* row = find_command(word);
        FlowEnd end = FlowEnd::next_token;
        Move made = 0;
        if (!row) {
            end = play_input_move(word, made);
        } else {
            const int taken = arguments_taken(*row, tokens + i);
            if (taken < 0) {
                emit("Error (missing argument): %s\n", word);
                while (tokens[i]) ++i;
                continue;
            }
            char** args = tokens + i;
            i += taken;
            if (search_running && !row->during_search) {
                emit("Error (not allowed while searching): %s\n", word);
                continue;
            }
            if (!row->handler(args, taken)) return false;
            if (walk_end_requested()) return true;
        }
        if (end == FlowEnd::next_token) end = after_command(entry_key, entry_hply);
        if (end == FlowEnd::next_token && engine_replies_to(made)) {
            end = engine_turn();
            entry_key = game.pos_key;
            entry_hply = game.hply;
        }
        if (end != FlowEnd::next_token) return end == FlowEnd::return_true;
    }
    return true;
}
