// The PGN lexer of the book builder. It works character by character, so
// that a comment or a parenthesis glued to a move ("e4{best}", "(1...c5")
// is split off the move instead of hiding it.

#include "book/pgn_reader.h"

#include <cstring>

namespace {

// Bytes read per call while a line is assembled; lines themselves have no
// length limit.
constexpr int read_chunk = 4096;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
// Characters that end a token whatever follows.
bool is_separator(char c) { return is_blank(c) || std::strchr("{}();", c) != nullptr; }

// The next line without its line end; false at the end of the file.
bool read_whole_line(FILE* file, std::string& line) {
    line.clear();
    char chunk[read_chunk];
    bool read_any = false;
    while (std::fgets(chunk, sizeof chunk, file)) {
        read_any = true;
        line += chunk;
        if (!line.empty() && line.back() == '\n') break;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return read_any;
}

// Cuts a leading move number ("12.", "12...", "...") off the token. False
// when nothing that could be a move is left: a bare number or dots alone.
bool cut_move_number(std::string& token) {
    size_t digits = 0;
    while (digits < token.size() && is_digit(token[digits])) ++digits;
    size_t end = digits;
    while (end < token.size() && token[end] == '.') ++end;
    if (digits == token.size()) return false;
    // Digits not followed by a dot start a move of their own ("0-0").
    if (end > digits) token.erase(0, end);
    return !token.empty();
}

// Reads a token as a move or a marker; false for one that is skipped.
bool classify_token(std::string token, int line_number, PgnItem& item) {
    item.line_number = line_number;
    const int result = pgn_marker_result(token);
    if (result >= 0) {
        item.kind = PgnItemKind::marker;
        item.text = token;
        item.result = result;
        return true;
    }
    if (token[0] == '$') return false;  // NAG
    if (!cut_move_number(token)) return false;
    // What is still no move: dotted or starred leftovers and results in
    // other spellings ("1-0" glued to something). Castling "O-O" stays.
    if (token.find_first_of(".*") != std::string::npos) return false;
    if (token.find('-') != std::string::npos && token.find('1') != std::string::npos) return false;
    item.kind = PgnItemKind::move;
    item.text = token;
    item.result = pgn_no_result;
    return true;
}

// Starts reading the next line; false at the end of the file. Tag lines are
// returned at once; lines that cannot hold anything are passed over.
bool open_next_line(PgnReader& reader, PgnItem& item, bool& tag_found) {
    tag_found = false;
    for (;;) {
        if (!read_whole_line(reader.file, reader.line)) return false;
        ++reader.line_number;
        reader.pos = 0;
        const std::string& line = reader.line;
        if (!line.empty() && line[0] == '%') continue;  // escape line
        if (reader.comment_depth == 0 && !line.empty() && line[0] == '[') {
            reader.variation_depth = 0;
            item = PgnItem{PgnItemKind::tag, line, pgn_no_result, reader.line_number};
            tag_found = true;
            return true;
        }
        reader.moves_allowed = !line.empty() && !is_blank(line[0]) && line[0] != '[';
        if (reader.moves_allowed || reader.comment_depth > 0 || reader.variation_depth > 0) {
            reader.line_open = true;
            return true;
        }
    }
}

// Steps over one character of comment or variation structure at pos; false
// when the character is the start of a token.
bool skip_structure(PgnReader& reader) {
    const char c = reader.line[reader.pos];
    if (reader.comment_depth > 0) {
        if (c == '{') ++reader.comment_depth;
        if (c == '}') --reader.comment_depth;
    } else if (c == '{') {
        ++reader.comment_depth;
    } else if (c == ';') {
        reader.pos = reader.line.size();  // comment to the end of the line
        return true;
    } else if (c == '(') {
        ++reader.variation_depth;
    } else if (c == ')') {
        if (reader.variation_depth > 0) --reader.variation_depth;
    } else if (c != '}' && !is_blank(c)) {
        return false;  // a stray '}' is passed over
    }
    ++reader.pos;
    return true;
}

// The next move or marker of the open line; false at its end.
bool scan_line(PgnReader& reader, PgnItem& item) {
    const std::string& line = reader.line;
    while (reader.pos < line.size()) {
        if (skip_structure(reader)) continue;
        size_t end = reader.pos;
        while (end < line.size() && !is_separator(line[end])) ++end;
        std::string token = line.substr(reader.pos, end - reader.pos);
        reader.pos = end;
        if (reader.variation_depth > 0 || !reader.moves_allowed) continue;
        if (classify_token(token, reader.line_number, item)) return true;
    }
    reader.line_open = false;
    return false;
}

}  // namespace

int pgn_marker_result(const std::string& text) {
    if (text == "1-0") return pgn_white_won;
    if (text == "0-1") return pgn_black_won;
    if (text == "1/2-1/2") return pgn_draw;
    if (text == "*") return pgn_no_result;
    return -1;
}

bool next_pgn_item(PgnReader& reader, PgnItem& item) {
    for (;;) {
        if (!reader.line_open) {
            bool tag_found = false;
            if (!open_next_line(reader, item, tag_found)) return false;
            if (tag_found) return true;
        }
        if (scan_line(reader, item)) return true;
    }
}
