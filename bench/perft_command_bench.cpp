// Speed of move generation, legality filtering and make/unmake as the
// `perft` command runs them: perft from the start position through the
// staged picker. Usage: perft_command_bench [depth] (default 6).

#include <cstdio>
#include <cstdlib>

#include "board/board.h"
#include "board/notation.h"
#include "protocol/console.h"
#include "search/perft.h"

namespace {
// Static storage like the engine's own game state: it is large.
SearchState game;
}  // namespace

int main(int argc, char** argv) {
    const int depth = argc > 1 ? std::atoi(argv[1]) : 6;
    init_attack_table();
    new_position(game);
    const int start = now_ms();
    command_perft(game, depth);
    const uint32_t elapsed = uint32_t(now_ms()) - uint32_t(start);
    std::printf("perft %d: %llu nodes, %u ms, %.0f nodes per second\n", depth,
                static_cast<unsigned long long>(game.nodes), elapsed,
                elapsed ? double(game.nodes) * 1000.0 / elapsed : 0.0);
    return 0;
}
