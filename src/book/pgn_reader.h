#pragma once
// Reading a PGN file for the book builder: lines of any length, and in them
// the tag lines, the move tokens and the game-termination markers, with
// everything else of the PGN grammar taken out: brace comments (also over
// several lines), variations in parentheses (nested; their moves are not
// returned), ';' comments, '%' escape lines, NAGs ($1) and move numbers,
// also glued to a move (1.e4, 12...Nf6). Deciding what a token means for a
// game is the builder's part.

#include <cstdio>
#include <string>

// ------------------------------------------------------------------ records

enum class PgnItemKind {
    tag,     // a tag line; text is the whole line
    move,    // a move token, annotation marks still on; move number cut off
    marker,  // a termination marker; result holds its code
};

// Results, in the codes of the book builder: 0 unknown or unfinished.
constexpr int pgn_no_result = 0;
constexpr int pgn_white_won = 1;
constexpr int pgn_black_won = 2;
constexpr int pgn_draw = 3;

struct PgnItem {
    PgnItemKind kind = PgnItemKind::move;
    std::string text;
    int result = pgn_no_result;
    int line_number = 0;  // line of the file (from 1) the item stands on
};

// The reader's position in its file. The comment and variation depths
// carry over from line to line. A line counts as a move line when it
// starts with a non-blank character other than '['; moves on other lines
// are ignored, but while a comment or a variation is open every line is
// read for its closing marks. A line starting with '[' outside a comment
// is a tag line, and it closes any variation left open.
struct PgnReader {
    FILE* file = nullptr;
    std::string line;
    size_t pos = 0;
    int line_number = 0;
    int comment_depth = 0;
    int variation_depth = 0;
    bool moves_allowed = false;
    bool line_open = false;  // `line` still has text to scan
};

// ---------------------------------------------------------------- functions

// The next item of the file; false at its end.
bool next_pgn_item(PgnReader& reader, PgnItem& item);
// The result code of a marker ("1-0", "0-1", "1/2-1/2", "*"); -1 for any
// other text.
int pgn_marker_result(const std::string& text);
