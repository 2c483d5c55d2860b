// The exports of qordil64.dll, the bitbase library the engine loads from
// egbb_path: load_egbb_5men maps the table files of a directory and
// probe_egbb_5men answers the exact score of a position of two kings and at
// most two more men, from the side to move (0 a draw, 2999 less 20 for each
// ply to mate for a win, the negative for a loss, 99999 when it does not
// know the position). The tables are mapped read-only, so probes take no lock and any
// number of threads may probe at once; the library keeps nothing of its own
// beyond a pointer per table, whatever cache size it is given.

#include <atomic>
#include <cstdio>

#include "qordil/tables.h"

using namespace qordil;

namespace {

constexpr int no_result = 99999;

std::atomic<const uint8_t*> loaded[table_count];
std::atomic<bool> loading_done{false};

void unload_all() {
    loading_done.store(false, std::memory_order_release);
    for (int t = 0; t < table_count; ++t) unmap_table_file(t, loaded[t].exchange(nullptr));
}

bool valid_square(int sq) { return sq >= 0 && sq < 64; }

bool valid_man(int code) { return code >= white_queen && code <= black_pawn && code != black_king; }

}  // namespace

extern "C" {

// Load type 0 loads nothing; 1 maps every 3- and 4-man table found in
// `path`; 2 and 3 ask for five-man tables as well, which do not exist: they
// map the same and say so. Calling it again replaces what was mapped and
// must not overlap probes.
__attribute__((visibility("default"))) void load_egbb_5men(char* path, int cache_bytes, int load_type) {
    static_cast<void>(cache_bytes);
    unload_all();
    if (load_type <= 0 || !path) return;
    if (load_type >= 2) {
        std::fputs("qordil: five-man tables are not available; the 3- and 4-man tables are loaded\n", stdout);
        std::fflush(stdout);
    }
    for (int t = 0; t < table_count; ++t) loaded[t].store(map_table_file(path, t), std::memory_order_release);
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
    const int entry = data[index];
    return entry == illegal_entry ? no_result : entry_score(entry);
}

}  // extern "C"
