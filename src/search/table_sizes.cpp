// Sizing commands for the transposition table and the per-worker tables.

#include "search/table_sizes.h"

#include <charconv>
#include <cstring>

#include "eval/eval_cache.h"
#include "eval/pawn_table.h"
#include "protocol/console.h"
#include "search/parallel.h"
#include "search/trans_table.h"

namespace {

constexpr uint64_t megabyte = 1048576;

// One line for a size the command refuses; the tables stay as they were.
void report_bad_size(const char* command, const char* text) {
    emit("Error (size must be 0 to %d MB): %s %s\n", max_table_megabytes, command,
         text ? text : "");
}

void report_no_memory(const char* command, const char* text) {
    emit("Error (out of memory, size kept): %s %s\n", command, text);
}

// The whole size goes to every search thread's own table of the kind. With
// 0 the byte count is 1 and the entry count 0: the tables keep their size
// and are emptied. A thread whose table cannot be had keeps its old one
// (each table is indexed by its own mask).
template <typename Table>
void resize_thread_tables(const char* command, const char* megabytes, Table* (*table_of)(int),
                          bool (*resize)(Table&, uint32_t)) {
    const int mb = parse_megabytes(megabytes);
    if (mb < 0) return report_bad_size(command, megabytes);
    const uint64_t bytes = power_of_two_at_least(uint64_t(mb) * megabyte);
    const uint64_t entries = bytes / sizeof(typename decltype(Table::entries)::value_type);
    bool resized = true;
    for (int slot = 0; slot < max_workers; ++slot)
        if (Table* table = table_of(slot)) resized = resize(*table, uint32_t(entries)) && resized;
    if (!resized) return report_no_memory(command, megabytes);
    emit("%s %d X %d = %dMB\n", command, int(entries), int(sizeof(typename decltype(Table::entries)::value_type)),
         int(bytes / megabyte));
}

}  // namespace

int parse_megabytes(const char* text) {
    if (!text) return -1;
    const char* end = text + std::strlen(text);
    int value = -1;
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || stop == text) return -1;
    if (value < 0 || value > max_table_megabytes) return -1;
    return value;
}

uint64_t power_of_two_at_least(uint64_t n) {
    uint64_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

void command_ht(const char* megabytes) {
    const int mb = parse_megabytes(megabytes);
    if (mb < 0) return report_bad_size("ht", megabytes);
    // Half of the size goes to each side to move. With 0 the byte count is
    // 1, the bucket count 0, and the table keeps its size but is emptied.
    const uint64_t side_bytes = power_of_two_at_least(uint64_t(mb) * megabyte / 2);
    if (!resize_tt(side_bytes / sizeof(TransBucket))) return report_no_memory("ht", megabytes);
    emit("ht %d X %d = %dMB\n", int(2 * side_bytes / sizeof(TransBucket)),
         int(sizeof(TransBucket)), int(2 * side_bytes / megabyte));
}

void command_pht(const char* megabytes) {
    resize_thread_tables("pht", megabytes, worker_pawn_table, resize_pawn_table);
}

void command_eht(const char* megabytes) {
    resize_thread_tables("eht", megabytes, worker_eval_cache, resize_eval_table);
}
