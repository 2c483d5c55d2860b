// setboard text: the words of a FEN as the interpreter gives them, then,
// for a position that is accepted, every legal move made and taken back
// (the keys must come back) and the debugging prints.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "board/make_move.h"
#include "board/move_input.h"
#include "board/notation.h"
#include "fuzz/fuzz_common.h"
#include "protocol/console.h"
#include "protocol/game.h"
#include "search/perft.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fresh_engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > size_t(max_line_length)) return 0;
    fresh_engine();
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    static char* tokens[max_tokens];
    const int count = split_tokens(text.data(), tokens) - 1;
    char fen[command_text_size];
    // setboard takes four to six words.
    if (count < 4 || !set_up_fen_words(game, tokens, count < 6 ? count : 6, fen, int(sizeof fen))) return 0;
    const HashKey key = game.pos_key;
    const HashKey pawns = game.pawn_key;
    perft_count(game, 2);
    if (game.pos_key != key || game.pawn_key != pawns) std::abort();
    show_board(game);
    show_legal_moves(game);
    mirror_board(game);
    mirror_board(game);
    if (game.pos_key != key) std::abort();
    return 0;
}
