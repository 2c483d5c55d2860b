// Probe speed of the bitbase library as the engine calls it: loads
// qordil64.dll from the build's egbb/ directory, draws a million random
// legal positions spread over every table it finds, and prints the average
// time per probe over several passes, first pass (pages not yet touched)
// apart. `qordil_probe_bench [DIR] [POSITIONS]`.

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "qordil/board_rules.h"
#include "qordil/tables.h"

namespace {

using LoadFunction = void (*)(char* path, int cache_bytes, int load_type);
using ProbeFunction = int (*)(int side, int white_king, int black_king, int piece1, int square1, int piece2,
                              int square2, int piece3, int square3);

struct ProbeArgs {
    int side, white_king, black_king, piece1, square1, piece2, square2;
};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : QORDIL_DIR;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    const int count = argc > 2 ? std::atoi(argv[2]) : 1000000;
    void* handle = dlopen((dir + "qordil64.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "cannot load %sqordil64.dll: %s\n", dir.c_str(), dlerror());
        return 1;
    }
    auto load = reinterpret_cast<LoadFunction>(dlsym(handle, "load_egbb_5men"));
    auto probe = reinterpret_cast<ProbeFunction>(dlsym(handle, "probe_egbb_5men"));
    if (!load || !probe) return 1;
    const auto load_start = std::chrono::steady_clock::now();
    load(dir.data(), 4 << 20, 1);
    const double load_seconds = seconds_since(load_start);

    // The tables present, and random legal positions of them.
    std::vector<int> tables;
    for (int t = 0; t < qordil::table_count; ++t) {
        const uint8_t* data = qordil::map_table_file(dir.c_str(), t);
        if (data) tables.push_back(t);
        qordil::unmap_table_file(t, data);
    }
    if (tables.empty()) {
        std::fprintf(stderr, "no tables in %s\n", dir.c_str());
        return 1;
    }
    std::mt19937 random(1);
    std::vector<ProbeArgs> positions;
    positions.reserve(size_t(count));
    while (int(positions.size()) < count) {
        const qordil::TableInfo& info = qordil::table_info(tables[random() % tables.size()]);
        qordil::Position p;
        p.side = int(random() & 1);
        p.count = 2 + info.men;
        p.square[0] = int(random() % 64);
        p.square[1] = int(random() % 64);
        for (int i = 0; i < info.men; ++i) {
            // Either colour may hold the men: the probe swaps them back.
            p.code[2 + i] = info.code[i];
            p.square[2 + i] = int(random() % 64);
        }
        if (!qordil::is_legal(p)) continue;
        positions.push_back({p.side, p.square[0], p.square[1], p.code[2], p.square[2], info.men == 2 ? p.code[3] : 0,
                             info.men == 2 ? p.square[3] : 0});
    }

    long long checksum = 0;
    long long unknown = 0;
    double first = 0;
    double rest = 0;
    constexpr int passes = 5;
    for (int pass = 0; pass < passes; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        for (const ProbeArgs& a : positions) {
            const int score = probe(a.side, a.white_king, a.black_king, a.piece1, a.square1, a.piece2, a.square2, 0, 0);
            if (score == 99999) ++unknown;
            checksum += score;
        }
        const double took = seconds_since(start);
        if (pass == 0) first = took;
        else rest += took;
    }
    std::printf("tables: %zu  positions: %d  load: %.3f s\n", tables.size(), count, load_seconds);
    std::printf("first pass: %.1f ns/probe   later passes: %.1f ns/probe   unknown: %lld   checksum: %lld\n",
                first * 1e9 / count, rest * 1e9 / (double(count) * (passes - 1)), unknown, checksum);
    dlclose(handle);
    return unknown == 0 ? 0 : 1;
}
