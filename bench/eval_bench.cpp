// Full evaluations per second over fixed middlegame positions, with every
// cache probe missing. Usage: eval_bench [run-directory]; with a run
// directory the shipped personality is loaded from it first.

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "board/notation.h"
#include "eval/eval_cache.h"
#include "eval/eval_params.h"
#include "eval/evaluate.h"
#include "eval/psq.h"

namespace {

constexpr const char* positions[] = {
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
    "r2q1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1PN1PN2/PB2BPPP/R2Q1RK1 w - - 0 10",
    "2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - - 0 11",
    "r1bqr1k1/pp1n1pbp/2pp1np1/4p3/2PPP3/2N1BP2/PP1QN1PP/R3KB1R w KQ - 0 10",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "3r1rk1/p1q2ppp/1pn1pn2/2b5/2P5/P1N1PN2/1BQ2PPP/3R1RK1 b - - 0 15",
    "r2qk2r/pp1nbppp/2p1pn2/3p1b2/2PP4/1QN1PN2/PP3PPP/R1B1KB1R w KQkq - 0 8",
};
constexpr int position_count = sizeof positions / sizeof positions[0];
constexpr int rounds = 200000;

SearchState states[position_count];

}  // namespace

int main(int argc, char** argv) {
    init_attack_table();
    init_psq();
    if (argc > 1 && (chdir(argv[1]) != 0 || !command_personality("default"))) return 1;
    for (int i = 0; i < position_count; ++i) set_fen(states[i], positions[i]);

    long long checksum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        for (SearchState& state : states) {
            eval_cache_entry(*state.eval_cache, state.pos_key).key = 0;  // force a miss
            checksum += evaluate(state, eval_full);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double evaluations = double(rounds) * position_count;
    std::printf("full evaluations: %.0f in %.3f s = %.0f per second (checksum %lld)\n", evaluations,
                seconds, evaluations / seconds, checksum);
    return 0;
}
