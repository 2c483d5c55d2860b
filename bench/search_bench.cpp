// Search benchmark and signature: a fixed set of positions, each searched to
// a fixed iteration limit on one thread, with fixed table sizes, the shipped
// personality loaded (every evaluation term weighted as in play) and all
// tables cleared before each position. Prints the total node count (the
// signature) and the speed.
//
//   search_bench [depth [threads]]
//   search_bench check <signature file>
//   search_bench threads [depth]   the same positions on 1, 2 and 8 threads,
//                           side by side: time to the depth, nps, and the
//                           speed-up against one thread
//
//   search_bench fens       prints the positions, for running a peer engine
//                           over the same set (bench/peer_nps.py)
//
// The signature file holds the depth and the expected total; with `check`
// the bench runs at that depth and its exit code says whether the totals
// match. A change of the total means the search or the
// evaluation behaves differently; a total that differs between builds of the
// same source means undefined behaviour or an uninitialised read.

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "shipped_personality.h"
#include "board/board.h"
#include "board/notation.h"
#include "eval/psq.h"
#include "protocol/console.h"
#include "protocol/game.h"
#include "search/parallel.h"
#include "search/root.h"
#include "search/root_commands.h"
#include "search/time_control.h"
#include "search/trans_table.h"

namespace {

// The depth whose total bench/signature records.
constexpr int default_depth = 7;
// 2^15 buckets per side: 2 MB each.
constexpr uint64_t bench_tt_buckets = uint64_t(1) << 15;

constexpr const char* positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1",
    "8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - - 0 1",
    "5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN w - - 0 1",
    "r1bq2rk/pp3pbp/2p1p1pQ/7P/3P4/2PB1N2/PP3PPR/2KR4 w - - 0 1",
    "5k2/6pp/p1qN4/1p1p4/3P4/2PKP2Q/PP3r2/3R4 b - - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq - 1 5",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQR1K1 b - - 0 7",
    "r2q1rk1/pb1nbppp/1p2pn2/2pp4/2PP4/1P2PN2/PB1NBPPP/R2Q1RK1 w - - 0 10",
    "2r2rk1/1bqnbppp/p2ppn2/1p6/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 0 13",
    "r4rk1/pp2ppbp/2n3p1/q1pP4/2P1P3/2N1B3/P2Q1PPP/R3KB1R w KQ - 1 13",
    "8/8/4k3/3p4/3P4/4K3/8/8 w - - 0 1",
    "8/5pk1/6p1/7p/7P/6P1/5PK1/8 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "8/8/8/3k4/8/8/2R5/4K3 w - - 0 1",
    "4r1k1/pp3ppp/8/3p4/3P4/2P5/PP3PPP/4R1K1 w - - 0 20",
    "3r2k1/5pp1/7p/8/2B5/6P1/5P1P/6K1 w - - 0 30",
    "8/8/1p1k4/p2p4/P2P4/1P1K4/8/8 b - - 0 40",
};

struct Signature {
    int depth = default_depth;
    long long nodes = -1;
};

struct BenchRun {
    uint64_t nodes = 0;
    int elapsed_ms = 1;
};

// Every position searched to the iteration limit on `threads` threads, each
// after clearing the tables.
BenchRun run_positions(int threads) {
    set_worker_count(threads);
    BenchRun run;
    const int start = now_ms();
    for (const char* fen : positions) {
        clear_all_tables();
        set_fen(game, fen);
        copy_search_state(main_search_state, game);
        find_best_move(main_search_state);
        run.nodes += main_search_state.nodes;
    }
    run.elapsed_ms = now_ms() - start;
    if (run.elapsed_ms <= 0) run.elapsed_ms = 1;
    return run;
}

double nps_of(const BenchRun& run) { return double(run.nodes) * 1000.0 / run.elapsed_ms; }

// Time to the same depth on 1, 2 and 8 threads. The parallel runs search
// more nodes than the single one (work done twice at splits), so the
// speed-up is measured in time, not in nodes per second.
int compare_threads(int depth) {
    const int counts[] = {1, 2, 8};
    BenchRun runs[3];
    for (int i = 0; i < 3; ++i) runs[i] = run_positions(counts[i]);
    set_worker_count(1);
    std::printf("\npositions %zu depth %d, %u hardware threads\n",
                sizeof positions / sizeof positions[0], depth, std::thread::hardware_concurrency());
    std::printf("threads %12s %9s %12s %12s %9s\n", "nodes", "time s", "nps", "nps/thread",
                "speed-up");
    for (int i = 0; i < 3; ++i)
        std::printf("%7d %12" PRIu64 " %9.2f %12.0f %12.0f %9.2f\n", counts[i], runs[i].nodes,
                    runs[i].elapsed_ms / 1000.0, nps_of(runs[i]), nps_of(runs[i]) / counts[i],
                    double(runs[0].elapsed_ms) / runs[i].elapsed_ms);
    return 0;
}

bool read_signature(const char* path, Signature& signature) {
    FILE* file = std::fopen(path, "r");
    if (!file) return false;
    const bool read = std::fscanf(file, "%d %lld", &signature.depth, &signature.nodes) == 2;
    std::fclose(file);
    return read;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "fens") == 0) {
        for (const char* fen : positions) std::printf("%s\n", fen);
        return 0;
    }
    Signature signature;
    const bool comparing = argc > 1 && std::strcmp(argv[1], "threads") == 0;
    const bool checking = argc > 2 && std::strcmp(argv[1], "check") == 0;
    if (checking && !read_signature(argv[2], signature)) {
        std::printf("cannot read the signature file %s\n", argv[2]);
        return 1;
    }
    int depth = checking ? signature.depth : argc > 1 ? std::atoi(argv[1]) : default_depth;
    if (comparing) depth = argc > 2 ? std::atoi(argv[2]) : default_depth;
    const int threads = !checking && !comparing && argc > 2 ? std::atoi(argv[2]) : 1;
    if (!load_shipped_personality()) {
        std::printf("cannot load the shipped personality\n");
        return 1;
    }
    init_attack_table();
    init_psq();
    resize_tt(bench_tt_buckets);
    pvstyle = 1;  // one table row per position instead of thinking lines
    char depth_text[16];
    std::snprintf(depth_text, sizeof depth_text, "%d", depth);
    char* args[] = {depth_text};
    command_sd(args, 1);
    if (comparing) return compare_threads(depth);

    const BenchRun run = run_positions(threads);
    const uint64_t total_nodes = run.nodes;
    const int elapsed = run.elapsed_ms;
    std::printf("\npositions %zu depth %d threads %d\n", sizeof positions / sizeof positions[0],
                depth, worker_count.load());
    std::printf("nodes %" PRIu64 "\n", total_nodes);
    std::printf("time %.2f s\n", elapsed / 1000.0);
    std::printf("nps %.0f\n", double(total_nodes) * 1000.0 / elapsed);

    if (checking) {
        if (signature.nodes != (long long)total_nodes) {
            std::printf("signature mismatch: expected %lld\n", signature.nodes);
            return 1;
        }
        std::printf("signature ok\n");
    }
    return 0;
}
