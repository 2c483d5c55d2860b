// Legal-move perft speed, single thread: every leaf is made and unmade (no
// bulk counting at the last ply), with legality settled as the search does
// (evasions in check, leaves_king_in_check otherwise). For scale, the same
// perft is timed in Stockfish when it is installed; Stockfish counts the last
// ply in bulk, so the ratio flatters it.
//
// Usage: perft_bench [start_depth [kiwipete_depth]]   (defaults 6 and 5)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../tests/board/perft_util.h"

namespace {

constexpr const char* kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs `go perft` in Stockfish; returns its wall time in seconds (start-up
// included) or a negative value when Stockfish is not available.
double time_stockfish(const char* fen, int depth, uint64_t& leaves) {
    char command[512];
    std::snprintf(command, sizeof command,
                  "sf=$(command -v stockfish || echo /usr/games/stockfish); [ -x \"$sf\" ] && "
                  "printf 'position fen %s\\ngo perft %d\\nquit\\n' | \"$sf\" 2>/dev/null",
                  fen, depth);
    const auto start = std::chrono::steady_clock::now();
    FILE* pipe = popen(command, "r");
    if (!pipe) return -1;
    char line[256];
    bool found = false;
    unsigned long long count = 0;
    while (std::fgets(line, sizeof line, pipe))
        if (std::sscanf(line, "Nodes searched: %llu", &count) == 1) found = true;
    leaves = count;
    pclose(pipe);
    return found ? seconds_since(start) : -1;
}

void run(const char* name, const char* fen, int depth) {
    auto state = perft::state_from_fen(fen);
    const auto start = std::chrono::steady_clock::now();
    const uint64_t leaves = perft::perft_like_search<false>(*state, depth);
    const double ours = seconds_since(start);
    const double rate = double(leaves) / ours;
    std::printf("%-9s depth %d: %llu leaves in %.2f s = %.2f M leaves/s\n", name, depth,
                static_cast<unsigned long long>(leaves), ours, rate / 1e6);

    uint64_t sf_leaves = 0;
    const double theirs = time_stockfish(fen, depth, sf_leaves);
    if (theirs < 0) {
        std::printf("          stockfish not found: no comparison\n");
        return;
    }
    std::printf("          stockfish: %llu leaves in %.2f s = %.2f M leaves/s (bulk-counted); "
                "ours/stockfish speed %.3f%s\n",
                static_cast<unsigned long long>(sf_leaves), theirs, double(sf_leaves) / theirs / 1e6,
                rate / (double(sf_leaves) / theirs), sf_leaves == leaves ? "" : "  COUNTS DIFFER");
}

}  // namespace

int main(int argc, char** argv) {
    const int start_depth = argc > 1 ? std::atoi(argv[1]) : 6;
    const int kiwipete_depth = argc > 2 ? std::atoi(argv[2]) : 5;
    run("start", start_fen, start_depth);
    run("kiwipete", kiwipete, kiwipete_depth);
    return 0;
}
