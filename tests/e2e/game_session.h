#pragma once
// Helpers for end-to-end tests of whole games: the search's progress lines
// are dropped so that tests see the game conversation (moves, offers,
// results, pondering) in its exact order.

#include <string>
#include <vector>

#include "e2e/engine_process.h"

// Thinking lines (a number first: the depth), the time plan and the
// statistics of a search. Result lines ("1-0 {...}") are no chatter.
inline bool is_search_chatter(const std::string& line) {
    const size_t digits = line.find_first_not_of("0123456789");
    if (digits != 0 && digits != std::string::npos && line[digits] == ' ') return true;
    for (const char* prefix : {"[st = ", "[sd = ", "nodes = ", "lazy_eval = "})
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

// Starts the engine and reads past its start-up report.
inline bool start_game_engine(EngineProcess& engine, const std::vector<std::string>& args = {}) {
    start_engine(engine, args);
    return wait_for(engine, "loading_time = ");
}

// Reads until a line starting with `prefix` (included in the result) and
// returns the lines of the conversation before it, search chatter dropped.
// The result is empty when the line never came.
inline std::vector<std::string> game_lines_until(EngineProcess& engine, const std::string& prefix,
                                                 int timeout_ms = default_timeout_ms) {
    std::vector<std::string> lines;
    std::string line;
    while (read_line(engine, line, timeout_ms)) {
        if (!is_search_chatter(line)) lines.push_back(line);
        if (line.rfind(prefix, 0) == 0) return lines;
    }
    return {};
}

// Sends the lines, then quits, and returns the rest of the conversation.
inline std::vector<std::string> finish_game(EngineProcess& engine, const std::vector<std::string>& lines,
                                            int timeout_ms = default_timeout_ms) {
    for (const std::string& line : lines) send_line(engine, line);
    send_line(engine, "quit");
    std::vector<std::string> rest;
    for (const std::string& line : read_all_lines(engine, timeout_ms))
        if (!is_search_chatter(line)) rest.push_back(line);
    wait_exit(engine);
    return rest;
}

// The coordinate text of a move shown as "Ng1-f3", "e5xd6" or "b7xa8=Q".
inline std::string coordinate_text(const std::string& shown) {
    std::string text;
    for (const char c : shown) {
        if ((c >= 'a' && c <= 'h') || (c >= '1' && c <= '8')) text += c;
        if (c == 'Q' || c == 'R' || c == 'B' || c == 'N') {
            if (text.size() == 4) text += char(c - 'A' + 'a');
        }
    }
    return text;
}
