// The bitbase generator, run at build time: `qordil_gen make DIR [TABLE...]`
// makes the named tables (all of them by default) and every table they need
// by retrograde analysis and writes their files into DIR with a list of
// what it made (qordil_tables.txt); `qordil_gen verify DIR [TABLE...]` checks
// the tables found in DIR against their moves and fails on any fault. Both
// print one line per table and their totals.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "qordil/retrograde.h"

using namespace qordil;

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int worker_count() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores >= 2 ? 2 : 1;
}

// The tables named on the command line (all when none is), with every
// table they need when `with_dependencies`.
bool chosen_tables(int argc, char** argv, bool with_dependencies, std::vector<bool>& chosen) {
    chosen.assign(table_count, argc == 0);
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "all") == 0) {
            chosen.assign(table_count, true);
            continue;
        }
        const int t = find_table(argv[i]);
        if (t < 0) {
            std::fprintf(stderr, "qordil_gen: no table %s\n", argv[i]);
            return false;
        }
        chosen[t] = true;
    }
    // Dependencies always have a lower order: one pass from the top settles them.
    for (int pass = 0; with_dependencies && pass < table_count; ++pass)
        for (int t = 0; t < table_count; ++t) {
            if (!chosen[t]) continue;
            int deps[16];
            const int n = table_dependencies(t, deps);
            for (int d = 0; d < n; ++d) chosen[deps[d]] = true;
        }
    return true;
}

// Runs job(t) for every table in `tables` on the worker threads.
template <typename Job>
void run_parallel(const std::vector<int>& tables, Job job) {
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < tables.size(); i = next++) job(tables[i]);
    };
    std::vector<std::thread> threads;
    for (int w = 1; w < worker_count(); ++w) threads.emplace_back(work);
    work();
    for (std::thread& thread : threads) thread.join();
}

void print_report(FILE* out, int table, const TableReport& r, double seconds) {
    const TableInfo& info = table_info(table);
    std::fprintf(out, "%-5s %10lld entries %10lld positions %10lld wins %10lld losses %10lld draws  "
                      "longest win %3d/%3d moves (white/black to move)  %6.2fs\n",
                 info.name, (long long)info.size, (long long)r.positions, (long long)r.wins,
                 (long long)r.losses, (long long)r.draws, (r.longest_win[white] + 1) / 2,
                 (r.longest_win[black] + 1) / 2, seconds);
}

int make(const char* dir, int argc, char** argv) {
    std::vector<bool> chosen;
    if (!chosen_tables(argc, argv, true, chosen)) return 2;
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::vector<uint8_t>> storage(table_count);
    std::vector<double> seconds(table_count, 0);
    TableSet set;
    std::atomic<bool> failed{false};
    for (int order = 0; order < 16; ++order) {
        std::vector<int> group;
        for (int t = 0; t < table_count; ++t)
            if (chosen[t] && table_info(t).order == order) {
                group.push_back(t);
                storage[t].resize(size_t(table_info(t).size));
            }
        // Larger tables first, so that the two workers finish together.
        for (size_t i = 0; i < group.size(); ++i)
            for (size_t j = i + 1; j < group.size(); ++j)
                if (table_info(group[j]).size > table_info(group[i]).size) std::swap(group[i], group[j]);
        run_parallel(group, [&](int t) {
            const auto table_start = std::chrono::steady_clock::now();
            if (!generate_table(t, set, storage[t].data())) failed = true;
            seconds[t] = seconds_since(table_start);
        });
        if (failed) return 1;
        for (const int t : group) set.data[t] = storage[t].data();
    }
    const double generation = seconds_since(start);

    std::string list_name = std::string(dir) + "/qordil_tables.txt";
    FILE* list = std::fopen(list_name.c_str(), "w");
    if (!list) {
        std::fprintf(stderr, "qordil_gen: cannot write into %s\n", dir);
        return 1;
    }
    long long bytes = 0;
    int made = 0;
    for (int t = 0; t < table_count; ++t) {
        if (!chosen[t]) continue;
        if (!write_table_file(dir, t, storage[t].data())) {
            std::fprintf(stderr, "qordil_gen: cannot write the %s table into %s\n", table_info(t).name, dir);
            std::fclose(list);
            return 1;
        }
        bytes += (long long)(file_header_size + storage[t].size());
        ++made;
        const TableReport report = summarize_table(t, storage[t].data());
        print_report(stdout, t, report, seconds[t]);
        print_report(list, t, report, seconds[t]);
    }
    std::fprintf(list, "%d tables, %lld bytes, made in %.1fs on %d threads\n", made, bytes, generation,
                 worker_count());
    std::fclose(list);
    std::printf("%d tables, %lld bytes (%.1f MB), made in %.1fs on %d threads, written in %.1fs\n", made,
                bytes, double(bytes) / 1048576.0, generation, worker_count(), seconds_since(start) - generation);
    return 0;
}

int verify(const char* dir, int argc, char** argv) {
    std::vector<bool> chosen;
    if (!chosen_tables(argc, argv, false, chosen)) return 2;
    const auto start = std::chrono::steady_clock::now();
    TableSet set;
    for (int t = 0; t < table_count; ++t) set.data[t] = map_table_file(dir, t);
    std::vector<int> tables;
    for (int t = 0; t < table_count; ++t) {
        if (!chosen[t] || !set.data[t]) continue;
        int deps[16];
        const int n = table_dependencies(t, deps);
        bool complete = true;
        for (int d = 0; d < n; ++d) complete = complete && set.data[deps[d]];
        if (complete) tables.push_back(t);
        else if (argc > 0) std::printf("%s: a table it needs is missing, not checked\n", table_info(t).name);
    }
    std::vector<TableReport> reports(table_count);
    std::vector<double> seconds(table_count, 0);
    run_parallel(tables, [&](int t) {
        const auto table_start = std::chrono::steady_clock::now();
        reports[t] = verify_table(t, set);
        seconds[t] = seconds_since(table_start);
    });
    long long faults = 0;
    long long positions = 0;
    for (const int t : tables) {
        print_report(stdout, t, reports[t], seconds[t]);
        if (reports[t].faults) std::printf("%s: %lld faults\n", table_info(t).name, (long long)reports[t].faults);
        faults += reports[t].faults;
        positions += reports[t].positions;
    }
    std::printf("%zu tables checked, %lld positions, %lld faults, in %.1fs on %d threads\n", tables.size(),
                positions, faults, seconds_since(start), worker_count());
    for (int t = 0; t < table_count; ++t) unmap_table_file(t, set.data[t]);
    if (tables.empty()) {
        std::printf("no table to check in %s\n", dir);
        return 1;
    }
    return faults == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "make") == 0) return make(argv[2], argc - 3, argv + 3);
    if (argc >= 3 && std::strcmp(argv[1], "verify") == 0) return verify(argv[2], argc - 3, argv + 3);
    std::fprintf(stderr, "usage: qordil_gen make DIR [TABLE...] | qordil_gen verify DIR [TABLE...]\n");
    return 2;
}
