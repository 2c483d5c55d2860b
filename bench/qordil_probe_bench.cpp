// Probe speed of the bitbase library as the engine calls it: loads
// qordil64.dll from the build's egbb/ directory, draws a million random
// legal positions spread over every table it finds, and prints the average
// time per probe over several passes, first pass (pages not yet touched)
// apart. Then where the time goes: the same count of probes on one 3-man
// table (its 59 KB stay in the processor's cache) and on one 4-man table
// (3.6 MB), the index computation alone (orientation and folding, no table
// read), and probes that each wait for the previous answer, as in a search.
// Last, the same random probes with a cache size that lets the library copy
// the tables into its own memory in 2 MB pages.
// `qordil_probe_bench [DIR] [POSITIONS]`.

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

constexpr int passes = 5;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Random legal positions of the given tables, men of either colour (the
// probe swaps them back).
std::vector<ProbeArgs> draw_positions(const std::vector<int>& tables, int count, unsigned seed) {
    std::mt19937 random(seed);
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
            p.code[2 + i] = info.code[i];
            p.square[2 + i] = int(random() % 64);
        }
        if (!qordil::is_legal(p)) continue;
        positions.push_back({p.side, p.square[0], p.square[1], p.code[2], p.square[2], info.men == 2 ? p.code[3] : 0,
                             info.men == 2 ? p.square[3] : 0});
    }
    return positions;
}

struct PassTimes {
    double first_ns = 0;  // first pass, per probe
    double later_ns = 0;  // the other passes, per probe
    long long unknown = 0;
    long long checksum = 0;
};

PassTimes time_probes(ProbeFunction probe, const std::vector<ProbeArgs>& positions) {
    PassTimes times;
    double rest = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        for (const ProbeArgs& a : positions) {
            const int score = probe(a.side, a.white_king, a.black_king, a.piece1, a.square1, a.piece2, a.square2, 0, 0);
            if (score == 99999) ++times.unknown;
            times.checksum += score;
        }
        const double took = seconds_since(start);
        if (pass == 0) times.first_ns = took * 1e9 / double(positions.size());
        else rest += took;
    }
    times.later_ns = rest * 1e9 / (double(positions.size()) * (passes - 1));
    return times;
}

// The same probes one after another as a search makes them: each probe's
// arguments wait for the previous answer (the side is xored with a test of
// it that never holds), so no two table reads overlap and every probe pays
// the whole memory latency.
double time_chained_probes(ProbeFunction probe, const std::vector<ProbeArgs>& positions, long long& checksum) {
    int previous = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const ProbeArgs& a : positions) {
        const int side = a.side ^ int(previous == 123456789);
        previous = probe(side, a.white_king, a.black_king, a.piece1, a.square1, a.piece2, a.square2, 0, 0);
        checksum += previous;
    }
    return seconds_since(start) * 1e9 / double(positions.size());
}

// What the probe computes before its one table read: the table, the
// orientation and the folded entry number.
double time_index_only(const std::vector<ProbeArgs>& positions, long long& checksum) {
    double total = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        for (const ProbeArgs& a : positions) {
            qordil::Position p;
            p.side = a.side;
            p.square[0] = a.white_king;
            p.square[1] = a.black_king;
            p.code[2] = a.piece1;
            p.square[2] = a.square1;
            p.count = 3;
            if (a.piece2) {
                p.code[3] = a.piece2;
                p.square[3] = a.square2;
                p.count = 4;
            }
            int table = 0;
            qordil::Position oriented;
            if (qordil::orient(p, table, oriented)) checksum += qordil::table_index(table, oriented) + table;
        }
        total += seconds_since(start);
    }
    return total * 1e9 / (double(positions.size()) * passes);
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
    const std::vector<ProbeArgs> positions = draw_positions(tables, count, 1);
    const PassTimes all = time_probes(probe, positions);
    std::printf("tables: %zu  positions: %d  load: %.3f s\n", tables.size(), count, load_seconds);
    std::printf("first pass: %.1f ns/probe   later passes: %.1f ns/probe   unknown: %lld   checksum: %lld\n",
                all.first_ns, all.later_ns, all.unknown, all.checksum);
    long long unknown = all.unknown;
    long long chained_checksum = 0;
    const double chained_ns = time_chained_probes(probe, positions, chained_checksum);
    std::printf("chained (each probe waits for the one before): %.1f ns/probe   checksum: %lld\n", chained_ns,
                chained_checksum);

    // Where the time goes: the same probes with the table in cache, on a
    // table larger than the cache, and without the table read.
    for (const char* name : {"KQK", "KQKR"}) {
        const int t = qordil::find_table(name);
        bool present = false;
        for (const int have : tables) present = present || have == t;
        if (!present) continue;
        const std::vector<ProbeArgs> drawn = draw_positions({t}, count, 2);
        const PassTimes one = time_probes(probe, drawn);
        unknown += one.unknown;
        long long index_checksum = 0;
        const double index_ns = time_index_only(drawn, index_checksum);
        std::printf("one table %-5s (%6.2f MB): %.1f ns/probe after the first pass, index only %.1f ns\n", name,
                    double(qordil::table_info(t).size) / 1048576.0, one.later_ns, index_ns);
    }
    long long index_checksum = 0;
    const double index_ns = time_index_only(positions, index_checksum);
    std::printf("index only, all tables: %.1f ns/position   (checksum %lld)\n", index_ns, index_checksum);

    constexpr int copy_cache_bytes = 1 << 30;
    const auto copy_start = std::chrono::steady_clock::now();
    load(dir.data(), copy_cache_bytes, 1);
    const double copy_seconds = seconds_since(copy_start);
    const PassTimes copied = time_probes(probe, positions);
    unknown += copied.unknown;
    long long copied_chained_checksum = 0;
    const double copied_chained_ns = time_chained_probes(probe, positions, copied_chained_checksum);
    std::printf("in memory (cache size %d MB, load %.3f s): %.1f ns/probe, chained %.1f ns/probe   checksum: %lld%s\n",
                copy_cache_bytes >> 20, copy_seconds, copied.later_ns, copied_chained_ns, copied.checksum,
                copied.checksum == all.checksum ? "" : "   (differs from the mapped tables!)");
    dlclose(handle);
    return unknown == 0 ? 0 : 1;
}
