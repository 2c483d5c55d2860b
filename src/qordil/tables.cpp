#include "qordil/tables.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace qordil {

namespace {

constexpr int pawnless_king_pairs = 462;
constexpr int pawn_king_pairs = 1806;
constexpr int pawn_squares = 48;
constexpr int max_pairs = 64 * 63 / 2;
constexpr int transpose = 4;
constexpr char file_magic[8] = "QORDIL1";
constexpr int promotions[4] = {queen, rook, bishop, knight};

struct MaterialEntry {
    int8_t table = -1;
    bool swap = false;
};

TableInfo catalogue[table_count];
// By the two codes of the men besides the kings, the smaller first (0 for
// a single man).
MaterialEntry material[13][13];
// Which of the eight board symmetries brings a king pair into the corner
// triangle a1-d1-d4 (the black king on or below the long diagonal when the
// white king is on it).
uint8_t king_symmetry[64][64];
// The entry number of a folded king pair, -1 for a pair outside the corner
// or with the kings together; [0] without pawns, [1] with pawns (white king
// on files a to d).
int16_t king_pair_index[2][64][64];
uint8_t king_pair_squares[2][pawn_king_pairs][2];
// The two squares of a pair index, lower first.
uint8_t pair_low[max_pairs];
uint8_t pair_high[max_pairs];
// The symmetry other than the identity that leaves both kings where they
// are (only a mirror in a long diagonal can), 0 for none.
uint8_t king_fixing_symmetry[64][64];
// The symmetry that is symmetry t followed by the swap of files and ranks.
uint8_t then_transposed[8];

// The board symmetry `t`: bit 2 swaps files and ranks, bit 0 mirrors the
// files, bit 1 the ranks.
int compute_symmetry(int t, int sq) {
    int f = file_of(sq);
    int r = rank_of(sq);
    if (t & 4) {
        const int swapped = f;
        f = r;
        r = swapped;
    }
    if (t & 1) f = 7 - f;
    if (t & 2) r = 7 - r;
    return r * 8 + f;
}

uint8_t square_image[8][64];

int apply_symmetry(int t, int sq) { return square_image[t][sq]; }

bool on_long_diagonal(int sq) { return file_of(sq) == rank_of(sq); }

bool kings_apart(int a, int b) {
    const int df = file_of(a) - file_of(b);
    const int dr = rank_of(a) - rank_of(b);
    return df * df > 1 || dr * dr > 1;
}

bool in_corner(int wk, int bk) {
    if (file_of(wk) > 3 || rank_of(wk) > file_of(wk)) return false;
    return !on_long_diagonal(wk) || rank_of(bk) <= file_of(bk);
}

int pair_index(int low, int high) { return high * (high - 1) / 2 + low; }

void add_table(const char* name, int men, int code0, int code1) {
    static int filled = 0;
    TableInfo& t = catalogue[filled++];
    std::snprintf(t.name, sizeof t.name, "%s", name);
    t.men = men;
    t.code[0] = code0;
    t.code[1] = code1;
    t.pawns = type_of(code0) == pawn || (men == 2 && type_of(code1) == pawn);
    t.identical = men == 2 && code0 == code1;
    t.king_pairs = t.pawns ? pawn_king_pairs : pawnless_king_pairs;
    const int squares0 = type_of(code0) == pawn ? pawn_squares : 64;
    const int squares1 = men == 2 && type_of(code1) == pawn ? pawn_squares : 64;
    if (t.identical) {
        t.span[0] = squares0 * (squares0 - 1) / 2;
        t.span[1] = 1;
    } else {
        t.span[0] = squares0;
        t.span[1] = men == 2 ? squares1 : 1;
    }
    t.size = int64_t(2) * t.king_pairs * t.span[0] * t.span[1];
    const int pawn_count = (type_of(code0) == pawn) + (men == 2 && type_of(code1) == pawn);
    t.order = (men + 2) * 3 + pawn_count;
}

void register_material(int table) {
    const TableInfo& t = catalogue[table];
    for (int flipped = 0; flipped < 2; ++flipped) {
        const bool swap = flipped == 1;
        int a = swap ? swap_colour(t.code[0]) : t.code[0];
        int b = t.men == 2 ? (swap ? swap_colour(t.code[1]) : t.code[1]) : 0;
        if (a > b) {
            const int c = a;
            a = b;
            b = c;
        }
        MaterialEntry& entry = material[a][b];
        if (entry.table < 0) {
            entry.table = int8_t(table);
            entry.swap = swap;
        }
    }
}

void build_catalogue() {
    for (auto& row : material)
        for (MaterialEntry& entry : row) entry = MaterialEntry{};
    static const char letters[] = "_KQRBNP";
    char name[8];
    for (int x = queen; x <= pawn; ++x) {
        std::snprintf(name, sizeof name, "K%cK", letters[x]);
        add_table(name, 1, x, no_piece);
    }
    for (int x = queen; x <= pawn; ++x)
        for (int y = x; y <= pawn; ++y) {
            std::snprintf(name, sizeof name, "K%c%cK", letters[x], letters[y]);
            add_table(name, 2, x, y);
        }
    for (int x = queen; x <= pawn; ++x)
        for (int y = x; y <= pawn; ++y) {
            std::snprintf(name, sizeof name, "K%cK%c", letters[x], letters[y]);
            add_table(name, 2, x, with_colour(y, black));
        }
    for (int t = 0; t < table_count; ++t) register_material(t);
}

void build_king_pairs() {
    for (int t = 0; t < 8; ++t)
        for (int sq = 0; sq < 64; ++sq) square_image[t][sq] = uint8_t(compute_symmetry(t, sq));
    for (int wk = 0; wk < 64; ++wk)
        for (int bk = 0; bk < 64; ++bk) {
            king_pair_index[0][wk][bk] = -1;
            king_pair_index[1][wk][bk] = -1;
            king_fixing_symmetry[wk][bk] = 0;
            for (int t = 1; t < 8; ++t)
                if (wk != bk && apply_symmetry(t, wk) == wk && apply_symmetry(t, bk) == bk)
                    king_fixing_symmetry[wk][bk] = uint8_t(t);
            for (int t = 0; t < 8; ++t)
                if (in_corner(apply_symmetry(t, wk), apply_symmetry(t, bk))) {
                    king_symmetry[wk][bk] = uint8_t(t);
                    break;
                }
        }
    int pawnless = 0;
    int pawned = 0;
    for (int wk = 0; wk < 64; ++wk)
        for (int bk = 0; bk < 64; ++bk) {
            if (wk == bk || !kings_apart(wk, bk)) continue;
            if (in_corner(wk, bk)) {
                king_pair_squares[0][pawnless][0] = uint8_t(wk);
                king_pair_squares[0][pawnless][1] = uint8_t(bk);
                king_pair_index[0][wk][bk] = int16_t(pawnless++);
            }
            if (file_of(wk) <= 3) {
                king_pair_squares[1][pawned][0] = uint8_t(wk);
                king_pair_squares[1][pawned][1] = uint8_t(bk);
                king_pair_index[1][wk][bk] = int16_t(pawned++);
            }
        }
    for (int t = 0; t < 8; ++t)
        for (int u = 0; u < 8; ++u)
            if (apply_symmetry(u, 0) == apply_symmetry(transpose, apply_symmetry(t, 0)) &&
                apply_symmetry(u, 1) == apply_symmetry(transpose, apply_symmetry(t, 1)))
                then_transposed[t] = uint8_t(u);
    for (int high = 1; high < 64; ++high)
        for (int low = 0; low < high; ++low) {
            pair_low[pair_index(low, high)] = uint8_t(low);
            pair_high[pair_index(low, high)] = uint8_t(high);
        }
}

struct Setup {
    Setup() {
        init_board_rules();
        build_catalogue();
        build_king_pairs();
    }
};
const Setup setup;

// The slot number of a man's square: pawns skip the end ranks.
int slot_square(int code, int sq) {
    if (type_of(code) != pawn) return sq;
    if (rank_of(sq) == 0 || rank_of(sq) == 7) return -1;
    return sq - 8;
}

int slot_to_square(int code, int slot) { return type_of(code) == pawn ? slot + 8 : slot; }

// The entry of p with every square taken through symmetry `t`.
int64_t folded_index(const TableInfo& t, const Position& p, int sym, int king_pairs_kind) {
    const int kpi = king_pair_index[king_pairs_kind][apply_symmetry(sym, p.square[0])][apply_symmetry(sym, p.square[1])];
    if (kpi < 0) return -1;
    int slot[2] = {0, 0};
    for (int i = 0; i < t.men; ++i) {
        slot[i] = slot_square(t.code[i], apply_symmetry(sym, p.square[2 + i]));
        if (slot[i] < 0) return -1;
    }
    if (t.identical) {
        if (slot[0] == slot[1]) return -1;
        slot[0] = slot[0] < slot[1] ? pair_index(slot[0], slot[1]) : pair_index(slot[1], slot[0]);
        slot[1] = 0;
    }
    return ((int64_t(p.side) * t.king_pairs + kpi) * t.span[0] + slot[0]) * t.span[1] + slot[1];
}

int material_table(int a, int b, bool& swap) {
    if (a > b) {
        const int c = a;
        a = b;
        b = c;
    }
    swap = material[a][b].swap;
    return material[a][b].table;
}

bool valid_man(int code) { return code >= white_queen && code <= black_pawn && code != black_king; }

void join_path(const char* dir, const char* name, char* out, size_t size) {
    const size_t length = std::strlen(dir);
    const bool separated = length == 0 || dir[length - 1] == '/' || dir[length - 1] == '\\';
    std::snprintf(out, size, "%s%s%s", dir, separated ? "" : "/", name);
}

}  // namespace

const TableInfo& table_info(int table) { return catalogue[table]; }

int find_table(const char* name) {
    for (int t = 0; t < table_count; ++t) {
        const char* a = catalogue[t].name;
        const char* b = name;
        while (*a && std::toupper(static_cast<unsigned char>(*b)) == *a) {
            ++a;
            ++b;
        }
        if (*a == 0 && *b == 0) return t;
    }
    return -1;
}

int table_dependencies(int table, int* out) {
    const TableInfo& t = catalogue[table];
    int n = 0;
    auto add = [&](int a, int b) {
        bool swap = false;
        const int dep = material_table(a, b, swap);
        if (dep < 0) return;
        for (int i = 0; i < n; ++i)
            if (out[i] == dep) return;
        out[n++] = dep;
    };
    for (int i = 0; i < t.men; ++i) {
        const int other = t.men == 2 ? t.code[1 - i] : no_piece;
        // This man is captured.
        add(other, no_piece);
        // This pawn promotes, with or without taking the other man.
        if (type_of(t.code[i]) == pawn)
            for (const int type : promotions) {
                const int promoted = with_colour(type, colour_of(t.code[i]));
                add(promoted, other);
                add(promoted, no_piece);
            }
    }
    return n;
}

bool orient(const Position& p, int& table, Position& oriented) {
    const int men = p.count - 2;
    if (men < 1 || men > 2) return false;
    const int a = p.code[2];
    const int b = men == 2 ? p.code[3] : no_piece;
    if (!valid_man(a) || (men == 2 && !valid_man(b))) return false;
    bool swap = false;
    table = material_table(a, b, swap);
    if (table < 0) return false;
    oriented = p;
    if (swap) {
        oriented.side = p.side ^ 1;
        oriented.square[0] = p.square[1] ^ 56;
        oriented.square[1] = p.square[0] ^ 56;
        for (int i = 2; i < p.count; ++i) {
            oriented.code[i] = swap_colour(p.code[i]);
            oriented.square[i] = p.square[i] ^ 56;
        }
    }
    if (men == 2 && oriented.code[2] != catalogue[table].code[0]) {
        const int code = oriented.code[2];
        const int sq = oriented.square[2];
        oriented.code[2] = oriented.code[3];
        oriented.square[2] = oriented.square[3];
        oriented.code[3] = code;
        oriented.square[3] = sq;
    }
    return true;
}

int64_t table_index(int table, const Position& p) {
    const TableInfo& t = catalogue[table];
    if (t.pawns) return folded_index(t, p, file_of(p.square[0]) >= 4 ? 1 : 0, 1);
    const int sym = king_symmetry[p.square[0]][p.square[1]];
    const int64_t index = folded_index(t, p, sym, 0);
    // With both kings on the long diagonal the corner does not settle the
    // fold: the mirror in that diagonal keeps the kings where they are, and
    // the lower of the two entries is the position's.
    if (index < 0 || !on_long_diagonal(apply_symmetry(sym, p.square[0])) ||
        !on_long_diagonal(apply_symmetry(sym, p.square[1])))
        return index;
    const int64_t mirrored = folded_index(t, p, then_transposed[sym], 0);
    return mirrored < index ? mirrored : index;
}

Position index_position(int table, int64_t index) {
    const TableInfo& t = catalogue[table];
    Position p;
    const int slot1 = int(index % t.span[1]);
    index /= t.span[1];
    const int slot0 = int(index % t.span[0]);
    index /= t.span[0];
    const int kpi = int(index % t.king_pairs);
    p.side = int(index / t.king_pairs);
    const int kind = t.pawns ? 1 : 0;
    p.square[0] = king_pair_squares[kind][kpi][0];
    p.square[1] = king_pair_squares[kind][kpi][1];
    p.count = 2 + t.men;
    p.code[2] = t.code[0];
    p.code[3] = t.men == 2 ? t.code[1] : no_piece;
    if (t.identical) {
        p.square[2] = slot_to_square(t.code[0], pair_low[slot0]);
        p.square[3] = slot_to_square(t.code[0], pair_high[slot0]);
    } else {
        p.square[2] = slot_to_square(t.code[0], slot0);
        p.square[3] = t.men == 2 ? slot_to_square(t.code[1], slot1) : 0;
    }
    return p;
}

int symmetry_count(int table, const Position& p) {
    if (catalogue[table].pawns) return 1;
    const int sym = king_fixing_symmetry[p.square[0]][p.square[1]];
    if (sym == 0) return 1;
    for (int i = 2; i < p.count; ++i) {
        const int image = apply_symmetry(sym, p.square[i]);
        bool found = false;
        for (int j = 2; j < p.count; ++j) found = found || (p.code[j] == p.code[i] && p.square[j] == image);
        if (!found) return 1;
    }
    return 2;
}

int lookup_entry(const TableSet& set, const Position& p) {
    if (p.count == 2) return p.square[0] != p.square[1] && kings_apart(p.square[0], p.square[1]) ? draw_entry : -1;
    int table = 0;
    Position oriented;
    if (!orient(p, table, oriented) || !set.data[table]) return -1;
    const int64_t index = table_index(table, oriented);
    if (index < 0) return -1;
    return set.data[table][index];
}

int entry_score(int entry) {
    if (entry == draw_entry) return 0;
    int score = win_score - score_per_ply * entry_plies(entry);
    if (score < least_win_score) score = least_win_score;
    return entry_is_win(entry) ? score : -score;
}

void table_file_name(int table, char* name, size_t size) {
    char lower[8];
    int i = 0;
    for (; catalogue[table].name[i]; ++i) lower[i] = char(std::tolower(catalogue[table].name[i]));
    lower[i] = 0;
    std::snprintf(name, size, "%s.qbb", lower);
}

bool write_table_file(const char* dir, int table, const uint8_t* data) {
    char name[16];
    char path[4096];
    table_file_name(table, name, sizeof name);
    join_path(dir, name, path, sizeof path);
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    uint8_t header[file_header_size] = {};
    std::memcpy(header, file_magic, sizeof file_magic);
    std::memcpy(header + 8, catalogue[table].name, sizeof catalogue[table].name);
    const uint64_t size = uint64_t(catalogue[table].size);
    for (int i = 0; i < 8; ++i) header[16 + i] = uint8_t(size >> (8 * i));
    bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    ok = ok && std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

const uint8_t* map_table_file(const char* dir, int table) {
    char name[16];
    char path[4096];
    table_file_name(table, name, sizeof name);
    join_path(dir, name, path, sizeof path);
    const int fd = open(path, O_RDONLY);
    if (fd < 0) return nullptr;
    struct stat info {};
    const size_t expected = file_header_size + size_t(catalogue[table].size);
    void* base = MAP_FAILED;
    if (fstat(fd, &info) == 0 && size_t(info.st_size) == expected)
        base = mmap(nullptr, expected, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (base == MAP_FAILED) return nullptr;
    const auto* bytes = static_cast<const uint8_t*>(base);
    if (std::memcmp(bytes, file_magic, sizeof file_magic) != 0 ||
        std::strncmp(reinterpret_cast<const char*>(bytes + 8), catalogue[table].name, 8) != 0) {
        munmap(base, expected);
        return nullptr;
    }
    return bytes + file_header_size;
}

void unmap_table_file(int table, const uint8_t* data) {
    if (!data) return;
    munmap(const_cast<uint8_t*>(data - file_header_size), file_header_size + size_t(catalogue[table].size));
}

}  // namespace qordil
