// Typed moves: the first byte picks a position, the rest is one word read
// both as a coordinate move (as the interpreter does) and as SAN (as the
// book builder does). A move accepted by either must be legal: made and
// taken back, it leaves the position as it was.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "board/make_move.h"
#include "board/move_input.h"
#include "board/notation.h"
#include "fuzz/fuzz_common.h"
#include "protocol/game.h"

namespace {

// Castling both ways, en passant, promotions with and without capture,
// checks and mates in one.
constexpr const char* positions[] = {
    start_fen,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1",
    "1r2k3/P7/8/8/8/8/p7/4K2R b K - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1",
};

void check_legal(Move m) {
    const HashKey key = game.pos_key;
    const int hply = game.hply;
    make_move(game, m);
    unmake_move(game);
    if (game.pos_key != key || game.hply != hply) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fresh_engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 64) return 0;
    fresh_engine();
    set_fen(game, positions[data[0] % (sizeof positions / sizeof positions[0])]);
    std::vector<char> word(data + 1, data + size);
    word.push_back('\0');
    std::vector<char> san = word;

    Move m = text_to_move(word.data());
    if (m != 0 && complete_user_move(game, m)) check_legal(m);
    Move san_move = 0;
    if (san_to_move(game, san.data(), san_move)) check_legal(san_move);
    return 0;
}
