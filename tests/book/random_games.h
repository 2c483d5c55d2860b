#pragma once
// Random legal games written as PGN, for the book builder's tests and its
// bench: every move is drawn from the legal moves with a seeded generator,
// so the same seed gives the same file, and nearly every position of a
// game is new. Moves are written in standard SAN (piece letter, the least
// disambiguation, "x", promotion "=Q", castling "O-O").

#include <random>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"

namespace random_games {

// One game: its move text, the key after each half-move and its result
// ("1-0", "0-1" or "1/2-1/2").
struct RandomGame {
    std::string movetext;
    std::vector<HashKey> keys;
    std::string result;
};

inline std::vector<Move> legal_moves(SearchState& state) {
    PlyRecord& list = *state.ply_rec;
    list.move_count = 0;
    generate_captures(state);
    generate_quiets(state);
    std::vector<Move> legal;
    const bool checked = side_in_check(state);
    for (int i = 0; i < list.move_count; ++i) {
        const Move m = list.moves[i];
        if (checked && is_castling(m)) continue;
        make_move(state, m);
        if (!attacked(state, state.to_move, king_square(state, state.not_to_move))) legal.push_back(m);
        unmake_move(state);
    }
    list.move_count = 0;
    return legal;
}

inline std::string square_text(int sq) {
    return {char('a' + file(sq)), char('1' + rank(sq))};
}

// SAN of legal move m, one of `legal`, before it is made.
inline std::string san_of(Move m, const std::vector<Move>& legal) {
    if (is_castling(m)) return file(move_to(m)) == 6 ? "O-O" : "O-O-O";
    const int from = move_from(m);
    const int type = piece_type[move_piece(m)];
    std::string san;
    if (type != pawn) {
        san += piece_letters[type];
        bool rival = false, same_file = false, same_rank = false;
        for (Move other : legal) {
            if (other == m || move_piece(other) != move_piece(m) || move_to(other) != move_to(m)) continue;
            rival = true;
            same_file |= file(move_from(other)) == file(from);
            same_rank |= rank(move_from(other)) == rank(from);
        }
        if (rival && (!same_file || same_rank)) san += char('a' + file(from));
        if (rival && same_file) san += char('1' + rank(from));
    }
    const bool capture = is_capture(m) || is_en_passant(m);
    if (type == pawn && capture) san += char('a' + file(from));
    if (capture) san += 'x';
    san += square_text(move_to(m));
    if (is_promotion(m)) {
        san += '=';
        san += piece_letters[piece_type[move_promote(m)]];
    }
    return san;
}

// A game of exactly `half_moves` random legal moves from the initial
// position; a game that ends sooner (mate or stalemate) is thrown away and
// drawn again.
inline RandomGame random_game(SearchState& state, std::mt19937& random, int half_moves) {
    for (;;) {
        new_position(state);
        RandomGame game;
        for (int ply = 0; ply < half_moves; ++ply) {
            const std::vector<Move> legal = legal_moves(state);
            if (legal.empty()) break;
            const Move m = legal[random() % legal.size()];
            if (ply % 2 == 0) game.movetext += std::to_string(ply / 2 + 1) + ". ";
            game.movetext += san_of(m, legal) + " ";
            make_move(state, m);
            game.keys.push_back(state.pos_key);
        }
        if (int(game.keys.size()) < half_moves) continue;
        static const char* const results[] = {"1-0", "0-1", "1/2-1/2"};
        game.result = results[random() % 3];
        game.movetext += game.result;
        return game;
    }
}

// The game with a tag section as PGN databases write it.
inline std::string pgn_of(const RandomGame& game, int number) {
    return "[Event \"Random game " + std::to_string(number) + "\"]\n[Result \"" + game.result +
           "\"]\n\n" + game.movetext + "\n\n";
}

}  // namespace random_games
