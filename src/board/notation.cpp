// Text in and out of the board: FEN set-up and the checks the interpreter
// makes before accepting one, coordinate and display move text, the
// debugging prints and the colour mirror.

#include "board/notation.h"

#include <cctype>

#include "board/attacks.h"
#include "protocol/console.h"

namespace {

// ---------------------------------------------------------------- constants

// Keeps hply = 2 * (full-move number - 1) far below the history size, with
// room left for the rest of the game and a full search below it.
constexpr int max_fullmove = 300;
// The fifty-move rule only ever compares the clock with 100; the bound
// keeps absurd inputs from overflowing anything that adds to it.
constexpr int max_halfmove_clock = 999;
// Cap while reading digits, so long digit strings cannot overflow.
constexpr int number_cap = 1000000;

// ---------------------------------------------------------------- helpers

// The code of one of the twelve piece letters, or 0.
int letter_code(char c) {
    for (int code = white_king; code <= black_pawn; ++code)
        if (piece_letters[code] == c) return code;
    return 0;
}

// The letter of a code as printed; '?' for the two 4-bit values that are
// no code at all, so printing a corrupt move word never reads past the
// letter string.
char code_letter(int code) { return code >= 0 && code <= border ? piece_letters[code] : '?'; }

// Uppercase type letter (K, Q, R, B, N, P) of a code.
char type_letter(int code) { return code >= 0 && code <= border ? piece_letters[piece_type[code]] : '?'; }

// Reads a decimal number after optional spaces; -1 when none is there.
int read_number(const char*& p) {
    while (*p == ' ') ++p;
    if (*p < '0' || *p > '9') return -1;
    int value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value < number_cap) value = value * 10 + (*p - '0');
    return value;
}

// Skips the rest of a field and the one space after it.
void skip_field(const char*& p) {
    while (*p && *p != ' ') ++p;
    if (*p) ++p;
}

// The board field; stops quietly at the end of the text.
const char* read_board_field(SearchState& state, const char* p) {
    for (int r = 7; r >= 0 && *p; --r) {
        for (int f = 0; f < 8 && *p; ++f) {
            const char c = *p++;
            const int code = letter_code(c);
            if (code) {
                state.board[make_square(f, r)] = code;
            } else if (c >= '1' && c <= '8') {
                // A digit advances the file but never past the rank's end.
                const int skip = c - '1';
                f += skip < 7 - f ? skip : 7 - f;
            }
        }
        if (*p) ++p;  // the '/' or the space that ends the rank
    }
    return p;
}

int read_castle_field(const char*& p) {
    int rights = 0;
    if (*p == '-') {
        ++p;
    } else {
        for (;; ++p) {
            if (*p == 'K') rights |= white_short;
            else if (*p == 'Q') rights |= white_long;
            else if (*p == 'k') rights |= black_short;
            else if (*p == 'q') rights |= black_long;
            else break;
        }
    }
    skip_field(p);
    return rights;
}

int read_ep_field(const char*& p) {
    int ep = 0;
    if (*p >= 'a' && *p <= 'h' && p[1] >= '1' && p[1] <= '8') ep = make_square(*p - 'a', p[1] - '1');
    skip_field(p);
    return ep;
}

// A castling right is only kept with king and rook on their home squares:
// castling generation trusts the rights and would otherwise move a rook
// that is not there.
int sanitize_castle_rights(const SearchState& state, int rights) {
    const int* b = state.board;
    if (b[sq_e1] != white_king) rights &= ~(white_short | white_long);
    if (b[sq_h1] != white_rook) rights &= ~white_short;
    if (b[sq_a1] != white_rook) rights &= ~white_long;
    if (b[sq_e8] != black_king) rights &= ~(black_short | black_long);
    if (b[sq_h8] != black_rook) rights &= ~black_short;
    if (b[sq_a8] != black_rook) rights &= ~black_long;
    return rights;
}

// An en-passant square is only kept where a double push of the opponent
// could just have passed it: an en-passant capture removes the man in front
// of the square, which must therefore be the opponent's pawn.
int sanitize_ep_square(const SearchState& state, int ep) {
    const int side = state.to_move;
    if (ep == 0 || rank(ep) != (side == white ? 5 : 2)) return 0;
    if (state.board[ep] != empty || state.board[ep + pawn_push[side]] != empty) return 0;
    if (state.board[ep - pawn_push[side]] != code_of(pawn, 1 - side)) return 0;
    return ep;
}

}  // namespace

void set_fen(SearchState& state, const char* text) {
    for (int sq = 0; sq < 128; ++sq)
        if (on_board(sq)) state.board[sq] = empty;
    const char* p = read_board_field(state, text);

    int side = white;  // when the field is missing
    if (*p) {
        const char c = *p++;
        if (c == 'w' || c == 'W') side = white;
        else if (c == 'b' || c == 'B') side = black;
        else side = state.to_move;
        if (*p) ++p;
    }
    state.to_move = side;
    state.not_to_move = 1 - side;

    const int rights = *p ? read_castle_field(p) : 0;
    const int ep = *p ? read_ep_field(p) : 0;
    int halfmove = read_number(p);
    int fullmove = halfmove < 0 ? -1 : read_number(p);
    if (halfmove < 0) halfmove = 0;
    if (halfmove > max_halfmove_clock) halfmove = max_halfmove_clock;
    if (fullmove < 1) fullmove = 1;
    if (fullmove > max_fullmove) fullmove = max_fullmove;

    state.castle_rights = sanitize_castle_rights(state, rights);
    state.ep_square = sanitize_ep_square(state, ep);
    state.halfmove_clock = halfmove;
    state.hply = 2 * (fullmove - 1) + (side == black ? 1 : 0);
    init_position(state);
    record_setup_check(state);
}

void new_position(SearchState& state) { set_fen(state, start_fen); }

bool fen_board_complete(const char* text) {
    const char* p = text;
    for (int r = 0; r < 8; ++r) {
        if (r > 0 && *p++ != '/') return false;
        int squares = 0;
        for (; *p && *p != '/' && *p != ' '; ++p) {
            if (*p >= '1' && *p <= '8')
                squares += *p - '0';
            else if (letter_code(*p))
                ++squares;
            else
                return false;
            if (squares > 8) return false;
        }
        if (squares != 8) return false;
    }
    return *p == '\0' || *p == ' ';
}

bool position_is_legal(const SearchState& state) {
    if (state.men_count[white_king] != 1 || state.men_count[black_king] != 1) return false;
    for (int f = 0; f < 8; ++f) {
        if (piece_type[state.board[make_square(f, 0)]] == pawn) return false;
        if (piece_type[state.board[make_square(f, 7)]] == pawn) return false;
    }
    return !attacked(state, state.to_move, king_square(state, state.not_to_move));
}

void square_to_text(int sq, char* buffer) {
    buffer[0] = char('a' + file(sq));
    buffer[1] = char('1' + (rank(sq) & 7));
    buffer[2] = 0;
}

void move_to_text(Move m, char* buffer) {
    square_to_text(move_from(m), buffer);
    square_to_text(move_to(m), buffer + 2);
    if (move_promote(m)) {
        buffer[4] = type_letter(move_promote(m));
        buffer[5] = 0;
    }
}

void move_to_long_text(Move m, char* buffer) {
    char* out = buffer;
    const int piece = move_piece(m);
    if (piece != empty && piece < border && piece_type[piece] != pawn) *out++ = type_letter(piece);
    square_to_text(move_from(m), out);
    out += 2;
    *out++ = move_capture(m) ? 'x' : '-';
    square_to_text(move_to(m), out);
    out += 2;
    if (move_promote(m)) {
        *out++ = '=';
        *out++ = type_letter(move_promote(m));
    }
    *out = 0;
}

Move text_to_move(char* text) {
    for (int i = 0; i < 5 && text[i]; ++i)
        if (i % 2 == 0) text[i] = char(std::tolower(static_cast<unsigned char>(text[i])));
    const auto is_file = [](char c) { return c >= 'a' && c <= 'h'; };
    const auto is_rank = [](char c) { return c >= '1' && c <= '8'; };
    if (!is_file(text[0]) || !is_rank(text[1]) || !is_file(text[2]) || !is_rank(text[3])) return 0;
    const int from = make_square(text[0] - 'a', text[1] - '1');
    const int to = make_square(text[2] - 'a', text[3] - '1');
    int promote = 0;
    switch (text[4]) {
        case 'q': promote = queen; break;
        case 'r': promote = rook; break;
        case 'b': promote = bishop; break;
        case 'n': promote = knight; break;
        default: break;
    }
    return make_move_word(from, to, 0, 0, promote);
}

void show_move_fields(Move m) {
    char from[3], to[3];
    square_to_text(move_from(m), from);
    square_to_text(move_to(m), to);
    emit("%s %s %c %c %c ep = %d cst=%d", from, to, code_letter(move_piece(m)),
         code_letter(move_capture(m)), code_letter(move_promote(m)), int(m & ep_flag),
         int(m & castle_flag));
}

void show_board(const SearchState& state) {
    emit("\n");
    for (int r = 7; r >= 0; --r) {
        char line[9];
        for (int f = 0; f < 8; ++f) line[f] = code_letter(state.board[make_square(f, r)]);
        line[8] = 0;
        emit("\t%s\n", line);
    }
}

void show_history(const SearchState& state) {
    for (int i = 0; i < state.hply; ++i) {
        const HistRecord& record = state.hist_stack[i];
        char ep[3];
        square_to_text(record.ep_square, ep);
        emit("%d. ", i);
        show_move_fields(record.move);
        emit(" cst=%d ep=%s fif=%d chk=%d hkey 0x%llx\n", record.castle_rights, ep,
             record.halfmove_clock, record.check_kind, static_cast<unsigned long long>(record.pos_key));
    }
}

namespace {

constexpr int swap_colour(int code) {
    if (code >= white_king && code <= white_pawn) return code + 6;
    if (code >= black_king && code <= black_pawn) return code - 6;
    return code;
}

}  // namespace

void mirror_board(SearchState& state) {
    for (int sq = 0; sq < 56; ++sq) {
        if (!on_board(sq)) continue;
        const int other = sq ^ 0x70;
        const int low = state.board[sq];
        state.board[sq] = swap_colour(state.board[other]);
        state.board[other] = swap_colour(low);
    }
    const int side = state.to_move;
    state.to_move = state.not_to_move;
    state.not_to_move = side;
    if (state.ep_square) state.ep_square = (7 - rank(state.ep_square)) * 16 + file(state.ep_square);
    const int old = state.castle_rights;
    state.castle_rights = ((old >> 2) & 3) | (old & 1) * 4 | ((old & 2) ? 8 : 0);
    init_position(state);
    record_setup_check(state);
}
