// Moves from outside (coordinate text from the interface, SAN from PGN
// files) are never trusted: each is matched against the generated moves of
// the position and accepted only when making it leaves the mover's king
// unattacked. The current ply's move list serves as scratch space.

#include "board/move_input.h"

#include <cstring>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "protocol/console.h"

namespace {

// ------------------------------------------------------------------ records

// What a SAN text asks for. Zero hints mean "any"; the castling texts set
// `castling` and fix from/to to the king's squares.
struct SanRequest {
    int target;
    int piece_type;
    int promote_type;  // 0 when the text names no promotion
    int file_hint;     // file + 1, or 0
    int rank_hint;     // rank + 1, or 0
    bool castling;
    int castle_from;
};

// -------------------------------------------------------------- functions

// The move generators, the king test and make/unmake all need exactly one
// king per side and room in the history; without them nothing is legal.
bool can_test_moves(const SearchState& state) {
    return state.piece_list[white_king] && state.piece_list[black_king] && state.hply < max_history;
}

// Fills the current ply's list with every pseudo-legal move, captures first.
void generate_into_scratch(SearchState& state) {
    state.ply_rec->move_count = 0;
    generate_captures(state);
    generate_quiets(state);
}

// Makes the move, tests the mover's king and takes the move back.
bool is_legal(SearchState& state, Move m) {
    make_move(state, m);
    const bool legal = !attacked(state, state.to_move, king_square(state, state.not_to_move));
    unmake_move(state);
    return legal;
}

bool is_file_char(char c) { return c >= 'a' && c <= 'h'; }
bool is_rank_char(char c) { return c >= '1' && c <= '8'; }

// Type of the man named by a letter of the piece string, or -1 when the
// letter is not in it.
int letter_type(char c) {
    const char* at = c ? std::strchr(piece_letters, c) : nullptr;
    return at ? piece_type[at - piece_letters] : -1;
}

// Reads a castling text into the request; false for any other text.
bool read_castling(const SearchState& state, const char* text, SanRequest& req) {
    const bool is_short = !std::strcmp(text, "o-o") || !std::strcmp(text, "O-O") || !std::strcmp(text, "0-0");
    const bool is_long =
        !std::strcmp(text, "o-o-o") || !std::strcmp(text, "O-O-O") || !std::strcmp(text, "0-0-0");
    if (!is_short && !is_long) return false;
    const int home = state.to_move == white ? sq_e1 : sq_e8;
    req.castling = true;
    req.castle_from = home;
    req.piece_type = king;
    req.target = is_short ? home + 2 : home - 2;
    return true;
}

// Reads the promotion suffix ("=Q", or a bare trailing "Q" after the rank
// digit as some PGN writers put it) and cuts it off. False when the suffix
// names no man a pawn may become.
bool read_promotion(char* text, SanRequest& req) {
    char* eq = std::strchr(text, '=');
    size_t len = std::strlen(text);
    char* letter = nullptr;
    if (eq) {
        letter = eq + 1;
    } else if (len >= 3 && is_rank_char(text[len - 2]) && std::strchr("QRBNqrbn", text[len - 1])) {
        eq = letter = text + len - 1;
    } else {
        return true;
    }
    const int type = letter_type(*letter);
    if (type < queen || type > knight) return false;
    req.promote_type = type;
    *eq = 0;
    return true;
}

// Reads target, capture mark, disambiguation and piece letter, cutting the
// text from the right. A full from-square (Qh4e1) is read as rank then file.
bool read_san_body(char* text, SanRequest& req) {
    size_t len = std::strlen(text);
    req.piece_type = pawn;
    if (len < 2 || !is_file_char(text[len - 2]) || !is_rank_char(text[len - 1])) return false;
    req.target = make_square(text[len - 2] - 'a', text[len - 1] - '1');
    len -= 2;
    if (len > 0 && text[len - 1] == 'x') --len;
    if (len > 0 && is_rank_char(text[len - 1])) req.rank_hint = text[--len] - '1' + 1;
    if (len > 0 && is_file_char(text[len - 1])) req.file_hint = text[--len] - 'a' + 1;
    text[len] = 0;
    if (len > 0) {
        const int type = letter_type(text[len - 1]);
        if (type >= 0) req.piece_type = type;
    }
    return true;
}

// Whether a generated move is the one the SAN request describes (legality
// aside). A castling text matches only castling moves and no other text
// matches one, so "Kg1" with the king on f1 is never read as castling.
bool matches_request(Move m, const SanRequest& req) {
    if (move_to(m) != req.target || piece_type[move_piece(m)] != req.piece_type) return false;
    if (req.promote_type && piece_type[move_promote(m)] != req.promote_type) return false;
    if (is_castling(m) != req.castling) return false;
    if (req.castling && move_from(m) != req.castle_from) return false;
    if (req.file_hint && file(move_from(m)) != req.file_hint - 1) return false;
    if (req.rank_hint && rank(move_from(m)) != req.rank_hint - 1) return false;
    return true;
}

}  // namespace

int complete_user_move(SearchState& state, Move& m) {
    if (!can_test_moves(state)) return 0;
    Move wanted = m & user_move_mask;
    if (move_promote(wanted)) wanted += Move(6 * state.to_move) << 24;
    generate_into_scratch(state);
    const PlyRecord& list = *state.ply_rec;
    for (int i = 0; i < list.move_count; ++i) {
        const Move candidate = list.moves[i];
        if ((candidate & user_move_mask) != wanted) continue;
        if (!is_legal(state, candidate)) return 0;
        m = candidate;
        return 1;
    }
    return 0;
}

int san_to_move(SearchState& state, char* text, Move& m) {
    if (char* mark = std::strpbrk(text, "+#")) *mark = 0;
    SanRequest req = {};
    if (!read_castling(state, text, req)) {
        if (!read_promotion(text, req) || !read_san_body(text, req)) return 0;
    }
    if (!can_test_moves(state)) return 0;
    generate_into_scratch(state);
    const PlyRecord& list = *state.ply_rec;
    for (int i = 0; i < list.move_count; ++i) {
        const Move candidate = list.moves[i];
        if (matches_request(candidate, req) && is_legal(state, candidate)) {
            m = candidate;
            return 1;
        }
    }
    return 0;
}

void show_legal_moves(SearchState& state) {
    if (!can_test_moves(state)) return;
    generate_into_scratch(state);
    const PlyRecord& list = *state.ply_rec;
    for (int i = 0; i < list.move_count; ++i) {
        if (!is_legal(state, list.moves[i])) continue;
        show_move_fields(list.moves[i]);
        emit("\n");
    }
}
