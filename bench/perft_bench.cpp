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

#include <sys/resource.h>
#include <time.h>

#include "../tests/board/perft_util.h"

namespace {

constexpr const char* kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// The machine is shared, so wall time depends on the other load: rates are
// taken from CPU time, and wall time is printed beside them.
double wall_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double children_cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Runs `go perft` in Stockfish; returns the CPU seconds of the child
// processes (start-up included) or a negative value when Stockfish is not
// available.
double time_stockfish(const char* fen, int depth, uint64_t& leaves) {
    char command[512];
    std::snprintf(command, sizeof command,
                  "sf=$(command -v stockfish || echo /usr/games/stockfish); [ -x \"$sf\" ] && "
                  "printf 'position fen %s\\ngo perft %d\\nquit\\n' | \"$sf\" 2>/dev/null",
                  fen, depth);
    const double start = children_cpu_seconds();
    FILE* pipe = popen(command, "r");
    if (!pipe) return -1;
    char line[256];
    bool found = false;
    unsigned long long count = 0;
    while (std::fgets(line, sizeof line, pipe))
        if (std::sscanf(line, "Nodes searched: %llu", &count) == 1) found = true;
    leaves = count;
    pclose(pipe);
    return found ? children_cpu_seconds() - start : -1;
}

void run(const char* name, const char* fen, int depth) {
    auto state = perft::state_from_fen(fen);
    const double wall_start = wall_seconds();
    const double cpu_start = cpu_seconds();
    const uint64_t leaves = perft::perft_like_search<false>(*state, depth);
    const double ours = cpu_seconds() - cpu_start;
    const double wall = wall_seconds() - wall_start;
    const double rate = double(leaves) / ours;
    std::printf("%-9s depth %d: %llu leaves in %.2f s CPU (%.2f s wall) = %.2f M leaves/s\n",
                name, depth, static_cast<unsigned long long>(leaves), ours, wall, rate / 1e6);

    uint64_t sf_leaves = 0;
    const double theirs = time_stockfish(fen, depth, sf_leaves);
    if (theirs < 0) {
        std::printf("          stockfish not found: no comparison\n");
        return;
    }
    std::printf("          stockfish: %llu leaves in %.2f s CPU = %.2f M leaves/s (bulk-counted); "
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
