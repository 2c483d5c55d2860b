// Speed of `build` on a large PGN file: random legal games of 20 to 40
// half-moves from a fixed seed, so nearly every position is new and the
// tables grow with every game, the hard case for finding positions. The
// book records the first 20 half-moves of both colours. The file is made
// first and not timed; the build's progress lines go to /dev/null.
//
// Usage: book_build_bench [games]   (default 100000)

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "../tests/book/random_games.h"
#include "book/book.h"
#include "book/book_tools.h"

namespace {

constexpr int default_games = 100000;
constexpr int shortest_game = 20;
constexpr int longest_game = 40;
constexpr int half_plies = 21;  // half-moves 1 to 20 are recorded
constexpr unsigned seed = 20240601;

// The machine is shared: the rate is taken from the process's CPU time,
// and the wall time is printed beside it.
double cpu_seconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Writes the games; returns the half-moves written.
long write_random_pgn(const std::string& name, int games) {
    static SearchState board;
    std::mt19937 random(seed);
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    long half_moves = 0;
    for (int g = 1; g <= games; ++g) {
        const int length = shortest_game + int(random() % (longest_game - shortest_game + 1));
        out << random_games::pgn_of(random_games::random_game(board, random, length), g);
        half_moves += length;
    }
    return half_moves;
}

// Runs the build with standard output sent to /dev/null.
bool quiet_build(const std::string& pgn, const std::string& book, int size) {
    static SearchState board;
    std::fflush(stdout);
    const int saved = dup(1);
    const int null_output = open("/dev/null", O_WRONLY);
    dup2(null_output, 1);
    const bool built = build_book(board, pgn.c_str(), book.c_str(), size, half_plies, build_both_colours);
    std::fflush(stdout);
    dup2(saved, 1);
    close(null_output);
    close(saved);
    return built;
}

}  // namespace

int main(int argc, char** argv) {
    const int games = argc > 1 ? std::atoi(argv[1]) : default_games;
    if (games < 1) {
        std::fprintf(stderr, "usage: book_build_bench [games]\n");
        return 1;
    }
    init_attack_table();
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::string pgn = (dir / ("book_build_bench_" + std::to_string(getpid()) + ".pgn")).string();
    const std::string book = (dir / ("book_build_bench_" + std::to_string(getpid()) + ".dat")).string();

    const auto made = std::chrono::steady_clock::now();
    const long half_moves = write_random_pgn(pgn, games);
    std::printf("%d random games, %ld half-moves, %ld bytes of PGN made in %.1f s\n", games,
                half_moves, long(std::filesystem::file_size(pgn)), seconds_since(made));

    // Room for every recorded position: half of the recorded half-moves of
    // each game go to each table.
    const int size = games * (half_plies / 2);
    const auto wall_start = std::chrono::steady_clock::now();
    const double cpu_start = cpu_seconds();
    const bool built = quiet_build(pgn, book, size);
    const double cpu = cpu_seconds() - cpu_start;
    const double wall = seconds_since(wall_start);

    uint32_t counts[2] = {0, 0};
    if (FILE* file = std::fopen(book.c_str(), "rb")) {
        read_book_header(file, counts[white], counts[black]);
        std::fclose(file);
    }
    std::filesystem::remove(pgn);
    std::filesystem::remove(book);
    if (!built) {
        std::printf("build failed\n");
        return 1;
    }
    std::printf("build: %u white and %u black positions in %.2f s CPU (%.2f s wall) = %.0f games/s\n",
                counts[white], counts[black], cpu, wall, games / cpu);
    return 0;
}
