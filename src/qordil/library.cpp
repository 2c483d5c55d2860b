// The exports of qordil64.dll, the bitbase library the engine loads from
// egbb_path: load_egbb_5men maps the table files of a directory and
// probe_egbb_5men answers the exact score of a position of two kings and at
// most two more men, from the side to move (0 a draw, 2999 less 20 for each
// ply to mate for a win, the negative for a loss, 99999 when it does not
// know the position). The tables are mapped read-only, so probes take no lock and any
// number of threads may probe at once. When the cache size given covers all
// the tables found, they are copied into memory of the library's own, in
// 2 MB pages where the system grants them: a random probe then misses the
// address translation cache far less often. Otherwise the library keeps
// nothing of its own beyond a pointer per table.

#include <sys/mman.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "qordil/tables.h"

using namespace qordil;

namespace {

constexpr int no_result = 99999;

std::atomic<const uint8_t*> loaded[table_count];
std::atomic<bool> loading_done{false};
// The library's own copy of the tables, when the cache size allowed it.
void* copy_base = nullptr;
size_t copy_size = 0;

void unload_all() {
    loading_done.store(false, std::memory_order_release);
    for (int t = 0; t < table_count; ++t) {
        const uint8_t* data = loaded[t].exchange(nullptr);
        if (!copy_base) unmap_table_file(t, data);
    }
    if (copy_base) munmap(copy_base, copy_size);
    copy_base = nullptr;
    copy_size = 0;
}

constexpr size_t huge_page = size_t(2) << 20;

// Copies the mapped tables into one anonymous region (2 MB aligned, asked
// for in huge pages) and drops the mappings; keeps the mappings when the
// region cannot be had.
void copy_into_memory(const uint8_t* (&mapped)[table_count], size_t total) {
    const size_t size = (total + huge_page - 1) / huge_page * huge_page;
    void* raw = mmap(nullptr, size + huge_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return;
    auto* base = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(raw) + huge_page - 1) & ~(huge_page - 1));
    // Give back the unaligned ends so that only the aligned region stays.
    const size_t head = size_t(base - static_cast<uint8_t*>(raw));
    if (head) munmap(raw, head);
    if (huge_page - head) munmap(base + size, huge_page - head);
    madvise(base, size, MADV_HUGEPAGE);
    size_t offset = 0;
    for (int t = 0; t < table_count; ++t) {
        if (!mapped[t]) continue;
        const size_t bytes = size_t(table_info(t).size);
        std::memcpy(base + offset, mapped[t], bytes);
        unmap_table_file(t, mapped[t]);
        mapped[t] = base + offset;
        offset += bytes;
    }
    mprotect(base, size, PROT_READ);
    copy_base = base;
    copy_size = size;
}

// The answer for every entry byte, so that a probe's result does not need a
// branch on the byte it read from a table: a branch there waits for the read
// (a cache and often a TLB miss), and each misprediction throws away the
// work begun after it, so that independent probes could never overlap.
struct EntryResults {
    int value[256];
    EntryResults() {
        for (int entry = 0; entry < 256; ++entry)
            value[entry] = entry == illegal_entry ? no_result : entry_score(entry);
    }
};
const EntryResults entry_results;

bool valid_square(int sq) { return sq >= 0 && sq < 64; }

bool valid_man(int code) { return code >= white_queen && code <= black_pawn && code != black_king; }

}  // namespace

extern "C" {

// Load type 0 loads nothing; 1 maps every 3- and 4-man table found in
// `path`; 2 and 3 ask for five-man tables as well, which do not exist: they
// map the same and say so. Calling it again replaces what was mapped and
// must not overlap probes.
__attribute__((visibility("default"))) void load_egbb_5men(char* path, int cache_bytes, int load_type) {
    unload_all();
    if (load_type <= 0 || !path) return;
    if (load_type >= 2) {
        std::fputs("qordil: five-man tables are not available; the 3- and 4-man tables are loaded\n", stdout);
        std::fflush(stdout);
    }
    const uint8_t* mapped[table_count] = {};
    size_t total = 0;
    for (int t = 0; t < table_count; ++t) {
        mapped[t] = map_table_file(path, t);
        if (mapped[t]) total += size_t(table_info(t).size);
    }
    if (total != 0 && cache_bytes > 0 && total <= size_t(cache_bytes)) copy_into_memory(mapped, total);
    for (int t = 0; t < table_count; ++t) loaded[t].store(mapped[t], std::memory_order_release);
    loading_done.store(true, std::memory_order_release);
}

__attribute__((visibility("default"))) int probe_egbb_5men(int side, int white_king_square,
                                                           int black_king_square, int piece1, int square1,
                                                           int piece2, int square2, int piece3, int square3) {
    static_cast<void>(square3);
    if (!loading_done.load(std::memory_order_acquire)) return no_result;
    if (piece3 != no_piece || (side != white && side != black)) return no_result;
    if (!valid_square(white_king_square) || !valid_square(black_king_square)) return no_result;
    Position p;
    p.side = side;
    p.square[0] = white_king_square;
    p.square[1] = black_king_square;
    const int pieces[2] = {piece1, piece2};
    const int squares[2] = {square1, square2};
    for (int i = 0; i < 2; ++i) {
        if (pieces[i] == no_piece) continue;
        if (!valid_man(pieces[i]) || !valid_square(squares[i])) return no_result;
        p.code[p.count] = pieces[i];
        p.square[p.count] = squares[i];
        ++p.count;
    }
    if (p.count == 2) {
        Position kings = p;
        return is_legal(kings) ? 0 : no_result;
    }
    int table = 0;
    Position oriented;
    if (!orient(p, table, oriented)) return no_result;
    const uint8_t* data = loaded[table].load(std::memory_order_acquire);
    if (!data) return no_result;
    const int64_t index = table_index(table, oriented);
    if (index < 0) return no_result;
    return entry_results.value[data[index]];
}

}  // extern "C"
