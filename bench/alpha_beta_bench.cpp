// Nodes per second of the alpha-beta loop alone: each position is searched
// from one full-window node at a fixed depth, with empty tables and cleared
// ordering, and without the root search or the clock. Prints the nodes and
// the rate per position and in total. Usage: alpha_beta_bench [plies]
// (default 8); the rate comes from CPU time, so other load on the machine
// disturbs it less than wall-clock time would.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "board/notation.h"
#include "eval/eval_params.h"
#include "eval/psq.h"
#include "search/picker.h"
#include "search/search.h"
#include "search/trans_table.h"

namespace {

constexpr const char* positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
    "2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - - 0 11",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
};
constexpr int default_plies = 8;

SearchState state;

double cpu_seconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv) {
    const int plies = argc > 1 ? std::atoi(argv[1]) : default_plies;
    init_attack_table();
    init_psq();
    uint64_t total_nodes = 0;
    double total_seconds = 0;
    for (const char* fen : positions) {
        set_fen(state, fen);
        clear_all_tables();
        clear_ordering(state);
        state.nodes = state.qnodes = 0;
        state.next_check = UINT64_MAX;  // no console polling here
        state.params = select_params(state);
        PlyRecord& node = *state.ply_rec;
        node.depth = plies * one_ply;
        node.alpha = no_score;
        node.beta = -no_score;
        node.node_type = pv_node;
        node.step = step_null;
        const double start = cpu_seconds();
        search(state);
        const double seconds = cpu_seconds() - start;
        total_nodes += state.nodes;
        total_seconds += seconds;
        std::printf("%12llu nodes %6.2fs %10.0f n/s score %6d  %s\n", (unsigned long long)state.nodes,
                    seconds, seconds > 0 ? state.nodes / seconds : 0.0, node.best_score, fen);
    }
    std::printf("total %llu nodes %.2fs %.0f n/s\n", (unsigned long long)total_nodes, total_seconds,
                total_seconds > 0 ? total_nodes / total_seconds : 0.0);
    return 0;
}
