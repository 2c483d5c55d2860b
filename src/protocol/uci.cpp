#include "protocol/uci.h"

#include <dirent.h>
#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bitbase/bitbase.h"
#include "board/attacks.h"
#include "board/make_move.h"
#include "board/move_input.h"
#include "board/notation.h"
#include "eval/eval_params.h"
#include "protocol/console.h"
#include "protocol/game.h"
#include "protocol/install.h"
#include "protocol/interpreter.h"
#include "search/parallel.h"
#include "search/root.h"
#include "search/root_commands.h"
#include "search/search.h"
#include "search/table_sizes.h"
#include "search/trans_table.h"

namespace {

constexpr const char* engine_version = "1.0";  // as the xboard side announces it
constexpr const char* engine_author = "the Velkan developers";
constexpr const char* info_prefix = "info string ";

// A search needs one history entry per ply it descends, above the game.
constexpr int history_reserve = max_ply + 2;
// Mate scores are those beyond the deepest ply a search reaches.
constexpr int mate_threshold = mate_score - ply_step * max_ply;
// hashfull samples this many buckets (four slots each) of one side.
constexpr uint64_t hashfull_buckets = 250;

// The Personality value that stands for the weights velkan.ini loaded.
constexpr const char* configured_personality = "velkan.ini";
constexpr int max_personalities = 32;
constexpr int personality_name_size = 64;

// ------------------------------------------------------------ session state

// The position the last `position` command set up: when the next one only
// adds moves to it, those moves are made on the game as they would be in an
// xboard game, so that the clock rules see one game and not a new position
// every move.
struct PositionMemory {
    bool valid = false;
    char base[command_text_size];  // "startpos" or the FEN fields joined
    int move_count = 0;
    char moves[max_history][6];    // the moves made, in UCI text
};
PositionMemory position_memory;

// The running search's side of the conversation.
struct SearchSession {
    bool waiting_for_stop = false;  // go infinite / go ponder: bestmove only after stop
    bool pondering = false;         // go ponder, before ponderhit
    bool stop_requested = false;
    bool quit = false;
    // A command that needs the engine idle arrived during the search: it
    // stopped the search and runs after bestmove.
    bool line_deferred = false;
    char deferred_line[input_line_size];
};
SearchSession session;

// Weights as velkan.ini left them, for Personality "velkan.ini".
EvalParams configured_params[3];
struct PersonalityName {
    char text[personality_name_size];
};
PersonalityName personalities[max_personalities];
int personality_count = 0;

// EGBB Path or EGBB Load Type changed: the library is bound again before
// the next search (or at isready, where the interface waits for it).
bool bitbases_changed = false;

// ---------------------------------------------------------------- helpers

bool same_word(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// Runs one row of the xboard command table with at most one argument.
void run_engine_command(const char* word, const char* argument) {
    const CommandRow* row = find_command(word);
    if (!row) return;
    char text[input_line_size];
    std::snprintf(text, sizeof text, "%s", argument ? argument : "");
    char* args[2] = {text, nullptr};
    row->handler(args, argument ? 1 : 0);
}

// Joins words [first, last) with single spaces into out (size bytes).
void join_words(char** words, int first, int last, char* out, int size) {
    int length = 0;
    out[0] = '\0';
    for (int i = first; i < last; ++i) {
        const int written =
            std::snprintf(out + length, size_t(size - length), "%s%s", i > first ? " " : "", words[i]);
        if (written < 0 || length + written >= size) break;
        length += written;
    }
}

int token_count(char** tokens) {
    int count = 0;
    while (tokens[count]) ++count;
    return count;
}

// A whole number, clamped to [low, high]; false when the word is none.
bool read_number(const char* text, long long low, long long high, long long& value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    const long long read = std::strtoll(text, &end, 10);
    if (*end != '\0') return false;
    value = std::clamp(read, low, high);
    return true;
}

// A coordinate move as text: from and to squares and an optional promotion
// letter (any case).
bool is_move_text(const char* token) {
    const auto is_file = [](char c) { return c >= 'a' && c <= 'h'; };
    const auto is_rank = [](char c) { return c >= '1' && c <= '8'; };
    const size_t length = std::strlen(token);
    if (length != 4 && length != 5) return false;
    if (!is_file(token[0]) || !is_rank(token[1]) || !is_file(token[2]) || !is_rank(token[3]))
        return false;
    return length == 4 || std::strchr("qrbnQRBN", token[4]) != nullptr;
}

// The legal move of the game that the text names, or 0.
Move legal_move_of(const char* token) {
    if (!is_move_text(token)) return 0;
    char text[8];
    std::snprintf(text, sizeof text, "%s", token);
    Move move = text_to_move(text);
    if (move == 0 || !complete_user_move(game, move)) return 0;
    return move;
}

bool keeps_own_king_safe(SearchState& state, Move m) {
    make_move(state, m);
    const bool safe = !attacked(state, state.to_move, king_square(state, state.not_to_move));
    unmake_move(state);
    return safe;
}

// ------------------------------------------------------------- handshake

void find_personalities() {
    personality_count = 0;
    char path[data_dir_size + 16];
    DIR* dir = opendir(data_path("personality", path, sizeof path));
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        const size_t length = std::strlen(name);
        if (length <= 4 || length - 4 >= size_t(personality_name_size)) continue;
        if (std::strcmp(name + length - 4, ".per") != 0 || std::strchr(name, ' ')) continue;
        if (personality_count == max_personalities) break;
        std::snprintf(personalities[personality_count++].text, personality_name_size, "%.*s",
                      int(length - 4), name);
    }
    closedir(dir);
    std::sort(personalities, personalities + personality_count,
              [](const PersonalityName& a, const PersonalityName& b) {
                  return std::strcmp(a.text, b.text) < 0;
              });
}

int hash_megabytes() { return int(2 * (tt_mask + 1) * sizeof(TransBucket) / 1048576); }

void answer_uci() {
    emit_protocol("id name Velkan %s\n", engine_version);
    emit_protocol("id author %s\n", engine_author);
    emit_protocol("option name Hash type spin default %d min 1 max %d\n",
                  std::max(1, hash_megabytes()), max_table_megabytes);
    emit_protocol("option name Threads type spin default %d min 1 max %d\n", search_threads,
                  max_workers);
    emit_protocol("option name Ponder type check default %s\n", ponder_enabled ? "true" : "false");
    emit_protocol("option name OwnBook type check default %s\n", book_enabled ? "true" : "false");
    char line[max_personalities * (personality_name_size + 5) + 128];
    int length = std::snprintf(line, sizeof line,
                               "option name Personality type combo default %s var %s",
                               configured_personality, configured_personality);
    for (int i = 0; i < personality_count; ++i)
        length += std::snprintf(line + length, sizeof line - size_t(length), " var %s",
                                personalities[i].text);
    emit_protocol("%s\n", line);
    emit_protocol("option name EGBB Path type string default %s\n", egbb_path);
    emit_protocol("option name EGBB Load Type type spin default %d min 0 max 3\n", egbb_load_type);
    emit_protocol("uciok\n");
}

// ---------------------------------------------------------------- options

bool is_true(const char* value) { return strcasecmp(value, "true") == 0; }

void set_personality(const char* value) {
    if (strcasecmp(value, configured_personality) == 0) {
        std::copy(configured_params, configured_params + 3, eval_param_sets);
        clear_worker_eval_caches();
        return;
    }
    for (int i = 0; i < personality_count; ++i)
        if (same_word(value, personalities[i].text)) return run_engine_command("personality", value);
    emit("unknown personality: %s\n", value);
}

void reload_bitbases_if_changed() {
    if (!bitbases_changed) return;
    bitbases_changed = false;
    resolve_data_dir_path(egbb_path, int(sizeof egbb_path));
    bitbases_loaded = bind_library(egbb_path, egbb_cache_size);
    emit("bitbases %s\n", bitbases_loaded ? "loaded" : "not loaded");
}

// setoption name <id> [value <x>]: both may hold spaces.
void command_setoption(char** args, int count) {
    int value_at = count;
    for (int i = 0; i < count; ++i)
        if (same_word(args[i], "value")) {
            value_at = i;
            break;
        }
    if (count == 0 || !same_word(args[0], "name") || value_at < 2) {
        emit("setoption needs: name <id> [value <x>]\n");
        return;
    }
    char name[input_line_size];
    char value[input_line_size];
    join_words(args, 1, value_at, name, int(sizeof name));
    join_words(args, std::min(value_at + 1, count), count, value, int(sizeof value));
    long long number = 0;
    const auto option = [&](const char* id) { return strcasecmp(name, id) == 0; };
    if (option("Hash")) {
        if (!read_number(value, 1, max_table_megabytes, number)) return (void)emit("bad Hash: %s\n", value);
        run_engine_command("ht", std::to_string(number).c_str());
    } else if (option("Threads")) {
        if (!read_number(value, 1, max_workers, number)) return (void)emit("bad Threads: %s\n", value);
        run_engine_command("mt", std::to_string(number).c_str());
    } else if (option("Ponder")) {
        run_engine_command(is_true(value) ? "hard" : "easy", nullptr);
    } else if (option("OwnBook")) {
        run_engine_command("book", is_true(value) ? "on" : "off");
    } else if (option("Personality")) {
        set_personality(value);
    } else if (option("EGBB Path")) {
        const size_t length = std::strlen(value);
        if (length >= sizeof egbb_path) return (void)emit("EGBB Path too long: %d bytes\n", int(length));
        std::memcpy(egbb_path, value, length + 1);
        bitbases_changed = true;
    } else if (option("EGBB Load Type")) {
        if (!read_number(value, 0, 3, number)) return (void)emit("bad EGBB Load Type: %s\n", value);
        egbb_load_type = int(number);
        bitbases_changed = true;
    } else {
        emit("unknown option: %s\n", name);
    }
}

// --------------------------------------------------------------- position

// Makes the moves words[first, last) on the game, remembering each; stops
// at the first one that is not legal (or that leaves no room for a search)
// and reports it with the count of moves left out.
void make_position_moves(char** words, int first, int last) {
    for (int i = first; i < last; ++i) {
        const Move move = legal_move_of(words[i]);
        if (move == 0 || max_history - (game.hply + 1) < history_reserve) {
            emit("illegal move in position: %s (it and the %d after it are ignored)\n", words[i],
                 last - i - 1);
            return;
        }
        make_move(game, move);
        uci_move_text(move, position_memory.moves[position_memory.move_count++]);
    }
}

// position startpos|fen <fields> [moves <m1> ...]
void command_position(char** args, int count) {
    int moves_at = count;
    for (int i = 0; i < count; ++i)
        if (same_word(args[i], "moves")) {
            moves_at = i;
            break;
        }
    char base[command_text_size];
    const bool startpos = count > 0 && same_word(args[0], "startpos");
    if (startpos) {
        std::snprintf(base, sizeof base, "startpos");
    } else if (count > 1 && same_word(args[0], "fen")) {
        join_words(args, 1, moves_at, base, int(sizeof base));
    } else {
        emit("position needs: startpos | fen <fen> [moves ...]\n");
        return;
    }
    const int first_move = std::min(moves_at + 1, count);
    const int given = count - first_move;

    // The same start as the game: the moves they share stay, the game's
    // others are taken back (a ponder miss) and the new ones are made, as
    // an xboard game would go.
    PositionMemory& memory = position_memory;
    if (memory.valid && same_word(memory.base, base)) {
        int shared = 0;
        while (shared < memory.move_count && shared < given &&
               strcasecmp(memory.moves[shared], args[first_move + shared]) == 0)
            ++shared;
        for (; memory.move_count > shared; --memory.move_count) unmake_move(game);
        return make_position_moves(args, first_move + shared, count);
    }

    if (startpos) {
        new_position(game);
    } else {
        char fen[command_text_size];
        if (!set_up_fen_words(game, args + 1, moves_at - 1, fen, int(sizeof fen))) {
            emit("illegal position: %s (ignored)\n", base);
            return;
        }
    }
    game_result = game_running;
    memory.valid = true;
    std::snprintf(memory.base, sizeof memory.base, "%s", base);
    memory.move_count = 0;
    make_position_moves(args, first_move, count);
}

void command_ucinewgame() {
    clear_all_tables();
    position_memory.valid = false;
    new_position(game);
    game_result = game_running;
}

// --------------------------------------------------------- during a search

// What a line read while the engine is busy (searching, or waiting for
// stop after a search that ended by itself) does. False: the search (or the
// wait) ends.
bool handle_busy_line(char* line) {
    char copy[input_line_size];
    std::snprintf(copy, sizeof copy, "%s", line);
    char* tokens[max_tokens];
    split_tokens(line, tokens);
    const char* word = tokens[0];
    if (!word) return true;
    if (same_word(word, "isready")) {
        emit_protocol("readyok\n");
        return true;
    }
    if (same_word(word, "stop")) {
        session.stop_requested = true;
        return false;
    }
    if (same_word(word, "quit")) {
        session.quit = true;
        quit_requested = true;
        return false;
    }
    if (same_word(word, "ponderhit")) {
        if (!session.pondering) return true;
        // The expected move was played: the search goes on on the clock,
        // as after an xboard ponder hit.
        session.pondering = false;
        session.waiting_for_stop = false;
        if (!search_running) return false;  // it already ended: answer now
        ponder_mode = 0;
        allot_time_after_ponder_hit(game.hply);
        return true;
    }
    if (same_word(word, "debug") || same_word(word, "register")) return true;
    for (const char* idle_only : {"position", "go", "ucinewgame", "setoption", "uci"}) {
        if (!same_word(word, idle_only)) continue;
        // Sent without stop first: it stops the search and runs afterwards.
        std::snprintf(session.deferred_line, sizeof session.deferred_line, "%s", copy);
        session.line_deferred = true;
        session.stop_requested = true;
        return false;
    }
    emit("unknown command: %s\n", word);
    return true;
}

// The search's input poll in a UCI session. The end of input ends the
// session like quit: nobody is left to send stop.
bool read_input_during_search() {
    // A deferred line waits its turn: what follows it stays unread.
    if (session.line_deferred) return false;
    while (input_pending()) {
        char line[input_line_size];
        if (!read_input_line(line)) {
            session.quit = true;
            quit_requested = true;
            return false;
        }
        if (!handle_busy_line(line)) return false;
    }
    return true;
}

// After a go infinite or go ponder search that ended by itself: the
// answer waits for stop (or ponderhit).
void wait_for_release() {
    char line[input_line_size];
    while (session.waiting_for_stop && !session.stop_requested && !session.quit &&
           !session.line_deferred) {
        if (!read_input_line(line)) {
            session.quit = true;
            return;
        }
        if (!handle_busy_line(line)) return;
    }
}

// --------------------------------------------------------------- reports

void show_uci_pv(const SearchState& state, int score) {
    const PlyRecord& root = state.ply_records[0];
    // The bound of the line: a fail-high marks the root record; a move
    // adopted at or below alpha failed low. A move chosen without a search
    // (book, single reply, bitbases) comes before the first iteration.
    const char* bound = "";
    if (iteration_depth < 2)
        bound = "";
    else if (root.bound == lower)
        bound = " lowerbound";
    else if (score <= root.alpha && !(root.bound == exact && score == root.alpha))
        bound = " upperbound";
    const int elapsed = std::max(1, now_ms() - search_start_ms);
    char score_text[16];
    uci_score_text(score, score_text, int(sizeof score_text));
    char line[192 + max_ply * 8];
    int length = std::snprintf(
        line, sizeof line, "info depth %d seldepth %d score %s%s nodes %llu nps %llu time %d hashfull %d pv",
        iteration_depth, state.sel_depth, score_text, bound, (unsigned long long)state.nodes,
        (unsigned long long)(state.nodes * 1000 / unsigned(elapsed)), elapsed, hashfull_permille());
    for (int i = 0; i < root.pv_length && i < max_ply; ++i) {
        char text[8];
        uci_move_text(root.pv[i], text);
        length += std::snprintf(line + length, sizeof line - size_t(length), " %s", text);
    }
    emit_protocol("%s\n", line);
}

void show_uci_statistics(const SearchState& state) {
    const int elapsed = std::max(1, now_ms() - search_start_ms);
    emit_protocol("info depth %d seldepth %d nodes %llu nps %llu time %d hashfull %d\n",
                  iteration_depth, state.sel_depth, (unsigned long long)state.nodes,
                  (unsigned long long)(state.nodes * 1000 / unsigned(elapsed)), elapsed,
                  hashfull_permille());
}

// bestmove, with the expected reply when the variation has a legal one.
void report_best_move(Move best) {
    char best_text[8];
    uci_move_text(best, best_text);
    const PlyRecord& root = main_search_state.ply_records[0];
    Move reply = 0;
    if (best != 0 && root.pv_length >= 2 && root.pv[0] == best) {
        make_move(game, best);
        if (is_move_valid(game, root.pv[1]) && keeps_own_king_safe(game, root.pv[1]))
            reply = root.pv[1];
        unmake_move(game);
    }
    if (reply == 0) return emit_protocol("bestmove %s\n", best_text);
    char reply_text[8];
    uci_move_text(reply, reply_text);
    emit_protocol("bestmove %s ponder %s\n", best_text, reply_text);
}

// -------------------------------------------------------------------- go

// Root moves named by searchmoves that are legal in the game.
void set_root_filter(const UciLimits& limits) {
    root_move_filter_count = 0;
    for (int i = 0; i < limits.search_move_count && root_move_filter_count < max_moves; ++i) {
        const Move move = legal_move_of(limits.search_moves[i]);
        if (move == 0)
            emit("searchmoves: %s is not legal here (ignored)\n", limits.search_moves[i]);
        else
            root_move_filter[root_move_filter_count++] = move;
    }
}

// Searches the game for the limits and answers bestmove. False when the
// session is to end (quit or end of input during the search).
bool command_go(char** args, int count) {
    reload_bitbases_if_changed();
    UciLimits limits;
    parse_go(args, count, limits);
    if (game.hply + history_reserve >= max_history) {
        emit("the game is too long to search\n");
        emit_protocol("bestmove 0000\n");
        return true;
    }
    const SearchPlan plan = plan_search(limits, game.to_move);
    time_control = plan.clock;
    search_node_limit = plan.node_limit;
    no_clock = plan.no_clock ? 1 : 0;
    ponder_mode = 0;
    engine_side = game.to_move;
    set_root_filter(limits);
    session.waiting_for_stop = limits.infinite || limits.ponder;
    session.pondering = limits.ponder;
    session.stop_requested = false;

    copy_search_state(main_search_state, game);
    const Move best = find_best_move(main_search_state);
    if (!session.quit) wait_for_release();

    no_clock = 0;
    search_node_limit = 0;
    root_move_filter_count = 0;
    session.waiting_for_stop = session.pondering = false;
    if (session.quit) return false;
    report_best_move(best);
    return true;
}

// ------------------------------------------------------------- commands

// Executes one command line at top level; false ends the session. Words
// before the first command word are unknown: they are reported and the
// rest of the line is read from there.
bool execute_uci_line(char** tokens) {
    static constexpr const char* words[] = {"uci",      "isready", "ucinewgame", "position", "go",
                                            "stop",     "ponderhit", "setoption", "quit",   "debug",
                                            "register"};
    const auto is_command = [](const char* token) {
        for (const char* word : words)
            if (same_word(token, word)) return true;
        return false;
    };
    int first = 0;
    while (tokens[first] && !is_command(tokens[first])) ++first;
    if (first > 0) {
        char unknown[input_line_size];
        join_words(tokens, 0, first, unknown, int(sizeof unknown));
        emit("unknown command: %s\n", unknown);
    }
    if (!tokens[first]) return true;
    const char* word = tokens[first];
    char** args = tokens + first + 1;
    const int count = token_count(args);
    if (same_word(word, "quit")) return false;
    if (same_word(word, "uci")) answer_uci();
    if (same_word(word, "isready")) {
        reload_bitbases_if_changed();
        emit_protocol("readyok\n");
    }
    if (same_word(word, "ucinewgame")) command_ucinewgame();
    if (same_word(word, "position")) command_position(args, count);
    if (same_word(word, "setoption")) command_setoption(args, count);
    if (same_word(word, "go")) return command_go(args, count);
    // stop and ponderhit without a search, debug and register: nothing to do.
    return true;
}

}  // namespace

// ------------------------------------------------------------- interface

bool is_uci_request(char** tokens) { return tokens[0] && same_word(tokens[0], "uci") && !tokens[1]; }

void run_uci_session() {
    emit_line_prefix = info_prefix;
    pending_input_reader = read_input_during_search;
    pv_printer = show_uci_pv;
    statistics_printer = show_uci_statistics;
    std::copy(eval_param_sets, eval_param_sets + 3, configured_params);
    find_personalities();
    answer_uci();

    static char line[input_line_size];
    static char* tokens[max_tokens];
    for (;;) {
        if (session.line_deferred) {
            std::snprintf(line, sizeof line, "%s", session.deferred_line);
            session.line_deferred = false;
        } else if (!read_input_line(line)) {
            return;
        }
        split_tokens(line, tokens);
        if (!execute_uci_line(tokens)) return;
    }
}

void parse_go(char** args, int count, UciLimits& limits) {
    char unread[input_line_size];
    int unread_length = 0;
    unread[0] = '\0';
    const auto report = [&](const char* word) {
        const int written = std::snprintf(unread + unread_length, sizeof unread - size_t(unread_length),
                                          "%s%s", unread_length ? " " : "", word);
        if (written > 0 && unread_length + written < int(sizeof unread)) unread_length += written;
    };
    // Words taking one number, and where the number goes.
    struct NumberWord {
        const char* word;
        long long low, high;
    };
    static constexpr NumberWord number_words[] = {
        {"wtime", INT_MIN, INT_MAX}, {"btime", INT_MIN, INT_MAX}, {"winc", 0, INT_MAX},
        {"binc", 0, INT_MAX},        {"movestogo", 0, 1000},      {"depth", 0, INT_MAX},
        {"nodes", 0, LLONG_MAX},     {"movetime", 0, INT_MAX}};
    const auto is_go_word = [](const char* word) {
        for (const NumberWord& w : number_words)
            if (same_word(word, w.word)) return true;
        return same_word(word, "infinite") || same_word(word, "ponder") || same_word(word, "searchmoves");
    };
    for (int i = 0; i < count; ++i) {
        const char* word = args[i];
        if (same_word(word, "infinite")) {
            limits.infinite = true;
            continue;
        }
        if (same_word(word, "ponder")) {
            limits.ponder = true;
            continue;
        }
        if (same_word(word, "searchmoves")) {
            limits.search_moves = args + i + 1;
            while (i + 1 < count && !is_go_word(args[i + 1])) {
                ++i;
                ++limits.search_move_count;
            }
            continue;
        }
        const NumberWord* found = nullptr;
        for (const NumberWord& w : number_words)
            if (same_word(word, w.word)) found = &w;
        long long value = 0;
        if (!found) {
            report(word);
            continue;
        }
        if (i + 1 >= count || !read_number(args[i + 1], found->low, found->high, value)) {
            report(word);
            continue;
        }
        ++i;
        const int number = int(std::min<long long>(value, INT_MAX));
        if (same_word(word, "wtime")) limits.time_ms[white] = std::max(0, number);
        if (same_word(word, "btime")) limits.time_ms[black] = std::max(0, number);
        if (same_word(word, "winc")) limits.increment_ms[white] = number;
        if (same_word(word, "binc")) limits.increment_ms[black] = number;
        if (same_word(word, "movestogo")) limits.moves_to_go = number;
        if (same_word(word, "depth")) limits.depth = number;
        if (same_word(word, "nodes")) limits.nodes = uint64_t(value);
        if (same_word(word, "movetime")) limits.move_time_ms = number;
    }
    if (unread_length > 0) emit("go: ignored %s\n", unread);
}

SearchPlan plan_search(const UciLimits& limits, int side) {
    SearchPlan plan;
    TimeControl& clock = plan.clock;
    const bool on_clock = limits.time_ms[side] >= 0;
    if (on_clock) {
        // UCI gives the time left on each clock and, when the control has a
        // move count, how many moves remain to it.
        clock.moves_per_session = 0;
        clock.time_left_ms = limits.time_ms[side];
        clock.opponent_time_ms =
            limits.time_ms[1 - side] >= 0 ? limits.time_ms[1 - side] : limits.time_ms[side];
        clock.increment_ms = limits.increment_ms[side];
        clock.moves_to_go = limits.moves_to_go;
    }
    if (limits.move_time_ms >= 0) clock.fixed_time_ms = std::min(limits.move_time_ms, unlimited_time - 1);
    if (limits.depth > 0) clock.max_depth = std::min(limits.depth, no_depth_limit - 1);
    plan.node_limit = limits.nodes;
    // A node count alone limits the search, not the default clock.
    const bool nodes_only = limits.nodes > 0 && !on_clock && limits.move_time_ms < 0 && limits.depth == 0;
    plan.no_clock = limits.infinite || limits.ponder || nodes_only;
    return plan;
}

void uci_move_text(Move m, char* buffer) {
    if (m == 0) {
        std::snprintf(buffer, 6, "0000");
        return;
    }
    move_to_text(m, buffer);
    if (buffer[4] >= 'A' && buffer[4] <= 'Z') buffer[4] = char(buffer[4] - 'A' + 'a');
}

void uci_score_text(int score, char* buffer, int size) {
    if (score > mate_threshold || score < -mate_threshold) {
        const int plies = (mate_score - std::abs(score)) / ply_step - 1;
        const int moves = (plies + 1) / 2;
        std::snprintf(buffer, size_t(size), "mate %d", score > 0 ? moves : -moves);
        return;
    }
    std::snprintf(buffer, size_t(size), "cp %d", score);
}

int hashfull_permille() {
    const uint64_t buckets = std::min(hashfull_buckets, tt_mask + 1);
    int used = 0;
    for (uint64_t i = 0; i < buckets; ++i)
        for (int slot = 0; slot < tt_bucket_slots; ++slot) {
            const TransEntry entry = tt_slot(white, i, slot);
            if (entry.key != 0 && (entry.flags >> 3) == tt_age) ++used;
        }
    return int(used * 1000 / (buckets * tt_bucket_slots));
}
