// Exchange-evaluation speed: scores every capture of a few busy middlegame
// positions many times over and prints evaluations per second.

#include <chrono>
#include <cstdio>

#include "board/exchange.h"
#include "board/movegen.h"
#include "board/notation.h"

namespace {

constexpr const char* positions[] = {
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - - 0 11",
};
constexpr int rounds = 200000;

SearchState state;

}  // namespace

int main() {
    init_attack_table();
    long long calls = 0;
    long long checksum = 0;
    double seconds = 0;
    for (const char* fen : positions) {
        set_fen(state, fen);
        state.ply_rec->move_count = 0;
        generate_captures(state);
        const PlyRecord& list = *state.ply_rec;
        const auto start = std::chrono::steady_clock::now();
        for (int r = 0; r < rounds; ++r)
            for (int i = 0; i < list.move_count; ++i) checksum += static_exchange(state, list.moves[i]);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        calls += static_cast<long long>(rounds) * list.move_count;
    }
    std::printf("static_exchange: %lld calls in %.3f s, %.1f M calls/s (checksum %lld)\n", calls, seconds,
                calls / seconds / 1e6, checksum);
    return 0;
}
